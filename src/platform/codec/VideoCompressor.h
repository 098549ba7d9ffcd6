#pragma once

#include "platform/avi/BitmapInfoHeader.h"
#include "platform/avi/FourCC.h"
#include "platform/codec/DecodeTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// The compressing side of the video compression manager: the installed
// compressors by index with their friendly names, and a compressor opened by
// its type and handler code (or its name) that turns pictures into the
// samples of an AVI video stream.
//
// Installed, in this order:
// - "Orvik QX M-JPEG" ("MJPG"): motion-JPEG through TurboJPEG, the board's
//   own codec and the hot path of making a movie (MjpegCompressor);
// - "Orvik MPEG-1 Video" ("mpg1") and "Orvik MPEG-4 Video" ("FMP4") through
//   libavcodec, when its encoders are there (AvCompressor);
// - "Full Frames (Uncompressed)" ("DIB "): the pictures as they are
//   (DibCompressor).
//
// Pictures are given as a DecodeTarget describes a picture in memory: rows
// bottom-up, blue-green-red of 24 bits, or of 32 bits whose fourth byte is
// ignored; only read. Use: SetQuality and the other settings, Begin, then
// Compress for each picture and Flush after the last, then End. Not
// thread-safe: one compressor per stream being written.
class VideoCompressor {
public:
    static constexpr uint32_t kTypeVideo = MakeFourCC("vidc");
    static constexpr int kDefaultQuality = -1;
    static constexpr int kMaxQuality = 10000;

    struct Info {
        uint32_t fccType = kTypeVideo;
        uint32_t fccHandler = 0;   // the handler code streams carry ("MJPG")
        std::string name;          // the friendly name lists show
        bool configurable = false; // has a settings dialog of its own
    };

    // One compressed picture. The bytes belong to the compressor (or, for
    // pictures stored as they are, to the caller's picture) and stay valid
    // until the next call on it.
    struct Sample {
        const uint8_t* data = nullptr;
        size_t size = 0;
        bool keyFrame = false;
    };

    virtual ~VideoCompressor();

    // The installed compressors, in enumeration order.
    static std::vector<Info> List();
    // The compressor at `index` of List(); false past the last one.
    static bool GetInfo(size_t index, Info& out);
    // Opens the compressor of this type ("vidc", or 0 for any) and handler
    // code (letter case does not matter); null with the reason in `error`.
    static std::unique_ptr<VideoCompressor> Open(uint32_t fccType, uint32_t fccHandler,
                                                 std::string* error = nullptr);
    // Opens the compressor whose friendly name is exactly `name`.
    static std::unique_ptr<VideoCompressor> OpenByName(const std::string& name,
                                                       std::string* error = nullptr);

    const Info& GetInfo() const { return info_; }

    // 0 (smallest samples) to 10000 (best pictures); kDefaultQuality leaves
    // it to the compressor. Takes effect at the next Begin.
    void SetQuality(int quality);
    // The quality in effect.
    int Quality() const { return quality_ < 0 ? DefaultQuality() : quality_; }
    virtual int DefaultQuality() const = 0;
    // A key frame every `frames` pictures (0: the compressor's choice).
    // Compressors of key frames only ignore it.
    void SetKeyFrameInterval(int frames) { keyInterval_ = frames < 0 ? 0 : frames; }
    // Bytes per second to aim at (0: the quality decides); compressors that
    // cannot aim at a rate ignore it.
    void SetDataRate(uint32_t bytesPerSecond) { dataRate_ = bytesPerSecond; }

    // Whether pictures of this size can be compressed.
    virtual bool CanCompress(int width, int height) const = 0;
    // The stream format for pictures of this size: a picture header whose
    // compression is the handler code (0 for full frames).
    virtual BitmapInfoHeader OutputFormat(int width, int height) const = 0;

    // Starts compressing pictures of `width` x `height` at `rate` / `scale`
    // pictures per second. False with the reason in Error().
    virtual bool Begin(int width, int height, uint32_t rate, uint32_t scale) = 0;
    // Compresses one picture. 1: `out` holds its sample; 0: the compressor
    // keeps it back and hands its sample out with a later picture or Flush
    // (samples always come in picture order, one per picture); -1: failure.
    virtual int Compress(const DecodeTarget& picture, Sample& out) = 0;
    // After the last picture: 1 with a sample kept back, 0 when none is left,
    // -1 on failure.
    virtual int Flush(Sample& out) = 0;
    virtual void End() = 0;
    // How many pictures a sample comes after its own (0: at once).
    virtual int Delay() const = 0;

    bool IsStarted() const { return started_; }
    // The stream format of the pictures begun (valid after Begin).
    const BitmapInfoHeader& Output() const { return output_; }
    const std::string& Error() const { return error_; }

protected:
    explicit VideoCompressor(Info info) : info_(std::move(info)) {}
    // Checks a picture against the size begun; false with a reason.
    bool CheckPicture(const DecodeTarget& picture);

    Info info_;
    int quality_ = kDefaultQuality;
    int keyInterval_ = 0;
    uint32_t dataRate_ = 0;
    bool started_ = false;
    int width_ = 0;
    int height_ = 0;
    BitmapInfoHeader output_;
    std::string error_;
};

} // namespace orvik
