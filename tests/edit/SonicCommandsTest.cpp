// Adding and changing generated background music: the sound is generated
// before the movie changes; executing, undoing and redoing give the movie's
// bytes back exactly; without sound or without a music clip nothing changes.
#include "edit/SonicCommands.h"

#include "app/Settings.h"
#include "audio/SonicDesktop.h"
#include "model/AssetManager.h"
#include "model/SonicAsset.h"
#include "platform/archive/Archive.h"
#include "platform/gui/UserInterface.h"
#include "platform/music/LibraryDrives.h"
#include "platform/music/SPresto.h"

#include "edit/EditTestSupport.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace orvik {

namespace {

namespace fs = std::filesystem;

using test::Bytes;

std::string SoxiSamples(const std::string& path) {
    std::string out;
    FILE* p = popen(("soxi -s '" + path + "'").c_str(), "r");
    char buf[128];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

const std::array<std::string, 5> kRock = {"Easy Rock", "Open Road", "Full", "HardDisk", ""};
const std::array<std::string, 5> kAmbient = {"Ambient", "Slow Tide", "Pads", "HardDisk", ""};

class SonicCommandsTest : public test::EditTest {
public:
    void SetUp() override {
        EditTest::SetUp();
        settings = std::make_unique<Settings>(test::InHome("settings"));
        settings->SetSmartSoundFolder(test::InHome("SmartSound"));
        desktop = std::make_unique<SonicDesktop>(settings.get());
        SetLibraryDriveRoots({test::InHome("no-drive")});
        test::MovieBuilder m;
        m.Video(100, 10);
        m.Video(150, 30);
        m.Sound(50, 60, 0, 300);
        Take(*m.list);
        movie->SetModifiedFlag(false);
    }
    void TearDown() override {
        desktop.reset();
        SetLibraryDriveRoots({});
        EditTest::TearDown();
    }
    Clip* MusicClip() {
        for (auto& c : List().GetClips())
            if (c->GetTrack() == 4)
                return c.get();
        return nullptr;
    }

    // Executes `command`, then undoes, redoes and undoes it, checking the
    // movie's bytes each time; the bytes after the first run.
    Bytes RoundTrip(Command& command) {
        Bytes before = MovieBytes();
        command.Execute();
        Bytes after = MovieBytes();
        EXPECT_NE(after, before);
        EXPECT_EQ(undoer.UndoCount(), 1u);
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before) << Describe();
        undoer.Redo();
        EXPECT_EQ(MovieBytes(), after) << Describe();
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before);
        undoer.Redo();
        return after;
    }

    AssetManager assets{test::InHome("work"), test::InHome("captured")};
    std::unique_ptr<Settings> settings;
    std::unique_ptr<SonicDesktop> desktop;
};

TEST_F(SonicCommandsTest, AddingMusicPutsASoundingClipOnTheMusicTrack) {
    NewSonicCommand add(kRock, 90, 40);
    RoundTrip(add);
    ASSERT_EQ(List().GetCount(), 4);
    Clip* clip = List().GetFirstSelected(false);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->GetTrack(), 4);
    EXPECT_EQ(clip->GetStart(), 40);
    EXPECT_EQ(clip->GetDuration(), 90);
    auto* music = dynamic_cast<SonicAsset*>(clip->GetAsset());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->GetRequest(2), "Open Road");
    ASSERT_NE(music->GetAudioFile(), nullptr);
    EXPECT_EQ(SoxiSamples(music->GetRenderedFileName()), std::to_string(90 * 1470));
}

TEST_F(SonicCommandsTest, ChangingMusicReplacesTheSelectedPieceKeepingItsComment) {
    NewSonicCommand add(kRock, 90, 40);
    add.Execute();
    Clip* clip = List().GetFirstSelected(false);
    ASSERT_NE(clip, nullptr);
    clip->SetComment("opening");
    std::string oldFile = dynamic_cast<SonicAsset*>(clip->GetAsset())->GetRenderedFileName();
    undoer.Clear();

    EditSonicCommand change(kAmbient, 120);
    RoundTrip(change);
    clip = List().GetFirstSelected(false);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->GetComment(), "opening");
    EXPECT_EQ(clip->GetDuration(), 120);
    auto* music = dynamic_cast<SonicAsset*>(clip->GetAsset());
    ASSERT_NE(music, nullptr);
    EXPECT_EQ(music->GetRequest(1), "Ambient");
    EXPECT_EQ(music->GetRequest(3), "Pads");
    ASSERT_NE(music->GetAudioFile(), nullptr);
    EXPECT_NE(music->GetRenderedFileName(), oldFile);
    EXPECT_EQ(SoxiSamples(music->GetRenderedFileName()), std::to_string(120 * 1470));
}

TEST_F(SonicCommandsTest, ChangingWhenTheSelectedClipIsNotMusicDoesNothing) {
    NewSonicCommand add(kRock, 90, 40);
    add.Execute();
    undoer.Clear();
    for (std::vector<int32_t> selection : {std::vector<int32_t>{0, 3}, std::vector<int32_t>{}}) {
        Select(selection); // a scene first, then the music; or nothing
        Bytes before = MovieBytes();
        EditSonicCommand change(kAmbient, 120);
        change.Execute();
        EXPECT_EQ(MovieBytes(), before);
        EXPECT_TRUE(UndoData().empty()); // an entry that undoes nothing
        EXPECT_EQ(dynamic_cast<SonicAsset*>(MusicClip()->GetAsset())->GetRequest(1), "Easy Rock");
    }
}

TEST_F(SonicCommandsTest, WithoutSoundNothingIsAdded) {
    struct Case {
        const char* why;
        std::array<std::string, 5> requests;
        Time duration;
    } cases[] = {
        {"no such style", {"Polka", "Open Road", "Full", "HardDisk", ""}, 90},
        {"no such song", {"Easy Rock", "Nowhere", "Full", "HardDisk", ""}, 90},
        {"too long a piece", kRock, 3000000},
    };
    Bytes before = MovieBytes();
    for (const Case& c : cases) {
        NewSonicCommand add(c.requests, c.duration, 40);
        add.Execute();
        EXPECT_EQ(MovieBytes(), before) << c.why;
        EXPECT_TRUE(UndoData().empty()) << c.why;
    }
    EXPECT_EQ(fs::directory_iterator(assets.Folder()), fs::directory_iterator());
}

TEST_F(SonicCommandsTest, CancellingTheVolumePromptLeavesTheMovieUnchanged) {
    std::string drive = test::InHome("media/JAZZ_CD");
    fs::create_directories(drive);
    std::ofstream(drive + "/Jazz.sdi")
        << "library Jazz\nvolume JAZZ_CD\nstyle Jazz\nsong Blue Hour\nversion Full\n";
    ASSERT_TRUE(desktop->GetLibrary()->AddLibrary(drive + "/Jazz.sdi"));
    fs::remove_all(drive);
    HeadlessUserInterface ui; // answers Cancel
    UserInterface::Install(&ui);
    Bytes before = MovieBytes();
    NewSonicCommand add({"Jazz", "Blue Hour", "Full", "JAZZ_CD", "Jazz"}, 90, 40);
    add.Execute();
    UserInterface::Install(nullptr);
    EXPECT_EQ(ui.MessageCount(), 1);
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_TRUE(UndoData().empty());
    EXPECT_EQ(fs::directory_iterator(assets.Folder()), fs::directory_iterator());
}

TEST_F(SonicCommandsTest, CommandsSerializeTheirFieldsInOrder) {
    NewSonicCommand add({"a", "b", "c", "d", "e"}, 0x11, 0x22, 4);
    XMemFile file;
    {
        Archive ar(file, Archive::store);
        add.Serialize(ar);
        EditSonicCommand change({"v", "w", "x", "y", "z"}, 0x33);
        change.Serialize(ar);
        ar.Close();
    }
    Bytes expected = {0x22, 0,   0, 0,   0x11, 0, 0, 0, 4, 0,   0, 0,   1, 'a', 1, 'b', 1, 'c',
                      1,    'd', 1, 'e', 0x33, 0, 0, 0, 1, 'v', 1, 'w', 1, 'x', 1, 'y', 1, 'z'};
    EXPECT_EQ(file.Bytes(), expected);
}

} // namespace

} // namespace orvik
