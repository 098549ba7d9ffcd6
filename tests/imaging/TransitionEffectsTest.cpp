// The transition building blocks on hand-worked pictures.
#include "ImagingTestSupport.h"

#include "imaging/Dib.h"
#include "imaging/ExpandedPattern.h"
#include "imaging/TransitionEffects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>

using namespace orvik;
using namespace orvik::test;
using FX = TransitionEffects;

namespace {

// A 1-row-per-value grey picture: every pixel of row y is rows[y].
RefPtr<Dib> Rows8(std::vector<int> rows, int width = 3) {
    std::vector<std::vector<int>> px;
    for (int v : rows)
        px.push_back(std::vector<int>(width, v));
    return MakeGrey8(px);
}

std::vector<int> Column(const Dib& dib, int x = 0) {
    std::vector<int> out;
    for (int y = 0; y < dib.AbsHeight(); ++y)
        out.push_back(*dib.PixelAddress(x, y));
    return out;
}

RefPtr<Dib> Random(int w, int h, int bits, uint32_t seed, bool topDown = false) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, topDown ? -h : h, bits);
    if (bits == 8)
        d->SetColorRamp(256, Grey(0), Grey(255));
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < d->ImageSize(); ++i)
        d->Bits()[i] = static_cast<uint8_t>(rng());
    return d;
}

} // namespace

static void DissolveRowsCheck();
static void AlphaWipeRowsCheck();

TEST(TransitionEffects, FieldPassesTouchOnlyTheirRowsAndRoundRectanglesToEvenRows) {
    struct Case {
        int field;
        Rect rect;
        std::vector<int> expected;
    };
    // Source rows 10..60, target rows 0; rows 1..4 of the rectangle, rounded.
    const Case cases[] = {
        {0, Rect(0, 1, 3, 5), {0, 20, 30, 40, 50, 0}},
        {1, Rect(0, 1, 3, 5), {10, 0, 30, 0, 0, 0}}, // 1..5 -> 0..4: rows 0, 2
        {2, Rect(0, 1, 3, 5), {0, 20, 0, 40, 0, 0}}, // rows 1, 3
        {2, Rect(0, 2, 3, 6), {0, 0, 0, 40, 0, 60}},
    };
    for (const Case& c : cases) {
        RefPtr<Dib> src = Rows8({10, 20, 30, 40, 50, 60});
        RefPtr<Dib> dst = Rows8({0, 0, 0, 0, 0, 0});
        Point at(c.rect.left, c.rect.top);
        EXPECT_EQ(FX::DibCopy(*src, *dst, c.field, &c.rect, &at), 1);
        EXPECT_EQ(Column(*dst), c.expected) << "field " << c.field << " top " << c.rect.top;
    }
}

TEST(TransitionEffects, CopyWithinOneImageMovesRowsWithoutSmearing) {
    // Down by two and up by two, in both storage orders and both fields.
    for (bool topDown : {false, true})
        for (int field : {0, 1, 2}) {
            for (int shift : {2, -2}) {
                RefPtr<Dib> img = Rows8({10, 20, 30, 40, 50, 60, 70, 80});
                if (topDown) {
                    RefPtr<Dib> td = new Dib;
                    td->Create(3, -8, 8);
                    td->Copy(*img);
                    img = td;
                }
                Rect r = shift > 0 ? Rect(0, 2, 3, 8) : Rect(0, 0, 3, 6);
                Point from(0, shift > 0 ? 0 : 2);
                FX::DibCopy(*img, *img, field, &r, &from);
                std::vector<int> want = {10, 20, 30, 40, 50, 60, 70, 80};
                for (int y = r.top; y < r.bottom; ++y)
                    if (field == 0 || (y & 1) == (field == 1 ? 0 : 1))
                        want[y] = 10 * (y - shift + 1);
                EXPECT_EQ(Column(*img), want)
                    << "topDown " << topDown << " field " << field << " shift " << shift;
            }
        }
    // Sideways within rows.
    RefPtr<Dib> img = MakeGrey8({{1, 2, 3, 4, 5}});
    Rect r(1, 0, 5, 1);
    Point from(0, 0);
    FX::DibCopy(*img, *img, 0, &r, &from);
    EXPECT_EQ(Bytes8(*img), (std::vector<std::vector<int>>{{1, 1, 2, 3, 4}}));
}

TEST(TransitionEffects, CopyBetweenDepthsIsRefusedAndLogged) {
    OpenTestLog();
    RefPtr<Dib> src = Make24({{0x102030}});
    RefPtr<Dib> dst = MakeGrey8({{7}});
    EXPECT_EQ(FX::DibCopy(*src, *dst, 0), 0);
    EXPECT_EQ(Bytes8(*dst)[0][0], 7);
    EXPECT_TRUE(LogHas("Transition::DibCopy: invalid bitmap format\n"));
}

TEST(TransitionEffects, FillBlackAndTheFourBandsOutside) {
    RefPtr<Dib> img = MakeGrey8({{9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}});
    Rect outer(0, 0, 4, 4), inner(1, 1, 3, 3);
    FX::FillBlackOutside(*img, 0, &outer, &inner);
    EXPECT_EQ(Bytes8(*img), (std::vector<std::vector<int>>{
                                {0, 0, 0, 0}, {0, 9, 9, 0}, {0, 9, 9, 0}, {0, 0, 0, 0}}));
    Rect all(-5, -5, 50, 50);
    FX::FillBlack(*img, 2, &all);
    EXPECT_EQ(Bytes8(*img), (std::vector<std::vector<int>>{
                                {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 9, 9, 0}, {0, 0, 0, 0}}));

    RefPtr<Dib> src = MakeGrey8({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    RefPtr<Dib> dst = MakeGrey8({{0, 0, 0}, {0, 0, 0}, {0, 0, 0}});
    Rect o(0, 0, 3, 3), n(1, 1, 2, 2);
    FX::CopyOutside(*src, *dst, 0, &o, &n);
    EXPECT_EQ(Bytes8(*dst), (std::vector<std::vector<int>>{{1, 2, 3}, {4, 0, 6}, {7, 8, 9}}));
}

TEST(TransitionEffects, FadeScalesEveryByteByTheTruncatedFactor) {
    struct Case {
        double factor;
        int in, out;
    };
    const Case cases[] = {{1.0, 255, 254}, {1.0, 100, 99}, {0.5, 200, 99}, {0.0, 200, 0},
                          {0.25, 255, 62}};
    for (const Case& c : cases) {
        RefPtr<Dib> img = MakeGrey8({{c.in}});
        FX::Fade(*img, 0, c.factor);
        EXPECT_EQ(Bytes8(*img)[0][0], c.out) << c.factor << " of " << c.in;
    }
    RefPtr<Dib> img = Rows8({200, 200, 200});
    FX::Fade(*img, 2, 0.5);
    EXPECT_EQ(Column(*img), (std::vector<int>{200, 99, 200}));
}

TEST(TransitionEffects, DissolveShiftsTheDifferenceArithmetically) {
    struct Case {
        int t, s;
        double weight;
        int out;
    };
    const Case cases[] = {
        {100, 200, 0.5, 149},  // k 127: 100 + (12700 >> 8)
        {200, 100, 0.5, 150},  // 200 + (-12700 >> 8) = 200 - 50
        {200, 0, 0.75, 50},    // k 191: 200 + (-38200 >> 8) = 200 - 150
        {0, 255, 0.25, 62},    // k 63: 16065 >> 8
        {7, 200, 0.0038, 7},   // below 1/256: nothing
        {7, 200, 0.9961, 200}, // from 255/256: a copy
    };
    for (const Case& c : cases) {
        RefPtr<Dib> t = MakeGrey8({{c.t}}), s = MakeGrey8({{c.s}});
        EXPECT_EQ(FX::DibDissolve(*s, *t, 0, c.weight), 1);
        EXPECT_EQ(Bytes8(*t)[0][0], c.out) << c.t << " toward " << c.s << " by " << c.weight;
    }
}

// Runs a check with the processor's row kernels and with the baseline ones.
template <class F> void WithBothKernels(F check) {
    for (bool baseline : {false, true}) {
        SCOPED_TRACE(baseline ? "baseline kernels" : "processor's kernels");
        FX::UseBaselineKernels(baseline);
        check();
    }
    FX::UseBaselineKernels(false);
}

TEST(TransitionEffects, DissolveOfLongRowsEqualsTheByteFormula) {
    WithBothKernels([] { DissolveRowsCheck(); });
}

static void DissolveRowsCheck() {
    for (int bits : {8, 24, 32})
        for (int w : {1, 5, 17, 33}) {
            RefPtr<Dib> t = Random(w, 3, bits, 1), s = Random(w, 3, bits, 2, true);
            RefPtr<Dib> before = Random(w, 3, bits, 1);
            FX::DibDissolve(*s, *t, 0, 0.3);
            const int k = static_cast<int>(0.3 * 255), n = w * bits / 8;
            for (int y = 0; y < 3; ++y)
                for (int i = 0; i < n; ++i) {
                    int tv = before->PixelAddress(0, y)[i], sv = s->PixelAddress(0, y)[i];
                    ASSERT_EQ(t->PixelAddress(0, y)[i], tv + (((sv - tv) * k) >> 8))
                        << bits << " bits, width " << w << ", byte " << i;
                }
        }
}

TEST(TransitionEffects, DissolveNeverReadsOutsideASmallerSource) {
    RefPtr<Dib> t = Rows8({100, 100, 100, 100}, 4);
    RefPtr<Dib> s = Rows8({200, 200}, 2);
    FX::DibDissolve(*s, *t, 0, 0.5);
    EXPECT_EQ(Bytes8(*t), (std::vector<std::vector<int>>{
                              {149, 149, 100, 100}, {149, 149, 100, 100}, {100, 100, 100, 100},
                              {100, 100, 100, 100}}));
    OpenTestLog();
    RefPtr<Dib> s24 = Make24({{0}});
    EXPECT_EQ(FX::DibDissolve(*s24, *t, 0, 0.5), 0);
    EXPECT_TRUE(LogHas("DibDissolve unimplemented format\n"));
}

TEST(TransitionEffects, WipeWeightsRampOverTenLevelsAndFinishAtOne) {
    uint8_t w[256];
    FX::WipeWeights(0.0, false, w);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(w[i], 0) << i;
    FX::WipeWeights(1.0, false, w);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(w[i], 255) << i;
    // p 0.5: s 127, lo 123, hi 133; (255 i - 255 lo) / 10 between.
    FX::WipeWeights(0.5, false, w);
    EXPECT_EQ(w[123], 0);
    EXPECT_EQ(w[124], 25);
    EXPECT_EQ(w[128], 127);
    EXPECT_EQ(w[132], 229);
    EXPECT_EQ(w[133], 255);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[255], 255);
    uint8_t f[256];
    FX::WipeWeights(0.5, true, f);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(f[255 - i], w[i]) << i;
}

TEST(TransitionEffects, AlphaWipeBlendsEachPixelByItsPatternWeight) {
    // p 0.5: pattern bytes 123 and below weigh 0, 124 weighs 25, 128 127,
    // 133 and above 255.
    RefPtr<Dib> a = MakeGrey8({{100, 200, 200, 100, 100}});
    RefPtr<Dib> b = MakeGrey8({{200, 100, 100, 200, 200}});
    RefPtr<Dib> pattern = MakeGrey8({{128, 128, 124, 123, 133}});
    RefPtr<Dib> t = MakeGrey8({{0, 0, 0, 0, 0}});
    ASSERT_EQ(FX::AlphaWipe(*t, a.get(), b.get(), 0, 0.5, false, *pattern), 1);
    // 100 + (127 * 100 >> 8); 200 + (-12700 >> 8); 200 + (-2500 >> 8); a; b.
    EXPECT_EQ(Bytes8(*t), (std::vector<std::vector<int>>{{149, 150, 190, 100, 200}}));
    // Turned round, byte v weighs what 255 - v did; a missing picture reads
    // as black; mixing in place into b.
    RefPtr<Dib> flipped = MakeGrey8({{127, 127, 131, 132, 122}});
    ASSERT_EQ(FX::AlphaWipe(*b, nullptr, b.get(), 0, 0.5, true, *flipped), 1);
    EXPECT_EQ(Bytes8(*b), (std::vector<std::vector<int>>{{99, 49, 9, 0, 200}}));
}

TEST(TransitionEffects, AlphaWipeOfEveryDepthEqualsTheByteFormula) {
    WithBothKernels([] { AlphaWipeRowsCheck(); });
}

static void AlphaWipeRowsCheck() {
    // Widths across the 32-byte blocks of the row kernel, smooth and random
    // patterns, every progress step, both orders, in place and not.
    std::mt19937 rng(6);
    for (int bits : {8, 24, 32})
        for (int w : {1, 6, 11, 21, 45})
            for (int field : {0, 1, 2})
                for (int round = 0; round < 12; ++round) {
                    const int h = 5;
                    // Near the ends the ramp is narrower: 6 to 9 levels.
                    const int nearEnds[] = {1, 2, 4, 251, 253, 254};
                    const double p = round == 0   ? 0.0
                                     : round == 1 ? 1.0
                                     : round < 8  ? (nearEnds[round - 2] + 0.5) / 255
                                                  : (rng() % 1000) / 999.0;
                    const bool flip = rng() & 1, smooth = round & 2;
                    RefPtr<Dib> a = Random(w, h, bits, 3 + round), b = Random(w, h, bits, 4, true);
                    RefPtr<Dib> pattern = Random(w, h, 8, 5 + round);
                    if (smooth)
                        for (int y = 0; y < h; ++y)
                            for (int x = 0; x < w; ++x)
                                *pattern->PixelAddress(x, y) =
                                    static_cast<uint8_t>(static_cast<int>(p * 255) - 8 + x + y);
                    uint8_t weights[256];
                    FX::WipeWeights(p, flip, weights);
                    RefPtr<Dib> before = Random(w, h, bits, 7);
                    RefPtr<Dib> t = Random(w, h, bits, 7);
                    Dib* target = t.get();
                    const Dib* pa = a.get();
                    if (round % 3 == 2) { // in place into a
                        a->Copy(*t);
                        pa = t.get();
                    }
                    ASSERT_EQ(FX::AlphaWipe(*target, pa, b.get(), field, p, flip, *pattern), 1);
                    const int ps = bits / 8;
                    for (int y = 0; y < h; ++y) {
                        bool selected = field == 0 || (y & 1) == (field == 1 ? 0 : 1);
                        for (int x = 0; x < w; ++x) {
                            int wt = weights[*pattern->PixelAddress(x, y)];
                            for (int c = 0; c < ps; ++c) {
                                int A = a->PixelAddress(x, y)[c], B = b->PixelAddress(x, y)[c];
                                int want = wt == 0 ? A : wt == 255 ? B : A + ((wt * (B - A)) >> 8);
                                if (!selected)
                                    want = before->PixelAddress(x, y)[c];
                                ASSERT_EQ(t->PixelAddress(x, y)[c], want)
                                    << bits << " bits, " << w << " wide, field " << field
                                    << ", p " << p << ", flip " << flip << ", pixel " << x << ","
                                    << y;
                            }
                        }
                    }
                }
}

// The laid-out pattern lets the blend copy whole stretches before and after
// the wipe's edge: the bytes must come out as without it.
static void ExpandedPatternCheck() {
    std::mt19937 rng(9);
    const int w = 200, h = 7;
    for (int bits : {8, 24, 32})
        for (int round = 0; round < 24; ++round) {
            const double p = round == 0 ? 0.0 : round == 1 ? 1.0 : (rng() % 1000) / 999.0;
            const bool flip = rng() & 1;
            RefPtr<Dib> pattern = Random(w, h, 8, 20 + round);
            if (round % 4 != 3) // mostly smooth: a level every few pixels
                for (int y = 0; y < h; ++y)
                    for (int x = 0; x < w; ++x)
                        *pattern->PixelAddress(x, y) = static_cast<uint8_t>(
                            std::clamp(static_cast<int>(p * 255) - 40 + x / 3 + y, 0, 255));
            ExpandedPattern expanded(*pattern, bits / 8);
            ASSERT_TRUE(expanded.IsValid());
            for (int into = 0; into < 3; ++into) { // a third picture, a, b
                RefPtr<Dib> a = Random(w, h, bits, 30 + round), b = Random(w, h, bits, 40 + round);
                RefPtr<Dib> a2 = Random(w, h, bits, 30 + round), b2 = Random(w, h, bits, 40 + round);
                RefPtr<Dib> t = Random(w, h, bits, 50), t2 = Random(w, h, bits, 50);
                Dib* target = into == 0 ? t.get() : into == 1 ? a.get() : b.get();
                Dib* target2 = into == 0 ? t2.get() : into == 1 ? a2.get() : b2.get();
                int field = round % 3;
                ASSERT_EQ(FX::AlphaWipe(*target, a.get(), b.get(), field, p, flip, *pattern), 1);
                ASSERT_EQ(FX::AlphaWipe(*target2, a2.get(), b2.get(), field, p, flip, *pattern,
                                        &expanded),
                          1);
                ASSERT_EQ(std::memcmp(target->Bits(), target2->Bits(), target->ImageSize()), 0)
                    << bits << " bits, p " << p << ", flip " << flip << ", into " << into;
            }
        }
}

TEST(TransitionEffects, AlphaWipeThroughTheLaidOutPatternGivesTheSameBytes) {
    WithBothKernels([] { ExpandedPatternCheck(); });
}

TEST(TransitionEffects, AlphaWipeRefusesAPatternOfAnotherSize) {
    OpenTestLog();
    RefPtr<Dib> a = MakeGrey8({{1, 2}}), b = MakeGrey8({{3, 4}});
    RefPtr<Dib> t = MakeGrey8({{9, 9}});
    RefPtr<Dib> pattern = MakeGrey8({{0, 0, 0}});
    EXPECT_EQ(FX::AlphaWipe(*t, a.get(), b.get(), 0, 0.5, false, *pattern), 0);
    EXPECT_EQ(Bytes8(*t), (std::vector<std::vector<int>>{{9, 9}}));
    EXPECT_TRUE(LogHas("Transition::AlphaWipe invalid alpha dib\n"));
}
