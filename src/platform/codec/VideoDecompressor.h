#pragma once

#include "platform/avi/BitmapInfoHeader.h"
#include "platform/codec/DecodeTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// The decompressing side of the video compression manager: what can be
// decoded, and a decoder for one stream's format. Motion-JPEG goes through
// TurboJPEG (MjpegDecompressor), every other kind through libavcodec
// (AvDecompressor).
//
// A decompressor is fed the stream's samples in file order (Send) and hands
// out pictures in display order (Next); codecs with reordering hold pictures
// back until later samples or the end (SendEnd) release them. Reset forgets
// everything fed so far, for a seek. Not thread-safe.
class VideoDecompressor {
public:
    struct CodecInfo {
        uint32_t fccHandler = 0; // four-character code as files carry it
        std::string name;        // short name ("mjpeg", "h264", ...)
        std::string description; // long name for lists
    };

    virtual ~VideoDecompressor();

    // A decompressor for a stream whose format block (a picture header and
    // what follows it) is `format`; `handler` is the stream's handler code,
    // tried when the header's compression code is not known. Null with the
    // reason in `error` when nothing decodes it.
    static std::unique_ptr<VideoDecompressor> Open(const std::vector<uint8_t>& format,
                                                   uint32_t handler, std::string* error = nullptr);
    // Whether Open would find a decoder for these codes.
    static bool CanDecode(uint32_t compression, uint32_t handler);
    // What can be decoded: the motion-JPEG family first, then libavcodec's
    // video decoders that have a four-character code.
    static std::vector<CodecInfo> List();
    // Motion-JPEG codes TurboJPEG decodes ("MJPG", "AVRn", "dmb1", "jpeg", ...).
    static bool IsMotionJpeg(uint32_t code);

    const BitmapInfoHeader& Input() const { return input_; }
    // Every sample is a picture of its own; no reordering, no delay.
    virtual bool IsIntraOnly() const = 0;

    virtual bool Send(const uint8_t* data, size_t size) = 0;
    virtual bool SendEnd() = 0;
    // 1: a picture was written to `out`; 0: none is ready (send more, or
    // the end was reached); -1: a decoding error.
    virtual int Next(const DecodeTarget& out) = 0;
    virtual void Reset() = 0;
    // Decodes one sample of an intra-only stream straight into `out`.
    virtual bool DecodeInto(const uint8_t* data, size_t size, const DecodeTarget& out);
    // Why the last call failed.
    const std::string& Error() const { return error_; }

protected:
    BitmapInfoHeader input_;
    std::vector<uint8_t> format_;
    std::string error_;
};

} // namespace orvik
