// The volume commands: every envelope command executed, undone and redone
// gives the movie's bytes back exactly, with the clips' envelopes worked out
// by hand; merging of consecutive changes; the device levels; the edge cases.
#include "edit/VolumeCommands.h"

#include "app/Settings.h"
#include "edit/VolumeHooks.h"
#include "edit/VolumeList.h"
#include "edit/VolumeTestSupport.h"
#include "model/Subscriber.h"
#include "platform/audio/SystemMixer.h"

#include <functional>
#include <memory>

namespace orvik {

namespace {

using test::Bytes;
using test::ClipPoints;
using test::EditTest;
using test::MovieBuilder;
using test::VolumeTest;

struct Case {
    const char* name;     // the command's class
    const char* menuName; // its name in the Undo menu
    std::function<std::unique_ptr<Command>()> make;
    const char* track3; // the track-3 clips' points after the command
};

const Case kCases[] = {
    {"AddVolumeSettingCommand", "Add Volume Point",
     [] { return std::make_unique<AddVolumeSettingCommand>(3, VolumeSetting(1000, 95)); },
     "[500@0 300@30 1000@45][300@0 800@20]"},
    {"DeleteVolumeSettingCommand", "Delete Volume Point",
     [] { return std::make_unique<DeleteVolumeSettingCommand>(3, 2); }, "[500@0][300@0 800@20]"},
    {"ChangeVolumeSettingCommand", "Change Volume",
     [] { return std::make_unique<ChangeVolumeSettingCommand>(3, 3, VolumeSetting(900, 140)); },
     "[500@0 300@30][800@20 900@30]"},
    // Glide from 433 (the level at 60) to 700 at 100, held until just
    // before the next point.
    {"SlideVolumeCommand", "Change Volume",
     [] { return std::make_unique<SlideVolumeCommand>(3, VolumeSetting(700, 100), 60); },
     "[500@0 433@10 700@50 700@59][300@0 800@20]"},
    // In at 120 (was 550) from silence to 800 at 140; 525 holds at 119.
    {"FadeVolumeCommand", "Volume Fade",
     [] { return std::make_unique<FadeVolumeCommand>(3, 120, 20, true); },
     "[500@0 300@30][300@0 525@9 0@10 800@30]"},
    {"RemoveVolumeSettingsCommand", "Remove Volume Points",
     [] { return std::make_unique<RemoveVolumeSettingsCommand>(3, 110, 40); },
     "[500@0 300@30][none]"},
};

class EveryVolumeCommand : public VolumeTest, public testing::WithParamInterface<Case> {};

TEST_P(EveryVolumeCommand, ChangesTheClipsAsWorkedOutAndUndoesByteForByte) {
    const Case& c = GetParam();
    editor.player.position = 130;
    Select({2});
    Bytes before = MovieBytes();
    std::string track0 = ClipPoints(List(), 0);
    ASSERT_EQ(ClipPoints(List(), 3), "[500@0 300@30][300@0 800@20]");

    std::unique_ptr<Command> command = c.make();
    EXPECT_STREQ(command->GetRuntimeClass()->className, c.name);
    EXPECT_EQ(command->GetName(), c.menuName);
    ASSERT_TRUE(command->CanExecute());
    command->Execute();
    EXPECT_EQ(ClipPoints(List(), 3), c.track3);
    EXPECT_EQ(ClipPoints(List(), 0), track0); // other tracks stay
    EXPECT_TRUE(movie->IsModified());
    EXPECT_EQ(editor.player.stops, 0); // volume commands never stop the player
    Bytes after = MovieBytes();
    ASSERT_NE(after, before);
    ASSERT_EQ(undoer.UndoCount(), 1u);

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_FALSE(movie->IsModified());
    EXPECT_EQ(Selected(), std::vector<int32_t>{2});
    undoer.Redo();
    EXPECT_EQ(MovieBytes(), after);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

INSTANTIATE_TEST_SUITE_P(Envelope, EveryVolumeCommand, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

// Cutting a track envelope into clips gives a point in the overlap of two
// clips to the earlier clip; undo still gives each clip its own points back.
TEST_F(VolumeTest, UndoGivesEveryClipItsOwnPointsBackUnderATransition) {
    Bytes before = MovieBytes();
    AddVolumeSettingCommand(0, VolumeSetting(700, 150)).Execute();
    // 500@0 200@80 500@90 200@99 700@150: V1 takes all up to 99, V2 the rest.
    EXPECT_EQ(ClipPoints(List(), 0), "[500@0 200@80 500@90 200@99][none][700@70]");
    undoer.Undo();
    EXPECT_EQ(ClipPoints(List(), 0), "[500@0 200@99][none][200@0 500@10]");
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(VolumeTest, UndoDataOfThePointCommandsIsTheirInverse) {
    AddVolumeSettingCommand(3, VolumeSetting(1000, 95)).Execute();
    Bytes data = UndoData();
    ASSERT_GE(data.size(), 8u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{3, 0, 0, 0})); // the index
    DeleteVolumeSettingCommand(3, 1).Execute();
    data = UndoData();
    // The removed point: time 50, level 500.
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 8), (Bytes{50, 0, 0, 0, 0xF4, 1, 0, 0}));
}

// Fields in the checkpoint: the point (time, level), track, index, then each
// class's own.
TEST(VolumeCommandClasses, FieldsAreWrittenInOrder) {
    XMemFile file;
    {
        Archive ar(file, Archive::store);
        ChangeVolumeSettingCommand change(3, 2, VolumeSetting(600, 40));
        change.Serialize(ar);
        SlideVolumeCommand slide(4, VolumeSetting(700, 9), 5);
        slide.Serialize(ar);
        FadeVolumeCommand fade(0, 12, 60, true);
        fade.Serialize(ar);
        RemoveVolumeSettingsCommand remove(3, 7, 8);
        remove.Serialize(ar);
        MasterVolumeCommand master(650);
        master.Serialize(ar);
        ar.Close();
    }
    const Bytes expected = {
        40, 0, 0, 0, 0x58, 2, 0, 0, 3, 0, 0, 0, 2,    0,    0,    0,                // change
        9,  0, 0, 0, 0xBC, 2, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 5, 0, 0, 0, // slide
        0,  0, 0, 0, 0xF4, 1, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,             // fade base
        12, 0, 0, 0, 60,   0, 0, 0, 1, 0, 0, 0,                                     // fade
        0,  0, 0, 0, 0xF4, 1, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0,
        8,  0, 0, 0, 0x8A, 2, 0, 0, // master volume
    };
    EXPECT_EQ(file.Bytes(), expected);
}

TEST(VolumeCommandClasses, AreRegisteredWithTheirBasesAndAnswers) {
    const std::pair<const char*, const char*> classes[] = {
        {"VolumeCommand", "ClipListCommand"},
        {"AddVolumeSettingCommand", "VolumeCommand"},
        {"DeleteVolumeSettingCommand", "VolumeCommand"},
        {"ChangeVolumeSettingCommand", "VolumeCommand"},
        {"SlideVolumeCommand", "VolumeCommand"},
        {"FadeVolumeCommand", "VolumeCommand"},
        {"RemoveVolumeSettingsCommand", "VolumeCommand"},
        {"MasterVolumeCommand", "Command"},
        {"VoiceoverVolumeCommand", "Command"},
    };
    const char* merging[] = {"ChangeVolumeSettingCommand", "FadeVolumeCommand",
                             "RemoveVolumeSettingsCommand", "MasterVolumeCommand",
                             "VoiceoverVolumeCommand"};
    for (auto [name, base] : classes) {
        const RuntimeClass* cls = RuntimeClass::FromName(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_STREQ(cls->base->className, base) << name;
        EXPECT_EQ(cls->schema, kVersionableSchema | 1) << name;
        std::unique_ptr<Command> made(static_cast<Command*>(cls->CreateObject()));
        bool merges = std::find_if(std::begin(merging), std::end(merging), [&](const char* m) {
                          return std::string(m) == name;
                      }) != std::end(merging);
        EXPECT_EQ(made->CanMerge(), merges) << name;
        if (auto* v = DynamicCast<VolumeCommand>(made.get())) {
            EXPECT_FALSE(v->StopsPlayer()) << name;
            EXPECT_EQ(v->track, -1);
            EXPECT_EQ(v->index, -1);
            EXPECT_EQ(v->setting, VolumeSetting(500, 0));
        }
    }
    EXPECT_EQ(MasterVolumeCommand().volume, 500);
    EXPECT_EQ(VoiceoverVolumeCommand().volume, 500);
}

TEST_F(VolumeTest, TwoFadeInsInARowAreOneEntryThatUndoesBoth) {
    Bytes before = MovieBytes();
    FadeVolumeCommand(3, 60, 10, true).Execute();
    FadeVolumeCommand(3, 120, 10, true).Execute();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_EQ(undoer.UndoCount(), 0u);
}

TEST_F(VolumeTest, ChangesOfPointsOnOneTrackMergeButNotAcrossTracks) {
    Bytes before = MovieBytes();
    ChangeVolumeSettingCommand(3, 2, VolumeSetting(100, 70)).Execute();
    ChangeVolumeSettingCommand(3, 4, VolumeSetting(900, 135)).Execute();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    Bytes bothOnThree = MovieBytes();
    ChangeVolumeSettingCommand(0, 1, VolumeSetting(100, 50)).Execute();
    EXPECT_EQ(undoer.UndoCount(), 2u);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), bothOnThree);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

struct Idle {
    const char* what;
    std::function<std::unique_ptr<Command>()> make;
    bool entersHistory;
    size_t undoBytes; // 0: none written
};

// Commands that find nothing to change leave the movie's bytes alone.
TEST_F(VolumeTest, CommandsThatFindNothingToChangeLeaveTheClipsAlone) {
    const Idle cases[] = {
        {"a point after the end is refused and recorded as -1",
         [] { return std::make_unique<AddVolumeSettingCommand>(3, VolumeSetting(400, 151)); }, true,
         1},
        {"deleting an index that names no point",
         [] { return std::make_unique<DeleteVolumeSettingCommand>(3, 5); }, true, 0},
        {"changing index -1",
         [] { return std::make_unique<ChangeVolumeSettingCommand>(3, -1, VolumeSetting(400, 20)); },
         true, 0},
        {"moving a point past the end",
         [] { return std::make_unique<ChangeVolumeSettingCommand>(3, 2, VolumeSetting(400, 500)); },
         true, 0},
        {"a slide at the end of the track",
         [] { return std::make_unique<SlideVolumeCommand>(3, VolumeSetting(0, 150), 100); }, true,
         1},
        {"a fade starting in the last frame",
         [] { return std::make_unique<FadeVolumeCommand>(3, 149, 30, true); }, true, 1},
        {"a track without sound",
         [] { return std::make_unique<AddVolumeSettingCommand>(2, VolumeSetting(400, 20)); }, true,
         0},
        {"no track", [] { return std::make_unique<FadeVolumeCommand>(-1, 0, 30, true); }, true, 0},
        {"a fade of no length", [] { return std::make_unique<FadeVolumeCommand>(3, 60, 0, true); },
         true, 0},
        {"a fade before the movie's start",
         [] { return std::make_unique<FadeVolumeCommand>(3, -10, 30, true); }, true, 0},
        {"a slide to a time before the start",
         [] { return std::make_unique<SlideVolumeCommand>(3, VolumeSetting(700, -5), 0); }, true,
         0},
    };
    for (const Idle& c : cases) {
        SCOPED_TRACE(c.what);
        undoer.Clear();
        Bytes before = MovieBytes();
        std::unique_ptr<Command> command = c.make();
        command->Execute();
        EXPECT_EQ(MovieBytes(), before);
        EXPECT_EQ(undoer.UndoCount(), c.entersHistory ? 1u : 0u);
        EXPECT_EQ(!UndoData().empty(), c.undoBytes != 0);
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before);
    }
    // The refused point's undo data begins with the index -1.
    undoer.Clear();
    AddVolumeSettingCommand(3, VolumeSetting(400, 151)).Execute();
    Bytes data = UndoData();
    ASSERT_GE(data.size(), 4u);
    EXPECT_EQ(Bytes(data.begin(), data.begin() + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST_F(VolumeTest, LevelsBeyondTheScaleAreTakenAsItsEnds) {
    AddVolumeSettingCommand(3, VolumeSetting(5000, 95)).Execute();
    AddVolumeSettingCommand(3, VolumeSetting(-40, 120)).Execute();
    AddVolumeSettingCommand(3, VolumeSetting(VolumeSetting::kDefaultMarker, 60)).Execute();
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0 500@10 300@30 1000@45][300@0 0@10 800@20]");
    ChangeVolumeSettingCommand(3, 1, VolumeSetting(2000, 55)).Execute();
    EXPECT_EQ(ClipPoints(List(), 3), "[1000@5 500@10 300@30 1000@45][300@0 0@10 800@20]");
}

TEST_F(VolumeTest, RemovingPointsIsOfferedOnlyWhereAPointLies) {
    struct Range {
        Time start, length;
        bool can;
    } ranges[] = {
        {110, 40, true},  // S2: 300@110 and 800@130
        {50, 60, true},   // the segment ending at 110 starts at 300@80
        {0, 40, false},   // only the default start point
        {135, 14, false}, // the segment's point 800@130 lies before the start
    };
    for (const Range& r : ranges)
        EXPECT_EQ(RemoveVolumeSettingsCommand(3, r.start, r.length).CanExecute(), r.can)
            << r.start << "+" << r.length;
    EXPECT_FALSE(RemoveVolumeSettingsCommand(-1, 0, 500).CanExecute());

    // The menu's command takes the selected run of the track.
    Select({3}); // S1
    std::unique_ptr<RemoveVolumeSettingsCommand> fromMenu =
        RemoveVolumeSettingsCommand::FromSelection(3);
    ASSERT_NE(fromMenu, nullptr);
    EXPECT_EQ(fromMenu->start, 50);
    EXPECT_EQ(fromMenu->length, 60);
    Select({0});
    EXPECT_EQ(RemoveVolumeSettingsCommand::FromSelection(3), nullptr);
}

// A graph that keeps what it is handed.
class FakeGraph : public EnvelopeGraphHooks {
public:
    bool HoldsGraph() const override { return holds; }
    void SetVolumeList(int32_t track, VolumeList* list) override {
        handed.emplace_back(track, list);
    }
    bool holds = true;
    std::vector<std::pair<int32_t, RefPtr<VolumeList>>> handed;
};

class CountingSubscriber : public Subscriber {
public:
    void Update(Notifier*) override { ++updates; }
    int updates = 0;
};

TEST_F(VolumeTest, APlayingGraphGetsANewEnvelopeInsteadOfTheNotification) {
    FakeGraph graph;
    VolumeHooks::Install(&graph);
    CountingSubscriber subscriber;
    List().Subscribe(&subscriber);
    AddVolumeSettingCommand(3, VolumeSetting(1000, 95)).Execute();
    EXPECT_EQ(subscriber.updates, 0);
    ASSERT_EQ(graph.handed.size(), 1u);
    EXPECT_EQ(graph.handed[0].first, 3);
    EXPECT_EQ(graph.handed[0].second->GetLevelAt(100), 766); // 1000@95 to 300@110
    // A fresh object each time.
    AddVolumeSettingCommand(3, VolumeSetting(0, 20)).Execute();
    ASSERT_EQ(graph.handed.size(), 2u);
    EXPECT_NE(graph.handed[0].second.get(), graph.handed[1].second.get());
    EXPECT_EQ(graph.handed[0].second->GetCount(), 6);

    graph.holds = false;
    AddVolumeSettingCommand(3, VolumeSetting(0, 25)).Execute();
    EXPECT_EQ(subscriber.updates, 1);
    List().Unsubscribe(&subscriber);
}

// --- Device levels ---------------------------------------------------------------

class DeviceLevelTest : public VolumeTest {
public:
    void SetUp() override {
        VolumeTest::SetUp();
        settings = std::make_unique<Settings>(test::InHome("settings"));
        settings->MakeCurrent();
        VolumeHooks::Reset();
    }
    void TearDown() override {
        settings.reset();
        VolumeTest::TearDown();
    }
    std::unique_ptr<Settings> settings;
};

TEST_F(DeviceLevelTest, MovingTheMasterSliderInStepsIsUndoneAtOnce) {
    EXPECT_EQ(VolumeHooks::MasterVolume().GetMasterVolume(), 700); // "Master volume" default
    for (int32_t v : {650, 600, 555})
        MasterVolumeCommand(v).Execute();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    int32_t percent = 0;
    ASSERT_TRUE(mixer.GetMasterVolume(percent));
    EXPECT_EQ(percent, 55);
    EXPECT_EQ(settings->Number(SettingsBase::Key::makeVideoMasterVolume), 555);
    EXPECT_EQ(undoer.UndoMenuText(), "&Undo Master Volume\tCtrl+Z");

    undoer.Undo();
    EXPECT_EQ(VolumeHooks::MasterVolume().GetMasterVolume(), 700);
    ASSERT_TRUE(mixer.GetMasterVolume(percent));
    EXPECT_EQ(percent, 70);
    EXPECT_EQ(settings->Number(SettingsBase::Key::makeVideoMasterVolume), 700);
    undoer.Redo();
    EXPECT_EQ(VolumeHooks::MasterVolume().GetMasterVolume(), 555);
}

TEST_F(DeviceLevelTest, TheRecordLevelGoesToTheMicrophoneLineAndItsSetting) {
    EXPECT_EQ(VolumeHooks::RecordLevel().GetRecordLevel(), 1000); // 100 × 10
    VoiceoverVolumeCommand(455).Execute();
    VoiceoverVolumeCommand(333).Execute();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    int32_t left = 0, right = 0;
    ASSERT_TRUE(mixer.GetVolume(SystemMixer::Destination::recording, "Mic", left, right));
    EXPECT_EQ(left, 33);
    EXPECT_EQ(right, 33);
    EXPECT_EQ(settings->GetMicrophoneRecordLevel(), 33);
    // The exact level is kept, not the setting's tenth.
    EXPECT_EQ(VolumeHooks::RecordLevel().GetRecordLevel(), 333);
    undoer.Undo();
    EXPECT_EQ(VolumeHooks::RecordLevel().GetRecordLevel(), 1000);
    ASSERT_TRUE(mixer.GetVolume(SystemMixer::Destination::recording, "Mic", left, right));
    EXPECT_EQ(left, 100);
}

TEST_F(DeviceLevelTest, TheMicrophoneIsFoundUnderItsSecondName) {
    mixer.RemoveLine(SystemMixer::Destination::recording, "Mic");
    mixer.AddLine(SystemMixer::Destination::recording, "Mike", 10);
    VoiceoverVolumeCommand(800).Execute();
    int32_t left = 0, right = 0;
    ASSERT_TRUE(mixer.GetVolume(SystemMixer::Destination::recording, "Mike", left, right));
    EXPECT_EQ(left, 80);
}

TEST_F(DeviceLevelTest, LevelsOutsideTheScaleAreTakenAsItsEnds) {
    MasterVolumeCommand(5000).Execute();
    EXPECT_EQ(VolumeHooks::MasterVolume().GetMasterVolume(), 1000);
    int32_t percent = 0;
    ASSERT_TRUE(mixer.GetMasterVolume(percent));
    EXPECT_EQ(percent, 100);
    VoiceoverVolumeCommand(-20).Execute();
    EXPECT_EQ(VolumeHooks::RecordLevel().GetRecordLevel(), 0);
    EXPECT_EQ(settings->GetMicrophoneRecordLevel(), 0);
}

} // namespace

} // namespace orvik
