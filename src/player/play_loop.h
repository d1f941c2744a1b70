// The main thread's loop while the list plays: keys, signals, the
// display, device removal, and the session's upkeep, twenty times a
// second, until the list ends or the user quits.
#pragma once

#include <string>

#include "player/audio_device.h"
#include "player/player_session.h"
#include "player/status_view.h"

struct LoopSetup {
    bool keys = false;              // keys come from standard input
    StatusView* display = nullptr;  // the status block on standard output, or none
};

// Prints one line for the user on standard error, the status block taken
// off the screen first.
void print_message(StatusView* display, const std::string& line);

// 0 when the loop ended as asked; 1 when the device failed (the reason in
// *error).
int run_play_loop(PlayerSession* session, AudioDevice* device, const LoopSetup& setup, std::string* error);
