#include "app/Settings.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "model/Timecode.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"
#include "platform/sys/DiskSpeed.h"
#include "support/TestHome.h"

#include <climits>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using namespace std::string_literals;
using Key = SettingsBase::Key;
constexpr const char* kRoot = "Software/Torvane/Orvik/";

struct SettingsTest : testing::Test {
    std::string folder = test::InHome("config");

    SettingsTest() { OpenLog(test::Home(), 0); }
    ~SettingsTest() override { Timecode::Reset(); }

    // Writes straight into the store, as the user or another program would.
    void StoreNumber(RegistryTree tree, const std::string& section, const std::string& name,
                     uint32_t value) {
        Registry r(folder);
        ASSERT_TRUE(r.OpenKey(tree, kRoot + section, true).SetNumber(name, value));
    }
    void StoreText(RegistryTree tree, const std::string& section, const std::string& name,
                   const std::string& value) {
        Registry r(folder);
        ASSERT_TRUE(r.OpenKey(tree, kRoot + section, true).SetText(name, value));
    }
    // What the store file holds, read with the store's own parser.
    const RegistryStore::Value* Stored(RegistryTree tree, const std::string& section,
                                       const std::string& name) {
        std::string file =
            JoinPath(folder, tree == RegistryTree::currentUser ? Registry::kUserFileName
                                                               : Registry::kMachineFileName);
        parsed = RegistryStore();
        std::vector<RegistryStore::Problem> problems;
        parsed.Parse(test::ReadFile(file), &problems);
        EXPECT_TRUE(problems.empty());
        const RegistryStore::Key* key = parsed.Find(RegistryStore::SplitPath(kRoot + section));
        if (!key)
            return nullptr;
        auto it = key->values.find(name);
        return it == key->values.end() ? nullptr : &it->second;
    }
    uint32_t StoredNumber(RegistryTree tree, const std::string& section, const std::string& name) {
        const RegistryStore::Value* v = Stored(tree, section, name);
        EXPECT_TRUE(v && v->type == RegistryStore::Value::numberType) << section << "\\" << name;
        return v ? v->number : 0xDEADBEEF;
    }
    std::string StoredText(RegistryTree tree, const std::string& section, const std::string& name) {
        const RegistryStore::Value* v = Stored(tree, section, name);
        EXPECT_TRUE(v && v->type == RegistryStore::Value::textType) << section << "\\" << name;
        return v ? v->text : "<missing>";
    }
    static std::string Log() { return test::ReadFile(LogPath()); }

    RegistryStore parsed;
};

TEST_F(SettingsTest, AFreshStoreHoldsEveryCachedKeyWithItsDefault) {
    Settings settings(folder);
    const auto user = RegistryTree::currentUser;
    const auto machine = RegistryTree::localMachine;
    // Hand-checked defaults of the NTSC standard.
    struct NumberCase {
        RegistryTree tree;
        const char* section;
        const char* name;
        uint32_t value;
    } numbers[] = {
        {machine, "Install", "Video standard", 0},
        {user, "Preferences", "Maximized", 1},
        {user, "Preferences", "Mode", 1},
        {user, "Preferences", "Movie view", 1},
        {user, "Preferences", "Volume fade duration", 60},
        {user, "Preferences", "Transition duration", 30},
        {user, "Preferences", "Graphic duration", 120},
        {user, "Preferences", "Tool tips", 1},
        {user, "Preferences", "CD record level", 65},
        {user, "Preferences", "Microphone record level", 100},
        {user, "Preferences", "MIDI record level", 10},
        {user, "Make movie", "Video width", 640},
        {user, "Make movie", "Video height", 480},
        {user, "Make movie", "Video rate", 30},
        {user, "Make movie", "Video quality", 100},
        {user, "Make movie", "Video data rate", 3000000},
        {user, "Capture", "Reduce flicker", 1},
        {machine, "Caderna Mixer", "Video width", 720},
        {machine, "Caderna Mixer", "Video height", 480},
        {machine, "Caderna Mixer", "Graphic load", 120},
        {machine, "Caderna Mixer", "Alpha load", 60},
        {machine, "Caderna Mixer", "Effect load", 30},
        {machine, "Make tape", "Master volume", 100},
    };
    for (const NumberCase& c : numbers)
        EXPECT_EQ(StoredNumber(c.tree, c.section, c.name), c.value) << c.section << " " << c.name;
    EXPECT_EQ(StoredText(user, "Preferences", "Window position"), "None");
    EXPECT_EQ(StoredText(user, "Make movie", "Video compressor"), "QX5 MJPEG");
    EXPECT_EQ(StoredText(user, "Preferences", "Grabber path"), settings.GetMainPath() + "Grabber");
    EXPECT_EQ(StoredText(user, "Make movie", "Make movie log"),
              settings.GetMainPath() + "CadtarnMovies.log");

    // And every cached key of either tree, whatever its default.
    for (const SettingsBase::KeyInfo& info : SettingsBase::AllKeys()) {
        if (!info.cached)
            continue;
        const RegistryStore::Value* v =
            Stored(info.machineWide ? machine : user, info.section, info.name);
        ASSERT_NE(v, nullptr) << info.section << " " << info.name;
        EXPECT_EQ(v->type, info.type == SettingsBase::Type::number
                               ? RegistryStore::Value::numberType
                               : RegistryStore::Value::textType)
            << info.name;
    }
    EXPECT_EQ(Log().find("Settings::"), std::string::npos);
}

TEST_F(SettingsTest, TheKeyTableIsInKeyOrderAndNamesAreUnique) {
    const auto& keys = SettingsBase::AllKeys();
    ASSERT_EQ(keys.size(), static_cast<size_t>(Key::count));
    for (size_t i = 0; i < keys.size(); ++i) {
        EXPECT_EQ(static_cast<size_t>(keys[i].key), i);
        EXPECT_EQ(SettingsBase::FindKey(keys[i].section, keys[i].name), &keys[i]);
    }
    EXPECT_EQ(SettingsBase::FindKey("make MOVIE", "video WIDTH"),
              &SettingsBase::Info(Key::makeVideoWidth));
    EXPECT_EQ(SettingsBase::FindKey("Make movie", "Nonsense"), nullptr);
}

TEST_F(SettingsTest, VideoStandardIsNormalisedAndSetsTheTimeBase) {
    struct Case {
        uint32_t stored;
        int32_t standard;
        int fps;
        uint32_t mixerHeight;
        int32_t transition;
        int32_t captureWidth;
    } cases[] = {
        {7, 0, 30, 480, 30, 608}, {0, 0, 30, 480, 30, 608},          {1, 1, 25, 576, 25, 720},
        {2, 2, 25, 576, 25, 720}, {0xFFFFFFFF, 0, 30, 480, 30, 608},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(folder);
        StoreNumber(RegistryTree::localMachine, "Install", "Video standard", c.stored);
        Timecode::SetFramesPerSample(2);
        Settings settings(folder);
        EXPECT_EQ(settings.GetVideoStandard(), c.standard) << c.stored;
        EXPECT_EQ(StoredNumber(RegistryTree::localMachine, "Install", "Video standard"),
                  static_cast<uint32_t>(c.standard));
        EXPECT_EQ(StoredNumber(RegistryTree::localMachine, "Caderna Mixer", "Video height"),
                  c.mixerHeight);
        EXPECT_EQ(settings.GetCaptureHeight(), static_cast<int32_t>(c.mixerHeight));
        EXPECT_EQ(Timecode::GetFramesPerSecond(), c.fps);
        EXPECT_EQ(Timecode::GetFramesPerSample(), 1);
        EXPECT_EQ(Timecode::GetVideoRate(), c.fps);
        EXPECT_EQ(settings.GetTransitionDuration(), c.transition);
        EXPECT_EQ(settings.GetFullOutputWidth(), c.captureWidth);
    }
}

TEST_F(SettingsTest, ValuesReadAsTheirRulesSay) {
    const auto user = RegistryTree::currentUser;
    StoreNumber(user, "Preferences", "Mode", 5);
    StoreNumber(user, "Preferences", "Movie view", 3);
    StoreNumber(user, "Make movie", "Conformer", 7);
    StoreNumber(user, "Capture", "Video rate", 0);
    StoreNumber(user, "Capture", "Video scale", 0xFFFFFFFF);
    StoreText(user, "Capture", "Video compressor", "");
    StoreNumber(RegistryTree::localMachine, "Install", "Video standard", 1);
    Settings settings(folder);
    EXPECT_EQ(settings.GetMode(), 1);
    EXPECT_EQ(settings.GetMovieView(), 3);
    EXPECT_EQ(settings.GetConformer(), 0);
    EXPECT_EQ(settings.Number(Key::captureVideoRate), 25);
    EXPECT_EQ(settings.Number(Key::captureVideoScale), 1);
    EXPECT_EQ(settings.Text(Key::captureVideoCompressor), "QX5 MJPEG");
    // Reading as the default does not rewrite what is stored.
    EXPECT_EQ(StoredNumber(user, "Preferences", "Mode"), 5u);
    EXPECT_EQ(StoredNumber(user, "Capture", "Video scale"), 0xFFFFFFFFu);
    EXPECT_EQ(StoredText(user, "Capture", "Video compressor"), "");
}

TEST_F(SettingsTest, NothingTheUserSetIsLost) {
    const auto user = RegistryTree::currentUser;
    std::string longPath = "/home/someone/" + std::string(600, 'v') + "/movie.orv";
    std::string longTitle(70000, 't');
    StoreText(user, "Preferences", "Movie file", longPath);
    StoreText(user, "Preferences", "Window position", "10 20 300 200");
    StoreNumber(user, "Preferences", "Maximized", 0);
    // The right value in the wrong form is kept and stored in the right one.
    StoreText(user, "Make movie", "Video width", " 800 ");
    StoreNumber(RegistryTree::localMachine, "Install", "Language", 5);
    // What cannot be read as its key's type takes the default, with a line
    // in the log that names what was there.
    StoreText(user, "Preferences", "Tool tips", "on");
    StoreText(RegistryTree::localMachine, "Cd titles/ABCD", "Title", longTitle);

    Settings settings(folder);
    EXPECT_EQ(settings.GetMovieFile(), longPath);
    EXPECT_EQ(StoredText(user, "Preferences", "Movie file"), longPath);
    EXPECT_EQ(settings.GetWindowPosition(), (WindowRect{10, 20, 310, 220}));
    EXPECT_EQ(settings.GetMaximized(), 0);
    EXPECT_EQ(StoredNumber(user, "Preferences", "Maximized"), 0u);
    EXPECT_EQ(settings.Number(Key::makeVideoWidth), 800);
    EXPECT_EQ(StoredNumber(user, "Make movie", "Video width"), 800u);
    EXPECT_EQ(settings.GetLanguage(), "5");
    EXPECT_EQ(StoredText(RegistryTree::localMachine, "Install", "Language"), "5");
    EXPECT_EQ(settings.GetToolTips(), 1);
    EXPECT_EQ(StoredNumber(user, "Preferences", "Tool tips"), 1u);
    EXPECT_EQ(settings.GetCdTitle("ABCD"), longTitle);

    std::string log = Log();
    EXPECT_NE(
        log.find(
            "Settings::ReadNumber: Make movie\\Video width held the number 800 as a text; it is "
            "kept as a number\n"),
        std::string::npos)
        << log;
    EXPECT_NE(
        log.find("Settings::ReadNumber: Preferences\\Tool tips held the text \"on\" where a number "
                 "belongs; it reads as 1\n"),
        std::string::npos)
        << log;
}

TEST_F(SettingsTest, ADamagedStoreKeepsWhatCanBeReadAndTheRestTakesDefaults) {
    ASSERT_TRUE(Places::EnsureFolder(folder));
    std::string file = JoinPath(folder, Registry::kUserFileName);
    const std::string damaged = "[Software/Torvane/Orvik/Preferences]\n"
                                "\"Maximized\"=dword:00000000\n"
                                "\"Window position\"=\"1 2 3 4\n"
                                "\"Movie file\"=\"/videos/holiday.orv\"\n"
                                "\xff\xfe\x00garbage\n"
                                "[Software/Torvane/Orvik/Make movie]\n"
                                "\"Video width\"=dword:0000016\n"s;
    ASSERT_NE(damaged.find("Make movie"), std::string::npos); // the zero byte ends nothing
    ASSERT_TRUE(SafeFile::WriteAll(file, damaged));

    Settings settings(folder);
    EXPECT_EQ(settings.GetMaximized(), 0);
    EXPECT_EQ(settings.GetMovieFile(), "/videos/holiday.orv");
    EXPECT_EQ(settings.GetWindowPosition(), WindowRect{});
    EXPECT_EQ(settings.Number(Key::makeVideoWidth), 0x16);
    EXPECT_EQ(test::ReadFile(file + ".damaged"), damaged);
    EXPECT_EQ(StoredText(RegistryTree::currentUser, "Preferences", "Window position"), "None");
    std::string log = Log();
    EXPECT_NE(log.find("RegistryFile::Load: " + file +
                       " is damaged (2 unreadable lines, the first at "
                       "line 3: unterminated field); kept as " +
                       file + ".damaged"),
              std::string::npos)
        << log;
}

TEST_F(SettingsTest, WhatIsFoundBeforeTheLogOpensIsLoggedWhenItDoes) {
    CloseLog(); // at start-up the settings come before the log
    ASSERT_TRUE(Places::EnsureFolder(folder));
    ASSERT_TRUE(SafeFile::WriteAll(JoinPath(folder, Registry::kUserFileName),
                                   "[Software/Torvane/Orvik/Capture]\n"
                                   "\"Audio input\"=\"two\"\njunk\n"));
    Settings settings(folder);
    EXPECT_EQ(settings.PendingReportCount(), 1u); // the damaged store
    EXPECT_EQ(settings.Number(Key::audioInput), 0);
    EXPECT_EQ(settings.PendingReportCount(), 2u);
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    settings.LogPendingReports();
    EXPECT_EQ(settings.PendingReportCount(), 0u);
    std::string log = Log();
    EXPECT_NE(log.find("RegistryFile::Load: "), std::string::npos) << log;
    EXPECT_NE(log.find("Settings::ReadNumber: Capture\\Audio input held the text \"two\""),
              std::string::npos)
        << log;
    settings.LogPendingReports();
    EXPECT_EQ(Log(), log);
}

TEST_F(SettingsTest, CachedKeysFollowTheSettersAndReachTheStore) {
    {
        Settings settings(folder);
        settings.SetMode(2);
        settings.SetWindowPosition({-5, 10, 795, 610});
        settings.SetTransitionDuration(45);
        EXPECT_EQ(settings.GetMode(), 2);
        EXPECT_EQ(StoredText(RegistryTree::currentUser, "Preferences", "Window position"),
                  "-5 10 800 600");
    }
    Settings again(folder);
    EXPECT_EQ(again.GetMode(), 2);
    EXPECT_EQ(again.GetWindowPosition(), (WindowRect{-5, 10, 795, 610}));
    EXPECT_EQ(again.GetTransitionDuration(), 45);
}

TEST_F(SettingsTest, WindowPositionTexts) {
    struct Case {
        const char* text;
        WindowRect rect;
    } cases[] = {
        {"10 20 300 200", {10, 20, 310, 220}},
        {"  10\t20\n300   200 ", {10, 20, 310, 220}},
        {"None", {}},
        {"10 20 300", {}},
        {"", {}},
        {"1 2 3 99999999999", {}},
        {"2147483647 0 10 10", {INT32_MAX, 0, INT32_MAX, 10}},
    };
    Settings settings(folder);
    for (const Case& c : cases) {
        settings.SetText(Key::windowPosition, c.text);
        EXPECT_EQ(settings.GetWindowPosition(), c.rect) << c.text;
    }
}

TEST_F(SettingsTest, UpdateVersion) {
    struct Case {
        const char* text;
        int32_t version;
    } cases[] = {
        {"412b", 412}, {"b412", 0}, {"", 0}, {"0", 0}, {"7", 7}, {"99999999999", INT32_MAX},
    };
    Settings settings(folder);
    EXPECT_EQ(settings.GetUpdateVersion(), 0);
    for (const Case& c : cases) {
        StoreText(RegistryTree::localMachine, "Install", "Update Version", c.text);
        EXPECT_EQ(settings.GetUpdateVersion(), c.version) << c.text;
    }
}

TEST_F(SettingsTest, PathsLieInThePlacesOfThisMachine) {
    Settings settings(folder);
    std::string main = Places::VideosFolder() + "/";
    EXPECT_EQ(settings.GetMainPath(), main);
    EXPECT_EQ(settings.GetProgramFolder(), Places::StateFolder() + "/");
    EXPECT_EQ(settings.GetCapturedVideoFile(), main + "CapturedVideo/");
    EXPECT_EQ(settings.GetCaptureFolder(), main + "CapturedVideo/");
    EXPECT_EQ(settings.GetEffectsFolder(), main + "Video Zefira L/");
    EXPECT_EQ(settings.GetMusicFolder(), main + "SmartSound");
    EXPECT_EQ(settings.GetCdPlayerFile(), JoinPath(folder, "cdplayer.ini"));
    EXPECT_EQ(settings.GetRootPath(), "Software\\Torvane\\Orvik\\");
    // The default store folder is the settings folder.
    EXPECT_EQ(SettingsBase().StoreFolder(), Places::ConfigFolder());

    settings.SetCapturedVideoFile("/data/tapes/tape1.avi");
    EXPECT_EQ(settings.GetCaptureFolder(), "/data/tapes/");
    settings.SetText(Key::mainPath, "/opt/orvik");
    EXPECT_EQ(settings.GetMainPath(), "/opt/orvik/");
}

TEST_F(SettingsTest, RememberedFilesKeepTheirFolder) {
    Settings settings(folder);
    settings.SetGraphicFile("/pictures/2024/beach.bmp");
    settings.SetGraphicFile("");
    EXPECT_EQ(settings.GetGraphicFile(), "/pictures/2024/");
    settings.SetSoundFile("");
    EXPECT_EQ(settings.GetSoundFile(), "");
    settings.SetOutputFile("/out/movie.avi");
    settings.SetOutputFile("");
    EXPECT_EQ(settings.GetOutputFile(), "/out/");
}

TEST_F(SettingsTest, ResourceTextsAndTheVersionRecord) {
    ResourceLibraries libraries;
    ASSERT_TRUE(libraries.Load("US", 0, 1024, 768));
    StoreText(RegistryTree::currentUser, "Preferences", "Default Tape Name", "old name");
    Settings settings(folder);
    EXPECT_EQ(settings.GetDefaultTapeName(), "old name");
    EXPECT_EQ(settings.GetOutputFile(), "");
    settings.SetMovieFile("/movies/summer.orv");
    EXPECT_EQ(settings.GetProductVersionText(), " 0.1.0");

    settings.LoadResourceTexts(libraries);
    std::string tapeName = libraries.GetProductText(SettingsBase::kTextDefaultTapeName);
    ASSERT_FALSE(tapeName.empty());
    EXPECT_EQ(settings.GetDefaultTapeName(), tapeName);
    EXPECT_EQ(StoredText(RegistryTree::currentUser, "Preferences", "Default Tape Name"), tapeName);
    EXPECT_EQ(settings.GetVideoFileExtension(), ".avi");
    EXPECT_EQ(settings.GetOutputFile(), "/movies/summer.avi");
    EXPECT_EQ(settings.GetProductName(), "Orvik");
    EXPECT_EQ(settings.GetCompanyName(), "Torvane");
    EXPECT_EQ(settings.GetProductVersionText(), "Version 0.1.0");
    EXPECT_EQ(settings.GetFileVersionText(), "Version0.1.0");
}

TEST_F(SettingsTest, DataRateLimitFromTheMeasuredSpeeds) {
    Settings settings(folder);
    std::string capture = test::InHome("tapes/");
    ASSERT_TRUE(Places::EnsureFolder(capture));
    settings.SetCapturedVideoFile(capture + "tape.avi");
    std::string drive = DiskSpeed::DriveOf(capture);
    ASSERT_FALSE(drive.empty());

    // Never measured: 1500 each, not written.
    EXPECT_EQ(settings.GetDataRateLimit(), 1350000);
    EXPECT_EQ(settings.GetRegistry()
                  .OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedReadKey, false)
                  .ValueNames(),
              std::vector<std::string>{});
    struct Case {
        uint32_t read, write;
        int32_t limit;
    } cases[] = {
        {4000, 2500, 2250000}, {9000, 8000, 6000000},
        {0, 5000, 0},          {0xFFFFFFFF, 0xFFFFFFFF, 6000000},
        {6667, 7000, 6000000}, {6666, 7000, 5999000},
    };
    Registry& registry = settings.GetRegistry();
    for (const Case& c : cases) {
        registry.OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedReadKey, true)
            .SetNumber(drive, c.read);
        registry.OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedWriteKey, true)
            .SetNumber(drive, c.write);
        EXPECT_EQ(settings.GetDataRateLimit(), c.limit) << c.read << " " << c.write;
    }
    // A network path has no drive.
    settings.SetCapturedVideoFile("\\\\server\\share\\tape.avi");
    EXPECT_EQ(settings.GetDataRateLimit(), 3000000);
    settings.SetCapturedVideoFile("//server/share/tape.avi");
    EXPECT_EQ(settings.GetDataRateLimit(), 3000000);
}

TEST_F(SettingsTest, CdTitlesFromTheStoreAndTheCdPlayerFile) {
    Settings settings(folder);
    ASSERT_TRUE(SafeFile::WriteAll(settings.GetCdPlayerFile(),
                                   "[3A0F1B12]\nartist=Band\nTitle=Road Songs\n0=Opening\n"
                                   "1=\n2 = Finale \n[77]\ntitle=Other\n"));
    EXPECT_EQ(settings.GetCdTitle("3A0F1B12"), "Road Songs");
    EXPECT_TRUE(settings.IsCdTitle("3A0F1B12", "Road Songs"));
    settings.SetTrackCount("3A0F1B12", 4);
    std::vector<std::string> names;
    settings.GetTrackNames("3A0F1B12", names);
    EXPECT_EQ(names, (std::vector<std::string>{"Opening", "Track 2", "Finale", "Track 4"}));

    settings.SetTrackValues("3A0F1B12", {120, 0, 300});
    std::vector<int32_t> values;
    settings.GetTrackValues("3A0F1B12", values);
    EXPECT_EQ(values, (std::vector<int32_t>{120, 0, 300})); // "Track 4" reads -1 and stops

    settings.SetCdTitle("3A0F1B12", "My Road Songs");
    settings.SetCdTitle("10", "Ten");
    settings.SetCdTitle("20", "");
    EXPECT_EQ(settings.GetCdTitle("3A0F1B12"), "My Road Songs");
    std::vector<std::string> titles;
    settings.ListCdTitles(titles);
    EXPECT_EQ(titles, (std::vector<std::string>{"Ten", "My Road Songs"}));
    EXPECT_EQ(settings.FindCdByTitle("Ten"), "10");
    EXPECT_EQ(settings.FindCdByTitle("ten"), "");
    EXPECT_EQ(settings.GetCdTitle("77"), "Other");
    EXPECT_EQ(settings.GetCdTitle("a/b"), "");
    EXPECT_NE(Log().find("Settings::GetCdTitle: bad name \"a/b\"\n"), std::string::npos);

    settings.SetSmartSoundVolume("MUSIC1", "SmartSound Vol 1");
    EXPECT_EQ(settings.GetSmartSoundVolume("MUSIC1"), "SmartSound Vol 1");
    EXPECT_EQ(settings.GetSmartSoundVolume("unknown"), "");
}

TEST_F(SettingsTest, TheFirstSettingsAreTheCurrentOnes) {
    EXPECT_EQ(SettingsBase::Current(), nullptr);
    {
        Settings first(folder);
        Settings second(folder);
        EXPECT_EQ(SettingsBase::Current(), &first);
        second.MakeCurrent();
        EXPECT_EQ(SettingsBase::Current(), &second);
    }
    EXPECT_EQ(SettingsBase::Current(), nullptr);
}

} // namespace
} // namespace orvik
