/*
 * tamseldec: a GStreamer element that plays TSM songs, built on the base
 * class for decoders that load the whole file at once.
 */
#ifndef TAMSEL_GST_DEC_H
#define TAMSEL_GST_DEC_H

#include <gst/audio/gstnonstreamaudiodecoder.h>
#include <gst/gst.h>

G_BEGIN_DECLS

/* The caps the type finder gives a song file and the element accepts. */
#define TAMSEL_GST_SONG_CAPS "audio/x-tsm"

#define TAMSEL_TYPE_DEC (tamsel_dec_get_type())
GType tamsel_dec_get_type(void);

GST_ELEMENT_REGISTER_DECLARE(tamseldec)

G_END_DECLS

#endif /* TAMSEL_GST_DEC_H */
