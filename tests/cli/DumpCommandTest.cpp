// `orvik dump`, run as the program, on a project saved here.
#include "edit/VolumeList.h"
#include "imaging/wipes/BitmapWipe.h"
#include "imaging/wipes/BlindsWipe.h"
#include "imaging/wipes/CheckerboardWipe.h"
#include "imaging/wipes/CircleWipe.h"
#include "imaging/wipes/ClockWipe.h"
#include "imaging/wipes/DiagonalWipe.h"
#include "imaging/wipes/DiamondWipe.h"
#include "imaging/wipes/HorizontalSnake.h"
#include "imaging/wipes/HorizontalStreak.h"
#include "imaging/wipes/MatrixWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/RectangleWipe.h"
#include "imaging/wipes/SlatsWipe.h"
#include "imaging/wipes/SpiralWipe.h"
#include "imaging/wipes/VerticalSnake.h"
#include "imaging/wipes/VerticalStreak.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "model/Scene.h"
#include "model/Transition.h"
#include "support/RunOrvik.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>

namespace orvik {

namespace {

std::string SaveSample() {
    RefPtr<Movie> movie = new Movie;
    auto add = [&](Asset* a, Time start, int track) {
        RefPtr<Clip> c = new Clip(a, start, track);
        movie->GetClipList()->Add(c.get());
        return c;
    };
    add(new Scene(test::InHome("tape.avi"), 30, 100), 0, 0)->SetSelected(true);
    add(new Transition(2, 7), 80, 0);
    add(new Scene(test::InHome("tape.avi"), 200, 50), 80, 0);
    RefPtr<Clip> title = add(new GraphicAsset(test::InHome("t.bmp"), 60, 0), 20, 1);
    title->SetPinned(true);
    RefPtr<VolumeList> v = new VolumeList(60);
    v->AddVolumeSetting(VolumeSetting(700, 5));
    title->SetVolumeList(v.get());
    movie->SetViewRange(10, 300);
    std::string path = test::InHome("sample.orv");
    EXPECT_TRUE(movie->SaveToFile(path));
    return path;
}

} // namespace

TEST(DumpCommand, PrintsTheViewAndTheClipTable) {
    std::string path = SaveSample();
    test::ProgramResult r = test::RunOrvik({"dump", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Path: " + path +
                         "\n"
                         "viewStart: 10\n"
                         "viewSpan: 300\n"
                         "Duration: 130\n"
                         "SEQ   Movie Start   Duration   Trim Start  Clip Start   Duration  Type\n"
                         "  1*          0         100          30          30         100    Scene\n"
                         "  2          80           0           0           0           0    Transition\n"
                         "  3          80          50         200         200          50    Scene\n"
                         "Track: 1\n"
                         "  4          20@         60           0           0          60    GraphicAsset\n");
}

TEST(DumpCommand, JsonHoldsEverySavedField) {
    std::string path = SaveSample();
    test::ProgramResult r = test::RunOrvik({"dump", "--json", path});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["path"], path);
    EXPECT_EQ(doc["viewSpan"], 300.0);
    ASSERT_EQ(doc["clips"].size(), 4u);
    EXPECT_EQ(doc["clips"][0]["selected"], true);
    EXPECT_EQ(doc["clips"][3]["pinned"], true);
    EXPECT_EQ(doc["clips"][3]["volumeList"]["points"][0]["level"], 700);
    // The two scenes of one file share one tape.
    int a0 = doc["clips"][0]["asset"], a2 = doc["clips"][2]["asset"];
    EXPECT_EQ(doc["assets"][a0]["tape"], doc["assets"][a2]["tape"]);
    EXPECT_EQ(doc["tapes"].size(), 1u);
    int t = doc["clips"][1]["asset"];
    EXPECT_EQ(doc["assets"][t]["class"], "Transition");
    EXPECT_EQ(doc["assets"][t]["fields"]["effectNumber"], 7);
}

TEST(DumpCommand, JsonHoldsTheSavedFieldsOfEveryWipeKind) {
    using nlohmann::ordered_json;
    // Each wipe with the fields it was made with, in the order they are saved
    // after the transition's and the wipe's own.
    struct Case {
        Wipe* wipe;
        ordered_json own;
    };
    RefPtr<Wipe> noZero = new DiagonalWipe(6339, 0.6, 0.62, 3);
    noZero->SetNoZero(true);
    const std::vector<Case> cases = {
        {new Wipe(6400, 0.25, 0.75), ordered_json::object()},
        {new RectangleWipe(6327, 0.375, 0.625, 17, 100, 200, 300, 400, 1),
         {{"startLeft", 100},
          {"startTop", 200},
          {"startRight", 300},
          {"startBottom", 400},
          {"closing", 1},
          {"code", 17}}},
        {new CircleWipe(6343, 0.6, 0.62), ordered_json::object()},
        {new DiamondWipe(6341, 0.61, 0.63), ordered_json::object()},
        {new ClockWipe(6367, 0.375, 0.625), ordered_json::object()},
        {noZero.get(), {{"corner", 3}}},
        {new MatrixWipe(6361, 0.6, 0.75, 180, 120), {{"columns", 180}, {"rows", 120}}},
        {new BlindsWipe(6347, 0.5, 0.5, 12, 1), {{"count", 12}, {"invert", 1}}},
        {new SlatsWipe(6349, 0.45, 0.5, 9, 1), {{"count", 9}, {"invert", 1}}},
        {new HorizontalStreak(6351, 0.625, 0.875, 8, 3), {{"bands", 8}, {"flags", 3}}},
        {new VerticalStreak(6353, 0.0, 0.667, 7, 2), {{"bands", 7}, {"flags", 2}}},
        {new HorizontalSnake(6355, 0.4, 0.8, 5, 1), {{"bands", 5}, {"flags", 1}}},
        {new VerticalSnake(6357, 0.4, 0.8, 6, 3), {{"bands", 6}, {"flags", 3}}},
        {new CheckerboardWipe(6366, 0.5, 0.5, 32, 24, 1),
         {{"columns", 32}, {"rows", 24}, {"flags", 1}}},
        {new SpiralWipe(50533, 0.55, 0.6, 1, 20, 19), {{"mode", 1}, {"turns", 20}, {"arms", 19}}},
        {new BitmapWipe(0, 0.55, 0.7, "/w/wipe_Stars.bmp", 140),
         {{"path", "/w/wipe_Stars.bmp"}, {"resourceNumber", 140}}},
        {new PatternWipe(6342, 0.6, 0.62, 117), {{"path", ""}, {"resourceNumber", 117}}},
        {PatternWipe::FromFile("/w/heart.drawing"),
         {{"path", "/w/heart.drawing"}, {"resourceNumber", 0}}},
    };
    RefPtr<Movie> movie = new Movie;
    std::vector<RefPtr<Wipe>> keep;
    Time at = 0;
    for (const Case& c : cases) {
        keep.push_back(c.wipe);
        RefPtr<Clip> clip = new Clip(c.wipe, at, 0);
        clip->SetDuration(10);
        movie->GetClipList()->Add(clip.get());
        at += 10;
    }
    std::string path = test::InHome("wipes.orv");
    ASSERT_TRUE(movie->SaveToFile(path));

    test::ProgramResult r = test::RunOrvik({"dump", "--json", path});
    ASSERT_EQ(r.status, 0) << r.err;
    ordered_json doc = ordered_json::parse(r.out);
    ASSERT_EQ(doc["clips"].size(), cases.size());
    std::set<std::string> classes;
    for (size_t i = 0; i < cases.size(); ++i) {
        const Wipe& w = *cases[i].wipe;
        ordered_json want = {{"fileName", ""},
                             {"start", 0},
                             {"duration", 0},
                             {"workingFile", 0},
                             {"effect", 3},
                             {"effectNumber", w.GetEffectNumber()},
                             {"piconLow", w.GetPiconLow()},
                             {"piconHigh", w.GetPiconHigh()},
                             {"noZero", w.GetNoZero() ? 1 : 0}};
        for (auto& [name, value] : cases[i].own.items())
            want[name] = value;
        const ordered_json& asset = doc["assets"][doc["clips"][i]["asset"].get<size_t>()];
        EXPECT_EQ(asset["class"], w.GetRuntimeClass()->className);
        EXPECT_EQ(asset["kind"], 1);
        EXPECT_EQ(asset["fields"], want) << asset["fields"].dump() << "\n" << want.dump();
        classes.insert(asset["class"].get<std::string>());
    }
    EXPECT_EQ(classes.size(), 17u); // the base and every kind
    EXPECT_EQ(doc["assets"][5]["fields"]["noZero"], 1);
}

TEST(DumpCommand, ANonProjectFailsWithOneLine) {
    std::string junk = test::InHome("junk.orv");
    FILE* f = fopen(junk.c_str(), "w");
    fputs("not a project", f);
    fclose(f);
    test::ProgramResult r = test::RunOrvik({"dump", junk});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("cannot open"), std::string::npos);
    r = test::RunOrvik({"dump", test::InHome("missing.orv")});
    EXPECT_NE(r.status, 0);
}

} // namespace orvik
