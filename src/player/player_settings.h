// The settings a listener changes while the player runs, as the session
// keeps them and the display shows them.
#pragma once

#include <cstdint>

struct PlayerSettings {
    uint32_t muted = 0;
    uint32_t volume = 100;
    uint32_t stereo = 100;
    bool loop_forever = false;
    int32_t loops = 0;
    bool paused = false;
};
