#pragma once

#include "platform/gdi/PixelBuffer.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace orvik {

// A drawing surface that owns its pixel rows and, for 8 bits or less, a
// colour table: what a device-independent bitmap section stands on, and the
// drawing layer's bitmap. Rows are padded to 4 bytes.
class DrawingSurface {
public:
    // Largest number of pixel bytes a surface holds.
    static constexpr size_t kMaxBytes = size_t(1) << 30;

    DrawingSurface();
    ~DrawingSurface();
    DrawingSurface(const DrawingSurface&) = delete;
    DrawingSurface& operator=(const DrawingSurface&) = delete;

    // Allocates rows for width x |height| pixels of `bitCount` (1, 4, 8, 16,
    // 24 or 32) bits; a negative height stores the top row first. The pixel
    // bytes are not cleared. False for an unusable size or when memory is
    // short.
    bool Create(int width, int height, int bitCount);

    bool IsValid() const { return pixels_ != nullptr; }
    uint8_t* Pixels() const { return pixels_.get(); }
    size_t ByteSize() const { return byteSize_; }
    int Width() const { return width_; }
    int Rows() const { return rows_; }
    bool BottomUp() const { return bottomUp_; }
    int BitCount() const { return bitCount_; }
    int Stride() const { return stride_; }

    // Colour table of 1 << bitCount entries for 8 bits or less (blue, green,
    // red, reserved); sets entries from `start` and returns how many were
    // set (0 for deeper surfaces).
    int SetColorTable(int start, int count, const uint8_t* bgrQuads);
    int GetColorTable(int start, int count, uint8_t* bgrQuads) const;
    const uint8_t* ColorTable() const { return colorTable_; }
    int ColorCount() const { return colorCount_; }

    // The surface as a drawing target.
    PixelBuffer Buffer() const;

    // Bytes per row of a device-independent bitmap row.
    static int RowBytes(int width, int bitCount) {
        return static_cast<int>(((static_cast<int64_t>(width) * bitCount + 31) / 32) * 4);
    }

private:
    std::unique_ptr<uint8_t[]> pixels_;
    size_t byteSize_ = 0;
    int width_ = 0, rows_ = 0, bitCount_ = 0, stride_ = 0;
    bool bottomUp_ = true;
    uint8_t colorTable_[256 * 4] = {};
    int colorCount_ = 0;
};

} // namespace orvik
