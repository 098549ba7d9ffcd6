#pragma once

#include <cstddef>
#include <cstdint>

namespace orvik {

// Where a decompressor puts a picture: the caller's memory, rows bottom-up
// (the first row in memory is the bottom of the picture), blue-green-red
// pixels of 24 bits, or 32 bits with a fourth byte of 255, or 8 bits of grey
// (for a grey palette). `stride` is the distance between rows in bytes.
struct DecodeTarget {
    int width = 0;
    int height = 0;
    int bitCount = 24; // 8, 24 or 32
    size_t stride = 0;
    uint8_t* bits = nullptr;

    int BytesPerPixel() const { return bitCount / 8; }
    bool IsValid() const {
        return bits && width > 0 && height > 0 &&
               (bitCount == 8 || bitCount == 24 || bitCount == 32) &&
               stride >= static_cast<size_t>(width) * BytesPerPixel();
    }
    // The memory row holding picture row `y` counted from the top.
    uint8_t* Row(int y) const { return bits + static_cast<size_t>(height - 1 - y) * stride; }
};

} // namespace orvik
