#pragma once

#include <bit>
#include <cstdint>

namespace orvik {

static_assert(std::endian::native == std::endian::little,
              "bitmap headers and colour tables are used in place and are little-endian");

// One colour-table entry of a device-independent bitmap.
struct RgbQuad {
    uint8_t blue = 0, green = 0, red = 0, reserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

} // namespace orvik
