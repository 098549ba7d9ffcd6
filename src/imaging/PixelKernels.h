#pragma once

#include <cstdint>

namespace orvik {

// The inner loops of the pixel operations that run on every frame: one row
// at a time, 16 pixels per step in vector registers where the processor
// has byte shuffles, with a plain loop for the rest. Results are exactly
// those of the per-pixel rules.
class PixelKernels {
public:
    // 24-bit pixels into 32-bit ones; each target's fourth byte stays.
    static void Row24To32(uint8_t* t, const uint8_t* s, int n);
    // The first three bytes of each 32-bit pixel.
    static void Row32To24(uint8_t* t, const uint8_t* s, int n);
    // Lays n source pixels (3 or 4 bytes each) over n 24-bit target pixels
    // by alpha values `alphaStep` bytes apart: a = 0 keeps the target,
    // a = 255 gives the source, else plain (s * a + d * (256 - a)) >> 8 or
    // premultiplied min(s, a) + ((d * (256 - a)) >> 8).
    static void Composite(uint8_t* d, const uint8_t* s, int sourceBytes, const uint8_t* a,
                          int alphaStep, int n, bool premultiplied);
    // Mask bytes: 0 where a 24-bit pixel equals the key, 255 elsewhere.
    static void Key24(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]);
};

} // namespace orvik
