// What wipes take from outside: pictures for bitmap wipes, drawings for
// pattern wipes, and the picons and names of the resource libraries.
#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/Dib.h"
#include "imaging/wipes/BitmapWipe.h"
#include "imaging/wipes/CircleWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/WipePresets.h"
#include "model/Clip.h"
#include "platform/fs/Places.h"
#include "platform/gdi/VectorDrawing.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

using namespace orvik;
using namespace orvik::test;

namespace {

int At(const Dib& d, int x, int y) { return *d.PixelAddress(x, y); }

bool Logged(const std::string& line) {
    return ReadFile(LogPath()).find(line) != std::string::npos;
}

// The application's libraries for one test.
class WithLibraries : public testing::Test {
protected:
    void SetUp() override {
        OpenLog(Home(), 0);
        ASSERT_TRUE(libraries.Load("US", 1, 800, 600));
        ResourceLibraries::SetCurrent(&libraries);
        Dib::SetResourceLibraries(&libraries);
    }
    void TearDown() override {
        Dib::SetResourceLibraries(nullptr);
        ResourceLibraries::SetCurrent(nullptr);
    }
    ResourceLibraries libraries;
};

// A 24-bit picture file: dark on the left, light on the right.
std::string GradientFile(const std::string& name, int w, int h) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = d->PixelAddress(x, y);
            p[0] = p[1] = p[2] = static_cast<uint8_t>(x * 255 / (w - 1));
        }
    std::string path = InHome(name);
    d->SaveToFile(path);
    return path;
}

} // namespace

TEST_F(WithLibraries, PlainTransitionsShowTheirRecolouredPiconAndName) {
    for (const RefPtr<Transition>& t : Transition::AlbumEffects()) {
        RefPtr<Dib> picon = new Dib;
        ASSERT_EQ(t->CreatePicon(picon.get(), nullptr, 0), 1) << t->GetEffectNumber();
        EXPECT_EQ(picon->BitCount(), 8);
        const RgbQuad* table = picon->ColorTable();
        // Entry 1 was the album's light blue, 2 its middle blue, 3 its dark.
        EXPECT_EQ((std::vector<int>{table[1].red, table[1].green, table[1].blue}),
                  (std::vector<int>{159, 249, 196}));
        EXPECT_EQ((std::vector<int>{table[2].red, table[2].green, table[2].blue}),
                  (std::vector<int>{88, 178, 124}));
        EXPECT_EQ((std::vector<int>{table[3].red, table[3].green, table[3].blue}),
                  (std::vector<int>{30, 120, 67}));
        EXPECT_FALSE(t->GetName().empty());
        EXPECT_NE(t->GetName(), ResourceText(50311));
    }
    RefPtr<Transition> unknown = new Transition(1, 7777);
    RefPtr<Dib> picon = new Dib;
    EXPECT_EQ(unknown->CreatePicon(picon.get(), nullptr, 0), 0);
    EXPECT_TRUE(Logged("Transition::CreatePicon: could not load bitmap resource 7777\n"));
    EXPECT_EQ(unknown->GetName(), "Transition");
    EXPECT_EQ(Transition::AlbumEffects().size(), 10u);
}

TEST_F(WithLibraries, AWipeWithoutPiconBitmapCutsSixteenLevelsFromItsPattern) {
    RefPtr<CircleWipe> wipe = new CircleWipe(6343, 0.6, 0.62);
    RefPtr<Clip> clip = new Clip(wipe.get(), 0, 0);
    struct Case {
        bool reversed, selected;
        int centre, corner;
        uint32_t highlight;
    };
    const Case cases[] = {
        {false, false, 15, 0, Wipe::kPiconHighlight},
        {true, false, 0, 15, Wipe::kPiconHighlight},
        {false, true, 15, 0, Wipe::kPiconSelectedHighlight},
    };
    for (const Case& c : cases) {
        clip->SetReversed(c.reversed);
        clip->SetSelected(c.selected);
        RefPtr<Dib> picon = new Dib;
        picon->Create(40, 30, 24);
        ASSERT_EQ(wipe->CreatePicon(picon.get(), clip.get(), 0), 1);
        EXPECT_EQ(picon->BitCount(), 8);
        EXPECT_EQ(picon->Width(), 40);
        EXPECT_EQ(At(*picon, 20, 15), c.centre);
        EXPECT_EQ(At(*picon, 0, 0), c.corner);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_LE(At(*picon, x, y), 15);
        const RgbQuad* table = picon->ColorTable();
        EXPECT_EQ(table[0].red + table[0].green + table[0].blue, 0);
        EXPECT_EQ(Rgb(table[15].red, table[15].green, table[15].blue), c.highlight);
        EXPECT_EQ(table[200].red, 192); // past the ramp
    }
    // Between the thresholds (153 and 158 of 256) the levels climb.
    EXPECT_EQ(wipe->GetName(), "Circle");
}

TEST_F(WithLibraries, PatternWipesPlayTheTwoDrawingsOfTheLibrary) {
    for (int32_t number : {117, 118}) {
        RefPtr<PatternWipe> wipe = new PatternWipe(6342, 0.6, 0.62, number);
        RefPtr<Dib> p = wipe->MakePattern(160, 120, 1.0);
        ASSERT_TRUE(p);
        int highest = 0, lowest = 255;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                highest = std::max(highest, At(*p, x, y));
                lowest = std::min(lowest, At(*p, x, y));
            }
        EXPECT_EQ(highest, 255) << number;
        EXPECT_LE(lowest, 2) << number;
        EXPECT_GE(At(*p, 80, 60), 240) << number;
        // Moving out from the centre the levels fall (give or take the
        // pixels of the smallest, jagged shapes).
        for (int x = 90; x < 160; x += 10)
            ASSERT_LE(At(*p, x, 60), At(*p, x - 10, 60) + 2) << number << " at " << x;
        EXPECT_LT(At(*p, 150, 60), At(*p, 90, 60)) << number;
    }
    RefPtr<PatternWipe> missing = new PatternWipe(6342, 0.6, 0.62, 119);
    RefPtr<Dib> p = missing->MakePattern(32, 24, 1.0);
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 5, 5), 205);
    EXPECT_TRUE(Logged("Can't find emf resource\n"));
}

TEST(PatternWipe, TheCoveringScaleOfASquareIsOne) {
    VectorDrawing square;
    const char text[] = "ORVIK-DRAWING 1\nframe 0 0 100 100\nrectangle 0 0 100 100\n";
    ASSERT_TRUE(square.Parse(reinterpret_cast<const uint8_t*>(text), sizeof text - 1));
    // A square the frame's width covers a 4:3 frame at scale 1; a circle
    // needs the diagonal: 5/4 of the width, within 1 %.
    EXPECT_NEAR(PatternWipe::CoveringScale(square, 80, 60, 1.0), 1.0, 0.011);
    VectorDrawing circle;
    const char round[] = "ORVIK-DRAWING 1\nframe 0 0 100 100\nellipse 0 0 100 100\n";
    ASSERT_TRUE(circle.Parse(reinterpret_cast<const uint8_t*>(round), sizeof round - 1));
    EXPECT_NEAR(PatternWipe::CoveringScale(circle, 80, 60, 1.0), 1.25, 0.03);
    // From a drawing file.
    std::string path = InHome("round.drawing");
    std::ofstream(path) << round;
    RefPtr<PatternWipe> wipe = PatternWipe::FromFile(path);
    RefPtr<Dib> p = wipe->MakePattern(80, 60, 1.0);
    EXPECT_GE(At(*p, 40, 30), 250);
    EXPECT_EQ(wipe->GetName(), path);
}

TEST(BitmapWipe, APictureFileIsScaledToGreyAndInverted) {
    OpenLog(Home(), 0);
    std::string path = GradientFile("wipe_Dawn.bmp", 17, 9);
    RefPtr<BitmapWipe> wipe = new BitmapWipe(0, 0.55, 0.7, path, 0);
    RefPtr<Dib> p = wipe->MakePattern(34, 18, 1.0);
    ASSERT_TRUE(p);
    // Dark on the left of the file turns first: 255 there, 0 on the right.
    EXPECT_EQ(At(*p, 0, 9), 255);
    EXPECT_EQ(At(*p, 33, 9), 0);
    for (int x = 1; x < 34; ++x)
        ASSERT_LE(At(*p, x, 4), At(*p, x - 1, 4)) << x;
    EXPECT_EQ(wipe->GetName(), "Dawn");
}

TEST(BitmapWipe, AMissingFileIsLookedForInTheWipeFolder) {
    OpenLog(Home(), 0);
    std::string folder = InHome("Wipes");
    Places::EnsureFolder(folder);
    BitmapWipe::SetWipeFolder(folder);
    GradientFile("Wipes/wipe_Dusk.bmp", 8, 8);
    RefPtr<BitmapWipe> wipe = new BitmapWipe(0, 0.55, 0.7, "/nowhere/else/wipe_Dusk.bmp", 0);
    RefPtr<Dib> p = wipe->MakePattern(8, 8, 1.0);
    EXPECT_EQ(At(*p, 0, 0), 255);
    EXPECT_EQ(wipe->GetPath(), JoinPath(folder, "wipe_Dusk.bmp"));

    // The album offers one wipe per picture of the folder.
    std::vector<RefPtr<Transition>> album = WipePresets::Album(folder);
    EXPECT_EQ(album.size(), 10u + WipePresets::Presets().size() + 1);
    EXPECT_EQ(album.back()->GetName(), "Dusk");

    RefPtr<BitmapWipe> lost = new BitmapWipe(0, 0.55, 0.7, "/nowhere/wipe_Gone.bmp", 0);
    RefPtr<Dib> q = lost->MakePattern(8, 8, 1.0);
    ASSERT_TRUE(q);
    EXPECT_EQ(At(*q, 3, 3), 205);
    EXPECT_TRUE(Logged("BitmapWipe::Can't load file /nowhere/wipe_Gone.bmp\n"));
    RefPtr<BitmapWipe> noResource = new BitmapWipe(0, 0.55, 0.7, "", 4242);
    noResource->MakePattern(8, 8, 1.0);
    EXPECT_TRUE(Logged("BitmapWipe::Can't load resource 4242\n"));
    BitmapWipe::SetWipeFolder("");
}

TEST_F(WithLibraries, ABitmapResourceIsNotInverted) {
    // The fade picon: light blue on the left third, black in the middle.
    RefPtr<BitmapWipe> wipe = new BitmapWipe(0, 0.55, 0.7, "", 6300);
    RefPtr<Dib> p = wipe->MakePattern(48, 36, 1.0);
    ASSERT_TRUE(p);
    EXPECT_EQ(At(*p, 24, 18), 0);
    EXPECT_EQ(At(*p, 8, 18), (120 + 204 + 255 + 1) / 3);
}
