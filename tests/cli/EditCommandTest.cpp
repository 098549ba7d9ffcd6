// `orvik edit`, run as the program on the demo's project; the result is read
// back through `orvik dump --json`.
#include "support/RunOrvik.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orvik {

namespace {

using nlohmann::json;

// The demo's movie, as `orvik demo` makes it (times in frames at 30 fps):
//   1 scene      0..45   trim 0
//   2 dissolve  15..45
//   3 scene     15..60   trim 45
//   4 scene     60..105  trim 90
//   5 scene    105..150  trim 135
//   6 picture   15..105  pinned, track 1
//   7 sound     60..90   pinned, track 3
//   8 music      0..180  track 4
class EditCommandTest : public testing::Test {
protected:
    void SetUp() override {
        dir = test::InHome("demo");
        test::ProgramResult r = test::RunOrvik({"demo", dir});
        ASSERT_EQ(r.status, 0) << r.err;
        project = dir + "/demo.orv";
        json start = Dump();
        ASSERT_EQ(start["clips"].size(), 8u);
        ASSERT_EQ(Starts(start), (std::vector<int>{0, 15, 15, 60, 105, 15, 60, 0}));
    }

    json Dump() {
        test::ProgramResult r = test::RunOrvik({"dump", "--json", project});
        EXPECT_EQ(r.status, 0) << r.err;
        return json::parse(r.out);
    }
    static std::vector<int> Starts(const json& doc) {
        std::vector<int> out;
        for (const json& c : doc["clips"])
            out.push_back(c["start"]);
        return out;
    }
    std::string WriteScript(const std::string& text) {
        std::string path = test::InHome("script.txt");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string dir;
    std::string project;
};

TEST_F(EditCommandTest, RunsAScriptAndSavesTheProject) {
    std::string script =
        WriteScript("# Shorten the third scene by half a second and note why.\n"
                    "select 4\n"
                    "trim end -15\n"
                    "comment \"too long\"\n"
                    "\n"
                    "# Split the last scene at 3.18 (108 frames); try a fade there, then not.\n"
                    "select 5\n"
                    "split at 3.18\n"
                    "insert transition 2 6301 10 at 108\n"
                    "undo\n"
                    "select 2\n"
                    "reverse\n"
                    "select toggle 2\r\n"
                    "select add 5-6\n");
    test::ProgramResult r = test::RunOrvik({"edit", "--json", project, script});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    json doc = Dump();
    // What the edit printed is what dump prints of the saved project.
    EXPECT_EQ(json::parse(r.out), doc);

    const json& clips = doc["clips"];
    ASSERT_EQ(clips.size(), 9u);
    // The third scene ends 15 frames earlier; the scenes after it follow.
    EXPECT_EQ(clips[3]["start"], 60);
    EXPECT_EQ(clips[3]["duration"], 30);
    EXPECT_EQ(clips[3]["trimStart"], 90);
    EXPECT_EQ(clips[3]["comment"], "too long");
    // The last scene, now at 90, in two parts at 108: 18 and 27 frames
    // whose sources meet.
    EXPECT_EQ(clips[4]["start"], 90);
    EXPECT_EQ(clips[4]["duration"], 18);
    EXPECT_EQ(clips[4]["trimStart"], 135);
    EXPECT_EQ(clips[5]["start"], 108);
    EXPECT_EQ(clips[5]["duration"], 27);
    EXPECT_EQ(clips[5]["trimStart"], 153);
    // The picture over the shortened scene loses the 15 frames too.
    EXPECT_EQ(clips[6]["start"], 15);
    EXPECT_EQ(clips[6]["duration"], 75);
    // The fade was undone: one transition, the demo's dissolve, reversed.
    int transitions = 0;
    for (const json& c : clips)
        transitions += doc["assets"][c["asset"].get<int>()]["kind"] == 1;
    EXPECT_EQ(transitions, 1);
    EXPECT_EQ(clips[1]["flags"].get<uint32_t>() & 0x20000u, 0x20000u);
    // The last two lines: Control-click took the dissolve out of the
    // selection, Shift added a rubber band over clips 5 and 6.
    std::vector<bool> selected;
    for (const json& c : clips)
        selected.push_back(c["selected"]);
    EXPECT_EQ(selected,
              (std::vector<bool>{false, false, false, false, true, true, false, false, false}));
}

TEST_F(EditCommandTest, InsertsTrimsAndTheClipboard) {
    std::string script = WriteScript("insert scene " + dir +
                                     "/tape1.avi 30 60 at 150\n"
                                     "insert sound \"" +
                                     dir +
                                     "/whoosh.wav\" 5 20 at 100\n"
                                     "insert graphic " +
                                     dir +
                                     "/title.bmp 1.00 at 120 track title\n"
                                     "select 2\n"
                                     "trim transition -10\n"
                                     "select 5\n"
                                     "trim start 10\n"
                                     "trim overlap -6\n"
                                     "select 6\n"
                                     "trim start 5\n"
                                     "reset start\n"
                                     "select 5\n"
                                     "cut\n"
                                     "paste at 0 track video\n"
                                     "select 1\n"
                                     "move to 1:00.00\n");
    test::ProgramResult r = test::RunOrvik({"edit", project, script});
    ASSERT_EQ(r.status, 0) << r.err;
    json doc = Dump();
    const json& clips = doc["clips"];
    ASSERT_EQ(clips.size(), 11u) << doc.dump(1);
    auto kind = [&](const json& c) { return doc["assets"][c["asset"].get<int>()]["kind"]; };
    // Track 0: the dissolve 10 frames shorter; the fourth scene trimmed by 10
    // at its start, then the cut before it moved 6 frames earlier, cut and
    // pasted at the start, then moved to the end; the new scene from frames
    // 30 to 60 of the tape, trimmed and reset.
    std::vector<int> trims, durations, kinds;
    for (const json& c : clips) {
        if (c["track"] != 0)
            continue;
        trims.push_back(c["trimStart"]);
        durations.push_back(c["duration"]);
        kinds.push_back(kind(c));
    }
    EXPECT_EQ(kinds, (std::vector<int>{2, 1, 2, 2, 2, 2}));
    EXPECT_EQ(trims, (std::vector<int>{0, 0, 45, 90, 30, 139}));
    EXPECT_EQ(durations, (std::vector<int>{45, 20, 45, 39, 30, 41}));
    // The sound from 5 frames into its file, the picture for a second, each
    // pinned on its own track.
    bool sound = false, picture = false;
    for (const json& c : clips) {
        if (c["track"] == 3 && c["trimStart"] == 5) {
            sound = true;
            // 15 frames, of which the 10 over the start trimmed off the
            // fourth scene went with it.
            EXPECT_EQ(c["duration"], 5);
            EXPECT_TRUE(c["pinned"].get<bool>());
        }
        if (c["track"] == 1 && c["duration"] == 30) {
            picture = true;
            EXPECT_TRUE(c["pinned"].get<bool>());
        }
    }
    EXPECT_TRUE(sound);
    EXPECT_TRUE(picture);
}

TEST_F(EditCommandTest, AFailingLineLeavesTheProjectAlone) {
    const std::string before = test::ReadFile(project);
    const std::vector<std::string> files = Files();
    struct Bad {
        std::string script;
        std::string message;
    };
    const std::string picture = dir + "/title.bmp";
    const Bad kBad[] = {
        // Found by reading the script: nothing runs.
        {"select 4\ntrim end -15\n\nfrobnicate\n", "line 4: unknown command \"frobnicate\""},
        // Found by running it: the lines before ran, but nothing is saved.
        {"select 4\ntrim end -15\nselect 12\n",
         "line 3: there is no clip 12 (the movie has 8 clips)"},
        {"select 4\ntrim start 1:00.00\n", "line 2: the start of clip 4 cannot move by"},
        {"delete\n", "line 1: no clip is selected"},
        {"undo\n", "line 1: nothing to undo"},
        {"paste at 0\n", "line 1: the clipboard holds no clips"},
        {"insert scene nowhere.avi 0 10 at 0\n", "line 1: no such file: nowhere.avi"},
        {"insert scene " + picture + " 0 10 at 0\n", "line 1: cannot read the video of"},
        {"insert graphic " + picture + " 30 at 0 track sound\n",
         "line 1: the sound track does not take a graphic"},
        {"select 2\nsplit at 20\n", "line 2: no clip (other than a transition) is selected"},
        {"select 1\nsplit at 44\n", "line 2: 0:00:01.14 does not lie inside clip 1"},
        {"select 1\nreverse\n", "line 2: no selected transition plays at the movie's position"},
    };
    for (const Bad& b : kBad) {
        SCOPED_TRACE(b.script);
        std::string script = WriteScript(b.script);
        test::ProgramResult r = test::RunOrvik({"edit", project, script});
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.rfind("orvik: " + script + ": line ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(test::ReadFile(project), before);
        EXPECT_EQ(Files(), files);
    }
}

TEST_F(EditCommandTest, SaveLinesDryRunsAndStandardInput) {
    const std::string before = test::ReadFile(project);
    // A dry run prints the edited movie and leaves the file alone.
    test::ProgramResult dry =
        test::RunOrvik({"edit", "--dry-run", "--json", project, "-"}, "select 4\ndelete\n");
    ASSERT_EQ(dry.status, 0) << dry.err;
    json edited = json::parse(dry.out);
    EXPECT_EQ(edited["path"], project);
    // The third scene is gone; the last one closes up behind the second, and
    // the sound that lay over the gone scene moves back with the video.
    EXPECT_EQ(Starts(edited), (std::vector<int>{0, 15, 15, 60, 15, 15, 0}));
    EXPECT_EQ(edited["clips"][3]["trimStart"], 135);
    EXPECT_EQ(test::ReadFile(project), before);
    test::ProgramResult table =
        test::RunOrvik({"edit", "--dry-run", "--dump", project, "-"}, "select 4\ndelete\n");
    ASSERT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out.rfind("Path: " + project + "\n", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("SEQ   Movie Start"), std::string::npos) << table.out;

    // A save line keeps what came before it, even when a later line fails;
    // save FILE writes a copy elsewhere.
    std::string copy = test::InHome("copy.orv");
    test::ProgramResult r =
        test::RunOrvik({"edit", project, "-"}, "select 4\ndelete\nsave\nselect 1\nsave " + copy +
                                                   "\nundo\nundo\nselect 99\n");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("standard input: line 8: there is no clip 99"), std::string::npos)
        << r.err;
    json saved = Dump();
    EXPECT_EQ(saved["clips"].size(), 7u);
    EXPECT_EQ(Starts(saved), Starts(edited));
    test::ProgramResult copied = test::RunOrvik({"dump", "--json", copy});
    ASSERT_EQ(copied.status, 0) << copied.err;
    json other = json::parse(copied.out);
    EXPECT_EQ(other["path"], copy);
    EXPECT_EQ(other["clips"][0]["selected"], true);
    EXPECT_EQ(saved["clips"][0]["selected"], false);
}

TEST_F(EditCommandTest, HelpAndUsage) {
    test::ProgramResult help = test::RunOrvik({"edit", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"insert scene", "select at", "trim overlap", "undo", "--dry-run"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"edit"},
                                                 {"edit", project},
                                                 {"edit", "--frob", project, "-"},
                                                 {"edit", "--dump", "--json", project, "-"},
                                                 {"edit", project, "/no/such/script"},
                                                 {"edit", "/no/such/project.orv", "-"}}) {
        test::ProgramResult r = test::RunOrvik(args, "select 1\n");
        EXPECT_NE(r.status, 0);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

} // namespace

} // namespace orvik
