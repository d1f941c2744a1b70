// The audio callback's side of the player: it pulls frames from the
// renderer that plays, moves on to the one queued next without a gap,
// and applies the commands the main thread hands over. It never allocates,
// locks, waits or touches a file: renderers arrive created, prepared and
// sought; the ones it is done with go back to the main thread to be freed;
// what it did goes back as events with the exact frame it took effect.
#pragma once

#include <atomic>
#include <cstdint>

#include "player/handover.h"
#include "tamsel/tamsel.h"

enum class CommandKind : uint8_t {
    PLAY_NOW,   // renderer replaces what plays (and what is queued) at once
    PLAY_NEXT,  // renderer follows what plays, without a gap
    SWITCH_AT,  // renderer, of the same song, takes over when the song reaches frame
    MUTE,       // value: the muted tracks' bits
    STEREO,     // value: the stereo width in percent
    VOLUME,     // value: the bits of the float factor the output is multiplied by
    PAUSE,      // value: 1 paused, 0 playing
    LIST_DONE,  // nothing follows what is queued: silence after it is no underrun
};

struct Command {
    CommandKind kind;
    uint32_t value;
    int32_t song;     // the list entry of renderer
    uint32_t ticket;  // names the renderer in the events about it
    uint64_t frame;
    tamsel_renderer* renderer;
};

enum class EventKind : uint8_t {
    SONG_START,  // song starts at device_frame, at song_frame
    SEEK,        // the song jumps to song_frame
    SWITCH,      // a renderer of the same song takes over at song_frame
    SONG_END,    // the song ended at device_frame
    LIST_END,    // nothing is queued after the song that ended
    MUTE,
    STEREO,
    VOLUME,
    PAUSE,
    RESUME,
};

struct Event {
    EventKind kind;
    uint32_t value;
    int32_t song;
    uint32_t ticket;
    uint64_t device_frame;  // frames the device had been given before the event
    uint64_t song_frame;
};

// What the display reads; each field is written by the callback alone.
struct FeedStatus {
    std::atomic<int32_t> song{-1};
    std::atomic<uint64_t> frame{0};
    std::atomic<int32_t> record{0};
    std::atomic<uint32_t> pass{0};
    std::atomic<uint32_t> notes{0};     // bit t: track t started a note in the record
    std::atomic<uint32_t> levels[6]{};  // float bits: the four tracks, then left and right
    std::atomic<bool> track_levels{false};
    std::atomic<uint64_t> underruns{0};  // callbacks that found no song ready while one was due
    std::atomic<bool> has_next{false};
    std::atomic<bool> idle{true};  // nothing plays: before the first song or after the list
};

class AudioFeed {
public:
    AudioFeed() = default;
    AudioFeed(const AudioFeed&) = delete;
    AudioFeed& operator=(const AudioFeed&) = delete;
    ~AudioFeed();

    // The callback: frames stereo float frames into out.
    void pull(float* out, uint32_t frames);

    // The main thread's side.
    bool send(const Command& command) { return commands_.push(command); }
    bool next_event(Event* event) { return events_.pop(event); }
    // A renderer the callback is done with, for the main thread to free.
    bool next_retired(tamsel_renderer** renderer) { return retired_.pop(renderer); }
    const FeedStatus& status() const { return status_; }

private:
    struct Slot {
        tamsel_renderer* renderer = nullptr;
        int32_t song = -1;
        uint32_t ticket = 0;
        uint64_t frame = 0;  // for a switch: the song frame it takes over at
    };

    void apply(const Command& command);
    void replace(Slot* slot, const Slot& with);
    void post(EventKind kind, const Slot& slot, uint32_t value);
    void start_next();
    uint32_t render(float* out, uint32_t frames);
    void publish(const float* out, uint32_t frames);

    Handover<Command, 256> commands_;
    Handover<Event, 1024> events_;
    Handover<tamsel_renderer*, 256> retired_;
    FeedStatus status_;
    Slot current_;
    Slot next_;
    Slot switch_;
    uint64_t device_frame_ = 0;
    uint32_t muted_ = 0;
    uint32_t stereo_ = 100;
    float volume_ = 1.0f;
    bool paused_ = false;
    bool last_ = false;     // nothing follows what is queued
    bool started_ = false;  // a song has played: from then on silence for want of one is an underrun
};
