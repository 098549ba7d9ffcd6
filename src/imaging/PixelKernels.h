#pragma once

#include <cstdint>
#include <vector>

namespace orvik {

// The inner loops of the pixel operations that run on every frame: one row
// at a time, 16 pixels per step in vector registers where the processor
// has byte shuffles (compositing: up to 64, see Isa), with a plain loop for
// the rest. Results are exactly those of the per-pixel rules.
class PixelKernels {
public:
    // 24-bit pixels into 32-bit ones; each target's fourth byte stays.
    static void Row24To32(uint8_t* t, const uint8_t* s, int n);
    // The first three bytes of each 32-bit pixel.
    static void Row32To24(uint8_t* t, const uint8_t* s, int n);
    // Lays n source pixels (3 or 4 bytes each) over n 24-bit target pixels
    // by alpha values `alphaStep` (1 or 4) bytes apart: a = 0 keeps the
    // target, a = 255 gives the source, else plain (s * a + d * (256 - a))
    // >> 8 or premultiplied min(s, a) + ((d * (256 - a)) >> 8). With a step
    // of 4 the alphas are the fourth bytes of 4-byte pixels, whose first
    // three bytes (before `a`) are read too.
    static void Composite(uint8_t* d, const uint8_t* s, int sourceBytes, const uint8_t* a,
                          int alphaStep, int n, bool premultiplied);
    // Mask bytes: 0 where a 24-bit pixel equals the key, 255 elsewhere.
    static void Key24(uint8_t* t, const uint8_t* s, int n, const uint8_t key[3]);

    // One compositing row of n pixels for a fixed source size, alpha step
    // and rule (see Composite); picked once per picture.
    using CompositeRow = void (*)(uint8_t* d, const uint8_t* s, const uint8_t* a, int n);
    static CompositeRow CompositeRowFor(int sourceBytes, int alphaStep, bool premultiplied);

    // The instruction sets the compositing rows are built for, narrowest
    // first: the per-pixel loop, SSE2 (16 pixels a step), AVX2 (32) and
    // AVX-512 with byte permutes (64). All give the same bytes.
    enum class Isa { reference, sse2, avx2, avx512 };
    // Those this processor runs, narrowest first.
    static std::vector<Isa> CompositeIsas();
    static const char* IsaName(Isa isa);
    // Compositing runs on the widest the processor has; this keeps it on
    // `isa` or a narrower one (tests and benchmarks compare the builds).
    static void LimitCompositeIsa(Isa isa);
    // The one compositing runs on now.
    static Isa CompositeIsa();
};

} // namespace orvik
