// Transition::Mix: every effect kind on pictures whose pixels say where they
// came from, fields, in-place mixing, pictures of other sizes, and the
// dissolve against ffmpeg's cross-fade.
#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "model/Clip.h"
#include "model/Transition.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

using namespace orvik;
using namespace orvik::test;

namespace {

constexpr int W = 8, H = 6;
constexpr uint8_t kTagA = 0xA0, kTagB = 0xB0;

// A 24-bit picture whose pixel (x, y) holds blue = tag, green = x, red = y.
RefPtr<Dib> Tagged(uint8_t tag, int w = W, int h = H, bool topDown = false) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, topDown ? -h : h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = d->PixelAddress(x, y);
            p[0] = tag;
            p[1] = static_cast<uint8_t>(x);
            p[2] = static_cast<uint8_t>(y);
        }
    return d;
}

RefPtr<Dib> Blank(int w = W, int h = H, int bits = 24, uint8_t fill = 0x55) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, h, bits);
    std::memset(d->Bits(), fill, d->ImageSize());
    return d;
}

// "a3" (picture a at coordinate 3), "b0", or "k" (black) for one pixel.
std::string Origin(const Dib& t, int x, int y, bool horizontal) {
    const uint8_t* p = t.PixelAddress(x, y);
    if (p[0] == 0 && p[1] == 0 && p[2] == 0)
        return "k";
    std::string s = p[0] == kTagA ? "a" : p[0] == kTagB ? "b" : "?";
    int along = horizontal ? p[1] : p[2], across = horizontal ? p[2] : p[1];
    if (across != (horizontal ? y : x))
        return s + "!";
    return s + std::to_string(along);
}

// The origins along the frame: per column for horizontal kinds (the same in
// every row, else "mixed"), per row for vertical ones.
std::string Origins(const Dib& t, bool horizontal) {
    std::string out;
    int n = horizontal ? t.Width() : t.AbsHeight();
    for (int i = 0; i < n; ++i) {
        std::string first;
        int m = horizontal ? t.AbsHeight() : t.Width();
        for (int j = 0; j < m; ++j) {
            std::string o = horizontal ? Origin(t, i, j, true) : Origin(t, j, i, false);
            if (j == 0)
                first = o;
            else if (o != first)
                first = "mixed";
        }
        out += (i ? " " : "") + first;
    }
    return out;
}

RefPtr<Clip> TransitionClip(int32_t kind, int32_t track = 0, uint32_t flags = 0) {
    RefPtr<Transition> t = new Transition(kind, 6301);
    RefPtr<Clip> c = new Clip(t.get(), 0, track);
    c->SetFlags(c->GetFlags() | flags);
    return c;
}

bool SamePixels(const Dib& x, const Dib& y, int tolerance = 0) {
    if (x.Width() != y.Width() || x.AbsHeight() != y.AbsHeight() || x.BitCount() != y.BitCount())
        return false;
    for (int r = 0; r < x.AbsHeight(); ++r) {
        const uint8_t *p = x.PixelAddress(0, r), *q = y.PixelAddress(0, r);
        for (int i = 0; i < x.Width() * x.PixelSize(); ++i)
            if (std::abs(p[i] - q[i]) > tolerance)
                return false;
    }
    return true;
}

RefPtr<Dib> CopyOf(const Dib& d) {
    RefPtr<Dib> c = new Dib;
    c->Create(d.Width(), d.Height(), d.BitCount());
    c->Copy(d);
    return c;
}

} // namespace

TEST(TransitionMix, EdgeSlidePushAndWipeKindsTakeEachRegionFromItsPlace) {
    struct Case {
        int32_t kind;
        int32_t track;
        const char* origins; // at p 0.25 on an 8 x 6 frame
    };
    // Horizontal kinds split columns, vertical ones rows: c = trunc(8 * 0.75)
    // = 6 or trunc(8 * 0.25) = 2 across, trunc(6 * 0.75) = 4 or
    // trunc(6 * 0.25) = 1 down.
    const Case cases[] = {
        {4, 0, "a2 a3 a4 a5 a6 a7 b6 b7"},  {4, 1, "a0 a1 a2 a3 a4 a5 b0 b1"},
        {5, 0, "a2 a3 a4 a5 b4 b5"},        {5, 1, "a0 a1 a2 a3 b0 b1"},
        {6, 0, "b0 b1 a0 a1 a2 a3 a4 a5"},  {6, 1, "b6 b7 a2 a3 a4 a5 a6 a7"},
        {7, 0, "b0 a0 a1 a2 a3 a4"},        {7, 1, "b5 a1 a2 a3 a4 a5"},
        {12, 0, "a2 a3 a4 a5 a6 a7 b0 b1"}, {12, 1, "a2 a3 a4 a5 a6 a7 b0 b1"},
        {13, 0, "a2 a3 a4 a5 b0 b1"},       {14, 0, "b6 b7 a0 a1 a2 a3 a4 a5"},
        {15, 0, "b5 a0 a1 a2 a3 a4"},       {16, 0, "a0 a1 a2 a3 a4 a5 b6 b7"},
        {17, 0, "a0 a1 a2 a3 b4 b5"},       {18, 0, "b0 b1 a2 a3 a4 a5 a6 a7"},
        {19, 0, "b0 a1 a2 a3 a4 a5"},
    };
    for (const Case& c : cases) {
        bool horizontal = c.kind == 4 || c.kind == 6 || c.kind == 12 || c.kind == 14 ||
                          c.kind == 16 || c.kind == 18;
        RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB, W, H, true), t = Blank();
        RefPtr<Clip> clip = TransitionClip(c.kind, c.track);
        ASSERT_EQ(clip->GetAsset() ? 1 : 0, 1);
        static_cast<Transition*>(clip->GetAsset())->Mix(clip.get(), t.get(), a.get(), b.get(), 0,
                                                        0.25, 0.25);
        EXPECT_EQ(Origins(*t, horizontal), c.origins) << "kind " << c.kind << " track " << c.track;
    }
}

TEST(TransitionMix, CornerSlidesBringBInAtTheirCorner) {
    struct Case {
        int32_t kind, track;
        Rect bRect;
        Point bFrom;
    };
    // p 0.5: a corner of 4 x 3.
    const Case cases[] = {
        {8, 0, Rect(4, 3, 8, 6), Point(4, 3)},  {8, 1, Rect(4, 3, 8, 6), Point(0, 0)},
        {9, 0, Rect(0, 3, 4, 6), Point(0, 3)},  {9, 1, Rect(0, 3, 4, 6), Point(4, 0)},
        {10, 0, Rect(4, 0, 8, 3), Point(4, 0)}, {10, 1, Rect(4, 0, 8, 3), Point(0, 3)},
        {11, 0, Rect(0, 0, 4, 3), Point(0, 0)}, {11, 1, Rect(0, 0, 4, 3), Point(4, 3)},
    };
    for (const Case& c : cases) {
        RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB), t = Blank();
        RefPtr<Clip> clip = TransitionClip(c.kind, c.track);
        static_cast<Transition*>(clip->GetAsset())->Mix(clip.get(), t.get(), a.get(), b.get(), 0,
                                                        0.5, 0.5);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const uint8_t* p = t->PixelAddress(x, y);
                bool inB = c.bRect.Contains(x, y);
                int sx = inB ? x - c.bRect.left + c.bFrom.x : x;
                int sy = inB ? y - c.bRect.top + c.bFrom.y : y;
                EXPECT_EQ(p[0], inB ? kTagB : kTagA) << "kind " << c.kind << " at " << x << "," << y;
                EXPECT_EQ(p[1], sx) << "kind " << c.kind << " track " << c.track << " at " << x;
                EXPECT_EQ(p[2], sy) << "kind " << c.kind << " track " << c.track << " at " << y;
            }
    }
}

TEST(TransitionMix, EveryKindShowsAAtTheStartAndBAtTheEnd) {
    for (int32_t kind = 1; kind < Transition::effectKindCount; ++kind) {
        if (kind == Transition::effectFade || kind == Transition::effectWipe)
            continue;
        for (int32_t track : {0, 1})
            for (double p : {0.0, 1.0}) {
                RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB), t = Blank();
                RefPtr<Clip> clip = TransitionClip(kind, track);
                static_cast<Transition*>(clip->GetAsset())
                    ->Mix(clip.get(), t.get(), a.get(), b.get(), 0, p, p);
                EXPECT_TRUE(SamePixels(*t, p == 0 ? *a : *b))
                    << "kind " << kind << " track " << track << " p " << p;
            }
    }
}

TEST(TransitionMix, MixingInPlaceEqualsMixingIntoAThirdPicture) {
    std::mt19937 rng(11);
    RefPtr<Dib> a = Blank(), b = Blank();
    for (uint32_t i = 0; i < a->ImageSize(); ++i) {
        a->Bits()[i] = static_cast<uint8_t>(rng());
        b->Bits()[i] = static_cast<uint8_t>(rng());
    }
    for (int32_t kind = 1; kind < Transition::effectKindCount; ++kind) {
        if (kind == Transition::effectWipe)
            continue;
        for (uint32_t flags : {0u, uint32_t{Clip::transitionAtEnd}, uint32_t{Clip::fadeIn}})
            for (int32_t track : {0, 1})
                for (int mode : {0, 1, 2})
                    for (double p : {0.1, 0.37, 0.5, 0.8}) {
                        RefPtr<Clip> clip = TransitionClip(kind, track, flags);
                        auto* effect = static_cast<Transition*>(clip->GetAsset());
                        RefPtr<Dib> third = Blank();
                        effect->Mix(clip.get(), third.get(), a.get(), b.get(), mode, p, p + 0.1);
                        RefPtr<Dib> intoA = CopyOf(*a), intoB = CopyOf(*b);
                        effect->Mix(clip.get(), intoA.get(), intoA.get(), b.get(), mode, p, p + 0.1);
                        effect->Mix(clip.get(), intoB.get(), a.get(), intoB.get(), mode, p, p + 0.1);
                        std::ostringstream what;
                        what << "kind " << kind << " flags " << flags << " track " << track
                             << " mode " << mode << " p " << p;
                        // Into the outgoing picture, the dissolve moves it toward
                        // the incoming one by trunc(255 p) / 256 rather than the
                        // other way by trunc(255 (1 - p)) / 256: the weights differ
                        // by up to 2 / 256, the results by up to 3.
                        int tolerance = kind == Transition::effectDissolve ? 3 : 0;
                        EXPECT_TRUE(SamePixels(*intoA, *third, tolerance)) << "into a: " << what.str();
                        EXPECT_TRUE(SamePixels(*intoB, *third, tolerance)) << "into b: " << what.str();
                    }
    }
}

TEST(TransitionMix, FieldModesGiveEachFieldItsOwnProgress) {
    RefPtr<Dib> a = Blank(W, H, 24, 0), b = Blank(W, H, 24, 200);
    struct Case {
        int mode;
        int even, odd;
    };
    // Even rows at p 0.25 (200 + (-200 * 191 >> 8) = 50), odd rows at 0.75
    // (200 + (-200 * 63 >> 8) = 150); mode 2 gives p1 to the odd rows.
    const Case cases[] = {{1, 50, 150}, {2, 150, 50}, {0, 100, 100}};
    for (const Case& c : cases) {
        RefPtr<Dib> t = Blank();
        RefPtr<Clip> clip = TransitionClip(Transition::effectDissolve);
        static_cast<Transition*>(clip->GetAsset())
            ->Mix(clip.get(), t.get(), a.get(), b.get(), c.mode, 0.25, 0.75);
        for (int y = 0; y < H; ++y)
            EXPECT_EQ(t->PixelAddress(3, y)[1], (y & 1) ? c.odd : c.even)
                << "mode " << c.mode << " row " << y;
    }
    // Any other mode leaves the target alone.
    RefPtr<Dib> t = Blank();
    RefPtr<Clip> clip = TransitionClip(Transition::effectDissolve);
    static_cast<Transition*>(clip->GetAsset())->Mix(clip.get(), t.get(), a.get(), b.get(), 3, 0.5, 0.5);
    EXPECT_TRUE(SamePixels(*t, *Blank()));
}

TEST(TransitionMix, DissolveNearTheEndsShowsOnePictureOnly) {
    RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB);
    RefPtr<Clip> clip = TransitionClip(Transition::effectDissolve);
    auto* effect = static_cast<Transition*>(clip->GetAsset());
    RefPtr<Dib> t = Blank();
    effect->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.001, 0.001);
    EXPECT_TRUE(SamePixels(*t, *a));
    effect->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.999, 0.999);
    EXPECT_TRUE(SamePixels(*t, *b));
}

TEST(TransitionMix, FadeThroughBlack) {
    struct Case {
        uint32_t flags;
        bool hasA, hasB;
        double p;
        int value; // every byte of the result
    };
    // a is 100, b is 200.
    const Case cases[] = {
        {0, true, true, 0.5, 0},                  // the black middle
        {0, true, true, 0.25, 49},                // a at 1 - 2p: k 127
        {0, true, true, 0.75, 99},                // b at (p - 0.5) * 2: k 127
        {0, false, true, 0.25, 0},                // no a before the middle
        {Clip::fadeIn, true, true, 0.5, 99},      // b at p
        {Clip::fadeIn, true, false, 0.5, 0},      // nothing to fade in
        {Clip::fadeOut, true, true, 0.25, 74},    // a at 1 - p: k 191
        {Clip::fadeOut | Clip::transitionAtEnd, true, true, 0.25, 74}, // no mirroring
    };
    for (const Case& c : cases) {
        RefPtr<Dib> a = Blank(W, H, 24, 100), b = Blank(W, H, 24, 200), t = Blank();
        RefPtr<Clip> clip = TransitionClip(Transition::effectFade, 0, c.flags);
        static_cast<Transition*>(clip->GetAsset())
            ->Mix(clip.get(), t.get(), c.hasA ? a.get() : nullptr, c.hasB ? b.get() : nullptr, 0,
                  c.p, c.p);
        EXPECT_EQ(t->PixelAddress(2, 2)[0], c.value) << "flags " << c.flags << " p " << c.p;
        EXPECT_EQ(t->PixelAddress(7, 5)[2], c.value) << "flags " << c.flags << " p " << c.p;
    }
}

TEST(TransitionMix, AtTheEndAnEdgeWipeRunsItsMirrorBackwards) {
    EXPECT_EQ(Transition::MirrorKind(16), 18);
    const int32_t pairs[][2] = {{4, 6}, {5, 7}, {8, 11}, {9, 10}, {12, 14}, {13, 15}, {16, 18}, {17, 19}};
    for (auto& pr : pairs) {
        EXPECT_EQ(Transition::MirrorKind(pr[0]), pr[1]);
        EXPECT_EQ(Transition::MirrorKind(pr[1]), pr[0]);
    }
    for (int32_t k : {0, 1, 2, 3})
        EXPECT_EQ(Transition::MirrorKind(k), k);

    for (double p : {0.2, 0.5, 0.9}) {
        RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB);
        RefPtr<Dib> atEnd = Blank(), mirror = Blank();
        RefPtr<Clip> c16 = TransitionClip(16, 0, Clip::transitionAtEnd);
        RefPtr<Clip> c18 = TransitionClip(18);
        static_cast<Transition*>(c16->GetAsset())->Mix(c16.get(), atEnd.get(), a.get(), b.get(), 0, p, p);
        static_cast<Transition*>(c18->GetAsset())
            ->Mix(c18.get(), mirror.get(), b.get(), a.get(), 0, 1 - p, 1 - p);
        EXPECT_TRUE(SamePixels(*atEnd, *mirror)) << p;
    }
}

TEST(TransitionMix, UnknownKindsAreLoggedAndLeaveTheTarget) {
    OpenLog(Home(), 0);
    RefPtr<Dib> a = Tagged(kTagA), b = Tagged(kTagB), t = Blank();
    RefPtr<Clip> clip = TransitionClip(20);
    EXPECT_EQ(static_cast<Transition*>(clip->GetAsset())->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.5, 0.5), 0);
    EXPECT_TRUE(SamePixels(*t, *Blank()));
    EXPECT_NE(ReadFile(LogPath()).find("Transition::Mix:: unknown effect\n"), std::string::npos);
}

TEST(TransitionMix, PicturesOfAnotherSizeOrDepthAreConvertedNotOverrun) {
    // a is smaller than the frame (black around it), b is 32-bit.
    RefPtr<Dib> a = Blank(5, 4, 24, 100), b = Blank(W, H, 32, 200), t = Blank();
    RefPtr<Clip> clip = TransitionClip(Transition::effectDissolve);
    auto* effect = static_cast<Transition*>(clip->GetAsset());
    ASSERT_EQ(effect->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.5, 0.5), 1);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            // 200 + ((100 - 200) * 127 >> 8) inside a, 200 + ((0 - 200) * 127 >> 8) outside.
            int want = (x < 5 && y < 4) ? 150 : 100;
            ASSERT_EQ(t->PixelAddress(x, y)[0], want) << x << "," << y;
        }
    // A larger a is cut to the frame: every slide kind at every progress.
    RefPtr<Dib> big = Tagged(kTagA, 2 * W + 1, 2 * H + 1);
    for (int32_t kind = 4; kind < Transition::effectKindCount; ++kind)
        for (double p : {0.0, 0.3, 1.0}) {
            RefPtr<Clip> k = TransitionClip(kind);
            RefPtr<Dib> out = Blank();
            EXPECT_EQ(static_cast<Transition*>(k->GetAsset())
                          ->Mix(k.get(), out.get(), big.get(), b.get(), 1, p, p),
                      1);
        }
}

// ffmpeg's xfade fade of the same two pictures at the same progress: frame n
// of a one-second cross-fade at 25 frames per second is progress n / 25.
TEST(TransitionMix, DissolveMatchesFfmpegCrossFade) {
    int status = system("ffmpeg -version >/dev/null 2>&1");
    if (status != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    const int w = 64, h = 48;
    RefPtr<Dib> a = Blank(w, h, 24, 0), b = Blank(w, h, 24, 0);
    std::mt19937 rng(5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* pa = a->PixelAddress(x, y);
            uint8_t* pb = b->PixelAddress(x, y);
            pa[0] = static_cast<uint8_t>(4 * x), pa[1] = static_cast<uint8_t>(5 * y),
            pa[2] = static_cast<uint8_t>(rng());
            pb[0] = static_cast<uint8_t>(255 - 3 * y), pb[1] = static_cast<uint8_t>(rng()),
            pb[2] = static_cast<uint8_t>(3 * x + y);
        }
    const std::string dir = Home();
    ASSERT_EQ(a->SaveToFile(dir + "/a.bmp"), 1);
    ASSERT_EQ(b->SaveToFile(dir + "/b.bmp"), 1);
    std::string cmd = "cd '" + dir +
                      "' && ffmpeg -v error -y -loop 1 -framerate 25 -t 2 -i a.bmp -loop 1 "
                      "-framerate 25 -t 2 -i b.bmp -filter_complex "
                      "\"[0][1]xfade=transition=fade:duration=1:offset=0,format=bgr24\" "
                      "-frames:v 26 -start_number 0 x%02d.bmp";
    ASSERT_EQ(system(cmd.c_str()), 0);
    RefPtr<Clip> clip = TransitionClip(Transition::effectDissolve);
    auto* effect = static_cast<Transition*>(clip->GetAsset());
    for (int n : {0, 3, 10, 13, 20, 24, 25}) {
        const double p = n / 25.0;
        char name[32];
        snprintf(name, sizeof name, "/x%02d.bmp", n);
        RefPtr<Dib> theirs = new Dib;
        ASSERT_EQ(theirs->LoadFromFile(dir + name), 1) << name;
        ASSERT_EQ(theirs->Width(), w);
        RefPtr<Dib> ours = Blank(w, h);
        effect->Mix(clip.get(), ours.get(), a.get(), b.get(), 0, p, p);
        int worst = 0;
        for (int y = 0; y < h; ++y)
            for (int i = 0; i < 3 * w; ++i)
                worst = std::max(worst, std::abs(ours->PixelAddress(0, y)[i] -
                                                 theirs->PixelAddress(0, y)[i]));
        EXPECT_LE(worst, 4) << "progress " << p;
    }
}
