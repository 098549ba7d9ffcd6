#pragma once

#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace orvik {

// A compressed sound format (mu-law, A-law, IMA and MS ADPCM, and whatever
// else libavcodec knows by its format tag) decoded to interleaved samples in
// PcmSamples' working form.
class AudioDecoder {
public:
    static std::unique_ptr<AudioDecoder> Create(const WaveFormat& format, std::string* error);
    // Whether a decoder exists for the format's tag.
    static bool CanDecode(const WaveFormat& format);
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    // Decodes `size` bytes (whole blocks) and appends the frames to `out`.
    bool Decode(const uint8_t* data, size_t size, std::vector<int32_t>& out);
    // Forgets the state between blocks (a new position).
    void Reset();
    const std::string& Error() const { return error_; }

private:
    AudioDecoder() = default;
    bool Drain(std::vector<int32_t>& out);

    WaveFormat format_;
    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVFrame* frame_ = nullptr;
    std::string error_;
};

} // namespace orvik
