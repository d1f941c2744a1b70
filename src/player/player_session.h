// The main thread's side of playing a list: it loads songs, makes their
// renderers ready (created, prepared, sought) and hands them to the audio
// feed, keeps the next song queued so it follows without a gap, turns keys
// into commands, and reads back what the feed did.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "player/audio_feed.h"
#include "player/play_list.h"
#include "player/player_options.h"
#include "player/player_settings.h"
#include "tamsel/tamsel.hpp"

struct SongEntry {
    ListEntry entry;
    std::unique_ptr<tamsel::Song> song;  // loaded once (standard input can be read only once)
    bool failed = false;
    uint64_t length = 0;  // frames of the render with the settings it last had; 0 when endless
};

class PlayerSession {
public:
    // report receives each line for the user: a song that cannot be played,
    // a warning. song_started is told of each song as it starts.
    PlayerSession(const PlayerOptions& options, std::vector<ListEntry> list,
                  std::function<void(const std::string&)> report,
                  std::function<void(int32_t, const SongEntry&)> song_started);
    ~PlayerSession();

    AudioFeed& feed() { return feed_; }
    // Queues the first song that loads, at --start; false when none does.
    bool start();
    // Reads the feed's events and retired renderers, and keeps the next
    // song queued. Call often (the display's rate is enough).
    void poll();
    bool finished() const { return finished_; }
    bool any_failed() const { return any_failed_; }

    // The keys' actions.
    void toggle_pause();
    void seek_by(int64_t seconds);
    void seek_to_start();
    void next_song();
    void previous_song();
    void toggle_mute(uint32_t track);
    void cycle_solo();
    void unmute_all();
    void toggle_loop_forever();
    void change_volume(int32_t step);
    void change_stereo(int32_t step);

    const PlayerSettings& settings() const { return settings_; }
    const std::vector<SongEntry>& songs() const { return songs_; }
    // The list entry playing (or last played), -1 before the first.
    int32_t current_song() const;

private:
    tamsel_renderer* make_renderer(int32_t index, uint64_t frame);
    bool play_now(int32_t index, uint64_t frame);
    int32_t play_from(int32_t index, int32_t step);
    void queue_after_tail();
    void send_renderer(CommandKind kind, int32_t index, uint64_t frame, tamsel_renderer* renderer);
    void send(CommandKind kind, uint32_t value);
    void send_volume();
    void mark_list_done();
    void log_event(const Event& event);
    void handle(const Event& event);

    PlayerOptions options_;
    std::vector<SongEntry> songs_;
    std::function<void(const std::string&)> report_;
    std::function<void(int32_t, const SongEntry&)> song_started_;
    AudioFeed feed_;
    PlayerSettings settings_;
    std::FILE* event_log_ = nullptr;  // TAMSELPLAY_EVENTS: what the feed did, for tests
    uint32_t next_ticket_ = 1;
    int32_t tail_song_ = -1;  // the last song handed over
    uint32_t tail_ticket_ = 0;
    bool tail_started_ = false;
    bool list_done_ = false;   // nothing can follow the tail
    bool list_ended_ = false;  // the feed has nothing more to play
    bool finished_ = false;
    bool any_failed_ = false;
    int32_t playing_ = -1;
    uint32_t solo_ = 0;  // the track the solo key last soloed, plus one; 0: none
};
