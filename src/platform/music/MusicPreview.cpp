#include "platform/music/MusicPreview.h"

#include "platform/music/MusicComposer.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cstring>

namespace orvik {

MusicPreview::MusicPreview(std::unique_ptr<MusicComposer> piece) : piece_(std::move(piece)) {}

MusicPreview::~MusicPreview() {
    Stop();
}

bool MusicPreview::Start(std::string* error) {
    if (device_)
        return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error)
            *error = SDL_GetError();
        return false;
    }
    subsystem_ = true;
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(MusicComposer::kRate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 2048;
    want.callback = &MusicPreview::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) {
        if (error)
            *error = SDL_GetError();
        Stop();
        return false;
    }
    SDL_PauseAudioDevice(device_, 0);
    return true;
}

void MusicPreview::Stop() {
    if (device_) {
        // Closing waits for a running callback to return.
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    if (subsystem_) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        subsystem_ = false;
    }
}

// Called on the sound library's audio thread with the device lock held.
void MusicPreview::Callback(void* self, uint8_t* stream, int bytes) {
    auto* p = static_cast<MusicPreview*>(self);
    std::memset(stream, 0, static_cast<size_t>(bytes));
    uint32_t at = p->position_.load();
    uint32_t total = p->piece_->Samples();
    uint32_t frames = static_cast<uint32_t>(bytes) / 4;
    uint32_t n = at < total ? std::min(frames, total - at) : 0;
    if (n)
        p->piece_->Render(at, n, reinterpret_cast<int16_t*>(stream));
    p->position_.store(at + n);
    if (at + n >= total)
        p->finished_.store(true);
}

} // namespace orvik
