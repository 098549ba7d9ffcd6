#pragma once

#include "platform/avi/BitmapInfoHeader.h"
#include "platform/codec/VideoDecompressor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

class AviStream;

// Decoded pictures of one video stream by sample position: the decompressed
// frame getter the video reader draws from. A picture that depends on
// earlier ones is reached by decoding from the key frame before it; going on
// forward reuses what is decoded already. An empty sample (a dropped frame)
// repeats the picture before it.
//
// The picture lives in the getter and stays valid until the next GetFrame or
// Close. Not thread-safe.
class FrameGetter {
public:
    FrameGetter() = default;
    ~FrameGetter();
    FrameGetter(const FrameGetter&) = delete;
    FrameGetter& operator=(const FrameGetter&) = delete;

    // Opens for `stream`. `wanted` gives the picture's width, height and bit
    // count (8, 24 or 32; 0 means 24); null asks for the stream's own size in
    // 24 bits. False with the reason in Error().
    bool Open(AviStream& stream, const BitmapInfoHeader* wanted = nullptr);
    void Close();
    bool IsOpen() const { return decoder_ != nullptr; }

    // The picture at `sample` (a stream position, Start() based), rows
    // bottom-up as OutputFormat() describes; null on failure.
    const uint8_t* GetFrame(int64_t sample);

    // The header (and, for 8 bits, the grey palette) of the pictures.
    const BitmapInfoHeader& OutputHeader() const { return header_; }
    const std::vector<uint8_t>& OutputFormat() const { return outputFormat_; }
    const std::string& Error() const { return error_; }

private:
    bool DecodeIntra(int64_t rel);
    bool DecodeInter(int64_t rel);
    bool ReadSample(int64_t rel);

    AviStream* stream_ = nullptr;
    std::unique_ptr<VideoDecompressor> decoder_;
    BitmapInfoHeader header_;
    std::vector<uint8_t> outputFormat_;
    std::vector<uint8_t> picture_;
    std::vector<uint8_t> sample_;
    std::string error_;
    int64_t shown_ = -1;   // sample whose picture `picture_` holds
    int64_t decoded_ = -1; // intra: sample last decoded
    int64_t nextFeed_ = 0; // inter: next sample to send
    int64_t nextOut_ = 0;  // inter: sample of the next picture to come out
    bool ended_ = false;   // inter: the end was sent
    bool fresh_ = true;    // inter: nothing sent since the last reset
};

} // namespace orvik
