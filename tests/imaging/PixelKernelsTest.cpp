// The vector inner loops against the per-pixel rules, for every length up
// to three vector steps and a tail, and every alpha value.
#include "imaging/PixelKernels.h"

#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace orvik {
namespace {

std::vector<uint8_t> Random(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v)
        b = static_cast<uint8_t>(rng());
    return v;
}

TEST(PixelKernels, CopiesBetween24And32Bits) {
    for (int n = 0; n <= 50; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> s24 = Random(3 * n + 1, n), t32 = Random(4 * n + 1, n + 100);
        std::vector<uint8_t> expect = t32;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                expect[4 * i + c] = s24[3 * i + c];
        PixelKernels::Row24To32(t32.data(), s24.data(), n);
        ASSERT_EQ(t32, expect);
        std::vector<uint8_t> s32 = Random(4 * n + 1, n + 200), t24 = Random(3 * n + 1, n + 300);
        expect = t24;
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < 3; ++c)
                expect[3 * i + c] = s32[4 * i + c];
        PixelKernels::Row32To24(t24.data(), s32.data(), n);
        ASSERT_EQ(t24, expect);
    }
}

TEST(PixelKernels, CompositesEveryAlpha) {
    for (int sourceBytes : {3, 4})
        for (int alphaStep : {1, 4})
            for (bool premultiplied : {false, true})
                for (int n : {1, 15, 16, 17, 47, 48, 49, 300}) {
                    SCOPED_TRACE(testing::Message() << sourceBytes << " " << alphaStep << " "
                                                    << premultiplied << " " << n);
                    std::vector<uint8_t> d = Random(3 * n, n), s = Random(sourceBytes * n, n + 1);
                    std::vector<uint8_t> a = Random(alphaStep * n + 3, n + 2);
                    // Every alpha value, and whole runs of 0 and of 255.
                    for (int i = 0; i < n; ++i)
                        a[alphaStep * i + (alphaStep == 4 ? 3 : 0)] =
                            static_cast<uint8_t>(i < 16   ? 0
                                                 : i < 32 ? 255
                                                          : (i * 7) % 256);
                    const uint8_t* alpha = a.data() + (alphaStep == 4 ? 3 : 0);
                    std::vector<uint8_t> expect = d;
                    for (int i = 0; i < n; ++i) {
                        int v = alpha[alphaStep * i];
                        for (int c = 0; c < 3; ++c) {
                            int sv = s[sourceBytes * i + c], dv = d[3 * i + c];
                            if (v == 0)
                                continue;
                            expect[3 * i + c] = static_cast<uint8_t>(
                                v == 255        ? sv
                                : premultiplied ? std::min(sv, v) + ((dv * (256 - v)) >> 8)
                                                : (sv * v + dv * (256 - v)) >> 8);
                        }
                    }
                    PixelKernels::Composite(d.data(), s.data(), sourceBytes, alpha, alphaStep, n,
                                            premultiplied);
                    ASSERT_EQ(d, expect);
                }
}

TEST(PixelKernels, KeysWholePixels) {
    const uint8_t key[3] = {10, 20, 30};
    for (int n = 0; n <= 50; ++n) {
        SCOPED_TRACE(n);
        std::vector<uint8_t> s = Random(3 * n, n);
        for (int i = 0; i < n; i += 3) {
            // Whole matches, and pixels that match in two bytes only.
            s[3 * i] = 10, s[3 * i + 1] = 20, s[3 * i + 2] = (i % 2) ? 30 : 31;
        }
        std::vector<uint8_t> t(n + 1, 7), expect(n + 1, 7);
        for (int i = 0; i < n; ++i)
            expect[i] = (s[3 * i] == 10 && s[3 * i + 1] == 20 && s[3 * i + 2] == 30) ? 0 : 255;
        PixelKernels::Key24(t.data(), s.data(), n, key);
        ASSERT_EQ(t, expect);
    }
}

} // namespace
} // namespace orvik
