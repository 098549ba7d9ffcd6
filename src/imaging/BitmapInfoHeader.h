#pragma once

#include <bit>
#include <cstdint>

namespace orvik {

static_assert(std::endian::native == std::endian::little,
              "bitmap headers are used in place and are little-endian");

// The 40-byte bitmap information header that starts every image's header
// block, laid out as it is stored in bitmap files and archives.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0; // > 0: rows stored bottom-up; < 0: top-down
    uint16_t planes = 1;
    uint16_t bitCount = 0;
    uint32_t compression = 0;
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// One colour-table entry.
struct RgbQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

} // namespace orvik
