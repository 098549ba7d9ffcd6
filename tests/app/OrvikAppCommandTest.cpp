// Modes as undoable commands, the command routing chain and the CD
// auto-play steps.
#include "app/AutoCd.h"
#include "app/CommandRouter.h"
#include "app/OrvikApp.h"
#include "app/SetModeCommand.h"

#include "OrvikAppTestSupport.h"
#include "app/DiagnosticsLog.h"
#include "app/Settings.h"
#include "edit/Undoer.h"
#include "platform/registry/Registry.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using Key = SettingsBase::Key;
using Slot = CommandRouter::Slot;
using test::AppHarness;

struct OrvikAppModeTest : testing::Test {
    AppHarness h;
    OrvikApp app{AppHarness::Desktop()};
    std::vector<int> shown;

    void SetUp() override {
        ASSERT_TRUE(app.InitInstance());
        app.SetModeObserver([this](AppMode m) { shown.push_back(static_cast<int>(m)); });
    }
    void TearDown() override { app.ExitInstance(); }
    int Mode() const { return static_cast<int>(app.GetMode()); }
    int SavedMode() const { return app.GetSettings()->GetMode(); }
};

TEST_F(OrvikAppModeTest, ModeChangesAreUndoable) {
    Undoer& undoer = *app.GetUndoer();
    ASSERT_EQ(Mode(), 1);
    EXPECT_TRUE(app.RequestMode(AppMode::capture));
    EXPECT_EQ(Mode(), 0);
    EXPECT_EQ(SavedMode(), 0);
    EXPECT_EQ(undoer.UndoCount(), 1u);
    // The mode already shown makes no command.
    EXPECT_FALSE(app.RequestMode(AppMode::capture));
    EXPECT_EQ(undoer.UndoCount(), 1u);
    EXPECT_TRUE(app.RequestMode(AppMode::makeMovie));
    EXPECT_EQ(Mode(), 2);

    struct Stepc {
        uint32_t id;
        int mode;
        size_t undo, redo;
    };
    const Stepc steps[] = {
        {CommandRouter::kIdUndo, 0, 1, 1}, {CommandRouter::kIdUndo, 1, 0, 2},
        {CommandRouter::kIdUndo, 1, 0, 2}, // nothing left to undo
        {CommandRouter::kIdRedo, 0, 1, 1}, {CommandRouter::kIdRedo, 2, 2, 0},
    };
    for (const Stepc& s : steps) {
        EXPECT_TRUE(app.RouteCommand(s.id));
        EXPECT_EQ(Mode(), s.mode);
        EXPECT_EQ(SavedMode(), s.mode);
        EXPECT_EQ(undoer.UndoCount(), s.undo);
        EXPECT_EQ(undoer.RedoCount(), s.redo);
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 2, 0, 1, 0, 2}));
}

TEST_F(OrvikAppModeTest, CommandNamesFollowTheTargetMode) {
    EXPECT_EQ(SetModeCommand(AppMode::capture).GetNameId(), SetModeCommand::kTextCaptureMode);
    EXPECT_EQ(SetModeCommand(AppMode::edit).GetNameId(), SetModeCommand::kTextEditMode);
    EXPECT_EQ(SetModeCommand(AppMode::makeMovie).GetNameId(), SetModeCommand::kTextMakeMovieMode);
    EXPECT_EQ(OrvikApp::ModeFromNumber(7), AppMode::edit);
    EXPECT_EQ(OrvikApp::ModeFromNumber(2), AppMode::makeMovie);
}

TEST_F(OrvikAppModeTest, CaptureLockKeepsCommandsForTheCapturePanel) {
    h.rec.calls.clear();
    app.SetCaptureRunning(true);
    EXPECT_TRUE(app.IsCaptureRunning());
    EXPECT_EQ(h.Calls("shell:"),
              (std::vector<std::string>{"shell:BringToFront", "shell:MinimizeBox:0"}));
    app.RequestMode(AppMode::makeMovie);
    // Undo reaches no one but the capture panel (none here).
    EXPECT_FALSE(app.RouteCommand(CommandRouter::kIdUndo));
    EXPECT_EQ(Mode(), 2);
    app.OnDeactivate();
    EXPECT_EQ(h.Calls("shell:BringToFront").size(), 2u);
    app.SetCaptureRunning(false);
    EXPECT_EQ(h.Calls("shell:").back(), "shell:MinimizeBox:1");
    app.OnDeactivate();
    EXPECT_EQ(h.Calls("shell:BringToFront").size(), 2u);
    EXPECT_TRUE(app.RouteCommand(CommandRouter::kIdUndo));
    EXPECT_EQ(Mode(), 1);
}

// A panel that records the commands offered to it and takes some.
struct Panel : CommandRouter::Handler {
    std::string name;
    std::vector<std::string>* offered;
    uint32_t takes;
    std::function<void()> inside;
    Panel(std::string n, std::vector<std::string>* o, uint32_t t)
        : name(std::move(n)), offered(o), takes(t) {}
    bool OnCommand(uint32_t id) override {
        offered->push_back(name);
        if (inside)
            inside();
        return id == takes;
    }
};

TEST(CommandRouterTest, OffersInChainOrder) {
    struct Case {
        const char* name;
        CommandRouter::PlayerItem item;
        bool captureLock;
        uint32_t id;
        bool handled;
        std::vector<std::string> offered;
    };
    using P = CommandRouter::PlayerItem;
    const std::vector<std::string> all = {"view",    "player", "library",  "output",
                                          "capture", "titler", "voiceover"};
    const Case cases[] = {
        {"nobody takes it", P::none, false, 1, false, all},
        {"movie window before the player",
         P::movie,
         false,
         1,
         false,
         {"view", "movieWindow", "player", "library", "output", "capture", "titler", "voiceover"}},
        {"album before the player",
         P::album,
         false,
         1,
         false,
         {"view", "album", "player", "library", "output", "capture", "titler", "voiceover"}},
        {"first taker ends the search",
         P::movie,
         false,
         30,
         true,
         {"view", "movieWindow", "player", "library"}},
        {"capture lock", P::none, true, 50, true, {"capture"}},
        {"capture lock, not taken", P::movie, true, 1, false, {"capture"}},
        {"undo falls through to the history", P::none, false, CommandRouter::kIdUndo, true, all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> offered;
        Panel view("view", &offered, 10), movie("movieWindow", &offered, 20),
            album("album", &offered, 20), player("player", &offered, 0),
            library("library", &offered, 30), output("output", &offered, 40),
            capture("capture", &offered, 50), titler("titler", &offered, 60),
            voice("voiceover", &offered, 70);
        CommandRouter r;
        for (auto [slot, panel] :
             std::initializer_list<std::pair<Slot, Panel*>>{{Slot::voiceover, &voice},
                                                            {Slot::view, &view},
                                                            {Slot::movieWindow, &movie},
                                                            {Slot::album, &album},
                                                            {Slot::player, &player},
                                                            {Slot::library, &library},
                                                            {Slot::output, &output},
                                                            {Slot::capture, &capture},
                                                            {Slot::titler, &titler}})
            r.SetHandler(slot, panel);
        r.SetPlayerItem(c.item);
        r.SetCaptureLock(c.captureLock);
        Undoer undoer;
        EXPECT_EQ(r.Route(c.id), c.handled);
        EXPECT_EQ(offered, c.offered);
    }
}

TEST(CommandRouterTest, CommandSentWhileRoutingIsNotHandledByTheChain) {
    std::vector<std::string> offered;
    CommandRouter r;
    Panel view("view", &offered, 10), player("player", &offered, 2);
    bool nested = true;
    view.inside = [&] {
        if (offered.size() == 1)
            nested = r.Route(2);
    };
    r.SetHandler(Slot::view, &view);
    r.SetHandler(Slot::player, &player);
    EXPECT_TRUE(r.Route(2));
    EXPECT_FALSE(nested);
    EXPECT_EQ(offered, (std::vector<std::string>{"view", "player"}));
    EXPECT_FALSE(r.IsRouting());
    // Withdrawn handlers are offered nothing.
    r.SetHandler(Slot::player, nullptr);
    offered.clear();
    EXPECT_FALSE(r.Route(2));
    EXPECT_EQ(offered, (std::vector<std::string>{"view"}));
}

struct AutoCdTest : testing::Test {
    Registry registry{test::InHome("config")};
    AutoCdTest() { OpenLog(test::Home(), 0); }

    RegistryKey Key(bool create) {
        return registry.OpenKey(RegistryTree::localMachine, AutoCd::kKeyPath, create);
    }
    std::string Value(const char* name) {
        std::string v = "<none>";
        Key(false).QueryText(name, v);
        return v;
    }
    static std::string Log() { return test::ReadFile(LogPath()); }
};

TEST_F(AutoCdTest, PlayCommandIsKeptAsideAndPutBack) {
    ASSERT_TRUE(Key(true).SetText("", "cdplay %1"));
    EXPECT_TRUE(AutoCd::Disable(registry));
    EXPECT_EQ(Value(""), "");
    EXPECT_EQ(Value("save"), "cdplay %1");
    EXPECT_TRUE(AutoCd::Enable(registry));
    EXPECT_EQ(Value(""), "cdplay %1");
    EXPECT_EQ(Value("save"), "<none>");
    EXPECT_EQ(Log().find("AutoCd::"), std::string::npos) << Log();
}

TEST_F(AutoCdTest, CommandSetMeanwhileIsLeftAlone) {
    ASSERT_TRUE(Key(true).SetText("", "cdplay %1"));
    AutoCd::Disable(registry);
    ASSERT_TRUE(Key(false).SetText("", "other %1"));
    AutoCd::Enable(registry);
    EXPECT_EQ(Value(""), "other %1");
    EXPECT_EQ(Value("save"), "cdplay %1");
    EXPECT_NE(Log().find("EnableAutoCd:: play command not null\n"), std::string::npos);
}

TEST_F(AutoCdTest, EmptyCommandIsNotSaved) {
    ASSERT_TRUE(Key(true).SetText("", ""));
    AutoCd::Disable(registry);
    EXPECT_EQ(Value("save"), "<none>");
    AutoCd::Enable(registry);
    EXPECT_EQ(Value(""), "");
}

TEST_F(AutoCdTest, MissingKeyIsNeverMade) {
    EXPECT_FALSE(AutoCd::Disable(registry));
    EXPECT_FALSE(AutoCd::Enable(registry));
    EXPECT_FALSE(Key(false).IsOpen());
    EXPECT_NE(Log().find("DisableAutoCd:: could not open registry key\n"), std::string::npos);
    EXPECT_NE(Log().find("EnableAutoCd:: could not open registry key\n"), std::string::npos);
}

TEST(OrvikAppAutoCdTest, DesktopRunSuspendsAutoPlayUntilExit) {
    AppHarness h;
    {
        Settings s;
        ASSERT_TRUE(s.GetRegistry()
                        .OpenKey(RegistryTree::localMachine, AutoCd::kKeyPath, true)
                        .SetText("", "cdplay %1"));
    }
    auto command = [] {
        std::string v = "<none>";
        Settings()
            .GetRegistry()
            .OpenKey(RegistryTree::localMachine, AutoCd::kKeyPath, false)
            .QueryText("", v);
        return v;
    };
    OrvikApp app(AppHarness::Desktop());
    ASSERT_TRUE(app.InitInstance());
    EXPECT_EQ(command(), "");
    app.ExitInstance();
    EXPECT_EQ(command(), "cdplay %1");
}

} // namespace
} // namespace orvik
