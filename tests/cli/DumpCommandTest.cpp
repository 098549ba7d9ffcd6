// `orvik dump`, run as the program, on a project saved here.
#include "edit/VolumeList.h"
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
