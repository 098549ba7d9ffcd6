#include "platform/codec/DibCompressor.h"

#include <cstring>

namespace orvik {

std::unique_ptr<DibCompressor> DibCompressor::Create(Info info) {
    return std::unique_ptr<DibCompressor>(new DibCompressor(std::move(info)));
}

bool DibCompressor::CanCompress(int width, int height) const {
    // A frame's size must fit the 32-bit size of its chunk.
    return width > 0 && height > 0 && width <= BitmapInfoHeader::kMaxDimension &&
           height <= BitmapInfoHeader::kMaxDimension &&
           OutputFormat(width, height).Stride() * static_cast<uint64_t>(height) < (1ull << 31);
}

BitmapInfoHeader DibCompressor::OutputFormat(int width, int height) const {
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = 24;
    h.compression = 0;
    h.sizeImage = static_cast<uint32_t>(h.Stride() * static_cast<uint64_t>(height));
    return h;
}

bool DibCompressor::Begin(int width, int height, uint32_t rate, uint32_t scale) {
    End();
    if (!CanCompress(width, height) || rate == 0 || scale == 0) {
        error_ = info_.name + ": cannot store " + std::to_string(width) + " x " +
                 std::to_string(height) + " pictures at " + std::to_string(rate) + "/" +
                 std::to_string(scale) + " per second";
        return false;
    }
    width_ = width;
    height_ = height;
    output_ = OutputFormat(width, height);
    started_ = true;
    error_.clear();
    return true;
}

int DibCompressor::Compress(const DecodeTarget& picture, Sample& out) {
    out = Sample();
    if (!CheckPicture(picture))
        return -1;
    const size_t stride = static_cast<size_t>(output_.Stride());
    const size_t bytes = static_cast<size_t>(output_.sizeImage);
    out.keyFrame = true;
    out.size = bytes;
    if (picture.bitCount == 24 && picture.stride == stride) {
        out.data = picture.bits;
        return 1;
    }
    frame_.resize(bytes);
    const size_t row = static_cast<size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y) {
        const uint8_t* src = picture.bits + static_cast<size_t>(y) * picture.stride;
        uint8_t* dst = frame_.data() + static_cast<size_t>(y) * stride;
        if (picture.bitCount == 24) {
            std::memcpy(dst, src, row);
        } else {
            for (int x = 0; x < width_; ++x) {
                dst[x * 3] = src[x * 4];
                dst[x * 3 + 1] = src[x * 4 + 1];
                dst[x * 3 + 2] = src[x * 4 + 2];
            }
        }
        std::memset(dst + row, 0, stride - row);
    }
    out.data = frame_.data();
    return 1;
}

void DibCompressor::End() {
    frame_.clear();
    frame_.shrink_to_fit();
    started_ = false;
}

} // namespace orvik
