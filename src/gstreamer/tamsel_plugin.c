/*
 * The tamsel plugin: the tamseldec element and a type finder for song files,
 * both ranked so that decodebin and playbin choose them by themselves.
 */
#include <gst/gst.h>
#include <string.h>

#include "tamsel/tamsel.h"
#include "tamsel_dec.h"

/* Every song file starts with these bytes. */
static const char SONG_MAGIC[] = "TSM";
#define SONG_MAGIC_SIZE 3

static void find_song_type(GstTypeFind* find, G_GNUC_UNUSED gpointer user_data) {
    const guint8* start = gst_type_find_peek(find, 0, SONG_MAGIC_SIZE);
    if (start != NULL && memcmp(start, SONG_MAGIC, SONG_MAGIC_SIZE) == 0) {
        gst_type_find_suggest_empty_simple(find, GST_TYPE_FIND_LIKELY, TAMSEL_GST_SONG_CAPS);
    }
}

static gboolean plugin_init(GstPlugin* plugin) {
    GstCaps* caps = gst_caps_new_empty_simple(TAMSEL_GST_SONG_CAPS);
    gboolean registered =
        gst_type_find_register(plugin, "tsm", GST_RANK_PRIMARY, find_song_type, "tsm", caps, NULL, NULL);
    gst_caps_unref(caps);
    if (!registered) return FALSE;
    return GST_ELEMENT_REGISTER(tamseldec, plugin);
}

#define PACKAGE "tamselexport"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tamsel, "Plays TSM tracker songs", plugin_init,
                  TAMSEL_VERSION_STRING, "MIT/X11", PACKAGE, "Unknown package origin")
