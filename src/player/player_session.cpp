#include "player/player_session.h"

#include <bit>
#include <cmath>
#include <cstdlib>

#include "export/audio_render.h"
#include "frontend/song_input.h"
#include "player/renderer_settings.h"

static const int64_t FRAMES_PER_SECOND = TAMSEL_SAMPLE_RATE;
// A change of loop setting takes over this far ahead of the frame the
// display last saw, so the renderer made for it is ready before the song
// gets there and the song plays on without a jump.
static const uint64_t SWITCH_AHEAD_FRAMES = TAMSEL_SAMPLE_RATE / 2;
// Frames the length of a render is measured up to: a year.
static const uint64_t LENGTH_LIMIT = (uint64_t)TAMSEL_SAMPLE_RATE * 86400u * 366u;

static const char* event_name(EventKind kind) {
    switch (kind) {
    case EventKind::SONG_START: return "start";
    case EventKind::SEEK: return "seek";
    case EventKind::SWITCH: return "switch";
    case EventKind::SONG_END: return "end";
    case EventKind::LIST_END: return "list-end";
    case EventKind::MUTE: return "mute";
    case EventKind::STEREO: return "stereo";
    case EventKind::VOLUME: return "volume";
    case EventKind::PAUSE: return "pause";
    case EventKind::RESUME: return "resume";
    }
    return "?";
}

PlayerSession::PlayerSession(const PlayerOptions& options, std::vector<ListEntry> list,
                             std::function<void(const std::string&)> report,
                             std::function<void(int32_t, const SongEntry&)> song_started)
    : options_(options), report_(std::move(report)), song_started_(std::move(song_started)) {
    for (ListEntry& entry : list) {
        SongEntry song;
        song.entry = std::move(entry);
        songs_.push_back(std::move(song));
    }
    settings_.muted = options.muted_tracks;
    settings_.volume = options.volume;
    settings_.stereo = options.stereo;
    settings_.loop_forever = options.loop_forever;
    settings_.loops = options.loops;
    const char* log_path = std::getenv("TAMSELPLAY_EVENTS");
    if (log_path && log_path[0] != '\0') event_log_ = std::fopen(log_path, "w");
}

PlayerSession::~PlayerSession() {
    if (event_log_) std::fclose(event_log_);
}

int32_t PlayerSession::current_song() const {
    return playing_;
}

// A renderer of song index ready for the feed, or null when the song cannot
// be played (the reason reported, the song marked failed).
tamsel_renderer* PlayerSession::make_renderer(int32_t index, uint64_t frame) {
    SongEntry& entry = songs_[(size_t)index];
    if (entry.failed) return nullptr;
    std::string error = entry.entry.error;
    if (error.empty() && !entry.song) {
        auto song = std::make_unique<tamsel::Song>();
        std::vector<std::string> warnings;
        if (load_input_song(entry.entry.path, song.get(), &error, &warnings)) entry.song = std::move(song);
        for (const std::string& warning : warnings) report_(entry.entry.path + ": " + warning);
    }
    tamsel_render_options render_options;
    tamsel_render_options_init(&render_options);
    render_options.loops = settings_.loop_forever ? TAMSEL_LOOPS_FOREVER : options_.loops;
    render_options.tick_ms = options_.tick_ms;
    render_options.muted_tracks = settings_.muted;
    tamsel_renderer* renderer = nullptr;
    if (error.empty()) {
        tamsel_status status = tamsel_renderer_create(entry.song->get(), &render_options, &renderer);
        if (status == TAMSEL_OK) status = tamsel_renderer_prepare(renderer);
        if (status == TAMSEL_OK && frame > 0) status = tamsel_renderer_seek(renderer, frame);
        if (status != TAMSEL_OK) error = tamsel_status_message(status);
    }
    if (!error.empty()) {
        tamsel_renderer_free(renderer);
        entry.failed = true;
        any_failed_ = true;
        report_(entry.entry.path + ": " + error);
        return nullptr;
    }
    apply_stereo_width(renderer, settings_.stereo);
    measure_track_levels(renderer);
    uint64_t length = 0;
    entry.length = tamsel_renderer_length(renderer, LENGTH_LIMIT, &length) == TAMSEL_OK ? length : 0;
    return renderer;
}

void PlayerSession::send(CommandKind kind, uint32_t value) {
    // The feed empties its ring at every callback; a full ring means the
    // device stopped pulling, and the setting is shown but not heard.
    feed_.send(Command{kind, value, -1, 0, 0, nullptr});
}

void PlayerSession::send_renderer(CommandKind kind, int32_t index, uint64_t frame, tamsel_renderer* renderer) {
    uint32_t ticket = next_ticket_++;
    if (!feed_.send(Command{kind, 0, index, ticket, frame, renderer})) {
        tamsel_renderer_free(renderer);
        return;
    }
    if (kind == CommandKind::SWITCH_AT) return;
    tail_song_ = index;
    tail_ticket_ = ticket;
    tail_started_ = false;
    list_done_ = false;
    // The list's last song: the silence after it is its end, not a wait.
    if (index + 1 == (int32_t)songs_.size()) mark_list_done();
}

void PlayerSession::mark_list_done() {
    send(CommandKind::LIST_DONE, 0);
    list_done_ = true;
}

// Plays song index from frame now; false when it cannot be played.
bool PlayerSession::play_now(int32_t index, uint64_t frame) {
    tamsel_renderer* renderer = make_renderer(index, frame);
    if (!renderer) return false;
    send_renderer(CommandKind::PLAY_NOW, index, frame, renderer);
    finished_ = false;
    return true;
}

// Plays the first song from index on (step 1) or back (step -1) that can
// be played; the song played, or -1.
int32_t PlayerSession::play_from(int32_t index, int32_t step) {
    for (int32_t i = index; i >= 0 && i < (int32_t)songs_.size(); i += step) {
        if (play_now(i, 0)) return i;
    }
    return -1;
}

bool PlayerSession::start() {
    send_volume();
    if (settings_.stereo != PLAYER_STEREO_DEFAULT) send(CommandKind::STEREO, settings_.stereo);
    uint64_t start_frame = (uint64_t)std::llround(options_.start_seconds * (double)FRAMES_PER_SECOND);
    for (int32_t i = 0; i < (int32_t)songs_.size(); i++) {
        if (play_now(i, i == 0 ? start_frame : 0)) return true;
    }
    return false;
}

// Once the tail plays, the song after it is made ready and queued.
void PlayerSession::queue_after_tail() {
    if (!tail_started_ || list_done_) return;
    for (int32_t i = tail_song_ + 1; i < (int32_t)songs_.size(); i++) {
        tamsel_renderer* renderer = make_renderer(i, 0);
        if (!renderer) continue;
        send_renderer(CommandKind::PLAY_NEXT, i, 0, renderer);
        return;
    }
    mark_list_done();
}

void PlayerSession::log_event(const Event& event) {
    if (!event_log_) return;
    std::fprintf(event_log_, "%s song=%d device=%llu frame=%llu value=%u\n", event_name(event.kind), (int)event.song,
                 (unsigned long long)event.device_frame, (unsigned long long)event.song_frame, (unsigned)event.value);
    std::fflush(event_log_);
}

void PlayerSession::handle(const Event& event) {
    log_event(event);
    switch (event.kind) {
    case EventKind::SONG_START:
    case EventKind::SEEK:
        if (event.ticket == tail_ticket_) tail_started_ = true;
        list_ended_ = false;
        if (event.song != playing_ || event.kind == EventKind::SONG_START)
            song_started_(event.song, songs_[(size_t)event.song]);
        playing_ = event.song;
        return;
    case EventKind::LIST_END: list_ended_ = true; return;
    default: return;
    }
}

void PlayerSession::poll() {
    Event event;
    while (feed_.next_event(&event)) handle(event);
    tamsel_renderer* renderer = nullptr;
    while (feed_.next_retired(&renderer)) tamsel_renderer_free(renderer);
    queue_after_tail();
    // The feed ran out and nothing follows; or nothing could be queued at
    // all: every song failed.
    if ((list_ended_ && list_done_) || tail_song_ < 0) finished_ = true;
}

void PlayerSession::toggle_pause() {
    settings_.paused = !settings_.paused;
    send(CommandKind::PAUSE, settings_.paused ? 1u : 0u);
}

void PlayerSession::seek_by(int64_t seconds) {
    if (playing_ < 0) return;
    int64_t frame = (int64_t)feed_.status().frame.load(std::memory_order_relaxed) + seconds * FRAMES_PER_SECOND;
    play_now(playing_, frame > 0 ? (uint64_t)frame : 0u);
}

void PlayerSession::seek_to_start() {
    if (playing_ >= 0) play_now(playing_, 0);
}

void PlayerSession::next_song() {
    if (playing_ >= 0) play_from(playing_ + 1, 1);
}

void PlayerSession::previous_song() {
    if (playing_ >= 0) play_from(playing_ - 1, -1);
}

void PlayerSession::toggle_mute(uint32_t track) {
    settings_.muted ^= 1u << track;
    solo_ = 0;
    send(CommandKind::MUTE, settings_.muted);
}

// Solos track 1, then 2, 3, the drums, then none, a track a press.
void PlayerSession::cycle_solo() {
    solo_ = (solo_ + 1) % (TAMSEL_TRACK_COUNT + 1);
    settings_.muted = solo_ == 0 ? 0u : (~(1u << (solo_ - 1)) & 0xFu);
    send(CommandKind::MUTE, settings_.muted);
}

void PlayerSession::unmute_all() {
    settings_.muted = 0;
    solo_ = 0;
    send(CommandKind::MUTE, 0);
}

// The song goes on from a renderer with the other loop setting, which takes
// over a moment ahead; the song queued next is made again with it too.
void PlayerSession::toggle_loop_forever() {
    settings_.loop_forever = !settings_.loop_forever;
    if (playing_ < 0) return;
    uint64_t at = feed_.status().frame.load(std::memory_order_relaxed) + SWITCH_AHEAD_FRAMES;
    tamsel_renderer* renderer = make_renderer(playing_, at);
    if (renderer) send_renderer(CommandKind::SWITCH_AT, playing_, at, renderer);
    if (tail_song_ != playing_ && tail_song_ >= 0) {
        tamsel_renderer* next = make_renderer(tail_song_, 0);
        if (next) send_renderer(CommandKind::PLAY_NEXT, tail_song_, 0, next);
        tail_started_ = false;
    }
}

// The output factor: the volume, and --gain in decibels. At 100 % and 0 dB
// it is exactly 1, and the samples pass untouched.
void PlayerSession::send_volume() {
    double factor = (double)settings_.volume / 100.0 * linear_of_db(options_.gain_db);
    send(CommandKind::VOLUME, std::bit_cast<uint32_t>((float)factor));
}

void PlayerSession::change_volume(int32_t step) {
    int32_t volume = (int32_t)settings_.volume + step;
    settings_.volume = (uint32_t)(volume < 0 ? 0 : volume > 100 ? 100 : volume);
    send_volume();
}

void PlayerSession::change_stereo(int32_t step) {
    int32_t stereo = (int32_t)settings_.stereo + step;
    int32_t max = (int32_t)PLAYER_STEREO_MAX;
    settings_.stereo = (uint32_t)(stereo < 0 ? 0 : stereo > max ? max : stereo);
    send(CommandKind::STEREO, settings_.stereo);
}
