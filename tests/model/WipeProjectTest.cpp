// Wipes in project files: a movie whose transitions are every kind of wipe
// saves, opens and saves again to the same bytes; counts damaged in the file
// (0, negative, huge) come back clamped, draw patterns and are saved clamped.
#include "imaging/wipes/BitmapWipe.h"
#include "imaging/wipes/BlindsWipe.h"
#include "imaging/wipes/CheckerboardWipe.h"
#include "imaging/wipes/HorizontalSnake.h"
#include "imaging/wipes/HorizontalStreak.h"
#include "imaging/wipes/MatrixWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/RectangleWipe.h"
#include "imaging/wipes/SlatsWipe.h"
#include "imaging/wipes/SpiralWipe.h"
#include "imaging/wipes/VerticalSnake.h"
#include "imaging/wipes/VerticalStreak.h"
#include "imaging/wipes/WipePresets.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/Scene.h"
#include "platform/avi/MediaTestTools.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <limits>
#include <set>

namespace orvik {

namespace {

// Scenes of one tape with a wipe over each join, as a movie's video track.
RefPtr<Movie> MovieOf(const std::vector<RefPtr<Wipe>>& wipes) {
    RefPtr<Movie> movie = new Movie;
    ClipList* list = movie->GetClipList();
    const std::string tape = test::InHome("tape.avi");
    Time at = 0;
    for (size_t i = 0; i <= wipes.size(); ++i) {
        RefPtr<Clip> scene = new Clip(new Scene(tape, Time(40 * i), 40), at, 0);
        list->Add(scene.get());
        at += 40;
        if (i < wipes.size()) {
            RefPtr<Clip> t = new Clip(wipes[i].get(), at - 10, 0);
            t->SetDuration(10);
            list->Add(t.get());
        }
    }
    return movie;
}

std::vector<RefPtr<Wipe>> EveryKind() {
    std::vector<RefPtr<Wipe>> wipes = WipePresets::Presets();
    wipes.push_back(new BitmapWipe(0, 0.55, 0.7, "/home/someone/Wipes/wipe_Stars.bmp", 0));
    wipes.push_back(new BitmapWipe(0, 0.55, 0.7, "", 140));
    wipes.push_back(PatternWipe::FromFile("/home/someone/heart.drawing"));
    RefPtr<Wipe> spiral = new SpiralWipe(50528, 0.55, 0.6, 1, 4, 2);
    spiral->SetNoZero(true);
    wipes.push_back(spiral);
    wipes.push_back(new Wipe(6400, 0.25, 0.75)); // the base: a wipe with no pattern of its own
    return wipes;
}

// Where the 8 bytes of `d` stand in `bytes`; every occurrence.
std::vector<size_t> FindDouble(const std::vector<uint8_t>& bytes, double d) {
    uint8_t key[8];
    std::memcpy(key, &d, 8);
    std::vector<size_t> at;
    for (auto it = bytes.begin(); (it = std::search(it, bytes.end(), key, key + 8)) != bytes.end();
         ++it)
        at.push_back(size_t(it - bytes.begin()));
    return at;
}

} // namespace

TEST(WipeProject, EveryKindSavesOpensAndSavesAgainToTheSameBytes) {
    std::vector<RefPtr<Wipe>> wipes = EveryKind();
    RefPtr<Movie> movie = MovieOf(wipes);
    const std::string path = test::InHome("wipes.orv");
    ASSERT_TRUE(movie->SaveToFile(path)) << movie->LastError();
    const std::vector<uint8_t> first = test::ReadBytes(path);

    RefPtr<Movie> opened = new Movie;
    ASSERT_TRUE(opened->OpenFromFile(path)) << opened->LastError();
    ASSERT_TRUE(opened->SaveToFile(path)) << opened->LastError();
    EXPECT_EQ(test::ReadBytes(path), first);

    // The transitions came back as what they were, kind by kind.
    std::vector<Wipe*> read;
    for (const RefPtr<Clip>& c : opened->GetClipList()->GetClips())
        if (auto* w = DynamicCast<Wipe>(c->GetAsset()))
            read.push_back(w);
    ASSERT_EQ(read.size(), wipes.size());
    std::set<std::string> classes;
    for (size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i]->GetRuntimeClass(), wipes[i]->GetRuntimeClass());
        EXPECT_TRUE(read[i]->IsEqual(wipes[i].get())) << wipes[i]->GetRuntimeClass()->className;
        classes.insert(read[i]->GetRuntimeClass()->className);
    }
    const std::set<std::string> all = {
        "Wipe",          "RectangleWipe",    "CircleWipe",     "DiamondWipe",
        "ClockWipe",     "DiagonalWipe",     "MatrixWipe",     "BlindsWipe",
        "SlatsWipe",     "HorizontalStreak", "VerticalStreak", "HorizontalSnake",
        "VerticalSnake", "CheckerboardWipe", "SpiralWipe",     "BitmapWipe",
        "PatternWipe"};
    EXPECT_EQ(classes, all);
    EXPECT_TRUE(read[read.size() - 2]->GetNoZero());
}

TEST(WipeProject, CountsDamagedInAProjectFileAreClampedWhenOpened) {
    // The own INT32 fields of a kind that hold counts (by their place after
    // noZero) and the range a read value is clamped to.
    struct Count {
        int field;
        int32_t min, max;
    };
    struct Kind {
        const char* name;
        std::function<Wipe*(double piconLow)> make;
        std::vector<Count> counts;
    };
    const int32_t kMax = Wipe::kMaxCount;
    const std::vector<Kind> kinds = {
        {"MatrixWipe",
         [](double p) { return new MatrixWipe(6358, p, 0.65, 8, 6); },
         {{0, 1, 32767}, {1, 1, 32767}}},
        {"BlindsWipe", [](double p) { return new BlindsWipe(6346, p, 0.5, 4, 1); }, {{0, 1, kMax}}},
        {"SlatsWipe", [](double p) { return new SlatsWipe(6348, p, 0.5, 4, 0); }, {{0, 1, kMax}}},
        {"HorizontalStreak",
         [](double p) { return new HorizontalStreak(6350, p, 0.6, 3, 3); },
         {{0, 1, kMax}}},
        {"VerticalStreak",
         [](double p) { return new VerticalStreak(6352, p, 0.6, 3, 3); },
         {{0, 1, kMax}}},
        {"HorizontalSnake",
         [](double p) { return new HorizontalSnake(6354, p, 0.6, 3, 3); },
         {{0, 1, kMax}}},
        {"VerticalSnake",
         [](double p) { return new VerticalSnake(6356, p, 0.6, 3, 3); },
         {{0, 1, kMax}}},
        {"CheckerboardWipe",
         [](double p) { return new CheckerboardWipe(6362, p, 0.5, 8, 6, 3); },
         {{0, 1, kMax}, {1, 1, kMax}}},
        {"SpiralWipe",
         [](double p) { return new SpiralWipe(50523, p, 0.6, 0, 4, 1); },
         {{1, 1, kMax}, {2, 0, kMax}}},
        {"RectangleWipe",
         [](double p) { return new RectangleWipe(6324, p, 0.625, 14, 500, 500, 500, 500, 0); },
         {{0, 0, 1000}, {1, 0, 1000}, {2, 0, 1000}, {3, 0, 1000}}},
    };
    const int32_t damaged[] = {0, -7, std::numeric_limits<int32_t>::max(),
                               std::numeric_limits<int32_t>::min(), 5000};

    for (int32_t bad : damaged) {
        SCOPED_TRACE("stored " + std::to_string(bad));
        // Each wipe is found in the file by its low picon threshold, whose
        // bytes occur nowhere else; its own fields follow the two thresholds
        // and noZero.
        std::vector<RefPtr<Wipe>> wipes;
        std::vector<double> lows;
        for (size_t k = 0; k < kinds.size(); ++k) {
            lows.push_back(0.1 + 0.0123456789 * double(k + 1));
            wipes.push_back(kinds[k].make(lows.back()));
        }
        const std::string path = test::InHome("damaged.orv");
        ASSERT_TRUE(MovieOf(wipes)->SaveToFile(path));
        std::vector<uint8_t> bytes = test::ReadBytes(path);
        std::vector<size_t> own;
        for (size_t k = 0; k < kinds.size(); ++k) {
            std::vector<size_t> at = FindDouble(bytes, lows[k]);
            ASSERT_EQ(at.size(), 1u) << kinds[k].name;
            own.push_back(at[0] + 8 + 8 + 4);
            for (const Count& c : kinds[k].counts)
                test::SetLE32(bytes, own.back() + 4 * size_t(c.field), uint32_t(bad));
        }
        ASSERT_TRUE(test::WriteBytes(path, bytes));

        RefPtr<Movie> opened = new Movie;
        ASSERT_TRUE(opened->OpenFromFile(path)) << opened->LastError();
        std::vector<Wipe*> read;
        for (const RefPtr<Clip>& c : opened->GetClipList()->GetClips())
            if (auto* w = DynamicCast<Wipe>(c->GetAsset()))
                read.push_back(w);
        ASSERT_EQ(read.size(), kinds.size());
        for (size_t k = 0; k < kinds.size(); ++k) {
            EXPECT_STREQ(read[k]->GetRuntimeClass()->className, kinds[k].name);
            // Every kind still draws a whole pattern from what it read.
            RefPtr<Dib> pattern = read[k]->MakePattern(64, 48, 1.0);
            ASSERT_TRUE(pattern) << kinds[k].name;
            EXPECT_EQ(pattern->Width(), 64);
        }

        // Saved again, the file holds the clamped counts in their places.
        ASSERT_TRUE(opened->SaveToFile(path));
        std::vector<uint8_t> again = test::ReadBytes(path);
        ASSERT_EQ(again.size(), bytes.size());
        for (size_t k = 0; k < kinds.size(); ++k)
            for (const Count& c : kinds[k].counts) {
                int32_t v = int32_t(test::LE32(again, own[k] + 4 * size_t(c.field)));
                EXPECT_EQ(v, std::clamp(bad, c.min, c.max))
                    << kinds[k].name << " field " << c.field;
            }
    }
}

} // namespace orvik
