// The system's default audio output through SDL2: stereo 32-bit float at
// 48000 frames a second, exactly as asked (SDL converts for the device
// where it must, so the feed's frames are what SDL is given), pulled by
// the feed from SDL's audio thread.
#pragma once

#include <cstdint>
#include <string>

#include "player/audio_feed.h"

class AudioDevice {
public:
    AudioDevice() = default;
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;
    ~AudioDevice();

    // Starts SDL's audio; false with SDL's reason.
    bool init(std::string* error);
    // Opens the default output, paused, for feed; false with SDL's reason.
    bool open(AudioFeed* feed, std::string* error);
    void close();
    void pause(bool paused);
    // True when SDL says this device was removed (an event the caller
    // polls with poll_removed).
    bool poll_removed();

private:
    uint32_t device_ = 0;
    bool started_ = false;
};
