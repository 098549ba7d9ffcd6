// Start-up and exit of the application object: order, early ends, the crash
// marker, the hand-over to a running copy and the command-line runs.
#include "app/OrvikApp.h"

#include "OrvikAppTestSupport.h"
#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/Settings.h"
#include "edit/Undoer.h"
#include "imaging/XPalette.h"
#include "model/AssetManager.h"
#include "model/Movie.h"
#include "model/RefObject.h"
#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"
#include "platform/sys/SingleInstance.h"
#include "support/TestHome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <unistd.h>

namespace orvik {
namespace {

using Key = SettingsBase::Key;
using test::AppHarness;

// What other Parts can see of the application at the moment a step begins.
struct Snapshot {
    bool settings = false, resources = false, logOpen = false, undoer = false, assets = false,
         movie = false;
};

struct OrvikAppTest : testing::Test {
    AppHarness h;
    std::map<std::string, Snapshot> seen;

    void Watch(OrvikApp& app) {
        app.SetStepObserver([this](const std::string& step) {
            h.rec.Add("step:" + step);
            seen[step] = Snapshot{SettingsBase::Current() != nullptr,
                                  ResourceLibraries::Current() != nullptr,
                                  IsLogOpen(),
                                  Undoer::Instance() != nullptr,
                                  AssetManager::Instance() != nullptr,
                                  Movie::Current() != nullptr};
        });
        app.SetModeObserver(
            [this](AppMode m) { h.rec.Add("mode:" + std::to_string(static_cast<int>(m))); });
    }

    // Settings written before a start, as an earlier run or the user left them.
    static void Store(Key key, int32_t value) {
        Settings s;
        ASSERT_TRUE(s.SetNumber(key, value));
    }
    static void StoreText(Key key, const std::string& value) {
        Settings s;
        ASSERT_TRUE(s.SetText(key, value));
    }
    static int32_t Stored(Key key) { return Settings().Number(key); }
    static std::string StoredText(Key key) { return Settings().Text(key); }
};

// A heap object nobody adopts: the exit sweep deletes and names it.
class Leftover : public RefObject {};

TEST_F(OrvikAppTest, DesktopStartAndExitRunInOrder) {
    OrvikApp app(AppHarness::Desktop());
    Watch(app);
    ASSERT_TRUE(app.InitInstance());
    EXPECT_FALSE(app.IsStarting());
    EXPECT_EQ(OrvikApp::Current(), &app);
    const std::vector<std::string> start = {"step:SingleInstance",
                                            "step:InitializeServices",
                                            "shell:InitializeServices",
                                            "step:RegisterWindowClass",
                                            "shell:RegisterWindowClass",
                                            "step:InitializeMediaLibrary",
                                            "shell:InitializeMediaLibrary",
                                            "step:Settings",
                                            "step:ResourceLibraries",
                                            "step:DefaultTapeName",
                                            "step:MemoryCheck",
                                            "step:OpenLog",
                                            "step:Undoer",
                                            "step:AssetManager",
                                            "step:DisplayChecks",
                                            "step:InitializePalette",
                                            "step:DirectXCertified",
                                            "step:ShowSplash",
                                            "shell:ShowSplash",
                                            "step:DataRateLimit",
                                            "step:CrashMarker",
                                            "step:CreateMainWindow",
                                            "shell:CreateMainWindow",
                                            "step:OpenDocument",
                                            "step:FirstShow",
                                            "mode:1",
                                            "step:AcceptDroppedFiles",
                                            "shell:AcceptDroppedFiles",
                                            "step:DisableAutoCd",
                                            "step:RefreshSplash",
                                            "shell:RefreshSplash",
                                            "step:CloseSplash",
                                            "shell:CloseSplash",
                                            "step:Started"};
    EXPECT_EQ(h.rec.calls, start);

    // What each step finds made before it.
    EXPECT_FALSE(seen["Settings"].settings);
    EXPECT_TRUE(seen["ResourceLibraries"].settings);
    EXPECT_TRUE(seen["DefaultTapeName"].resources);
    EXPECT_FALSE(seen["OpenLog"].logOpen);
    EXPECT_TRUE(seen["Undoer"].logOpen);
    EXPECT_FALSE(seen["Undoer"].undoer);
    EXPECT_TRUE(seen["AssetManager"].undoer);
    EXPECT_FALSE(seen["AssetManager"].assets);
    EXPECT_TRUE(seen["DisplayChecks"].assets);
    EXPECT_TRUE(seen["FirstShow"].movie);
    EXPECT_EQ(app.GetMode(), AppMode::edit);
    EXPECT_EQ(Stored(Key::reset), 1);
    EXPECT_EQ(Stored(Key::mode), 1);
    EXPECT_EQ(app.GetAssets()->Folder(), Places::CacheFolder() + "/Temp/");

    h.rec.calls.clear();
    new Leftover; // made after start, never adopted
    app.ExitInstance();
    const std::vector<std::string> exit = {
        "step:ReleaseSingleInstance", "step:UnregisterWindowClass", "shell:UnregisterWindowClass",
        "step:EnableAutoCd",          "step:ClearCrashMarker",      "step:CloseDocument",
        "step:DestroyAssetManager",   "step:DestroySettings",       "step:DestroyUndoer",
        "step:FreeResourceLibraries", "step:DestroyPalette",        "step:ShutdownMediaLibrary",
        "shell:ShutdownMediaLibrary", "step:SweepOrphans",          "step:CloseLog"};
    EXPECT_EQ(h.rec.calls, exit);
    EXPECT_TRUE(seen["SweepOrphans"].logOpen);
    EXPECT_FALSE(seen["SweepOrphans"].settings);
    EXPECT_FALSE(IsLogOpen());
    EXPECT_EQ(RefObject::OrphanCount(), 0u);
    // The sweep's lines reach the log before it closes.
    std::string log = test::ReadFile(Places::StateFolder() + "/Message.log");
    EXPECT_NE(log.find("Deleting orphan"), std::string::npos) << log;
    EXPECT_EQ(Stored(Key::reset), 0);
    EXPECT_EQ(OrvikApp::Current(), nullptr);
    EXPECT_EQ(SettingsBase::Current(), nullptr);
    EXPECT_EQ(Movie::Current(), nullptr);
}

TEST_F(OrvikAppTest, MissingLibraryEndsStartWithOneWarningNamingTheFirstFile) {
    StoreText(Key::language, "XX");
    // An earlier run crashed: a start that fails this early must leave its
    // marker for the next start to see.
    Store(Key::reset, 1);
    {
        OrvikApp app(AppHarness::Desktop());
        Watch(app);
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.GetStartFailure(), OrvikApp::StartFailure::resources);
        app.ExitInstance();
    }
    std::vector<std::string> messages = h.Calls("message:");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find(ResourceLibraries::FileNameOf("ResComXX")), std::string::npos)
        << messages[0];
    EXPECT_EQ(messages[0].find("ResQxXX"), std::string::npos);
    EXPECT_TRUE(h.Calls("warning:").empty());
    EXPECT_EQ(seen.count("DefaultTapeName"), 0u); // nothing after the libraries ran
    EXPECT_EQ(seen.count("ShowSplash"), 0u);
    EXPECT_EQ(Stored(Key::reset), 1);
    EXPECT_TRUE(h.Calls("shell:CreateMainWindow").empty());
}

TEST_F(OrvikAppTest, RunThatDidNotExitIsSeenByTheNextStart) {
    std::string folder = test::InHome("capture");
    {
        OrvikApp crashed(AppHarness::Desktop());
        ASSERT_TRUE(crashed.InitInstance());
        crashed.GetSettings()->SetCapturedVideoFile(folder + "/Tape 1.avi");
        // Destroyed without ExitInstance, as a crash leaves it.
    }
    EXPECT_EQ(Stored(Key::reset), 1);
    {
        OrvikApp next(AppHarness::Desktop());
        ASSERT_TRUE(next.InitInstance());
        EXPECT_EQ(next.GetSettings()->GetCapturedVideoFile(),
                  folder + "/__reset" + "Capture" + next.GetSettings()->GetVideoFileExtension());
        next.ExitInstance();
    }
    EXPECT_EQ(Stored(Key::reset), 0);
    // A clean end is not taken for a crash.
    StoreText(Key::capturedVideoFile, folder + "/Tape 2.avi");
    OrvikApp after(AppHarness::Desktop());
    ASSERT_TRUE(after.InitInstance());
    EXPECT_EQ(after.GetSettings()->GetCapturedVideoFile(), folder + "/Tape 2.avi");
    after.ExitInstance();
}

TEST_F(OrvikAppTest, SecondDesktopStartHandsItsFileToTheFirst) {
    std::string project = test::InHome("Holiday.orv");
    {
        RefPtr<Movie> m = new Movie;
        ASSERT_TRUE(m->SaveToFile(project));
    }
    OrvikApp first(AppHarness::Desktop());
    ASSERT_TRUE(first.InitInstance());
    ASSERT_NE(first.GetDocument()->GetPathName(), project);

    OrvikApp second(AppHarness::Desktop(project));
    Watch(second);
    EXPECT_FALSE(second.InitInstance());
    EXPECT_EQ(second.GetStartFailure(), OrvikApp::StartFailure::anotherInstance);
    EXPECT_EQ(second.GetSettings(), nullptr); // ended before making anything
    EXPECT_EQ(seen.size(), 1u);
    second.ExitInstance();
    EXPECT_EQ(OrvikApp::Current(), &first);

    ASSERT_TRUE(test::WaitFor([&] { return first.PendingRequestCount() == 1; }));
    h.rec.calls.clear();
    EXPECT_EQ(first.ProcessPendingRequests(), 1);
    EXPECT_EQ(first.GetDocument()->GetPathName(), project);
    EXPECT_EQ(h.Calls("shell:BringToFront").size(), 1u);

    // A start without a file only brings the first one to the front.
    OrvikApp third(AppHarness::Desktop());
    EXPECT_FALSE(third.InitInstance());
    third.ExitInstance();
    ASSERT_TRUE(test::WaitFor([&] { return first.PendingRequestCount() == 1; }));
    EXPECT_EQ(first.ProcessPendingRequests(), 1);
    EXPECT_EQ(first.GetDocument()->GetPathName(), project);
    first.ExitInstance();
}

TEST_F(OrvikAppTest, HeadlessRunStaysOutOfTheDesktopsWay) {
    // The desktop copy runs (its socket is held here) and has working files.
    std::vector<std::string> handed;
    SingleInstance desktop;
    ASSERT_EQ(desktop.Acquire(Places::RuntimeFolder(), "",
                              [&](const std::string& m) { handed.push_back(m); }),
              SingleInstance::first);
    std::string desktopTemp = Places::CacheFolder() + "/Temp";
    std::string captureFolder = test::InHome("capture");
    ASSERT_TRUE(Places::EnsureFolder(desktopTemp));
    ASSERT_TRUE(Places::EnsureFolder(captureFolder));
    for (const std::string& f : {desktopTemp + "/_x0000.avi", captureFolder + "/_x0001.avi"})
        std::ofstream(f) << "in use";
    StoreText(Key::capturedVideoFile, captureFolder + "/Tape.avi");
    Store(Key::reset, 1); // the desktop is running

    std::string tempA;
    {
        OrvikApp::Options o = AppHarness::Headless();
        o.soundDevicePresent = [] { return false; };
        OrvikApp a(o);
        Watch(a);
        ASSERT_TRUE(a.InitInstance());
        // The driver check only logs: nobody is asked.
        EXPECT_NE(test::ReadFile(LogPath()).find("dsound_OK=0"), std::string::npos);
        EXPECT_TRUE(h.Calls("warning:").empty());
        tempA = a.TempFolder();
        EXPECT_EQ(std::filesystem::path(tempA).parent_path(), Places::CacheFolder());
        EXPECT_NE(tempA, desktopTemp);
        EXPECT_TRUE(std::filesystem::is_directory(tempA));
        EXPECT_EQ(a.GetAssets()->CaptureFolder(), tempA + "/");
        // Its capture marker is not touched and not taken for a crash.
        EXPECT_EQ(a.GetSettings()->GetCapturedVideoFile(), captureFolder + "/Tape.avi");
        EXPECT_EQ(seen.count("SingleInstance") + seen.count("CrashMarker") +
                      seen.count("DisableAutoCd"),
                  0u);
        a.ExitInstance();
    }
    EXPECT_FALSE(std::filesystem::exists(tempA));
    EXPECT_TRUE(FileExists(desktopTemp + "/_x0000.avi"));
    EXPECT_TRUE(FileExists(captureFolder + "/_x0001.avi"));
    EXPECT_EQ(Stored(Key::reset), 1);
    EXPECT_TRUE(handed.empty());

    // A second run gets a folder of its own.
    OrvikApp b(AppHarness::Headless());
    ASSERT_TRUE(b.InitInstance());
    EXPECT_NE(b.TempFolder(), tempA);
    b.ExitInstance();
}

TEST_F(OrvikAppTest, DisplayChecks) {
    struct Case {
        const char* name;
        UserInterface::Display display;
        bool confirm, tick;
        bool started;
        OrvikApp::StartFailure failure;
        size_t messages, warnings;
        Key cleared; // a "Warn ..." key expected at 0 afterwards (with tick)
    };
    UserInterface::Display full;
    UserInterface::Display mono = full;
    mono.bitsPerPixel = 4;
    UserInterface::Display small = full;
    small.width = 640;
    small.height = 480;
    UserInterface::Display paletted = full;
    paletted.bitsPerPixel = 8;
    paletted.paletteBased = true;
    paletted.paletteEntries = 256;
    const Case cases[] = {
        {"full colour", full, true, false, true, OrvikApp::StartFailure::none, 0, 0,
         Key::warn640x480},
        {"16 colours", mono, true, false, false, OrvikApp::StartFailure::colours, 1, 0,
         Key::warn640x480},
        {"small, go on", small, true, false, true, OrvikApp::StartFailure::none, 0, 1,
         Key::warn640x480},
        {"small, declined", small, false, false, false, OrvikApp::StartFailure::declined, 0, 1,
         Key::warn640x480},
        {"small, never again", small, true, true, true, OrvikApp::StartFailure::none, 0, 1,
         Key::warn640x480},
        {"palette, declined", paletted, false, true, false, OrvikApp::StartFailure::declined, 0, 1,
         Key::warn256Colors},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store(Key::warn640x480, 1);
        Store(Key::warn256Colors, 1);
        h.rec.calls.clear();
        h.ui.display = c.display;
        h.ui.confirm = c.confirm;
        h.ui.tickDontWarn = c.tick;
        OrvikApp app(AppHarness::Desktop());
        EXPECT_EQ(app.InitInstance(), c.started);
        EXPECT_EQ(app.GetStartFailure(), c.failure);
        EXPECT_EQ(h.Calls("message:").size(), c.messages);
        EXPECT_EQ(h.Calls("warning:").size(), c.warnings);
        app.ExitInstance();
        EXPECT_EQ(Stored(c.cleared), c.tick ? 0 : 1);
        EXPECT_EQ(Stored(Key::reset), 0);
    }
}

TEST_F(OrvikAppTest, DriverCheck) {
    struct Case {
        const char* name;
        bool sound, forceFile;
        int warn;
        bool confirm;
        bool started;
        size_t warnings;
        const char* logLine; // empty: no line
    };
    const Case cases[] = {
        {"all present", true, false, 1, true, true, 0, ""},
        {"no sound", false, false, 1, true, true, 1, "ddraw_OK=1, dsound_OK=0"},
        {"no sound, declined", false, false, 1, false, false, 1, "ddraw_OK=1, dsound_OK=0"},
        {"forced by file", true, true, 1, true, true, 1, "ddraw_OK=0, dsound_OK=1"},
        {"forced, warning off", true, true, 0, false, true, 0, "ddraw_OK=0, dsound_OK=1"},
    };
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(test::Home().c_str()), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Store(Key::warnDirectXCertified, c.warn);
        std::filesystem::remove(OrvikApp::kShowDriverDialogFile);
        if (c.forceFile)
            std::ofstream(OrvikApp::kShowDriverDialogFile) << "\n";
        h.rec.calls.clear();
        h.ui.confirm = c.confirm;
        OrvikApp::Options o = AppHarness::Desktop();
        o.soundDevicePresent = [&] { return c.sound; };
        OrvikApp app(o);
        EXPECT_EQ(app.InitInstance(), c.started);
        std::string log = test::ReadFile(LogPath());
        app.ExitInstance();
        EXPECT_EQ(h.Calls("warning:").size(), c.warnings);
        if (*c.logLine)
            EXPECT_NE(log.find(std::string("OrvikApp::DirectXCertified(): ") + c.logLine + "\n"),
                      std::string::npos)
                << log;
        else
            EXPECT_EQ(log.find("DirectXCertified"), std::string::npos) << log;
    }
    std::filesystem::remove(OrvikApp::kShowDriverDialogFile);
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(OrvikAppTest, OpenDocumentFileTakesOnlyMovieFiles) {
    std::string project = test::InHome("Trip.orv");
    {
        RefPtr<Movie> m = new Movie;
        ASSERT_TRUE(m->SaveToFile(project));
    }
    std::string other = test::InHome("Trip.avi");
    std::filesystem::copy_file(project, other);
    OrvikApp app(AppHarness::Desktop());
    ASSERT_TRUE(app.InitInstance());
    std::string before = app.GetDocument()->GetPathName();
    h.rec.calls.clear();
    EXPECT_EQ(app.OpenDocumentFile(other), nullptr);
    EXPECT_EQ(app.GetDocument()->GetPathName(), before);
    EXPECT_TRUE(h.Calls("message:").empty());
    EXPECT_EQ(app.OpenDocumentFile(project), app.GetDocument());
    EXPECT_EQ(app.GetDocument()->GetPathName(), project);
    EXPECT_TRUE(OrvikApp::IsMovieFileName("A.ORV"));
    app.ExitInstance();
}

TEST_F(OrvikAppTest, ProjectOnTheCommandLineOpensAtStart) {
    std::string project = test::InHome("Start.orv");
    {
        RefPtr<Movie> m = new Movie;
        ASSERT_TRUE(m->SaveToFile(project));
    }
    OrvikApp app(AppHarness::Desktop(project));
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(Movie::Current(), app.GetDocument());
    EXPECT_EQ(app.GetDocument()->GetPathName(), project);
    app.ExitInstance();

    OrvikApp bad(AppHarness::Desktop(test::InHome("missing.orv")));
    EXPECT_FALSE(bad.InitInstance());
    EXPECT_EQ(bad.GetStartFailure(), OrvikApp::StartFailure::document);
    bad.ExitInstance();
    EXPECT_EQ(Stored(Key::reset), 0);
}

} // namespace
} // namespace orvik
