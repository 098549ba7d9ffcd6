#pragma once

#include <cstdint>

namespace orvik {

// A colour as the drawing layer takes it: red in the low byte, green in bits
// 8-15, blue in bits 16-23. With bit 24 set (PaletteIndex) the low byte is an
// index into the colour table of the surface drawn on, or into the selected
// palette on surfaces without one.
using ColorRef = uint32_t;

constexpr ColorRef Rgb(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) |
           (static_cast<ColorRef>(b) << 16);
}
constexpr ColorRef Grey(uint8_t level) {
    return Rgb(level, level, level);
}
constexpr ColorRef PaletteIndex(uint8_t index) {
    return 0x01000000u | index;
}
constexpr bool IsPaletteIndex(ColorRef c) {
    return (c & 0xFF000000u) == 0x01000000u;
}
constexpr uint8_t RedOf(ColorRef c) {
    return static_cast<uint8_t>(c);
}
constexpr uint8_t GreenOf(ColorRef c) {
    return static_cast<uint8_t>(c >> 8);
}
constexpr uint8_t BlueOf(ColorRef c) {
    return static_cast<uint8_t>(c >> 16);
}

} // namespace orvik
