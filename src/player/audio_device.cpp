#include "player/audio_device.h"

#include <SDL.h>

static const int DEVICE_FRAMES = 1024;

static void pull_frames(void* feed, Uint8* stream, int bytes) {
    static_cast<AudioFeed*>(feed)->pull(reinterpret_cast<float*>(stream), (uint32_t)bytes / (2 * sizeof(float)));
}

AudioDevice::~AudioDevice() {
    close();
    if (started_) SDL_Quit();
}

bool AudioDevice::init(std::string* error) {
    // The player handles Ctrl-C and SIGTERM itself, to leave the terminal
    // as it was found.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        *error = std::string("cannot start the audio output: ") + SDL_GetError();
        return false;
    }
    started_ = true;
    return true;
}

bool AudioDevice::open(AudioFeed* feed, std::string* error) {
    SDL_AudioSpec wanted;
    SDL_zero(wanted);
    wanted.freq = 48000;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = 2;
    wanted.samples = DEVICE_FRAMES;
    wanted.callback = pull_frames;
    wanted.userdata = feed;
    SDL_AudioSpec obtained;
    // No changes allowed: SDL converts for the device itself, so the
    // callback always gives it what the renderer makes.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device_ == 0) {
        *error = std::string("cannot open the audio device: ") + SDL_GetError();
        return false;
    }
    return true;
}

void AudioDevice::close() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
}

void AudioDevice::pause(bool paused) {
    if (device_ != 0) SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

bool AudioDevice::poll_removed() {
    SDL_Event event;
    bool removed = false;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_AUDIODEVICEREMOVED && event.adevice.iscapture == 0 && event.adevice.which == device_)
            removed = true;
    }
    return removed;
}
