#include "player/audio_feed.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "player/renderer_settings.h"

AudioFeed::~AudioFeed() {
    tamsel_renderer_free(current_.renderer);
    tamsel_renderer_free(next_.renderer);
    tamsel_renderer_free(switch_.renderer);
    Command command;
    while (commands_.pop(&command)) tamsel_renderer_free(command.renderer);
    tamsel_renderer* renderer = nullptr;
    while (retired_.pop(&renderer)) tamsel_renderer_free(renderer);
}

void AudioFeed::post(EventKind kind, const Slot& slot, uint32_t value) {
    uint64_t song_frame = slot.renderer ? tamsel_renderer_position(slot.renderer) : slot.frame;
    // A full ring drops the event: the main thread reads it twenty times a
    // second, far faster than a person makes events.
    events_.push(Event{kind, value, slot.song, slot.ticket, device_frame_, song_frame});
}

// Puts with in slot's place and hands the renderer it held back to the
// main thread, which empties that ring twenty times a second: far more
// often than a person can seek 256 times. Were it ever full, the renderer
// would be left unfreed rather than freed here.
void AudioFeed::replace(Slot* slot, const Slot& with) {
    if (slot->renderer) retired_.push(slot->renderer);
    *slot = with;
}

void AudioFeed::apply(const Command& command) {
    Slot given{command.renderer, command.song, command.ticket, command.frame};
    if (command.kind == CommandKind::PLAY_NOW || command.kind == CommandKind::PLAY_NEXT) last_ = false;
    switch (command.kind) {
    case CommandKind::PLAY_NOW:
        replace(&next_, Slot());
        replace(&switch_, Slot());
        replace(&current_, given);
        started_ = true;
        post(EventKind::SEEK, current_, 0);
        return;
    case CommandKind::PLAY_NEXT:
        if (!current_.renderer) {
            replace(&current_, given);
            started_ = true;
            post(EventKind::SONG_START, current_, 0);
            return;
        }
        replace(&next_, given);
        return;
    case CommandKind::SWITCH_AT: replace(&switch_, given); return;
    case CommandKind::MUTE:
        muted_ = command.value;
        for (Slot* slot : {&current_, &next_, &switch_})
            if (slot->renderer) apply_muted_tracks(slot->renderer, muted_);
        post(EventKind::MUTE, current_, muted_);
        return;
    case CommandKind::STEREO:
        stereo_ = command.value;
        for (Slot* slot : {&current_, &next_, &switch_})
            if (slot->renderer) apply_stereo_width(slot->renderer, stereo_);
        post(EventKind::STEREO, current_, stereo_);
        return;
    case CommandKind::VOLUME:
        volume_ = std::bit_cast<float>(command.value);
        post(EventKind::VOLUME, current_, command.value);
        return;
    case CommandKind::LIST_DONE: last_ = true; return;
    case CommandKind::PAUSE:
        paused_ = command.value != 0;
        post(paused_ ? EventKind::PAUSE : EventKind::RESUME, current_, 0);
        return;
    }
}

void AudioFeed::start_next() {
    post(EventKind::SONG_END, current_, 0);
    replace(&switch_, Slot());
    replace(&current_, next_);
    next_ = Slot();
    if (current_.renderer) {
        post(EventKind::SONG_START, current_, 0);
    } else {
        post(EventKind::LIST_END, current_, 0);
    }
}

// Renders up to frames frames, stopping where a switch is due or the song
// ends; the frames stored.
uint32_t AudioFeed::render(float* out, uint32_t frames) {
    uint64_t position = tamsel_renderer_position(current_.renderer);
    if (switch_.renderer && position >= switch_.frame) {
        replace(&current_, switch_);
        switch_ = Slot();
        post(EventKind::SWITCH, current_, 0);
        position = tamsel_renderer_position(current_.renderer);
    }
    uint64_t want = frames;
    if (switch_.renderer && switch_.frame - position < want) want = switch_.frame - position;
    uint32_t got = (uint32_t)tamsel_render_float(current_.renderer, out, (size_t)want);
    device_frame_ += got;
    if (got == 0) start_next();
    return got;
}

void AudioFeed::publish(const float* out, uint32_t frames) {
    float peak[2] = {0.0f, 0.0f};
    for (uint32_t i = 0; i < 2 * frames; i++) {
        float magnitude = std::fabs(out[i]);
        if (magnitude > peak[i & 1u]) peak[i & 1u] = magnitude;
    }
    status_.levels[4].store(std::bit_cast<uint32_t>(peak[0]), std::memory_order_relaxed);
    status_.levels[5].store(std::bit_cast<uint32_t>(peak[1]), std::memory_order_relaxed);
    status_.has_next.store(next_.renderer != nullptr, std::memory_order_relaxed);
    status_.idle.store(current_.renderer == nullptr, std::memory_order_relaxed);
    if (!current_.renderer) return;
    status_.song.store(current_.song, std::memory_order_relaxed);
    tamsel_play_state state;
    if (tamsel_renderer_get_state(current_.renderer, &state) == TAMSEL_OK) {
        status_.frame.store(state.frame, std::memory_order_relaxed);
        status_.record.store(state.record, std::memory_order_relaxed);
        status_.pass.store(state.pass, std::memory_order_relaxed);
        uint32_t notes = 0;
        for (uint32_t t = 0; t < TAMSEL_TRACK_COUNT; t++)
            if (state.notes[t] != 0) notes |= 1u << t;
        status_.notes.store(notes, std::memory_order_relaxed);
    }
    float tracks[TAMSEL_TRACK_COUNT];
    bool known = read_track_levels(current_.renderer, tracks);
    status_.track_levels.store(known, std::memory_order_relaxed);
    for (uint32_t t = 0; known && t < TAMSEL_TRACK_COUNT; t++)
        status_.levels[t].store(std::bit_cast<uint32_t>(tracks[t]), std::memory_order_relaxed);
}

void AudioFeed::pull(float* out, uint32_t frames) {
    Command command;
    while (commands_.pop(&command)) apply(command);
    uint32_t done = 0;
    while (done < frames && !paused_ && current_.renderer) done += render(out + 2 * (size_t)done, frames - done);
    if (done < frames) {
        std::memset(out + 2 * (size_t)done, 0, sizeof(float) * 2 * (size_t)(frames - done));
        if (!paused_ && started_ && !current_.renderer && !last_)
            status_.underruns.fetch_add(1, std::memory_order_relaxed);
        device_frame_ += frames - done;
    }
    if (volume_ != 1.0f) {
        for (uint32_t i = 0; i < 2 * frames; i++) out[i] *= volume_;
    }
    publish(out, frames);
}
