#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

class MusicComposer;

// Plays a composed piece on the sound device once. The sound library's
// audio thread renders the piece as it plays (under the device's lock); the
// position is read on the caller's thread.
class MusicPreview {
public:
    explicit MusicPreview(std::unique_ptr<MusicComposer> piece);
    ~MusicPreview();
    MusicPreview(const MusicPreview&) = delete;
    MusicPreview& operator=(const MusicPreview&) = delete;

    // False (with a reason) when no sound device could be opened.
    bool Start(std::string* error);
    void Stop();
    // Frames played so far; Finished() once the last frame was handed over.
    uint32_t Position() const { return position_.load(); }
    bool Playing() const { return device_ != 0 && !finished_.load(); }

private:
    static void Callback(void* self, uint8_t* stream, int bytes);

    std::unique_ptr<MusicComposer> piece_;
    uint32_t device_ = 0;
    bool subsystem_ = false;
    std::atomic<uint32_t> position_{0};
    std::atomic<bool> finished_{false};
};

} // namespace orvik
