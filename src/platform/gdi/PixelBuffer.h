#pragma once

#include <cstdint>

namespace orvik {

// Where the drawing layer draws: rows of pixels in memory that somebody else
// owns. Rows are `stride` bytes apart (a multiple of 4 for device-independent
// bitmaps); the first stored row is the bottom row of the picture when
// `bottomUp` is set. 8-bit pixels are indices into `colorTable` (blue, green,
// red, reserved quads); 24-bit pixels are blue, green, red; 32-bit pixels are
// blue, green, red and a fourth byte that drawing sets to 255 (opaque).
struct PixelBuffer {
    uint8_t* pixels = nullptr;
    int width = 0;
    int height = 0; // number of rows, > 0
    int bitCount = 0;
    int stride = 0;
    bool bottomUp = true;
    const uint8_t* colorTable = nullptr;
    int colorCount = 0;

    bool IsValid() const {
        return pixels && width > 0 && height > 0 && stride > 0 &&
               (bitCount == 8 || bitCount == 24 || bitCount == 32) &&
               static_cast<int64_t>(width) * (bitCount / 8) <= stride;
    }
    int PixelBytes() const { return bitCount / 8; }
    // Row y counted from the top of the picture.
    uint8_t* Row(int y) const {
        return pixels + static_cast<intptr_t>(bottomUp ? height - 1 - y : y) * stride;
    }
};

} // namespace orvik
