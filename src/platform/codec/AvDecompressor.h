#pragma once

#include "platform/codec/PictureScaler.h"
#include "platform/codec/VideoDecompressor.h"

#include <deque>
#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace orvik {

// A video decompressor on libavcodec: every kind without a faster path of
// its own (DV, MPEG-1/2/4, H.264, raw pictures, ...). Pictures come out in
// display order; those a codec hands out together wait in a queue.
class AvDecompressor : public VideoDecompressor {
public:
    // `codecId` is an AVCodecID.
    static std::unique_ptr<AvDecompressor> Create(int codecId, const BitmapInfoHeader& header,
                                                  const std::vector<uint8_t>& format,
                                                  std::string* error);
    ~AvDecompressor() override;

    bool IsIntraOnly() const override { return intraOnly_; }
    bool Send(const uint8_t* data, size_t size) override;
    bool SendEnd() override;
    int Next(const DecodeTarget& out) override;
    void Reset() override;

private:
    AvDecompressor() = default;
    bool Receive();

    AVCodecContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    std::deque<AVFrame*> ready_;
    PictureScaler scaler_;
    bool intraOnly_ = false;
    bool ended_ = false;
    std::vector<uint8_t> palette_; // for palette pictures: 256 ARGB words
};

} // namespace orvik
