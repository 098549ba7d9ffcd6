// The background-music service: request lengths, lists at each level,
// generation into working files, the volume prompt, a library that fails to
// start, library volumes on removable media.
#include "audio/SonicDesktop.h"

#include "app/ResourceLibraries.h"
#include "app/Settings.h"
#include "model/AssetManager.h"
#include "model/ClipTestSupport.h"
#include "model/Timecode.h"
#include "platform/gui/UserInterface.h"
#include "platform/music/LibraryDrives.h"
#include "platform/music/SPresto.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace orvik {

namespace {

namespace fs = std::filesystem;

std::string Soxi(const std::string& flag, const std::string& path) {
    std::string out;
    FILE* p = popen(("soxi " + flag + " '" + path + "'").c_str(), "r");
    char buf[128];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Answers every message box with `answer` and counts them.
class AnsweringUi : public HeadlessUserInterface {
public:
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                      Icon icon) override {
        HeadlessUserInterface::MessageBox(text, caption, buttons, icon);
        texts.push_back(caption + "|" + text);
        return answer;
    }
    Answer answer = answerCancel;
    std::vector<std::string> texts;
};

class SonicDesktopTest : public testing::Test {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        ASSERT_TRUE(resources.Load("US", 0, 1024, 768));
        ResourceLibraries::SetCurrent(&resources);
        settings = std::make_unique<Settings>(test::InHome("settings"));
        settings->SetSmartSoundFolder(test::InHome("SmartSound"));
        assets = std::make_unique<AssetManager>(test::InHome("work"), test::InHome("captured"));
        UserInterface::Install(&ui);
        SetLibraryDriveRoots({test::InHome("no-drive")});
    }
    void TearDown() override {
        desktop.reset();
        UserInterface::Install(nullptr);
        SetLibraryDriveRoots({});
        Timecode::Reset();
        ResourceLibraries::SetCurrent(nullptr);
    }
    SonicDesktop& Desktop() {
        if (!desktop)
            desktop = std::make_unique<SonicDesktop>(settings.get());
        return *desktop;
    }
    // A mounted volume called `label` holding one library file.
    std::string MakeDrive(const std::string& label, const std::string& title) {
        std::string root = test::InHome("media/" + label);
        fs::create_directories(root);
        std::ofstream(root + "/" + title + ".sdi")
            << "library " << title << "\nvolume " << label
            << "\nstyle Jazz\nsong Blue Hour\ntempo 90\nversion Full\nversion Brushes\n"
               "parts drums bass\n";
        return root;
    }

    ResourceLibraries resources;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<AssetManager> assets;
    AnsweringUi ui;
    std::unique_ptr<SonicDesktop> desktop;
};

TEST_F(SonicDesktopTest, TenSecondsAreRequestedAs441000SamplesAtEitherFrameRate) {
    struct Case {
        int32_t standard;
        Time frames;
        int64_t samples;
    } cases[] = {
        {0, 300, 441000},
        {1, 250, 441000},
        {0, 1, 1470},
        {1, 1, 1764},
        {0, 0, 0},
        // 32-bit arithmetic would wrap here; the piece is refused instead.
        {0, 3000000, -1},
        {0, -1, -1},
    };
    for (const Case& c : cases) {
        Timecode::SetStandard(c.standard);
        EXPECT_EQ(SonicDesktop::SamplesFor(c.frames), c.samples) << c.frames;
    }
    Timecode::SetStandard(1);
    std::string path = Desktop().Generate("Ambient", "Slow Tide", "Full", 250, "HardDisk", "");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(Soxi("-s", path), "441000");
    Timecode::SetStandard(0);
    path = Desktop().Generate("Ambient", "Slow Tide", "Full", 300, "HardDisk", "");
    EXPECT_EQ(Soxi("-s", path), "441000");
    EXPECT_EQ(Soxi("-r", path), "44100");
    EXPECT_EQ(Soxi("-c", path), "2");
}

TEST_F(SonicDesktopTest, ListsStylesSongsAndVersions) {
    std::vector<std::string> list{"stale"};
    Desktop().QueryList(list, 300, "", "");
    EXPECT_EQ(list, (std::vector<std::string>{"Easy Rock", "Ambient", "Upbeat", "Acoustic"}));
    Desktop().QueryList(list, 300, "Upbeat", "");
    EXPECT_EQ(list, (std::vector<std::string>{"Morning Run", "Bright Lights"}));
    Desktop().QueryList(list, 300, "Upbeat", "Bright Lights");
    EXPECT_EQ(list, (std::vector<std::string>{"Full", "Light"}));
    Desktop().QueryList(list, 300, "Upbeat", "Nothing");
    EXPECT_TRUE(list.empty());
}

TEST_F(SonicDesktopTest, GeneratesIntoANewWorkingFile) {
    std::string a = Desktop().Generate("Easy Rock", "Open Road", "Rhythm", 60, "HardDisk", "");
    std::string b = Desktop().Generate("Easy Rock", "Open Road", "Rhythm", 60, "HardDisk", "");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(assets->IsWorkingFilePath(a));
    EXPECT_EQ(fs::path(a).extension(), ".wav");
    EXPECT_EQ(test::ReadFile(a), test::ReadFile(b));
    EXPECT_TRUE(ui.StatusText().empty());
    std::string name = Desktop().MakeOutputName();
    EXPECT_TRUE(assets->IsWorkingFilePath(name));
    EXPECT_EQ(fs::path(name).extension(), ".wav");
    EXPECT_FALSE(fs::exists(name));
}

TEST_F(SonicDesktopTest, AVersionNoLongerOfferedIsReplacedByTheFirstListed) {
    std::string first = Desktop().Generate("Easy Rock", "Night Drive", "Full", 90, "HardDisk", "");
    std::string other = Desktop().Generate("Easy Rock", "Night Drive", "Pads", 90, "HardDisk", "");
    std::string gone =
        Desktop().Generate("Easy Rock", "Night Drive", "Unplugged", 90, "HardDisk", "");
    ASSERT_FALSE(gone.empty());
    EXPECT_EQ(test::ReadFile(gone), test::ReadFile(first));
    EXPECT_NE(test::ReadFile(other), test::ReadFile(first));
}

TEST_F(SonicDesktopTest, CancellingTheVolumePromptGeneratesNothing) {
    std::string root = MakeDrive("JAZZ_CD", "Jazz Nights");
    ASSERT_NE(Desktop().GetLibrary(), nullptr);
    ASSERT_TRUE(Desktop().GetLibrary()->AddLibrary(root + "/Jazz Nights.sdi"));
    fs::remove_all(root); // the disc left the drive
    size_t files = std::distance(fs::directory_iterator(assets->Folder()), {});
    ui.answer = UserInterface::answerCancel;
    EXPECT_EQ(Desktop().Generate("Jazz", "Blue Hour", "Full", 60, "JAZZ_CD", "Jazz Nights"), "");
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0], ResourceText(50414) + "|" + ResourceText(50413) + " 'JAZZ_CD'");
    EXPECT_EQ(std::distance(fs::directory_iterator(assets->Folder()), {}), files);

    // OK with the disc back in: generated.
    MakeDrive("JAZZ_CD", "Jazz Nights");
    SetLibraryDriveRoots({test::InHome("media/JAZZ_CD")});
    ui.answer = UserInterface::answerOk;
    EXPECT_FALSE(
        Desktop().Generate("Jazz", "Blue Hour", "Full", 60, "JAZZ_CD", "Jazz Nights").empty());
}

TEST_F(SonicDesktopTest, NoPromptWhenTheLibraryCanServeTheRequest) {
    // The piece came from a disc that is not in, but the library has its
    // song on the hard disk: asking for the disc could never be answered.
    std::string path =
        Desktop().Generate("Ambient", "Slow Tide", "Full", 30, "OLD_DISC", "Something");
    EXPECT_FALSE(path.empty());
    EXPECT_TRUE(ui.texts.empty());
}

TEST_F(SonicDesktopTest, AFailedStartIsLoggedOnceAndEveryQueryAnswersEmpty) {
    std::string file = test::InHome("plain");
    std::ofstream(file) << "x";
    settings->SetSmartSoundFolder(file + "/SmartSound");
    test::LogCapture log;
    EXPECT_EQ(Desktop().GetLibrary(), nullptr);
    std::vector<std::string> list{"stale"};
    Desktop().QueryList(list, 300, "", "");
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(Desktop().Generate("Ambient", "Slow Tide", "Full", 30, "HardDisk", ""), "");
    EXPECT_EQ(Desktop().StartPreview("Ambient", "Full", 30), 0);
    EXPECT_FALSE(Desktop().IsPreviewing());
    EXPECT_EQ(log.Text(), "SonicDesktop: could not Initialize SPresto\n");
}

TEST_F(SonicDesktopTest, FindsALibraryVolumeOnTheMountedMedia) {
    std::string volume, library;
    EXPECT_FALSE(Desktop().FindLibraryVolume(volume, library));
    EXPECT_EQ(volume, "HardDisk");
    EXPECT_EQ(library, "");
    fs::create_directories(test::InHome("media/USB"));
    MakeDrive("JAZZ_CD", "Jazz Nights");
    SetLibraryDriveRoots({test::InHome("media/USB"), test::InHome("media/JAZZ_CD")});
    EXPECT_TRUE(Desktop().FindLibraryVolume(volume, library));
    EXPECT_EQ(volume, "JAZZ_CD");
    EXPECT_EQ(library, "Jazz Nights");
}

TEST_F(SonicDesktopTest, DiscoveringAVolumeOffersItsLibrariesOnce) {
    MakeDrive("JAZZ_CD", "Jazz Nights");
    SetLibraryDriveRoots({test::InHome("media/JAZZ_CD")});
    std::vector<std::string> list;
    Desktop().QueryList(list, 300, "", "");
    ASSERT_EQ(list.size(), 4u);
    ui.answer = UserInterface::answerYes;
    EXPECT_TRUE(Desktop().DiscoverLibraries());
    ASSERT_EQ(ui.texts.size(), 1u);
    EXPECT_EQ(ui.texts[0], ResourceText(50411) + "|" + ResourceText(50412) + " \"Jazz Nights\"");
    Desktop().QueryList(list, 300, "", "");
    EXPECT_EQ(list.back(), "Jazz");
    EXPECT_FALSE(Desktop().DiscoverLibraries());
    // The disc leaves: the service forgets the drive and says so.
    fs::remove_all(test::InHome("media/JAZZ_CD"));
    EXPECT_TRUE(Desktop().DiscoverLibraries());
    EXPECT_EQ(Desktop().volumeName, "HardDisk");
    // Put back, it is not offered again.
    MakeDrive("JAZZ_CD", "Jazz Nights");
    Desktop().DiscoverLibraries();
    EXPECT_EQ(ui.texts.size(), 1u);
}

TEST_F(SonicDesktopTest, APreviewPlaysUntilStopped) {
    ASSERT_EQ(Desktop().StartPreview("Easy Rock", "Full", 3000), 1);
    EXPECT_TRUE(test::WaitFor([&] { return Desktop().IsPreviewing(); }));
    Desktop().StopPreview();
    EXPECT_FALSE(Desktop().IsPreviewing());
    EXPECT_EQ(Desktop().StartPreview("No Such Style", "Full", 3000), 0);
}

} // namespace

} // namespace orvik
