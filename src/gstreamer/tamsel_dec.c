/*
 * tamseldec: the whole song arrives as one buffer, the library loads it and
 * one renderer plays it. Positions are frames of the library's 48000 Hz
 * render; every time this element reports is the first nanosecond at or
 * after its frame's start, so the base class's own conversion back to
 * frames (rounding down) gives exactly that frame again.
 *
 * The base class calls every virtual method with its mutex held; property
 * changes take the same mutex, so they never meet a render half-way.
 */
#include "tamsel_dec.h"

#include <string.h>

#include "tamsel/tamsel.h"

typedef struct {
    GstNonstreamAudioDecoderClass parent_class;
} TamselGstDecClass;

typedef struct {
    GstNonstreamAudioDecoder parent;
    tamsel_song* song;
    tamsel_renderer* renderer;
    GstAudioFormat format; /* F32LE or S16LE, by negotiation */
    gint loops;            /* of the renderer, as made */
    gdouble tick_ms;
    guint muted_tracks;
    gchar* title; /* from the upstream file's name, or NULL */
    gboolean load_failed;
    gboolean format_followed; /* since the load */
    GstPadEventFunction base_src_event;
    GstPadEventFunction base_sink_event;
} TamselGstDec;

#define TAMSEL_GST_DEC(object) (G_TYPE_CHECK_INSTANCE_CAST((object), TAMSEL_GST_TYPE_DEC, TamselGstDec))

G_DEFINE_TYPE(TamselGstDec, tamsel_gst_dec, GST_TYPE_NONSTREAM_AUDIO_DECODER)

enum { PROP_0, PROP_LOOPS, PROP_TICK_MS, PROP_MUTED_TRACKS };

#define DEFAULT_TICK_MS 20.0
/* The longest tick is the export's limit, the same the command line checks. */
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

static GstClockTime frame_to_time(guint64 frame) {
    return gst_util_uint64_scale_int_ceil(frame, GST_SECOND, TAMSEL_SAMPLE_RATE);
}

static guint64 time_to_frame(GstClockTime time) {
    return gst_util_uint64_scale_int(time, TAMSEL_SAMPLE_RATE, GST_SECOND);
}

/* Posts an error naming the library's reason. The base class asks for its
 * mutex to be released around bus messages. */
static void post_error(TamselGstDec* self, tamsel_status status, const char* what) {
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
    if (status == TAMSEL_ERR_NOT_A_SONG) {
        GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s: %s", what, tamsel_status_message(status)), (NULL));
    } else {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s: %s", what, tamsel_status_message(status)), (NULL));
    }
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
}

static void release_song(TamselGstDec* self) {
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
static tamsel_renderer* make_renderer(TamselGstDec* self, gint loops) {
    tamsel_render_options options;
    tamsel_render_options_init(&options);
    options.loops = loops;
    options.tick_ms = self->tick_ms;
    options.muted_tracks = self->muted_tracks;
    tamsel_renderer* renderer = NULL;
    tamsel_status status = tamsel_renderer_create(self->song, &options, &renderer);
    if (status != TAMSEL_OK) {
        post_error(self, status, "cannot play the song");
        return NULL;
    }
    return renderer;
}

static GstClockTime render_duration(const tamsel_renderer* renderer) {
    uint64_t frames = 0;
    if (tamsel_renderer_length(renderer, UINT64_MAX, &frames) != TAMSEL_OK) return GST_CLOCK_TIME_NONE;
    return frame_to_time(frames);
}

/* The upstream file's name without its extension, when upstream tells a
 * URI; NULL otherwise. */
static gchar* title_from_upstream(GstNonstreamAudioDecoder* dec) {
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
static GstAudioFormat negotiated_format(GstNonstreamAudioDecoder* dec) {
    GstAudioFormat format = GST_AUDIO_FORMAT_F32LE;
    gint rate = TAMSEL_SAMPLE_RATE;
    gint channels = CHANNELS;
    gst_nonstream_audio_decoder_get_downstream_info(dec, &format, &rate, &channels);
    return format == GST_AUDIO_FORMAT_S16LE ? GST_AUDIO_FORMAT_S16LE : GST_AUDIO_FORMAT_F32LE;
}

static gboolean load_song(TamselGstDec* self, GstBuffer* source_data, gint num_loops) {
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(self);
    GstMapInfo map;
    if (!gst_buffer_map(source_data, &map, GST_MAP_READ)) {
        post_error(self, TAMSEL_ERR_IO, "cannot read the input");
        return FALSE;
    }
    tamsel_status status = tamsel_song_load_memory(map.data, map.size, &self->song);
    gst_buffer_unmap(source_data, &map);
    if (status != TAMSEL_OK) {
        post_error(self, status, "cannot load the song");
        return FALSE;
    }
    self->renderer = make_renderer(self, num_loops);
    if (self->renderer == NULL) return FALSE;
    self->loops = num_loops;
    self->title = title_from_upstream(dec);
    self->format = negotiated_format(dec);
    return gst_nonstream_audio_decoder_set_output_format_simple(dec, TAMSEL_SAMPLE_RATE, self->format, CHANNELS);
}

static gboolean load_from_buffer(GstNonstreamAudioDecoder* dec, GstBuffer* source_data, G_GNUC_UNUSED guint subsong,
                                 G_GNUC_UNUSED GstNonstreamAudioSubsongMode subsong_mode,
                                 GstClockTime* initial_position, GstNonstreamAudioOutputMode* output_mode,
                                 gint* num_loops) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    release_song(self);
    self->load_failed = !load_song(self, source_data, *num_loops);
    /* Loops are the library's own: the position runs on through them. */
    *output_mode = GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
    *initial_position = 0;
    return !self->load_failed;
}

static guint get_supported_output_modes(G_GNUC_UNUSED GstNonstreamAudioDecoder* dec) {
    return 1u << GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY;
}

static GstClockTime get_subsong_duration(GstNonstreamAudioDecoder* dec, G_GNUC_UNUSED guint subsong) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    return self->renderer != NULL ? render_duration(self->renderer) : GST_CLOCK_TIME_NONE;
}

/* The song's tags, given as the only subsong's: the base class's main tags
 * would leak the list they are merged into. */
static GstTagList* get_subsong_tags(GstNonstreamAudioDecoder* dec, G_GNUC_UNUSED guint subsong) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    GstTagList* tags = gst_tag_list_new(GST_TAG_CONTAINER_FORMAT, "TSM", NULL);
    if (self->title != NULL) gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, self->title, NULL);
    if (GST_CLOCK_TIME_IS_VALID(dec->subsong_duration)) {
        gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_DURATION, dec->subsong_duration, NULL);
    }
    return tags;
}

static gboolean seek(GstNonstreamAudioDecoder* dec, GstClockTime* new_position) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    if (self->renderer == NULL) return FALSE;
    if (tamsel_renderer_seek(self->renderer, time_to_frame(*new_position)) != TAMSEL_OK) return FALSE;
    *new_position = frame_to_time(tamsel_renderer_position(self->renderer));
    return TRUE;
}

static GstClockTime tell(GstNonstreamAudioDecoder* dec) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    return frame_to_time(tamsel_renderer_position(self->renderer));
}

/* A new loop count during playback: the render with that many loops, at the
 * same frame, and its length as the new duration. */
static gboolean set_num_loops(GstNonstreamAudioDecoder* dec, gint num_loops) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    if (self->renderer == NULL || num_loops == self->loops) return TRUE;
    tamsel_renderer* renderer = make_renderer(self, num_loops);
    if (renderer == NULL) return FALSE;
    if (tamsel_renderer_seek(renderer, tamsel_renderer_position(self->renderer)) != TAMSEL_OK) {
        tamsel_renderer_free(renderer);
        return FALSE;
    }
    tamsel_renderer_free(self->renderer);
    self->renderer = renderer;
    self->loops = num_loops;
    dec->subsong_duration = render_duration(renderer);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(dec);
    gst_element_post_message(GST_ELEMENT(dec), gst_message_new_duration_changed(GST_OBJECT(dec)));
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(dec);
    return TRUE;
}

static gint get_num_loops(GstNonstreamAudioDecoder* dec) {
    return TAMSEL_GST_DEC(dec)->loops;
}

/* The format downstream takes now, before the next block is made in the
 * old one and refused: checked once at the first block, as decodebin links
 * its pad only once the first caps are out, and whenever downstream
 * changes. */
static void follow_downstream_format(TamselGstDec* self) {
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(self);
    if (self->format_followed && !gst_pad_needs_reconfigure(dec->srcpad)) return;
    self->format_followed = TRUE;
    GstAudioFormat format = negotiated_format(dec);
    if (format == self->format) return;
    if (gst_nonstream_audio_decoder_set_output_format_simple(dec, TAMSEL_SAMPLE_RATE, format, CHANNELS)) {
        self->format = format;
    }
}

/* Renders the next block into a buffer; FALSE at the end of the render. */
static gboolean decode(GstNonstreamAudioDecoder* dec, GstBuffer** buffer, guint* num_samples) {
    TamselGstDec* self = TAMSEL_GST_DEC(dec);
    if (self->renderer == NULL) return FALSE;
    follow_downstream_format(self);
    float floats[CHANNELS * BLOCK_FRAMES];
    int16_t shorts[CHANNELS * BLOCK_FRAMES];
    const void* samples = floats;
    size_t frame_bytes = CHANNELS * sizeof(float);
    size_t frames = 0;
    if (self->format == GST_AUDIO_FORMAT_S16LE) {
        frames = tamsel_render_int16(self->renderer, shorts, BLOCK_FRAMES);
        samples = shorts;
        frame_bytes = CHANNELS * sizeof(int16_t);
    } else {
        frames = tamsel_render_float(self->renderer, floats, BLOCK_FRAMES);
    }
    if (frames == 0) return FALSE;
    GstBuffer* out = gst_nonstream_audio_decoder_allocate_output_buffer(dec, frames * frame_bytes);
    if (out == NULL) return FALSE;
    gst_buffer_fill(out, 0, samples, frames * frame_bytes);
    *buffer = out;
    *num_samples = (guint)frames;
    return TRUE;
}

/* A position in samples as the time of its frame; past the clock's range,
 * the latest time (which seeks to the end). */
static gint64 sample_position_time(gint64 position) {
    if (position < 0) return position;
    GstClockTime time = frame_to_time((guint64)position);
    return time > (GstClockTime)G_MAXINT64 ? G_MAXINT64 : (gint64)time;
}

/* Seeks in samples (GST_FORMAT_DEFAULT) become seeks to their frames' times,
 * the only format the base class seeks in. Seeks it cannot make are
 * refused here: the base class would keep a reference to them. */
static gboolean src_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    TamselGstDec* self = TAMSEL_GST_DEC(parent);
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK) return self->base_src_event(pad, parent, event);
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType start_type, stop_type;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
    gboolean known_format = format == GST_FORMAT_TIME || format == GST_FORMAT_DEFAULT;
    if (!GST_NONSTREAM_AUDIO_DECODER(self)->loaded_mode || rate < 0.0 || !known_format) {
        gst_event_unref(event);
        return FALSE;
    }
    if (format == GST_FORMAT_DEFAULT) {
        GstEvent* in_time = gst_event_new_seek(rate, GST_FORMAT_TIME, flags, start_type, sample_position_time(start),
                                               stop_type, sample_position_time(stop));
        gst_event_set_seqnum(in_time, gst_event_get_seqnum(event));
        gst_event_unref(event);
        event = in_time;
    }
    return self->base_src_event(pad, parent, event);
}

/* The end of the input. Once the song is loaded, or its load has failed,
 * it means nothing more, and is dropped here: the base class keeps a
 * reference to every end-of-stream event it is given. */
static gboolean sink_event(GstPad* pad, GstObject* parent, GstEvent* event) {
    TamselGstDec* self = TAMSEL_GST_DEC(parent);
    GstNonstreamAudioDecoder* dec = GST_NONSTREAM_AUDIO_DECODER(parent);
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS && (dec->loaded_mode || self->load_failed)) {
        gst_event_unref(event);
        return !self->load_failed;
    }
    return self->base_sink_event(pad, parent, event);
}

static void set_muted_tracks(TamselGstDec* self, guint muted_tracks) {
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
    self->muted_tracks = muted_tracks;
    if (self->renderer != NULL) tamsel_renderer_set_muted_tracks(self->renderer, muted_tracks);
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
}

static void set_property(GObject* object, guint prop_id, const GValue* value, GParamSpec* pspec) {
    TamselGstDec* self = TAMSEL_GST_DEC(object);
    switch (prop_id) {
    case PROP_LOOPS:
        /* The base class keeps the loop count and hands it on. */
        g_object_set(object, "num-loops", g_value_get_int(value), NULL);
        break;
    case PROP_TICK_MS:
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
        self->tick_ms = g_value_get_double(value);
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
        break;
    case PROP_MUTED_TRACKS: set_muted_tracks(self, g_value_get_uint(value)); break;
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec); break;
    }
}

static void get_property(GObject* object, guint prop_id, GValue* value, GParamSpec* pspec) {
    TamselGstDec* self = TAMSEL_GST_DEC(object);
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
    default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, prop_id, pspec); break;
    }
}

/* The song and its renderer go once the pipeline stops. */
static GstStateChangeReturn change_state(GstElement* element, GstStateChange transition) {
    GstStateChangeReturn result = GST_ELEMENT_CLASS(tamsel_gst_dec_parent_class)->change_state(element, transition);
    if (result != GST_STATE_CHANGE_FAILURE && transition == GST_STATE_CHANGE_PAUSED_TO_READY) {
        GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(element);
        release_song(TAMSEL_GST_DEC(element));
        GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(element);
    }
    return result;
}

static void finalize(GObject* object) {
    release_song(TAMSEL_GST_DEC(object));
    G_OBJECT_CLASS(tamsel_gst_dec_parent_class)->finalize(object);
}

static void install_properties(GObjectClass* object_class) {
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
}

static void tamsel_gst_dec_class_init(TamselGstDecClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstNonstreamAudioDecoderClass* decoder_class = GST_NONSTREAM_AUDIO_DECODER_CLASS(klass);

    object_class->set_property = set_property;
    object_class->get_property = get_property;
    object_class->finalize = finalize;
    install_properties(object_class);

    element_class->change_state = change_state;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(element_class, "TSM song decoder", "Codec/Decoder/Audio",
                                          "Plays TSM tracker songs, sample for sample as the library renders them",
                                          "tamselexport developers");

    decoder_class->load_from_buffer = load_from_buffer;
    decoder_class->get_supported_output_modes = get_supported_output_modes;
    decoder_class->get_subsong_duration = get_subsong_duration;
    decoder_class->get_subsong_tags = get_subsong_tags;
    decoder_class->seek = seek;
    decoder_class->tell = tell;
    decoder_class->set_num_loops = set_num_loops;
    decoder_class->get_num_loops = get_num_loops;
    decoder_class->decode = decode;
}

static void tamsel_gst_dec_init(TamselGstDec* self) {
    self->song = NULL;
    self->renderer = NULL;
    self->format = GST_AUDIO_FORMAT_F32LE;
    self->loops = 0;
    self->tick_ms = DEFAULT_TICK_MS;
    self->muted_tracks = 0;
    self->title = NULL;
    self->load_failed = FALSE;
    self->format_followed = FALSE;
    GstPad* src = GST_NONSTREAM_AUDIO_DECODER_SRC_PAD(self);
    self->base_src_event = GST_PAD_EVENTFUNC(src);
    gst_pad_set_event_function(src, src_event);
    GstPad* sink = GST_NONSTREAM_AUDIO_DECODER_SINK_PAD(self);
    self->base_sink_event = GST_PAD_EVENTFUNC(sink);
    gst_pad_set_event_function(sink, sink_event);
}
