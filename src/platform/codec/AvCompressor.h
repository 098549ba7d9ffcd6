#pragma once

#include "platform/codec/VideoCompressor.h"

#include <memory>
#include <string>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct SwsContext;

namespace orvik {

// A video compressor on libavcodec (MPEG-1, MPEG-4 part 2): key frames at the
// interval asked for, predicted frames between, no reordered frames, so that
// each picture's sample follows in picture order. The picture is converted
// to the encoder's 4:2:0 planes by libswscale straight from the caller's
// bottom-up rows. The MPEG-1 encoder keeps one picture back; Flush hands out
// its sample.
class AvCompressor : public VideoCompressor {
public:
    // `codecId` is an AVCodecID with an encoder.
    static std::unique_ptr<AvCompressor> Create(Info info, int codecId, std::string* error);
    ~AvCompressor() override;

    int DefaultQuality() const override { return 8000; }
    bool CanCompress(int width, int height) const override;
    BitmapInfoHeader OutputFormat(int width, int height) const override;
    bool Begin(int width, int height, uint32_t rate, uint32_t scale) override;
    int Compress(const DecodeTarget& picture, Sample& out) override;
    int Flush(Sample& out) override;
    void End() override;
    int Delay() const override;

    // The encoder's fixed quantiser (2..31) for a quality of 0..10000.
    static int Quantiser(int quality);

private:
    AvCompressor(Info info, int codecId) : VideoCompressor(std::move(info)), codecId_(codecId) {}
    // An opened encoder context for this size and rate; null with a reason.
    AVCodecContext* OpenContext(int width, int height, uint32_t rate, uint32_t scale,
                                std::string* why) const;
    int Receive(Sample& out);

    int codecId_ = 0;
    AVCodecContext* context_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    int64_t nextPts_ = 0;
    bool draining_ = false;
};

} // namespace orvik
