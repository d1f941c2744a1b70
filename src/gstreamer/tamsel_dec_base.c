/*
 * Where tamseldec mends the base class's handling: seeks in samples and
 * past the end, the end of the input once a song is loaded, and the
 * loading state on the way to READY.
 */
#include "tamsel_dec_private.h"

/* A position in samples as the time of its frame; past the clock's range,
 * the latest time (which seeks to the end). */
static gint64 tamsel_dec_sample_position_time(gint64 position) {
    if (position < 0) return position;
    GstClockTime time = tamsel_dec_frame_to_time((guint64)position);
    return time > (GstClockTime)G_MAXINT64 ? G_MAXINT64 : (gint64)time;
}

/* The latest time a seek goes to: the end of the render, or in endless
 * play half the clock's range, so that the position runs on for over a
 * century before it passes what a query can answer. */
static gint64 tamsel_dec_latest_seek_time(GstNonstreamAudioDecoder* dec) {
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(dec);
    GstClockTime duration = dec->subsong_duration;
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(dec);
    return GST_CLOCK_TIME_IS_VALID(duration) ? (gint64)duration : G_MAXINT64 / 2;
}

/* Seeks in samples (GST_FORMAT_DEFAULT) become seeks to their frames' times,
 * the only format the base class seeks in, and a start past the end becomes
 * the end, so the segment begins where the render stands. Seeks the base
 * class cannot make are refused here: it would keep a reference to them. */
gboolean tamsel_dec_src_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    TamselDec* self = TAMSEL_DEC(parent);
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(parent);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK) return self->base_src_event(pad, parent, event);
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType start_type, stop_type;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
    gboolean known_format = format == GST_FORMAT_TIME || format == GST_FORMAT_DEFAULT;
    if (!dec->loaded_mode || rate < 0.0 || !known_format) {
        GST_DEBUG_OBJECT(self, "seek refused: %s, rate %g, in %s", dec->loaded_mode ? "song loaded" : "no song loaded",
                         rate, gst_format_get_name(format));
        gst_event_unref(event);
        return FALSE;
    }
    if (format == GST_FORMAT_DEFAULT) {
        start = tamsel_dec_sample_position_time(start);
        stop = tamsel_dec_sample_position_time(stop);
    }
    gint64 latest = tamsel_dec_latest_seek_time(dec);
    if (start_type == GST_SEEK_TYPE_SET && start > latest) {
        GST_DEBUG_OBJECT(self, "seek past the end, to %" GST_TIME_FORMAT ", goes to %" GST_TIME_FORMAT,
                         GST_TIME_ARGS(start), GST_TIME_ARGS(latest));
        start = latest;
    }
    GstEvent* in_time = gst_event_new_seek(rate, GST_FORMAT_TIME, flags, start_type, start, stop_type, stop);
    gst_event_set_seqnum(in_time, gst_event_get_seqnum(event));
    gst_event_unref(event);
    return self->base_src_event(pad, parent, in_time);
}

/* The end of the input. Once the song is loaded, or its load has failed,
 * it means nothing more, and is dropped here: the base class keeps a
 * reference to every end-of-stream event it is given. */
gboolean tamsel_dec_sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    TamselDec* self = TAMSEL_DEC(parent);
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(parent);
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS && (dec->loaded_mode || self->load_failed)) {
        gst_event_unref(event);
        return !self->load_failed;
    }
    return self->base_sink_event(pad, parent, event);
}

/* The base class's loading state back to its start, as it leaves it only
 * on the way to NULL: left loaded in READY, it would answer queries for a
 * song that is gone and, back in PAUSED, drop the new input and never
 * start playing. Called with the mutex held, the streaming task stopped. */
void tamsel_dec_reset_loading(GstNonstreamAudioDecoder* dec) {
    gst_adapter_clear(dec->input_data_adapter);
    dec->upstream_size = -1;
    dec->loaded_mode = FALSE;
    dec->subsong_duration = GST_CLOCK_TIME_NONE;
    dec->output_format_changed = FALSE;
    gst_audio_info_init(&dec->output_audio_info);
    dec->num_decoded_samples = 0;
    dec->cur_pos_in_samples = 0;
    gst_segment_init(&dec->cur_segment, GST_FORMAT_TIME);
    dec->discont = FALSE;
    if (dec->toc != NULL) gst_toc_unref(dec->toc);
    dec->toc = NULL;
    gst_clear_object(&dec->allocator);
}
