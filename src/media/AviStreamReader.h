#pragma once

#include "platform/avi/AviStreamInfo.h"
#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

class AviFile;
class AviStream;
class FrameGetter;
class VideoDecompressor;

// One stream of an AVI file as the video reader (VfwFile) uses it: the file,
// the stream, its sound format and samples, and its decoded pictures.
//
// It speaks plain sizes and bytes and is the only part of the media readers
// that sees the AVI file, stream and codec classes, so their state (the
// stream's read position, the frame getter's picture) stays behind the video
// reader's lock.
//
// Not thread-safe: VfwFile holds its lock around every call.
class AviStreamReader {
public:
    // A decoded picture: rows bottom-up at `stride` bytes, blue-green-red (24
    // bits), with a fourth byte (32 bits) or grey (8 bits). `format` is the
    // 40-byte header followed by the grey palette of 8-bit pictures.
    struct Picture {
        const uint8_t* bits = nullptr;
        int width = 0;
        int height = 0;
        int bitCount = 0;
        size_t stride = 0;
        const std::vector<uint8_t>* format = nullptr;
    };

    // Where a picture should be decoded to (see DecodeInto).
    struct Target {
        uint8_t* bits = nullptr;
        int width = 0;
        int height = 0; // rows bottom-up
        int bitCount = 24;
        size_t stride = 0;
    };

    static constexpr uint32_t kVideo = 0x73646976; // "vids"
    static constexpr uint32_t kAudio = 0x73647561; // "auds"

    AviStreamReader();
    ~AviStreamReader();
    AviStreamReader(const AviStreamReader&) = delete;
    AviStreamReader& operator=(const AviStreamReader&) = delete;

    enum class OpenResult { opened, noFile, noStream, unusableStream };
    // Opens `path` and its stream number `index` of type `fccType`. On
    // failure the reason is in `error`.
    OpenResult Open(const std::string& path, uint32_t fccType, int index, std::string* error);
    void Close();
    bool IsOpen() const { return stream_ != nullptr; }

    uint64_t FileSize() const;
    const AviStreamInfo& Info() const;
    int64_t Start() const;
    int64_t Length() const;
    double Rate() const;
    // The sound format of a sound stream, null otherwise.
    const WaveFormat* Sound() const;
    // The format block as stored in the file.
    const std::vector<uint8_t>& StoredFormat() const;
    // The format in effect at `sample` (palette changes applied).
    bool ReadFormat(int64_t sample, std::vector<uint8_t>& out) const;
    bool SampleBytes(int64_t sample, uint32_t& bytes) const;
    // See AviStream::Read.
    bool Read(int64_t sample, int64_t count, void* buffer, size_t bufferBytes, size_t* bytesRead,
              int64_t* samplesRead);
    // The last failure of a stream read.
    std::string StreamError() const;

    // Decoded pictures of `width` x `height` in `bitCount` (8, 24 or 32)
    // bits; a width of 0 asks for the stream's own size in 24 bits.
    bool OpenFrames(int width, int height, int bitCount, std::string* error);
    void CloseFrames();
    bool FramesOpen() const;
    // The picture at stream position `sample`. It lives in this object until
    // the next call that decodes or closes.
    bool GetFrame(int64_t sample, Picture& out, std::string* error);
    // Decodes the picture at `sample` straight into the caller's memory
    // when the stream's pictures stand alone (motion-JPEG, DV): no copy.
    // Returns false (without a reason) when that is not possible for this
    // stream or target, so the caller takes the GetFrame path instead.
    bool DecodeInto(int64_t sample, const Target& target, std::string* error, bool* tried);

private:
    std::unique_ptr<AviFile> file_;
    AviStream* stream_ = nullptr;
    std::unique_ptr<FrameGetter> getter_;
    // Decoder of stand-alone pictures for DecodeInto, opened on first use.
    std::unique_ptr<VideoDecompressor> direct_;
    bool directChecked_ = false;
    std::vector<uint8_t> sample_;
};

} // namespace orvik
