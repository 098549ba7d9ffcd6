#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// The picture format of a video stream ("strf" of a "vids" stream, 40 bytes,
// optionally followed by a palette or codec data), and the description of a
// decoded picture a caller asks for. Height > 0 means bottom-up rows.
struct BitmapInfoHeader {
    static constexpr size_t kSize = 40;
    static constexpr int32_t kMaxDimension = 16384;

    uint32_t size = kSize;
    int32_t width = 0;
    int32_t height = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0; // 0 = uncompressed RGB, else a four-character code
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;

    // Reads the header from the first bytes of a format block. Only the bytes
    // present are read; fewer than 40, a width or height of 0 or beyond
    // kMaxDimension, or a bit count above 64 are refused with a reason.
    static bool Parse(const uint8_t* data, size_t size, BitmapInfoHeader& out,
                      std::string* error = nullptr);
    // The 40-byte form.
    std::vector<uint8_t> Bytes() const;

    int32_t AbsHeight() const { return height < 0 ? -height : height; }
    // Bytes of one row of an uncompressed picture (rows are 4-byte aligned).
    uint64_t Stride() const { return ((static_cast<uint64_t>(width) * bitCount + 31) / 32) * 4; }
};

} // namespace orvik
