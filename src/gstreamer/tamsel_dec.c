/**
 * SECTION:element-tamseldec
 * @title: tamseldec
 * @short_description: plays TSM tracker songs
 *
 * tamseldec takes a whole TSM song file from upstream, loads it with the
 * tamsel library and plays it as 48000 Hz stereo, F32LE or S16LE as
 * downstream takes it, sample for sample as `tamselexport` writes it. The
 * position runs on through the song's loops; seeks go to any frame of the
 * render, in time or in samples. `loops`, `muted-tracks` and `stereo-width`
 * take effect during playback; `tick-ms` from the next song loaded.
 *
 * ## Example pipelines
 * |[
 * gst-launch-1.0 filesrc location=song.tsm ! tamseldec ! audioconvert ! autoaudiosink
 * ]| Plays a song once through.
 * |[
 * gst-launch-1.0 filesrc location=song.tsm ! tamseldec loops=2 muted-tracks=8 ! audio/x-raw,format=S16LE ! wavenc ! filesink location=song.wav
 * ]| Writes the song with two loops and its drums muted to a 16-bit WAV file.
 * |[
 * gst-play-1.0 song.tsm
 * ]| decodebin and playbin pick the element by themselves.
 */

/*
 * The whole song arrives as one buffer, the library loads it and one
 * renderer plays it. Positions are frames of the library's 48000 Hz render;
 * every time this element reports is the first nanosecond at or after its
 * frame's start, so the base class's own conversion back to frames
 * (rounding down) gives exactly that frame again.
 *
 * The base class calls every virtual method with its mutex held; property
 * changes take the same mutex, so they never meet a render half-way. The
 * mutex is never held while anything goes downstream that a paused sink
 * may hold on to (a buffer, the end of the stream): queries wait on it.
 */
#include <stdint.h>
#include <string.h>

#include "tamsel_dec_private.h"

typedef struct {
    GstNonstreamAudioDecoderClass parent_class;
} TamselDecClass;

GST_DEBUG_CATEGORY(tamsel_dec_debug);

G_DEFINE_TYPE_WITH_CODE(TamselDec, tamsel_dec, GST_TYPE_NONSTREAM_AUDIO_DECODER,
                        GST_DEBUG_CATEGORY_INIT(tamsel_dec_debug, "tamseldec", 0, "TSM song decoder"))
GST_ELEMENT_REGISTER_DEFINE(tamseldec, "tamseldec", GST_RANK_PRIMARY, TAMSEL_TYPE_DEC)

enum { PROP_0, PROP_LOOPS, PROP_TICK_MS, PROP_MUTED_TRACKS, PROP_STEREO_WIDTH };

#define DEFAULT_TICK_MS 20.0
/* The longest tick and the stereo width's range are the export's limits,
 * the same the command line checks. */
#include "export/export_limits.h"
#define MAX_TICK_MS TAMSEL_LIMIT_TICK_MS_MAX
#define ALL_TRACKS_MASK ((1u << TAMSEL_TRACK_COUNT) - 1u)
/* Frames per output buffer: about 21 ms, so a mute takes effect soon. */
#define BLOCK_FRAMES 1024
#define CHANNELS 2

static GstStaticPadTemplate sink_template =
    GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(TAMSEL_GST_SONG_CAPS));

static GstStaticPadTemplate src_template =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS,
                            GST_STATIC_CAPS("audio/x-raw, format = (string) { F32LE, S16LE }, "
                                            "layout = (string) interleaved, rate = (int) 48000, channels = (int) 2"));

/* Posts an error "what: reason", of the wrong type when the input is not a
 * song. The base class asks for its mutex to be released around bus
 * messages. */
static void tamsel_dec_post_reason(TamselDec* self, gboolean not_a_song, const char* what, const char* reason) {
    GST_ERROR_OBJECT(self, "%s: %s", what, reason);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
    if (not_a_song) {
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s: %s", what, reason), (NULL));
    } else {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s: %s", what, reason), (NULL));
    }
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
}

/* Posts an error naming the library's reason. */
static void tamsel_dec_post_error(TamselDec* self, tamsel_status status, const char* what) {
    tamsel_dec_post_reason(self, status == TAMSEL_ERR_NOT_A_SONG, what, tamsel_status_message(status));
}

static void tamsel_dec_release_song(TamselDec* self) {
    tamsel_renderer_free(self->renderer);
    self->renderer = NULL;
    tamsel_song_free(self->song);
    self->song = NULL;
    g_clear_pointer(&self->title, g_free);
    self->load_failed = FALSE;
    self->format_followed = FALSE;
}

/* A renderer of the loaded song with the element's settings and the given
 * loop count; NULL after posting the library's reason. */
static tamsel_renderer* tamsel_dec_make_renderer(TamselDec* self, gint loops) {
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    options.loops = loops;
    options.tick_ms = self->song_tick_ms;
    options.muted_tracks = self->muted_tracks;
    tamsel_renderer* renderer = NULL;
    tamsel_status status = tamsel_renderer_create(self->song, &options, &renderer);
    if (status != TAMSEL_OK) {
        tamsel_dec_post_error(self, status, "cannot play the song");
        return NULL;
    }
    tamsel_renderer_set_stereo_width(renderer, self->stereo_width);
    GST_DEBUG_OBJECT(self, "renderer made: %d loops, tick %g ms, muted tracks 0x%x, stereo width %d %%", loops,
                     self->song_tick_ms, self->muted_tracks, self->stereo_width);
    return renderer;
}

static GstClockTime tamsel_dec_render_duration(const tamsel_renderer* renderer) {
    uint64_t frames = 0;
    if (tamsel_renderer_length(renderer, UINT64_MAX, &frames) != TAMSEL_OK) return GST_CLOCK_TIME_NONE;
    return tamsel_dec_frame_to_time(frames);
}

/* The upstream file's name without its extension, when upstream tells a
 * URI; NULL otherwise. */
static gchar* tamsel_dec_title_from_upstream(GstNonstreamAudioDecoder* dec) {
    GstQuery* query = gst_query_new_uri();
    gchar* title = NULL;
    gchar* uri = NULL;
    if (gst_pad_peer_query(dec->sinkpad, query)) gst_query_parse_uri(query, &uri);
    gst_query_unref(query);
    gchar* path = uri != NULL ? g_filename_from_uri(uri, NULL, NULL) : NULL;
    if (path != NULL) {
        gchar* name = g_filename_display_basename(path);
        gchar* dot = strrchr(name, '.');
        if (dot != NULL && dot != name) *dot = '\0';
        title = name;
    }
    g_free(path);
    g_free(uri);
    return title;
}

/* F32LE unless downstream takes S16LE alone. (The base class answers only
 * when asked for the rate and the channels as well; those are fixed.) */
static GstAudioFormat tamsel_dec_negotiated_format(GstNonstreamAudioDecoder* dec) {
    GstAudioFormat format = GST_AUDIO_FORMAT_F32LE;
    gint rate = TAMSEL_SAMPLE_RATE;
    gint channels = CHANNELS;
    gst_nonstream_audio_decoder_get_downstream_info(dec, &format, &rate, &channels);
    GstAudioFormat chosen = format == GST_AUDIO_FORMAT_S16LE ? GST_AUDIO_FORMAT_S16LE : GST_AUDIO_FORMAT_F32LE;
    GST_DEBUG_OBJECT(dec, "caps: downstream takes %s, output in %s", gst_audio_format_to_string(format),
                     gst_audio_format_to_string(chosen));
    return chosen;
}

static gboolean tamsel_dec_load_song(TamselDec* self, GstBuffer* source_data, gint num_loops) {
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(self);
    GstMapInfo map;
    if (!gst_buffer_map(source_data, &map, GST_MAP_READ)) {
        tamsel_dec_post_error(self, TAMSEL_ERR_IO, "cannot read the input");
        return FALSE;
    }
    tamsel_status status = tamsel_song_load_memory(map.data, map.size, &self->song);
    gst_buffer_unmap(source_data, &map);
    if (status != TAMSEL_OK) {
        tamsel_dec_post_error(self, status, "cannot load the song");
        return FALSE;
    }
    self->song_tick_ms = self->tick_ms;
    self->renderer = tamsel_dec_make_renderer(self, num_loops);
    if (self->renderer == NULL) return FALSE;
    self->loops = num_loops;
    GstClockTime length = tamsel_dec_render_duration(self->renderer);
    GST_INFO_OBJECT(self, "song loaded from %" G_GSIZE_FORMAT " bytes: length %" GST_TIME_FORMAT " (%s), %d loops",
                    gst_buffer_get_size(source_data), GST_TIME_ARGS(length),
                    GST_CLOCK_TIME_IS_VALID(length) ? "ends" : "plays on for ever", num_loops);
    self->title = tamsel_dec_title_from_upstream(dec);
    self->format = tamsel_dec_negotiated_format(dec);
    return gst_nonstream_audio_decoder_set_output_format_simple(dec, TAMSEL_SAMPLE_RATE, self->format, CHANNELS);
}

static gboolean tamsel_dec_load_from_buffer(GstNonstreamAudioDecoder* dec, GstBuffer* source_data,
                                            G_GNUC_UNUSED guint subsong,
                                            G_GNUC_UNUSED GstNonstreamAudioSubsongMode subsong_mode,
                                            GstClockTime* initial_position, GstNonstreamAudioOutputMode* output_mode,
                                            gint* num_loops) {
    TamselDec* self = TAMSEL_DEC(dec);
    tamsel_dec_release_song(self);
    self->load_failed = !tamsel_dec_load_song(self, source_data, *num_loops);
    /* Loops are the library's own: the position runs on through them. */
    *output_mode = GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
    *initial_position = 0;
    return !self->load_failed;
}

static guint tamsel_dec_get_supported_output_modes(G_GNUC_UNUSED GstNonstreamAudioDecoder* dec) {
    return 1u << GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
}

static GstClockTime tamsel_dec_get_subsong_duration(GstNonstreamAudioDecoder* dec, G_GNUC_UNUSED guint subsong) {
    TamselDec* self = TAMSEL_DEC(dec);
    return self->renderer != NULL ? tamsel_dec_render_duration(self->renderer) : GST_CLOCK_TIME_NONE;
}

/* The song's tags, given as the only subsong's: the base class's main tags
 * would leak the list they are merged into. */
static GstTagList* tamsel_dec_get_subsong_tags(GstNonstreamAudioDecoder* dec, G_GNUC_UNUSED guint subsong) {
    TamselDec* self = TAMSEL_DEC(dec);
    GstTagList* tags = gst_tag_list_new(GST_TAG_CONTAINER_FORMAT, "TSM", NULL);
    if (self->title != NULL) gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, self->title, NULL);
    if (GST_CLOCK_TIME_IS_VALID(dec->subsong_duration)) {
        gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_DURATION, dec->subsong_duration, NULL);
    }
    return tags;
}

static gboolean tamsel_dec_seek(GstNonstreamAudioDecoder* dec, GstClockTime* new_position) {
    TamselDec* self = TAMSEL_DEC(dec);
    if (self->renderer == NULL) return FALSE;
    guint64 frame = tamsel_dec_time_to_frame(*new_position);
    tamsel_status status = tamsel_renderer_seek(self->renderer, frame);
    if (status != TAMSEL_OK) {
        GST_WARNING_OBJECT(self, "seek to frame %" G_GUINT64_FORMAT " refused: %s", frame,
                           tamsel_status_message(status));
        return FALSE;
    }
    guint64 reached = tamsel_renderer_position(self->renderer);
    GST_DEBUG_OBJECT(self, "seek to %" GST_TIME_FORMAT ": frame %" G_GUINT64_FORMAT ", now at frame %" G_GUINT64_FORMAT,
                     GST_TIME_ARGS(*new_position), frame, reached);
    *new_position = tamsel_dec_frame_to_time(reached);
    return TRUE;
}

static GstClockTime tamsel_dec_tell(GstNonstreamAudioDecoder* dec) {
    TamselDec* self = TAMSEL_DEC(dec);
    return tamsel_dec_frame_to_time(tamsel_renderer_position(self->renderer));
}

/* A new loop count during playback: the render with that many loops, at the
 * same frame, and its length as the new duration. */
static gboolean tamsel_dec_set_num_loops(GstNonstreamAudioDecoder* dec, gint num_loops) {
    TamselDec* self = TAMSEL_DEC(dec);
    if (self->renderer == NULL || num_loops == self->loops) return TRUE;
    GST_INFO_OBJECT(self, "loop count %d -> %d at frame %" G_GUINT64_FORMAT, self->loops, num_loops,
                    tamsel_renderer_position(self->renderer));
    tamsel_renderer* renderer = tamsel_dec_make_renderer(self, num_loops);
    if (renderer == NULL) return FALSE;
    if (tamsel_renderer_seek(renderer, tamsel_renderer_position(self->renderer)) != TAMSEL_OK) {
        tamsel_renderer_free(renderer);
        return FALSE;
    }
    tamsel_renderer_free(self->renderer);
    self->renderer = renderer;
    self->loops = num_loops;
    dec->subsong_duration = tamsel_dec_render_duration(renderer);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(dec);
    gst_element_post_message(GST_ELEMENT(dec), gst_message_new_duration_changed(GST_OBJECT(dec)));
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(dec);
    return TRUE;
}

static gint tamsel_dec_get_num_loops(GstNonstreamAudioDecoder* dec) {
    return TAMSEL_DEC(dec)->loops;
}

/* The format downstream takes now, before the next block is made in the
 * old one and refused: checked once at the first block, as decodebin links
 * its pad only once the first caps are out, and whenever downstream
 * changes. */
static void tamsel_dec_follow_downstream_format(TamselDec* self) {
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(self);
    if (self->format_followed && !gst_pad_needs_reconfigure(dec->srcpad)) return;
    self->format_followed = TRUE;
    GstAudioFormat format = tamsel_dec_negotiated_format(dec);
    if (format == self->format) return;
    if (gst_nonstream_audio_decoder_set_output_format_simple(dec, TAMSEL_SAMPLE_RATE, format, CHANNELS)) {
        GST_INFO_OBJECT(self, "caps: output changes from %s to %s", gst_audio_format_to_string(self->format),
                        gst_audio_format_to_string(format));
        self->format = format;
    }
}

/* The end of the render (or of what could be rendered), pushed with the
 * mutex released: a paused sink holds an end-of-stream until it plays, and
 * every query waits on the mutex. The base class pushes its own
 * end-of-stream after this one, with the mutex held; the pad is at its end
 * or flushing by then, so that push returns at once. FALSE, for decode. */
static gboolean tamsel_dec_finish(TamselDec* self) {
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(self);
    GST_DEBUG_OBJECT(self, "end of the render at frame %" G_GUINT64_FORMAT, tamsel_renderer_position(self->renderer));
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(dec);
    gst_pad_push_event(dec->srcpad, gst_event_new_eos());
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(dec);
    return FALSE;
}

/* Renders up to BLOCK_FRAMES frames into the samples of a mapped buffer in
 * the output format; the frames rendered. */
static size_t tamsel_dec_render(TamselDec* self, guint8* samples) {
    if (self->format == GST_AUDIO_FORMAT_S16LE) {
        return tamsel_render_int16(self->renderer, (int16_t*)(void*)samples, BLOCK_FRAMES);
    }
    return tamsel_render_float(self->renderer, (float*)(void*)samples, BLOCK_FRAMES);
}

static gsize tamsel_dec_frame_bytes(GstAudioFormat format) {
    return CHANNELS * (format == GST_AUDIO_FORMAT_S16LE ? sizeof(int16_t) : sizeof(float));
}

/* Renders the next block straight into a new output buffer; FALSE at the
 * end of the render, or after an error. */
static gboolean tamsel_dec_decode(GstNonstreamAudioDecoder* dec, GstBuffer** buffer, guint* num_samples) {
    TamselDec* self = TAMSEL_DEC(dec);
    if (self->renderer == NULL) return tamsel_dec_finish(self);
    /* After the end of the stream only a flushing seek plays again: a seek
     * without one restarts the task, but downstream takes nothing more, and
     * the base class would take its refusals for errors. */
    if (GST_PAD_IS_EOS(dec->srcpad)) {
        GST_DEBUG_OBJECT(self, "downstream has ended: nothing more to play until a flushing seek");
        return FALSE;
    }
    tamsel_dec_follow_downstream_format(self);
    gsize frame_bytes = tamsel_dec_frame_bytes(self->format);
    GstBuffer* out = gst_nonstream_audio_decoder_allocate_output_buffer(dec, BLOCK_FRAMES * frame_bytes);
    GstMapInfo map;
    if (out == NULL || !gst_buffer_map(out, &map, GST_MAP_WRITE)) {
        if (out != NULL) gst_buffer_unref(out);
        tamsel_dec_post_error(self, TAMSEL_ERR_NO_MEMORY, "cannot make an output buffer");
        return tamsel_dec_finish(self);
    }
    /* The samples are written as floats or shorts: an allocator that
     * offers memory not aligned for them is refused rather than misused. */
    if ((uintptr_t)map.data % _Alignof(float) != 0) {
        gst_buffer_unmap(out, &map);
        gst_buffer_unref(out);
        tamsel_dec_post_reason(self, FALSE, "cannot use the output buffer", "its memory is not aligned for samples");
        return tamsel_dec_finish(self);
    }
    size_t frames = tamsel_dec_render(self, map.data);
    gst_buffer_unmap(out, &map);
    if (frames == 0) {
        gst_buffer_unref(out);
        return tamsel_dec_finish(self);
    }
    gst_buffer_set_size(out, (gssize)(frames * frame_bytes));
    GST_LOG_OBJECT(self, "rendered %" G_GSIZE_FORMAT " frames, up to frame %" G_GUINT64_FORMAT, frames,
                   tamsel_renderer_position(self->renderer));
    *buffer = out;
    *num_samples = (guint)frames;
    return TRUE;
}

static void tamsel_dec_set_muted_tracks(TamselDec* self, guint muted_tracks) {
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
    GST_INFO_OBJECT(self, "muted tracks 0x%x -> 0x%x", self->muted_tracks, muted_tracks);
    self->muted_tracks = muted_tracks;
    if (self->renderer != NULL) tamsel_renderer_set_muted_tracks(self->renderer, muted_tracks);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
}

static void tamsel_dec_set_stereo_width(TamselDec* self, gint percent) {
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
    GST_DEBUG_OBJECT(self, "stereo width %d %% -> %d %%", self->stereo_width, percent);
    self->stereo_width = percent;
    if (self->renderer != NULL) tamsel_renderer_set_stereo_width(self->renderer, percent);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
}

static void tamsel_dec_set_property(GObject* object, guint prop_id, const GValue* value, GParamSpec* pspec) {
    TamselDec* self = TAMSEL_DEC(object);
    switch (prop_id) {
    case PROP_LOOPS:
        /* The base class keeps the loop count and hands it on. */
        g_object_set(object, "num-loops", g_value_get_int(value), NULL);
        break;
    case PROP_TICK_MS:
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
        self->tick_ms = g_value_get_double(value);
        GST_INFO_OBJECT(self, "tick %g ms, from the next song loaded", self->tick_ms);
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
        break;
    case PROP_MUTED_TRACKS: tamsel_dec_set_muted_tracks(self, g_value_get_uint(value)); break;
    case PROP_STEREO_WIDTH: tamsel_dec_set_stereo_width(self, g_value_get_int(value)); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec); break;
    }
}

static void tamsel_dec_get_property(GObject* object, guint prop_id, GValue* value, GParamSpec* pspec) {
    TamselDec* self = TAMSEL_DEC(object);
    switch (prop_id) {
    case PROP_LOOPS: {
        gint loops = 0;
        g_object_get(object, "num-loops", &loops, NULL);
        g_value_set_int(value, loops);
        break;
    }
    case PROP_TICK_MS:
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
        g_value_set_double(value, self->tick_ms);
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
        break;
    case PROP_MUTED_TRACKS:
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
        g_value_set_uint(value, self->muted_tracks);
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
        break;
    case PROP_STEREO_WIDTH:
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
        g_value_set_int(value, self->stereo_width);
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
        break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec); break;
    }
}

/* The song and its renderer go once the pipeline stops. */
static GstStateChangeReturn tamsel_dec_change_state(GstElement* element, GstStateChange transition) {
    GstStateChangeReturn result = GST_ELEMENT_CLASS(tamsel_dec_parent_class)->change_state(element, transition);
    if (result != GST_STATE_CHANGE_FAILURE && transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(element);
        tamsel_dec_release_song(TAMSEL_DEC(element));
        tamsel_dec_reset_loading(GST_NONSTREAM_AUDIO_DECODER(element));
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(element);
    }
    return result;
}

static void tamsel_dec_finalize(GObject* object) {
    tamsel_dec_release_song(TAMSEL_DEC(object));
    G_OBJECT_CLASS(tamsel_dec_parent_class)->finalize(object);
}

static void tamsel_dec_install_properties(GObjectClass* object_class) {
    g_object_class_install_property(
        object_class, PROP_LOOPS,
        g_param_spec_int("loops", "Loops",
                         "Extra passes from the song's repeat point; -1 plays on for ever (the same as num-loops)", -1,
                         G_MAXINT, 0, G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING));
    g_object_class_install_property(
        object_class, PROP_TICK_MS,
        g_param_spec_double("tick-ms", "Tick", "Engine tick in milliseconds, used from the next song loaded", 0.0,
                            MAX_TICK_MS, DEFAULT_TICK_MS,
                            G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY));
    g_object_class_install_property(
        object_class, PROP_MUTED_TRACKS,
        g_param_spec_uint("muted-tracks", "Muted tracks",
                          "Bit t silences track t (0..2 melodic, 3 drums); takes effect at once", 0, ALL_TRACKS_MASK, 0,
                          G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING));
    g_object_class_install_property(
        object_class, PROP_STEREO_WIDTH,
        g_param_spec_int("stereo-width", "Stereo width",
                         "Percent: 0 mono, 100 the render itself, 200 the sides doubled; takes effect at once", 0,
                         TAMSEL_LIMIT_STEREO_MAX, TAMSEL_LIMIT_STEREO_DEFAULT,
                         G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING));
}

static void tamsel_dec_class_init(TamselDecClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstNonstreamAudioDecoderClass* decoder_class = GST_NONSTREAM_AUDIO_DECODER_CLASS(klass);

    object_class->set_property = GST_DEBUG_FUNCPTR(tamsel_dec_set_property);
    object_class->get_property = GST_DEBUG_FUNCPTR(tamsel_dec_get_property);
    object_class->finalize = GST_DEBUG_FUNCPTR(tamsel_dec_finalize);
    tamsel_dec_install_properties(object_class);

    element_class->change_state = GST_DEBUG_FUNCPTR(tamsel_dec_change_state);
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "TSM song decoder", "Codec/Decoder/Audio",
                                          "Plays TSM tracker songs, sample for sample as the library renders them",
                                          "tamselexport developers");

    decoder_class->load_from_buffer = GST_DEBUG_FUNCPTR(tamsel_dec_load_from_buffer);
    decoder_class->get_supported_output_modes = GST_DEBUG_FUNCPTR(tamsel_dec_get_supported_output_modes);
    decoder_class->get_subsong_duration = GST_DEBUG_FUNCPTR(tamsel_dec_get_subsong_duration);
    decoder_class->get_subsong_tags = GST_DEBUG_FUNCPTR(tamsel_dec_get_subsong_tags);
    decoder_class->seek = GST_DEBUG_FUNCPTR(tamsel_dec_seek);
    decoder_class->tell = GST_DEBUG_FUNCPTR(tamsel_dec_tell);
    decoder_class->set_num_loops = GST_DEBUG_FUNCPTR(tamsel_dec_set_num_loops);
    decoder_class->get_num_loops = GST_DEBUG_FUNCPTR(tamsel_dec_get_num_loops);
    decoder_class->decode = GST_DEBUG_FUNCPTR(tamsel_dec_decode);
}

static void tamsel_dec_init(TamselDec* self) {
    self->song = NULL;
    self->renderer = NULL;
    self->format = GST_AUDIO_FORMAT_F32LE;
    self->loops = 0;
    self->tick_ms = DEFAULT_TICK_MS;
    self->song_tick_ms = DEFAULT_TICK_MS;
    self->muted_tracks = 0;
    self->stereo_width = TAMSEL_LIMIT_STEREO_DEFAULT;
    self->title = NULL;
    self->load_failed = FALSE;
    self->format_followed = FALSE;
    GstPad* src = GST_NONSTREAM_AUDIO_DECODER_SRC_PAD(self);
    self->base_src_event = GST_PAD_EVENTFUNC(src);
    gst_pad_set_event_function(src, GST_DEBUG_FUNCPTR(tamsel_dec_src_event));
    GstPad* sink = GST_NONSTREAM_AUDIO_DECODER_SINK_PAD(self);
    self->base_sink_event = GST_PAD_EVENTFUNC(sink);
    gst_pad_set_event_function(sink, GST_DEBUG_FUNCPTR(tamsel_dec_sink_event));
}
