// The envelope gesture of a track view and the volume tool's sliders and
// fade buttons, over the movie of the volume command tests.
#include "edit/VolumeChanger.h"
#include "edit/VolumeChangerTool.h"
#include "edit/VolumeCommands.h"

#include "edit/VolumeTestSupport.h"
#include "model/Timecode.h"

namespace orvik {

namespace {

using test::Bytes;
using test::ClipPoints;
using test::VolumeTest;

// List positions of the movie's clips.
enum { V1, T1, V2, S1, S2, M };

// A view 102 pixels high: level L lies on row L / 10 + 1 from the bottom,
// that is at y = 101 − L / 10 from the top; one frame per column.
constexpr int32_t kHeight = 102;
constexpr int32_t RowOf(int32_t level) {
    return 101 - level / 10;
}

class ChangerTest : public VolumeTest {
public:
    Clip* At(int position) { return List().GetNth(position); }
    EnvelopeTrackView view{3, kHeight};
};

TEST_F(ChangerTest, DraggingAPointOffTheViewDeletesItAndComingBackMovesIt) {
    Select({S1});
    VolumeChanger changer(view);
    Bytes before = MovieBytes();

    // 300@80: the neighbours 500@50 and 300@110 bound it.
    ASSERT_TRUE(changer.MouseDown(At(S1), 80, RowOf(300)));
    EXPECT_EQ(changer.GetMode(), VolumeChanger::move);
    EXPECT_EQ(changer.GetCursor(), 161);
    EXPECT_EQ(changer.GetIndex(), 2);
    EXPECT_EQ(changer.GetLowest(), 51);
    EXPECT_EQ(changer.GetHighest(), 109);
    changer.MouseMove(85, kHeight + 9);
    EXPECT_EQ(changer.GetMode(), VolumeChanger::remove);
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0][300@0 800@20]"); // the clips follow live
    EXPECT_EQ(undoer.UndoCount(), 0u);
    changer.MouseUp();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    EXPECT_EQ(undoer.UndoMenuText(), "&Undo Delete Volume Point\tCtrl+Z");
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0][300@0 800@20]");
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);

    ASSERT_TRUE(changer.MouseDown(At(S1), 80, RowOf(300)));
    changer.MouseMove(85, kHeight + 9);
    changer.MouseMove(90, RowOf(600)); // back on the view: a move again
    EXPECT_EQ(changer.GetMode(), VolumeChanger::move);
    EXPECT_EQ(changer.GetCurrentPoint(), VolumeSetting(600, 90));
    changer.MouseUp();
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0 600@40][300@0 800@20]");
    EXPECT_EQ(undoer.UndoCount(), 1u); // the delete was undone
    EXPECT_EQ(undoer.UndoMenuText(), "&Undo Change Volume\tCtrl+Z");
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(ChangerTest, APressNearTheLineAwayFromPointsAddsOneBetweenItsNeighbours) {
    Select({S1});
    VolumeChanger changer(view);
    // At 65 the line is at 400 (halfway from 500@50 to 300@80); the points
    // are 15 columns away.
    ASSERT_TRUE(changer.MouseDown(At(S1), 65, RowOf(400)));
    EXPECT_EQ(changer.GetMode(), VolumeChanger::add);
    EXPECT_EQ(changer.GetCursor(), 160);
    EXPECT_EQ(changer.GetLowest(), 51);
    EXPECT_EQ(changer.GetHighest(), 79);
    changer.MouseMove(200, RowOf(1000));
    EXPECT_EQ(changer.GetCurrentPoint(), VolumeSetting(1000, 79));
    changer.MouseMove(10, RowOf(1000));
    EXPECT_EQ(changer.GetCurrentPoint(), VolumeSetting(1000, 51));
    changer.MouseUp();
    EXPECT_EQ(undoer.UndoCount(), 1u);
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0 1000@1 300@30][300@0 800@20]");

    // Dragged off the view an added point is not made at all.
    ASSERT_TRUE(changer.MouseDown(At(S1), 95, RowOf(300)));
    changer.MouseMove(95, -9);
    EXPECT_EQ(changer.GetMode(), VolumeChanger::none);
    changer.MouseUp();
    EXPECT_EQ(undoer.UndoCount(), 1u);
}

TEST_F(ChangerTest, ThePressMustHitAMarkedSoundClipNearTheLine) {
    VolumeChanger changer(view);
    Select({S1});
    struct Press {
        const char* what;
        int clip;
        int32_t x, y;
        bool starts;
    } presses[] = {
        {"on the line", S1, 65, RowOf(400), true},
        {"4 pixels above it", S1, 65, RowOf(400) - 4, true},
        {"5 pixels above it", S1, 65, RowOf(400) - 5, false},
        {"outside the pressed clip", S1, 120, RowOf(460), false},
        {"on a clip that is not marked", S2, 120, RowOf(550), false},
    };
    for (const Press& p : presses) {
        bool started = changer.MouseDown(At(p.clip), p.x, p.y);
        EXPECT_EQ(started, p.starts) << p.what;
        changer.MouseUp();
    }
    changer.SetEnabled(false);
    EXPECT_FALSE(changer.MouseDown(At(S1), 65, RowOf(400)));
    // The first press added a point at 65; the second one then pressed that
    // point and, not moved, made no entry.
    EXPECT_EQ(undoer.UndoCount(), 1u);
}

TEST_F(ChangerTest, AClickOnAPointWithoutMovingMakesNoEntry) {
    Select({S1});
    VolumeChanger changer(view);
    ASSERT_TRUE(changer.MouseDown(At(S1), 81, RowOf(300)));
    changer.MouseUp();
    EXPECT_EQ(undoer.UndoCount(), 0u);
}

TEST_F(ChangerTest, ThePointAtTheClipStartStopsThereWhenNoSoundPlaysBefore) {
    Select({S1});
    VolumeChanger changer(view);
    // 500@50, the first point of S1: its neighbour 500@0 lies in the gap.
    ASSERT_TRUE(changer.MouseDown(At(S1), 51, RowOf(493)));
    EXPECT_EQ(changer.GetIndex(), 1);
    EXPECT_EQ(changer.GetLowest(), 50);
    EXPECT_EQ(changer.GetHighest(), 79);
    changer.MouseUp();
}

TEST_F(ChangerTest, TheFirstPointOfATrackChangesLevelButNotTime) {
    EnvelopeTrackView audio(EnvelopeTrackOfView(2), kHeight);
    EXPECT_EQ(audio.GetTrack(), 0);
    Select({V1});
    VolumeChanger changer(audio);
    Bytes before = MovieBytes();
    // At 2 the line is at 492 (500@0 to 200@80).
    ASSERT_TRUE(changer.MouseDown(At(V1), 2, RowOf(492)));
    EXPECT_EQ(changer.GetMode(), VolumeChanger::move);
    EXPECT_EQ(changer.GetIndex(), 0);
    EXPECT_EQ(changer.GetLowest(), 0);
    EXPECT_EQ(changer.GetHighest(), 0);
    changer.MouseMove(40, RowOf(800));
    changer.MouseUp();
    ASSERT_NE(At(V1)->GetVolumeList(), nullptr);
    EXPECT_EQ(At(V1)->GetVolumeList()->GetSetting(0), VolumeSetting(800, 0));
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(ChangerTest, TheCachedEnvelopeFollowsTheClipsAndTheCommands) {
    VolumeChanger changer(view);
    EXPECT_EQ(VolumeChanger::ForTrack(3), &changer);
    RefPtr<VolumeList> first = changer.GetEnvelope();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetCount(), 5);
    EXPECT_EQ(changer.GetEnvelope(), first.get()); // cached
    int redraws = view.redraws;
    AddVolumeSettingCommand(3, VolumeSetting(0, 100)).Execute();
    EXPECT_TRUE(changer.IsStale());
    EXPECT_GT(view.redraws, redraws);
    EXPECT_EQ(changer.GetEnvelope()->GetLevelAt(100), 0);
    EXPECT_EQ(first->GetCount(), 5); // the old envelope was not changed
    List().Notify();
    EXPECT_TRUE(changer.IsStale());
}

// --- The volume tool ---------------------------------------------------------

class ToolTest : public VolumeTest {
public:
    void SetUp() override {
        VolumeTest::SetUp();
        ASSERT_EQ(Timecode::GetFramesPerSecond(), 30);
        ASSERT_EQ(VolumeChangerTool::FadeDuration(), 60); // 2 seconds
    }
    void At(Time position) { editor.player.position = position; }
    VolumeChangerTool tool;
};

TEST_F(ToolTest, SlidersShowTheLevelAtThePositionAndFadesWhereTheyCouldStart) {
    At(95);
    tool.Refresh();
    struct Row {
        int32_t track, level;
        bool fadeIn, fadeOut; // fade-out starts at 35
    } rows[] = {
        {0, 333, true, true},  // 500@90 to 200@99
        {3, 300, true, false}, // S1 plays at 95, nothing at 35
        {4, 500, false, true}, // M ends at 90
    };
    for (const Row& r : rows) {
        EXPECT_EQ(tool.GetSliderLevel(r.track), r.level) << r.track;
        EXPECT_EQ(tool.IsFadeEnabled(r.track, true), r.fadeIn) << r.track;
        EXPECT_EQ(tool.IsFadeEnabled(r.track, false), r.fadeOut) << r.track;
    }
}

TEST_F(ToolTest, AFadeOutOneSecondIntoTheFirstClipIsNotOffered) {
    At(80); // S1 starts at 50
    EXPECT_FALSE(tool.CanFade(3, false));
    EXPECT_FALSE(tool.Fade(3, false));
    EXPECT_EQ(undoer.UndoCount(), 0u);
    EXPECT_TRUE(tool.Fade(3, true));
    EXPECT_EQ(undoer.UndoCount(), 1u);
}

TEST_F(ToolTest, TwoFadeInsInARowAreUndoneAtOnce) {
    At(0);
    Bytes before = MovieBytes();
    At(60);
    ASSERT_TRUE(tool.Fade(3, true));
    EXPECT_EQ(tool.GetSliderLevel(3), 0); // refreshed: silence at the fade's start
    At(115);
    ASSERT_TRUE(tool.Fade(3, true));
    EXPECT_EQ(undoer.UndoCount(), 1u);
    undoer.Undo();
    At(0); // the position is saved with the movie
    EXPECT_EQ(MovieBytes(), before);
}

class FakeGraph : public EnvelopeGraphHooks {
public:
    bool HoldsGraph() const override { return true; }
    void SetVolumeList(int32_t track, VolumeList* list) override {
        handed.emplace_back(track, list);
    }
    std::vector<std::pair<int32_t, RefPtr<VolumeList>>> handed;
};

TEST_F(ToolTest, AHeldSliderGlidesPreviewsAndCommitsWhereTheLevelRests) {
    FakeGraph graph;
    VolumeHooks::Install(&graph);
    EnvelopeTrackView view(3, kHeight);
    VolumeChanger changer(view);
    At(0);
    Bytes before = MovieBytes();
    std::string clips = ClipPoints(List(), 3);

    At(20);
    EXPECT_FALSE(tool.PressSlider(3, 500)); // no sound there
    At(60);
    ASSERT_TRUE(tool.PressSlider(3, 400));
    EXPECT_EQ(tool.GetGlideTrack(), 3);
    tool.MoveSlider(3, 600);
    At(70);
    tool.Refresh();
    // Previewed: shown and handed to the graph, the clips untouched.
    ASSERT_EQ(graph.handed.size(), 1u);
    EXPECT_EQ(graph.handed[0].second->GetLevelAt(70), 600);
    EXPECT_EQ(changer.GetEnvelope()->GetLevelAt(70), 600);
    EXPECT_EQ(ClipPoints(List(), 3), clips);
    EXPECT_EQ(tool.GetSliderLevel(3), 600);

    tool.MoveSlider(3, 700);
    At(80);
    tool.Refresh(); // still rising: no commit
    At(85);
    tool.Refresh(); // resting, but not yet a quarter second on
    EXPECT_EQ(undoer.UndoCount(), 0u);
    At(88);
    tool.Refresh();
    ASSERT_EQ(undoer.UndoCount(), 1u);
    // From 433 at 60 to 700 at 80, held to 109.
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0 433@10 700@30 700@59][300@0 800@20]");
    EXPECT_EQ(tool.GetGrabPoint(), VolumeSetting(700, 80));
    EXPECT_EQ(tool.GetLastPoint(), VolumeSetting(700, 88));

    tool.ReleaseSlider(3);
    EXPECT_EQ(tool.GetGlideTrack(), -1);
    ASSERT_EQ(undoer.UndoCount(), 2u);
    EXPECT_EQ(ClipPoints(List(), 3), "[500@0 433@10 700@30 700@38 700@59][300@0 800@20]");
    undoer.Undo();
    undoer.Undo();
    At(0);
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(ToolTest, PressingAndReleasingWithoutAChangeMakesNoEntry) {
    At(60);
    ASSERT_TRUE(tool.PressSlider(3, 433));
    tool.Refresh();
    tool.ReleaseSlider(3);
    EXPECT_EQ(undoer.UndoCount(), 0u);
}

} // namespace

} // namespace orvik
