#pragma once

#include "platform/codec/VideoCompressor.h"

#include <memory>
#include <vector>

namespace orvik {

// Full frames: each picture stored as it is, 24-bit rows bottom-up and
// padded to four bytes, every one a key frame. A 24-bit picture whose rows
// already have that layout is handed out in place, without a copy.
class DibCompressor : public VideoCompressor {
public:
    static std::unique_ptr<DibCompressor> Create(Info info);

    int DefaultQuality() const override { return kMaxQuality; }
    bool CanCompress(int width, int height) const override;
    BitmapInfoHeader OutputFormat(int width, int height) const override;
    bool Begin(int width, int height, uint32_t rate, uint32_t scale) override;
    int Compress(const DecodeTarget& picture, Sample& out) override;
    int Flush(Sample&) override { return 0; }
    void End() override;
    int Delay() const override { return 0; }

private:
    explicit DibCompressor(Info info) : VideoCompressor(std::move(info)) {}

    std::vector<uint8_t> frame_;
};

} // namespace orvik
