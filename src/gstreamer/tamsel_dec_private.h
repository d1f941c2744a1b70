/*
 * What the files of the tamseldec element share: its instance, its debug
 * category, the conversions between the render's frames and times, and the
 * parts that mend the base class's handling (tamsel_dec_base.c).
 */
#ifndef TAMSEL_DEC_PRIVATE_H
#define TAMSEL_DEC_PRIVATE_H

#include "tamsel/tamsel.h"
#include "tamsel_dec.h"

G_BEGIN_DECLS

typedef struct {
    GstNonstreamAudioDecoder parent;
    tamsel_song* song;
    tamsel_renderer* renderer;
    GstAudioFormat format; /* F32LE or S16LE, by negotiation */
    gint loops;            /* of the renderer, as made */
    gdouble tick_ms;
    gdouble song_tick_ms; /* the tick_ms of the song's load, kept by its renderers */
    guint muted_tracks;
    gint stereo_width; /* percent, 0..TAMSEL_LIMIT_STEREO_MAX */
    gchar* title;      /* from the upstream file's name, or NULL */
    gboolean load_failed;
    gboolean format_followed; /* since the load */
    GstPadEventFunction base_src_event;
    GstPadEventFunction base_sink_event;
} TamselDec;

#define TAMSEL_DEC(object) (G_TYPE_CHECK_INSTANCE_CAST((object), TAMSEL_TYPE_DEC, TamselDec))

GST_DEBUG_CATEGORY_EXTERN(tamsel_dec_debug);
#define GST_CAT_DEFAULT tamsel_dec_debug

/* A frame's time is the first nanosecond at or after its start, so that
 * the base class's conversion back (rounding down) gives the frame again. */
static inline GstClockTime tamsel_dec_frame_to_time(guint64 frame) {
    return gst_util_uint64_scale_int_ceil(frame, GST_SECOND, TAMSEL_SAMPLE_RATE);
}

static inline guint64 tamsel_dec_time_to_frame(GstClockTime time) {
    return gst_util_uint64_scale_int(time, TAMSEL_SAMPLE_RATE, GST_SECOND);
}

/* The pads' event handlers, put before the base class's own. */
gboolean tamsel_dec_src_event(GstPad* pad, GstObject* parent, GstEvent* event);
gboolean tamsel_dec_sink_event(GstPad* pad, GstObject* parent, GstEvent* event);

/* The base class's loading state back to its start, on the way to READY;
 * with the mutex held and the streaming task stopped. */
void tamsel_dec_reset_loading(GstNonstreamAudioDecoder* dec);

G_END_DECLS

#endif /* TAMSEL_DEC_PRIVATE_H */
