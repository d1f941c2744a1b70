// The player's audio callback allocates nothing: the feed is pulled as
// SDL pulls it, through the player's own session, over a song with seeks,
// mutes, a song change without a gap and one by the next-song key, with
// every operator new counted while the callback runs.
//   feed_allocation_check short.tsm demo.tsm
#include <cstdio>
#include <string>
#include <vector>

#include "counted_new.h"
#include "player/player_session.h"

static float block[2 * 1024];

// Pulls blocks as the device would, between them the main thread's upkeep;
// the allocations the pulls made.
static uint64_t pull_blocks(PlayerSession* session, int blocks) {
    uint64_t during = 0;
    for (int i = 0; i < blocks; i++) {
        uint64_t before = allocations.load();
        session->feed().pull(block, 1024);
        during += allocations.load() - before;
        session->poll();
    }
    return during;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: feed_allocation_check short.tsm demo.tsm\n");
        return 2;
    }
    PlayerOptions options;
    options.inputs = {argv[1], argv[1], argv[2]};
    std::vector<ListEntry> list;
    for (const std::string& input : options.inputs) list.push_back({input, ""});
    std::vector<int32_t> started;
    PlayerSession session(
        options, list, [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); },
        [&](int32_t index, const SongEntry&) { started.push_back(index); });
    if (!session.start()) return 1;
    uint64_t count = pull_blocks(&session, 50);
    session.seek_by(10);
    session.toggle_mute(0);
    count += pull_blocks(&session, 50);
    session.toggle_mute(3);
    session.seek_by(-5);
    session.change_volume(-20);
    session.toggle_pause();
    count += pull_blocks(&session, 10);
    session.toggle_pause();
    session.unmute_all();
    // Near the end: the second song follows without a gap.
    session.seek_by(3600);
    count += pull_blocks(&session, 200);
    session.next_song();
    count += pull_blocks(&session, 50);
    // The count sees an allocation where there is one.
    uint64_t before = allocations.load();
    delete new std::string(64, 'x');
    bool counts = allocations.load() > before;
    std::printf("allocations in the callback: %llu; songs started:", (unsigned long long)count);
    for (int32_t index : started) std::printf(" %d", (int)index);
    std::printf("\n");
    bool changed = started.size() >= 3 && started[1] == 1 && started[2] == 2;
    return count == 0 && counts && changed ? 0 : 1;
}
