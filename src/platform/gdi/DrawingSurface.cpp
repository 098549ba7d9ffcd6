#include "platform/gdi/DrawingSurface.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace orvik {

DrawingSurface::DrawingSurface() = default;
DrawingSurface::~DrawingSurface() = default;

bool DrawingSurface::Create(int width, int height, int bitCount) {
    pixels_.reset();
    byteSize_ = 0;
    width_ = rows_ = bitCount_ = stride_ = colorCount_ = 0;
    if (width <= 0 || height == 0 || height == INT32_MIN)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32)
        return false;
    int rows = height < 0 ? -height : height;
    int64_t stride = ((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4;
    uint64_t bytes = static_cast<uint64_t>(stride) * static_cast<uint64_t>(rows);
    if (bytes == 0 || bytes > kMaxBytes)
        return false;
    pixels_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!pixels_)
        return false;
    byteSize_ = bytes;
    width_ = width;
    rows_ = rows;
    bitCount_ = bitCount;
    stride_ = static_cast<int>(stride);
    bottomUp_ = height > 0;
    colorCount_ = bitCount <= 8 ? 1 << bitCount : 0;
    std::memset(colorTable_, 0, sizeof colorTable_);
    return true;
}

int DrawingSurface::SetColorTable(int start, int count, const uint8_t* bgrQuads) {
    if (!bgrQuads || start < 0 || count <= 0 || start >= colorCount_)
        return 0;
    int n = std::min(count, colorCount_ - start);
    std::memcpy(colorTable_ + 4 * start, bgrQuads, 4 * static_cast<size_t>(n));
    return n;
}

int DrawingSurface::GetColorTable(int start, int count, uint8_t* bgrQuads) const {
    if (!bgrQuads || start < 0 || count <= 0 || start >= colorCount_)
        return 0;
    int n = std::min(count, colorCount_ - start);
    std::memcpy(bgrQuads, colorTable_ + 4 * start, 4 * static_cast<size_t>(n));
    return n;
}

PixelBuffer DrawingSurface::Buffer() const {
    PixelBuffer b;
    if (!pixels_)
        return b;
    b.pixels = pixels_.get();
    b.width = width_;
    b.height = rows_;
    b.bitCount = bitCount_;
    b.stride = stride_;
    b.bottomUp = bottomUp_;
    b.colorTable = colorCount_ ? colorTable_ : nullptr;
    b.colorCount = colorCount_;
    return b;
}

} // namespace orvik
