#pragma once

#include "platform/codec/VideoCompressor.h"

#include <memory>
#include <string>

namespace orvik {

// Motion-JPEG through TurboJPEG: every picture a key frame, a JPEG picture
// with 4:2:2 chroma as the board makes it. The caller's bottom-up rows are
// compressed where they lie (no turning, no conversion copy) into a buffer
// big enough for any picture of the size, kept from Begin to End.
class MjpegCompressor : public VideoCompressor {
public:
    static std::unique_ptr<MjpegCompressor> Create(Info info, std::string* error);
    ~MjpegCompressor() override;

    int DefaultQuality() const override { return 8500; }
    bool CanCompress(int width, int height) const override;
    BitmapInfoHeader OutputFormat(int width, int height) const override;
    bool Begin(int width, int height, uint32_t rate, uint32_t scale) override;
    int Compress(const DecodeTarget& picture, Sample& out) override;
    int Flush(Sample&) override { return 0; }
    void End() override;
    int Delay() const override { return 0; }

    // The JPEG quality (1..100) for a quality of 0..10000.
    static int JpegQuality(int quality);

private:
    explicit MjpegCompressor(Info info) : VideoCompressor(std::move(info)) {}

    void* handle_ = nullptr; // tjhandle
    unsigned char* buffer_ = nullptr;
    unsigned long bufferBytes_ = 0;
    int jpegQuality_ = 85;
};

} // namespace orvik
