// The vector inner loops against the per-pixel rules, for every length up
// to three vector steps and a tail, and every alpha value; compositing on
// every build of it that the processor runs.
#include "imaging/PixelKernels.h"

#include "imaging/Dib.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <random>
#include <string>
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

// The compositing rule for one channel, as the pixel operations state it.
int Laid(int s, int d, int a, bool premultiplied) {
    if (a == 0)
        return d;
    if (a == 255)
        return s;
    return premultiplied ? std::min(s, a) + ((d * (256 - a)) >> 8) : (s * a + d * (256 - a)) >> 8;
}

// Runs `body` once on each compositing build this processor has, narrowest
// first, and names them in the test's properties and output.
template <typename F> void OnEveryCompositeBuild(F body) {
    const std::vector<PixelKernels::Isa> isas = PixelKernels::CompositeIsas();
    ASSERT_FALSE(isas.empty());
    // Unlimited, compositing runs on the widest.
    EXPECT_EQ(PixelKernels::CompositeIsa(), isas.back());
    struct Restore {
        ~Restore() { PixelKernels::LimitCompositeIsa(PixelKernels::Isa::avx512); }
    } restore;
    std::string names;
    for (PixelKernels::Isa isa : isas) {
        names += (names.empty() ? "" : " ") + std::string(PixelKernels::IsaName(isa));
        PixelKernels::LimitCompositeIsa(isa);
        ASSERT_EQ(PixelKernels::CompositeIsa(), isa);
        SCOPED_TRACE(PixelKernels::IsaName(isa));
        body();
        if (testing::Test::HasFatalFailure())
            return;
    }
    testing::Test::RecordProperty("composite_builds", names);
    std::printf("compositing builds run: %s\n", names.c_str());
}

// Rows of every length up to three blocks of the widest build and a tail,
// in rows that end where their buffers end; pixels 64-127 have alpha 0 and
// 128-191 alpha 255, the others random ones.
TEST(PixelKernels, EveryCompositeBuildFollowsTheRuleAlongRows) {
    OnEveryCompositeBuild([] {
        for (int sourceBytes : {3, 4})
            for (int alphaStep : {1, 4})
                for (bool premultiplied : {false, true})
                    for (int n = 0; n <= 200; ++n) {
                        SCOPED_TRACE(testing::Message() << sourceBytes << " " << alphaStep << " "
                                                        << premultiplied << " " << n);
                        std::vector<uint8_t> d = Random(3 * n, n),
                                             s = Random(sourceBytes * n, n + 1);
                        std::vector<uint8_t> a = Random(alphaStep * n, n + 2);
                        const int at = alphaStep == 4 ? 3 : 0;
                        for (int i = 64; i < std::min(n, 192); ++i)
                            a[alphaStep * i + at] = i < 128 ? 0 : 255;
                        std::vector<uint8_t> expect = d;
                        for (int i = 0; i < n; ++i)
                            for (int c = 0; c < 3; ++c)
                                expect[3 * i + c] = static_cast<uint8_t>(
                                    Laid(s[sourceBytes * i + c], d[3 * i + c],
                                         a[alphaStep * i + at], premultiplied));
                        PixelKernels::Composite(d.data(), s.data(), sourceBytes,
                                                n ? a.data() + at : a.data(), alphaStep, n,
                                                premultiplied);
                        ASSERT_EQ(d, expect);
                    }
    });
}

// A picture of random bytes, stored bottom-up or top-down.
RefPtr<Dib> RandomPicture(int w, int h, int bits, bool topDown, std::mt19937& rng) {
    RefPtr<Dib> dib = new Dib;
    EXPECT_TRUE(dib->Create(w, topDown ? -h : h, bits));
    for (uint32_t i = 0; i < dib->ImageSize(); ++i)
        dib->Bits()[i] = static_cast<uint8_t>(rng());
    return dib;
}

// Whole pictures of every clipped width 1..70, the target rectangle sticking
// out of the target on the left and top (bottom-up pictures), or out of the
// target on the right and out of the (smaller) alpha picture at the bottom
// (top-down target and source). Each picture holds
// every alpha value, a row of 0 and a row of 255. The expected picture is
// worked out pixel by pixel: a target pixel inside the target rectangle takes
// its source and alpha pixel at the same offset from the source point when
// both pictures have one there, and keeps its bytes otherwise.
TEST(PixelKernels, EveryCompositeBuildFollowsTheRuleInClippedPictures) {
    std::mt19937 rng(11);
    OnEveryCompositeBuild([&] {
        for (int sourceBits : {24, 32})
            for (int alphaBits : {8, 32})
                for (bool premultiplied : {false, true})
                    for (int w = 1; w <= 70; ++w)
                        for (int geometry = 0; geometry < 2; ++geometry) {
                            SCOPED_TRACE(testing::Message()
                                         << sourceBits << " " << alphaBits << " " << premultiplied
                                         << " width " << w << " geometry " << geometry);
                            const int h = 2 + (255 + w) / w; // rows of the clipped rectangle
                            // Sizes (target, source, alpha), the target
                            // rectangle and the source point.
                            int tw, th, sw, sh, aw, ah;
                            Rect rect;
                            Point from;
                            if (geometry == 0) {
                                tw = w + 6, th = h + 2, sw = aw = w + 4, sh = ah = h + 3;
                                rect = Rect(-1, -2, w, h), from = Point(2, 1);
                            } else {
                                tw = w + 5, th = h + 10, sw = w + 4, sh = h + 5, aw = w + 2, ah = h;
                                rect = Rect(5, 1, 5 + w + 4, 1 + h + 3), from = Point(0, 0);
                            }
                            // The second geometry has a top-down target
                            // and source over a bottom-up alpha picture.
                            const bool topDown = geometry == 1;
                            RefPtr<Dib> target = RandomPicture(tw, th, 24, topDown, rng);
                            RefPtr<Dib> source = RandomPicture(sw, sh, sourceBits, topDown, rng);
                            RefPtr<Dib> alpha = RandomPicture(aw, ah, alphaBits, false, rng);
                            auto alphaAt = [&](int x, int y) {
                                return alpha->PixelAddress(x, y) + (alphaBits == 32 ? 3 : 0);
                            };
                            // The clipped rectangle's first source pixel.
                            const int sx0 = geometry == 0 ? 3 : 0, sy0 = geometry == 0 ? 3 : 0;
                            std::vector<uint8_t> values(256);
                            for (int v = 0; v < 256; ++v)
                                values[v] = static_cast<uint8_t>(v);
                            std::shuffle(values.begin(), values.end(), rng);
                            for (int y = 0; y < h; ++y)
                                for (int x = 0; x < w; ++x)
                                    *alphaAt(sx0 + x, sy0 + y) =
                                        y == 0   ? 0
                                        : y == 1 ? 255
                                                 : values[((y - 2) * w + x) % 256];
                            std::vector<uint8_t> expect(target->Bits(),
                                                        target->Bits() + target->ImageSize());
                            int laid = 0;
                            for (int y = std::max(rect.top, 0); y < std::min(rect.bottom, th); ++y)
                                for (int x = std::max(rect.left, 0); x < std::min(rect.right, tw);
                                     ++x) {
                                    const int sx = x - rect.left + from.x,
                                              sy = y - rect.top + from.y;
                                    if (sx < 0 || sy < 0 || sx >= std::min(sw, aw) ||
                                        sy >= std::min(sh, ah))
                                        continue;
                                    ++laid;
                                    uint8_t* t = expect.data() +
                                                 (target->PixelAddress(x, y) - target->Bits());
                                    const uint8_t* s = source->PixelAddress(sx, sy);
                                    for (int c = 0; c < 3; ++c)
                                        t[c] = static_cast<uint8_t>(
                                            Laid(s[c], t[c], *alphaAt(sx, sy), premultiplied));
                                }
                            ASSERT_EQ(laid, w * h);
                            ASSERT_TRUE(
                                target->Composite(*source, *alpha, &rect, &from, premultiplied));
                            ASSERT_TRUE(std::equal(expect.begin(), expect.end(), target->Bits()));
                        }
    });
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
