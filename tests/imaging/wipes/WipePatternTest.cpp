// Wipe patterns: hand-worked small patterns of every maker, the properties
// of every preset at the video frame size, and wipes through Transition::Mix.
#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/Dib.h"
#include "imaging/wipes/BlindsWipe.h"
#include "imaging/wipes/CheckerboardWipe.h"
#include "imaging/wipes/CircleWipe.h"
#include "imaging/wipes/ClockWipe.h"
#include "imaging/wipes/DiagonalWipe.h"
#include "imaging/wipes/DiamondWipe.h"
#include "imaging/wipes/HorizontalSnake.h"
#include "imaging/wipes/MatrixWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/RectangleWipe.h"
#include "imaging/wipes/SlatsWipe.h"
#include "imaging/wipes/SpiralWipe.h"
#include "imaging/wipes/VerticalSnake.h"
#include "imaging/wipes/WipePresets.h"
#include "model/Clip.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <functional>
#include <set>

using namespace orvik;

namespace {

using Bytes = std::vector<std::vector<int>>;

Bytes BytesOf(const Dib& d) {
    Bytes out(d.AbsHeight());
    for (int y = 0; y < d.AbsHeight(); ++y)
        for (int x = 0; x < d.Width(); ++x)
            out[y].push_back(*d.PixelAddress(x, y));
    return out;
}

int At(const Dib& d, int x, int y) { return *d.PixelAddress(x, y); }

RefPtr<Dib> Filled(int w, int h, uint8_t v) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, h, 24);
    std::memset(d->Bits(), v, d->ImageSize());
    return d;
}

} // namespace

TEST(WipePattern, SmallPatternsOfEveryMaker) {
    struct Case {
        const char* what;
        RefPtr<Wipe> wipe;
        Bytes expected; // 4 x 4 at scale 1
    };
    const Case cases[] = {
        // R = 2 * (trunc(sqrt(i^2 + j^2) / sqrt(18) * 65536) >> 1), v = 65536 - R.
        {"circle", new CircleWipe(0, 0, 0),
         {{85, 121, 135, 121}, {121, 170, 195, 170}, {135, 195, 255, 195}, {121, 170, 195, 170}}},
        // 65536 - (|x - 2| + |y - 2|) * 16384.
        {"diamond", new DiamondWipe(0, 0, 0),
         {{0, 64, 128, 64}, {64, 128, 192, 128}, {128, 192, 255, 192}, {64, 128, 192, 128}}},
        // 65536 minus the angle clockwise from straight up.
        {"clock", new ClockWipe(0, 0, 0),
         {{32, 18, 255, 237}, {45, 32, 255, 224}, {64, 64, 255, 192}, {82, 96, 128, 160}}},
        // 65536 - (x + y) * 65536 / 8, mirrored both ways for corner 3.
        {"diagonal 0", new DiagonalWipe(0, 0, 0, 0),
         {{255, 224, 192, 160}, {224, 192, 160, 128}, {192, 160, 128, 96}, {160, 128, 96, 64}}},
        {"diagonal 3", new DiagonalWipe(0, 0, 0, 3),
         {{0, 32, 64, 96}, {32, 64, 96, 128}, {64, 96, 128, 160}, {96, 128, 160, 192}}},
        // Two bands: y * 2 * 65536 / 4 modulo 65536, inverted.
        {"blinds", new BlindsWipe(0, 0, 0, 2, 1),
         {{255, 255, 255, 255}, {128, 128, 128, 128}, {255, 255, 255, 255}, {128, 128, 128, 128}}},
        {"slats", new SlatsWipe(0, 0, 0, 2, 0),
         {{255, 128, 255, 128}, {255, 128, 255, 128}, {255, 128, 255, 128}, {255, 128, 255, 128}}},
        // ((t + band * 4) * 65536) / 8 with band = y * 2 / 4.
        {"horizontal streak", new HorizontalStreak(0, 0, 0, 2, 0),
         {{0, 32, 64, 96}, {0, 32, 64, 96}, {128, 160, 192, 224}, {128, 160, 192, 224}}},
        {"horizontal streak mirrored", new HorizontalStreak(0, 0, 0, 2, 3),
         {{255, 255, 255, 255}, {255, 224, 192, 160}, {255, 224, 192, 160}, {128, 96, 64, 32}}},
        {"horizontal snake", new HorizontalSnake(0, 0, 0, 2, 0),
         {{0, 32, 64, 96}, {0, 32, 64, 96}, {255, 224, 192, 160}, {255, 224, 192, 160}}},
        {"vertical streak", new VerticalStreak(0, 0, 0, 2, 0),
         {{0, 0, 128, 128}, {32, 32, 160, 160}, {64, 64, 192, 192}, {96, 96, 224, 224}}},
        {"vertical snake", new VerticalSnake(0, 0, 0, 2, 0),
         {{0, 0, 255, 255}, {32, 32, 224, 224}, {64, 64, 192, 192}, {96, 96, 160, 160}}},
        // g = y * 16384, f = x / 2; (g + f * 32768) modulo 65536.
        {"checkerboard", new CheckerboardWipe(0, 0, 0, 2, 2, 0),
         {{0, 0, 128, 128}, {64, 64, 192, 192}, {128, 128, 0, 0}, {192, 192, 64, 64}}},
        {"checkerboard inverted", new CheckerboardWipe(0, 0, 0, 2, 2, 1),
         {{255, 255, 128, 128}, {192, 192, 64, 64}, {128, 128, 255, 255}, {64, 64, 192, 192}}},
        // The runtime generator from seed 0 (x = x * 214013 + 2531011, bits
        // 16-30): 38, 7719, 21238, 2437 modulo 255.
        {"matrix", new MatrixWipe(0, 0, 0, 2, 2),
         {{38, 38, 69, 69}, {38, 38, 69, 69}, {73, 73, 142, 142}, {73, 73, 142, 142}}},
    };
    for (const Case& c : cases) {
        RefPtr<Dib> p = c.wipe->MakePattern(4, 4, 1.0);
        ASSERT_TRUE(p) << c.what;
        EXPECT_EQ(BytesOf(*p), c.expected) << c.what;
    }
}

TEST(WipePattern, ThePatternImageIsAGreyRampThatStartsAt205) {
    // The inside of a start rectangle is never drawn.
    RefPtr<Wipe> w = new RectangleWipe(0, 0, 0, 0, 250, 250, 750, 750, 0);
    RefPtr<Dib> p = w->MakePattern(40, 30, 1.0);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->BitCount(), 8);
    EXPECT_EQ(p->Width(), 40);
    EXPECT_EQ(p->AbsHeight(), 30);
    EXPECT_TRUE(p->IsGreyPalette());
    EXPECT_EQ(At(*p, 20, 15), 205);
    EXPECT_EQ(At(*p, 0, 0), 0);
    EXPECT_EQ(w->PatternWidth(), 40);
    EXPECT_EQ(w->PatternHeight(), 30);
    EXPECT_EQ(w->PatternScale(), 65536);
    EXPECT_FALSE(w->MakePattern(0, 30, 1.0));
}

TEST(WipePattern, EveryPresetFollowsItsShapeAtTheVideoFrameSize) {
    // The drawings of the pattern wipes are in the resource libraries.
    OpenLog(test::Home(), 0);
    ResourceLibraries libraries;
    ASSERT_TRUE(libraries.Load("US", 1, 800, 600));
    ResourceLibraries::SetCurrent(&libraries);
    struct Unset {
        ~Unset() { ResourceLibraries::SetCurrent(nullptr); }
    } unset;
    const int W = 720, H = 480;
    using Check = std::function<void(const Dib&, const std::string&)>;
    auto centreFirst = [](const Dib& p, const std::string& what) {
        EXPECT_EQ(At(p, W / 2, H / 2), 255) << what;
        for (auto [x, y] : {std::pair{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}})
            EXPECT_LE(At(p, x, y), 2) << what << " corner " << x << "," << y;
    };
    // A drawing grows from a few pixels at the centre (which its shape may
    // just miss) until it covers the frame; the last place it reaches need
    // not be a corner.
    auto drawingFirst = [](const Dib& p, const std::string& what) {
        EXPECT_GE(At(p, W / 2, H / 2), 250) << what;
        int lowest = 255, highest = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                lowest = std::min(lowest, At(p, x, y));
                highest = std::max(highest, At(p, x, y));
            }
        EXPECT_EQ(highest, 255) << what;
        EXPECT_LE(lowest, 2) << what;
    };
    auto mirrored = [](const Dib& p, const std::string& what) {
        for (int y = 1; y < H; y += 7)
            for (int x = 1; x < W; x += 5) {
                ASSERT_EQ(At(p, x, y), At(p, W - x, y)) << what << " across at " << x << "," << y;
                ASSERT_EQ(At(p, x, y), At(p, x, H - y)) << what << " down at " << x << "," << y;
            }
    };
    std::map<int32_t, Check> checks = {
        {6343, [&](const Dib& p, const std::string& w) { centreFirst(p, w), mirrored(p, w); }},
        {6341, [&](const Dib& p, const std::string& w) { centreFirst(p, w), mirrored(p, w); }},
        {6342, drawingFirst},
        {6336, drawingFirst},
        // Clock: the column straight above the centre first, then clockwise.
        {6367,
         [](const Dib& p, const std::string& w) {
             for (int y = 0; y < H / 2; ++y)
                 ASSERT_EQ(At(p, W / 2, y), 255) << w << " row " << y;
             EXPECT_LE(At(p, W / 2 - 1, 0), 2) << w;
             int right = At(p, W - 1, H / 2), bottom = At(p, W / 2 - 1, H - 1),
                 left = At(p, 0, H / 2);
             EXPECT_GT(right, bottom);
             EXPECT_GT(bottom, left);
         }},
        // Diagonals: the named corner first, the opposite one last.
        {6338, [](const Dib& p, const std::string& w) {
             EXPECT_EQ(At(p, 0, 0), 255) << w;
             EXPECT_LE(At(p, W - 1, H - 1), 2) << w;
         }},
        {6339, [](const Dib& p, const std::string& w) {
             EXPECT_LE(At(p, 1, 1), 2) << w;
             EXPECT_GE(At(p, W - 1, H - 1), 250) << w;
         }},
        // Blinds of 4: the first row of each band first.
        {6346, [](const Dib& p, const std::string& w) {
             for (int band = 0; band < 4; ++band) {
                 EXPECT_EQ(At(p, 100, band * H / 4), 255) << w << " band " << band;
                 EXPECT_LE(At(p, 100, band * H / 4 + H / 4 - 1), 3) << w << " band " << band;
             }
         }},
        {6348, [](const Dib& p, const std::string& w) {
             for (int slat = 0; slat < 4; ++slat)
                 EXPECT_EQ(At(p, slat * W / 4, 10), 255) << w << " slat " << slat;
         }},
        // Streak and snake of 3 bands mirrored both ways: the top first, the
        // bottom-right (streak) or bottom-left (snake, odd bands reversed) last.
        {6350, [](const Dib& p, const std::string& w) {
             EXPECT_EQ(At(p, 5, 0), 255) << w;
             EXPECT_EQ(At(p, W - 1, H - 1), 0) << w;
         }},
        {6354, [](const Dib& p, const std::string& w) {
             EXPECT_EQ(At(p, 5, 0), 255) << w;
             EXPECT_EQ(At(p, W - 1, H - 1), 0) << w;
             // The middle band runs the other way round: left to right.
             EXPECT_LT(At(p, 0, H / 2), At(p, W - 1, H / 2)) << w;
         }},
        // Rectangles: 480 rows make the first ring flat (240 / 255 rounds
        // to no row), so the centre takes the second ring's value.
        {6324, [](const Dib& p, const std::string& w) {
             EXPECT_EQ(At(p, W / 2, H / 2), 253) << w;
             EXPECT_EQ(At(p, 0, 0), 0) << w;
             EXPECT_EQ(At(p, W - 1, H / 2), 0) << w;
         }},
        {6327, [](const Dib& p, const std::string& w) { // closing: the outside first
             EXPECT_EQ(At(p, W / 2, H / 2), 2) << w;
             EXPECT_EQ(At(p, 0, 0), 255) << w;
         }},
    };
    std::set<std::string> kinds;
    for (const RefPtr<Wipe>& wipe : WipePresets::Presets()) {
        std::string what = std::string(wipe->GetRuntimeClass()->className) + " " +
                           std::to_string(wipe->GetEffectNumber());
        bool firstOfKind = kinds.insert(wipe->GetRuntimeClass()->className).second;
        auto check = checks.find(wipe->GetEffectNumber());
        if (!firstOfKind && check == checks.end())
            continue;
        RefPtr<Dib> p = wipe->MakePattern(W, H, 4.0 * H / (3.0 * W));
        ASSERT_TRUE(p) << what;
        ASSERT_EQ(p->Width(), W);
        // Every pattern is drawn: no byte is left at the surface's 205 unless
        // the maker can draw it; and drawing again gives the same bytes.
        std::set<int> values;
        for (int y = 0; y < H; y += 3)
            for (int x = 0; x < W; x += 3)
                values.insert(At(*p, x, y));
        EXPECT_GT(values.size(), 1u) << what;
        RefPtr<Dib> again = wipe->MakePattern(W, H, 4.0 * H / (3.0 * W));
        EXPECT_EQ(std::memcmp(p->Bits(), again->Bits(), p->ImageSize()), 0) << what;
        if (check != checks.end())
            check->second(*p, what);
    }
    EXPECT_EQ(kinds.size(), 15u);
}

TEST(WipePattern, BoxOutOfAPalFrameRingsFromTheCentre) {
    // 720 x 576: ring 1 is (359, 287)-(361, 289), the last ring the frame's edge.
    RefPtr<Wipe> out = new RectangleWipe(6324, 0.375, 0.625, 14, 500, 500, 500, 500, 0);
    RefPtr<Dib> p = out->MakePattern(720, 576, 1.0);
    for (auto [x, y] : {std::pair{359, 287}, {360, 287}, {359, 288}, {360, 288}})
        EXPECT_EQ(At(*p, x, y), 254) << x << "," << y;
    EXPECT_EQ(At(*p, 358, 288), 253);
    for (auto [x, y] : {std::pair{0, 0}, {719, 300}, {400, 575}, {0, 575}})
        EXPECT_EQ(At(*p, x, y), 0) << x << "," << y;
    EXPECT_EQ(At(*p, 2, 300), 1);
    EXPECT_EQ(At(*p, 1, 300), 0);
    RefPtr<Wipe> in = new RectangleWipe(6327, 0.375, 0.625, 17, 500, 500, 500, 500, 1);
    RefPtr<Dib> q = in->MakePattern(720, 576, 1.0);
    EXPECT_EQ(At(*q, 360, 288), 1);
    EXPECT_EQ(At(*q, 0, 0), 255);
    // With noZero a closing box takes two steps a ring: 2, 4, ... 254.
    in->SetNoZero(true);
    RefPtr<Dib> r = in->MakePattern(720, 576, 1.0);
    EXPECT_EQ(At(*r, 360, 288), 2);
    EXPECT_EQ(At(*r, 0, 0), 254);
}

TEST(WipePattern, MatrixCellsAreRandomButRepeatable) {
    RefPtr<MatrixWipe> m = new MatrixWipe(0, 0, 0, 1000, 1);
    RefPtr<Dib> p = m->MakePattern(64, 8, 1.0), q = m->MakePattern(64, 8, 1.0);
    std::set<int> columns;
    for (int x = 0; x < 64; ++x) {
        for (int y = 1; y < 8; ++y)
            ASSERT_EQ(At(*p, x, y), At(*p, x, 0)) << "column " << x;
        ASSERT_LE(At(*p, x, 0), 254);
        columns.insert(At(*p, x, 0));
    }
    EXPECT_GT(columns.size(), 40u);
    EXPECT_EQ(BytesOf(*p), BytesOf(*q));
    // 500 is a cell per two pixels; more cells than pixels is one per pixel.
    EXPECT_EQ(MatrixWipe::CellsFor(500, 64), 32);
    EXPECT_EQ(MatrixWipe::CellsFor(100, 64), 64);
    EXPECT_EQ(MatrixWipe::CellsFor(-3, 64), 1);
    EXPECT_EQ(MatrixWipe::CellsFor(500, 1), 1);
}

TEST(WipePattern, NoZeroKeepsEveryByteAboveZero) {
    for (const RefPtr<Wipe>& preset : WipePresets::Presets()) {
        // Matrix cells are drawn values, 0 included; spiral rings wrap round
        // through 0 wherever their value is a multiple of 256 below zero.
        if (preset->GetRuntimeClass() == RuntimeClassOf<MatrixWipe>() ||
            preset->GetRuntimeClass() == RuntimeClassOf<SpiralWipe>())
            continue;
        RefPtr<Wipe> wipe = static_cast<Wipe*>(preset->Clone());
        wipe->SetNoZero(true);
        RefPtr<Dib> p = wipe->MakePattern(96, 64, 1.0);
        ASSERT_TRUE(p);
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 96; ++x)
                ASSERT_NE(At(*p, x, y), 0) << wipe->GetRuntimeClass()->className << " "
                                           << wipe->GetEffectNumber() << " at " << x << "," << y;
    }
}

// A wipe whose maker samples the distance table at the edges of the frame.
class RadialProbe : public CircleWipe {
public:
    int CreateAlphaDib(Dib& image) override {
        const int W = image.Width(), H = image.AbsHeight();
        leftEdge = Radial(-W / 2, 0);
        nextToIt = Radial(-W / 2 + 1, 0);
        topLeft = Radial(-W / 2, H / 2);
        return CircleWipe::CreateAlphaDib(image);
    }
    int32_t leftEdge = 0, nextToIt = 0, topLeft = 0;
};

TEST(WipePattern, DistanceTableIsNeverReadPastItsLastColumn) {
    // 150 x 112 at 4H / 3W: the leftmost column scales to index 75 of 75.
    RefPtr<RadialProbe> probe = new RadialProbe;
    ASSERT_TRUE(probe->MakePattern(150, 112, 4.0 * 112 / (3.0 * 150)));
    EXPECT_GE(probe->leftEdge, probe->nextToIt);
    EXPECT_GT(probe->topLeft, 60000);
}

TEST(WipePattern, CountsReadFromAStreamAreClamped) {
    struct Case {
        RefPtr<Wipe> wipe;
        size_t fromEnd; // where the count lies in the kind's own bytes
        int32_t lowest, highest;
        std::function<int32_t(Wipe&)> count;
    };
    const Case cases[] = {
        {new HorizontalStreak(0, 0, 0, 3, 0), 8, 1, 4096,
         [](Wipe& w) { return static_cast<HorizontalStreak&>(w).GetBands(); }},
        {new VerticalSnake(0, 0, 0, 3, 0), 8, 1, 4096,
         [](Wipe& w) { return static_cast<VerticalSnake&>(w).GetBands(); }},
        {new BlindsWipe(0, 0, 0, 3, 0), 8, 1, 4096,
         [](Wipe& w) { return static_cast<BlindsWipe&>(w).GetCount(); }},
        {new SlatsWipe(0, 0, 0, 3, 0), 8, 1, 4096,
         [](Wipe& w) { return static_cast<SlatsWipe&>(w).GetCount(); }},
        {new CheckerboardWipe(0, 0, 0, 3, 3, 0), 8, 1, 4096,
         [](Wipe& w) { return static_cast<CheckerboardWipe&>(w).GetRows(); }},
        {new SpiralWipe(0, 0, 0, 0, 3, 3), 8, 1, 4096,
         [](Wipe& w) { return static_cast<SpiralWipe&>(w).GetTurns(); }},
        {new SpiralWipe(0, 0, 0, 0, 3, 3), 4, 0, 4096,
         [](Wipe& w) { return static_cast<SpiralWipe&>(w).GetArms(); }},
        {new MatrixWipe(0, 0, 0, 3, 3), 4, 1, 32767,
         [](Wipe& w) { return static_cast<MatrixWipe&>(w).GetRows(); }},
    };
    for (const Case& c : cases)
        for (int32_t stored : {0, -7, INT32_MAX, INT32_MIN}) {
            MemFile out;
            {
                Archive ar(out, Archive::store);
                c.wipe->SerializeOwn(ar);
                ar.Close();
            }
            std::vector<uint8_t> bytes = out.Bytes();
            std::memcpy(bytes.data() + bytes.size() - c.fromEnd, &stored, 4);
            MemFile in(bytes.data(), bytes.size());
            RefPtr<Wipe> loaded = static_cast<Wipe*>(c.wipe->Clone());
            {
                Archive ar(in, Archive::load);
                loaded->SerializeOwn(ar);
            }
            const std::string what = std::string(c.wipe->GetRuntimeClass()->className) +
                                     " stored " + std::to_string(stored);
            EXPECT_EQ(c.count(*loaded), stored > 0 ? c.highest : c.lowest) << what;
            ASSERT_TRUE(loaded->MakePattern(48, 36, 1.0)) << what;
        }
}

TEST(WipePattern, AWipeShowsAAtTheStartAndBAtTheEndExactly) {
    const int w = 160, h = 120;
    for (const RefPtr<Wipe>& wipe : WipePresets::Presets())
        for (uint32_t flags : {0u, uint32_t{Clip::reversed}, uint32_t{Clip::transitionAtEnd},
                               uint32_t{Clip::reversed | Clip::transitionAtEnd}}) {
            RefPtr<Clip> clip = new Clip(wipe.get(), 0, 0);
            clip->SetFlags(clip->GetFlags() | flags);
            RefPtr<Dib> a = Filled(w, h, 50), b = Filled(w, h, 200);
            for (double p : {0.0, 1.0}) {
                RefPtr<Dib> t = Filled(w, h, 7);
                ASSERT_EQ(wipe->Mix(clip.get(), t.get(), a.get(), b.get(), 1, p, p), 1);
                const int want = p == 0 ? 50 : 200;
                for (uint32_t i = 0; i < t->ImageSize(); ++i) {
                    if (i % t->LineSize() < static_cast<uint32_t>(3 * w)) {
                        ASSERT_EQ(t->Bits()[i], want)
                            << wipe->GetRuntimeClass()->className << " " << wipe->GetEffectNumber()
                            << " flags " << flags << " p " << p << " byte " << i;
                    }
                }
            }
        }
}

TEST(WipePattern, TheHighestPatternBytesTurnFirst) {
    RefPtr<CircleWipe> wipe = new CircleWipe(6343, 0.6, 0.62);
    RefPtr<Clip> clip = new Clip(wipe.get(), 0, 0);
    const int w = 160, h = 120;
    RefPtr<Dib> a = Filled(w, h, 0), b = Filled(w, h, 255), t = Filled(w, h, 9);
    wipe->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.2, 0.2);
    RefPtr<Dib> pattern = wipe->GetPattern(w, h, wipe->GetPatternScale());
    ASSERT_TRUE(pattern);
    // s = 51: bytes from 255 - 51 + 5 show b, bytes to 255 - 51 - 5 show a.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = At(*pattern, x, y), out = t->PixelAddress(x, y)[1];
            if (v >= 209) {
                ASSERT_EQ(out, 255) << x << "," << y;
            }
            if (v <= 199) {
                ASSERT_EQ(out, 0) << x << "," << y;
            }
        }
    // The reverse flag turns the order round.
    clip->SetReversed(true);
    wipe->Mix(clip.get(), t.get(), a.get(), b.get(), 0, 0.2, 0.2);
    EXPECT_EQ(t->PixelAddress(w / 2, h / 2)[0], 0);
    EXPECT_EQ(t->PixelAddress(0, 0)[0], 255);
}

TEST(WipePattern, ThePatternIsCachedPerSizeAndScale) {
    RefPtr<DiamondWipe> wipe = new DiamondWipe(6341, 0.6, 0.62);
    RefPtr<Dib> p = wipe->GetPattern(64, 48, 1.0);
    EXPECT_EQ(wipe->GetPattern(64, 48, 1.0).get(), p.get());
    EXPECT_EQ(wipe->GetPatternScale(), 1.0);
    RefPtr<Dib> q = wipe->GetPattern(64, 48, 0.5);
    EXPECT_NE(q.get(), p.get());
    EXPECT_EQ(wipe->GetPatternScale(), 0.5);
    EXPECT_NE(wipe->GetPattern(64, 40, 0.5).get(), q.get());
    // A copy starts without a pattern.
    RefPtr<Wipe> copy = static_cast<Wipe*>(wipe->Clone());
    EXPECT_EQ(copy->GetPatternScale(), 1.0);
    EXPECT_NE(copy->GetPattern(64, 40, 0.5).get(), wipe->GetPattern(64, 40, 0.5).get());
}
