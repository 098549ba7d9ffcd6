// The edge cases of the clip editing commands: transitions that go with
// their clip, what undo of a trim gives back, the undo data of a selection
// change, refused splits, pastes redone, commands that find nothing to do,
// and what the commands ask of the views and the player.
#include "edit/ClipCommands.h"
#include "edit/TrimCommands.h"

#include "edit/EditTestSupport.h"

#include <memory>

namespace orvik {

// Selects clips, and seeks when given a position: a change of nothing but
// the selection and the player.
class TestSelectionCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(TestSelectionCommand)
public:
    std::vector<int32_t> selection;
    Time position = -1;
    void Serialize(Archive& ar) override {
        if (ar.IsStoring()) {
            WriteIndexArray(ar, selection);
            ar.WriteInt32(position);
        } else {
            selection = ReadIndexArray(ar);
            position = ar.ReadInt32();
        }
    }
    void Do(Archive& undoData) override {
        RememberState();
        GetMovieList()->SetSelected(selection);
        GetMovieList()->MarkSelected();
        if (position >= 0)
            EditorHooks::Player().ShowMovieAt(position);
        SaveRestoreState(undoData);
    }
};
ORVIK_IMPLEMENT_SERIAL(TestSelectionCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

using test::Bytes;
using test::MovieBuilder;

enum { V1, T1, V2, T2, V3, TITLE, S1 };

class ClipCommandEdge : public test::EditTest {
public:
    // Video: V1 0–100, T1 80–100, V2 80–180, T2 170–180, V3 170–250; a title
    // over 150–190 and a sound over 50–110.
    void SetUp() override {
        EditTest::SetUp();
        MovieBuilder m;
        m.Video(100, 10);
        m.Transition(20);
        m.Video(100, 30);
        m.Transition(10);
        m.Video(80, 5, 0, 200);
        m.Title(150, 40);
        m.Sound(50, 60, 0, 300);
        Take(*m.list);
        movie->SetModifiedFlag(false);
    }
    Clip* At(int position) { return List().GetNth(position); }
};

TEST_F(ClipCommandEdge, DeletingAClipTakesItsTransitionsAndUndoBringsAllThreeBack) {
    Select({V2});
    Bytes before = MovieBytes();
    DeleteClipsCommand().Execute();
    // V1, V3, the title and the sound are left; V3 follows V1 directly.
    ASSERT_EQ(List().GetCount(), 4);
    EXPECT_EQ(At(1)->GetStart(), 100);
    EXPECT_EQ(At(1)->GetDuration(), 80);
    EXPECT_TRUE(movie->IsModified());
    undoer.Undo();
    ASSERT_EQ(List().GetCount(), 7);
    EXPECT_TRUE(At(T1)->IsTransition());
    EXPECT_TRUE(At(T2)->IsTransition());
    EXPECT_EQ(At(V2)->GetStart(), 80);
    // The selection is the one the delete started from.
    EXPECT_EQ(Selected(), std::vector<int32_t>{V2});
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_FALSE(movie->IsModified());
}

TEST_F(ClipCommandEdge, UndoOfATrimGivesBackTheScrollAndThePlayersPosition) {
    Select({V1});
    editor.player.position = 130;
    editor.timeline.start = 100;
    editor.timeline.span = 200;
    TrimStartCommand(0, 10, 0).Execute();
    // The position went to the trimmed clip's start, and the timeline with it.
    EXPECT_EQ(editor.player.position, 0);
    EXPECT_EQ(editor.timeline.start, 0);
    EXPECT_EQ(At(V1)->GetDuration(), 90);
    uint32_t flags = 0;
    Bytes undo = UndoData();
    ASSERT_GE(undo.size(), 4u);
    memcpy(&flags, undo.data(), 4);
    EXPECT_EQ(flags & (ClipListCommand::playerChanged | ClipListCommand::timelineChanged),
              ClipListCommand::playerChanged | ClipListCommand::timelineChanged);
    undoer.Undo();
    EXPECT_EQ(editor.player.position, 130);
    EXPECT_EQ(editor.timeline.start, 100);
    EXPECT_EQ(editor.timeline.span, 200);
    EXPECT_EQ(At(V1)->GetDuration(), 100);
    EXPECT_EQ(At(V1)->GetTrimStart(), 10);
}

TEST_F(ClipCommandEdge, AChangeOfTheSelectionWritesOnlyTheFlagsAndTheSelection) {
    Select({V1, TITLE});
    TestSelectionCommand select;
    select.selection = {V3};
    select.Execute();
    // changeFlags 0x2, then the selection before: a count and two positions.
    const Bytes expected = {0x02, 0, 0, 0, 2, 0, V1, 0, 0, 0, TITLE, 0, 0, 0};
    EXPECT_EQ(UndoData(), expected);
    undoer.Undo();
    EXPECT_EQ(Selected(), (std::vector<int32_t>{V1, TITLE}));
    EXPECT_EQ(Marked(), (std::vector<int32_t>{V1, TITLE}));

    // With the player moved, its state before follows: item, option,
    // position and counter.
    editor.player.position = 40;
    TestSelectionCommand seek;
    seek.selection = {V2};
    seek.position = 90;
    seek.Execute();
    const Bytes withPlayer = {0x22, 0, 0, 0, 2, 0, V1, 0,  0, 0, TITLE, 0, 0, 0, 0x30,
                              3,    0, 0, 3, 0, 0, 0,  40, 0, 0, 0,     7, 0, 0, 0};
    EXPECT_EQ(UndoData(), withPlayer);
    undoer.Undo();
    EXPECT_EQ(editor.player.position, 40);
    EXPECT_EQ(Selected(), (std::vector<int32_t>{V1, TITLE}));
}

TEST_F(ClipCommandEdge, AClipBroughtBackSharesItsAssetAgain) {
    // The two parts of a split clip share one asset; deleting one part and
    // undoing the delete gives it that very asset again, not a copy.
    SplitClipCommand(80, 40, 0).Execute();
    ASSERT_EQ(At(2)->GetAsset(), At(3)->GetAsset());
    Select({3});
    Bytes before = MovieBytes();
    DeleteClipsCommand().Execute();
    undoer.Undo();
    EXPECT_EQ(At(2)->GetAsset(), At(3)->GetAsset());
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(ClipCommandEdge, MarksThatDifferFromTheSelectionComeBackToo) {
    List().SetSelected({V1});
    List().SetMarked({V2, V3});
    Bytes before = MovieBytes();
    TestSelectionCommand select;
    select.selection = {T1};
    select.Execute();
    undoer.Undo();
    EXPECT_EQ(Selected(), std::vector<int32_t>{V1});
    EXPECT_EQ(Marked(), (std::vector<int32_t>{V2, V3}));
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(ClipCommandEdge, SplitsAtTheStartOrOnTheLastTwoFramesAreRefused) {
    // V2 runs from 80 to 180.
    const std::pair<Time, bool> offsets[] = {{-1, false}, {0, false},  {1, true},   {97, true},
                                             {98, false}, {99, false}, {100, false}};
    for (auto [offset, allowed] : offsets) {
        SplitClipCommand split(80, offset, 0);
        EXPECT_EQ(split.CanExecute(), allowed) << "offset " << offset;
        if (allowed)
            continue;
        Bytes before = MovieBytes();
        split.Execute();
        EXPECT_EQ(MovieBytes(), before) << "offset " << offset;
        EXPECT_TRUE(UndoData().empty()) << "offset " << offset;
        EXPECT_FALSE(movie->IsModified());
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before) << "offset " << offset;
    }
    SplitClipCommand(80, 97, 0).Execute();
    ASSERT_EQ(List().GetCount(), 8);
    EXPECT_EQ(At(3)->GetStart(), 177);
    EXPECT_EQ(At(3)->GetDuration(), 3);
}

TEST_F(ClipCommandEdge, ARedonePastePastesWhatWasPastedFirst) {
    MovieBuilder a;
    a.Title(0, 30, false);
    a.list->CopyToClipboard(ClipList::MovieClipListFormat(), false);
    PasteClipsCommand(20, 1).Execute();
    Bytes pasted = MovieBytes();
    ASSERT_EQ(List().GetCount(), 8);

    // Something else is copied before the redo.
    MovieBuilder b;
    b.Video(55, 0, 0, 400, "/videos/other.avi");
    b.list->CopyToClipboard(ClipList::MovieClipListFormat(), false);
    undoer.Undo();
    undoer.Redo();
    EXPECT_EQ(MovieBytes(), pasted);
    // A paste executed now takes the new contents.
    PasteClipsCommand(0, 0).Execute();
    EXPECT_EQ(List().FindAt(0, 0, Asset::kindScene, 0)->GetDuration(), 55);
}

TEST_F(ClipCommandEdge, APasteWithoutClipboardLogsAndInsertsNothing) {
    test::LogCapture log;
    Bytes before = MovieBytes();
    PasteAlbumClipsCommand(0, 0).Execute();
    EXPECT_NE(log.Text().find("PasteAlbumClipsCommand: can't AttachClipboard\n"),
              std::string::npos);
    EXPECT_EQ(MovieBytes(), before);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_FALSE(movie->IsModified());
}

TEST_F(ClipCommandEdge, CommandsWithNothingToDoLeaveAnEntryThatUndoesNothing) {
    Select({V2});
    std::unique_ptr<Command> idle[] = {
        std::make_unique<CommentClipCommand>(""),         // the comment it has
        std::make_unique<ReverseTransitionCommand>(1),    // no transition selected
        std::make_unique<TrimStartCommand>(5, 10, 0),     // no clip starts at 5
        std::make_unique<TrimEndCommand>(250, 200, 0),    // past the scene's end
        std::make_unique<ResetTrimStartCommand>(0, 0, 1), // no clip there
        std::make_unique<TransitionDurationCommand>(80, 0, 0),
    };
    for (auto& command : idle) {
        Bytes before = MovieBytes();
        size_t entries = undoer.UndoCount();
        command->Execute();
        EXPECT_EQ(undoer.UndoCount(), entries + 1);
        EXPECT_TRUE(UndoData().empty()) << command->GetRuntimeClass()->className;
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before) << command->GetRuntimeClass()->className;
        EXPECT_EQ(Selected(), std::vector<int32_t>{V2});
        undoer.Redo();
        EXPECT_EQ(MovieBytes(), before) << command->GetRuntimeClass()->className;
    }
    DeleteClipsCommand().Execute(); // something to do after all
    EXPECT_FALSE(UndoData().empty());
}

TEST_F(ClipCommandEdge, AClipChangedByACommentKeepsItsPlace) {
    Select({V2});
    CommentClipCommand("Beach").Execute();
    ASSERT_EQ(List().GetCount(), 7);
    EXPECT_EQ(At(V2)->GetComment(), "Beach");
    EXPECT_EQ(At(V2)->GetStart(), 80);
    EXPECT_EQ(At(V2)->GetDuration(), 100);
    EXPECT_EQ(Selected(), std::vector<int32_t>{V2});

    // A transition reversed in its place.
    editor.player.position = 90;
    Select({T1});
    ReverseTransitionCommand(1).Execute();
    ASSERT_EQ(List().GetCount(), 7);
    EXPECT_TRUE(At(T1)->IsReversed());
    EXPECT_EQ(At(T1)->GetStart(), 80);
    EXPECT_EQ(At(T1)->GetDuration(), 20);
}

TEST_F(ClipCommandEdge, AGrabbedFrameGoesInAtItsOwnStart) {
    InsertGrabbedFrameCommand("/pictures/grab.bmp", 60, 30, 1).Execute();
    Clip* frame = List().FindAt(60, 1, Asset::kindGraphic, 0);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->GetStart(), 60);
    EXPECT_EQ(frame->GetDuration(), 30);
    EXPECT_TRUE(frame->IsPinned());
    EXPECT_TRUE(frame->IsSelected());
    EXPECT_TRUE(frame->IsMarked());
    EXPECT_EQ(frame->GetFileName(), "/pictures/grab.bmp");
}

TEST_F(ClipCommandEdge, InsertAsksTheMovieAndShowsWhyNot) {
    MovieBuilder b;
    b.Video(30, 0, 0, 400, "/videos/album.avi");
    InsertClipsCommand insert(b.list.get(), 100, 0);
    EXPECT_TRUE(insert.CanExecute());
    EXPECT_EQ(editor.hint.hint, "");
    editor.player.placeAllowed = false;
    EXPECT_FALSE(insert.CanExecute());
    EXPECT_EQ(editor.hint.hint, "The Video Track does not take this clip here.");
    editor.player.placeReason = "No room between these scenes";
    EXPECT_FALSE(insert.CanExecute());
    EXPECT_EQ(editor.hint.hint, "No room between these scenes");
    // Asking changed nothing of the command's clips.
    EXPECT_EQ(b.list->GetClips().front()->GetTrack(), 0);
}

TEST_F(ClipCommandEdge, ClipsGoToTracksThatTakeThem) {
    // A sound dropped on the title track stays on its own track; a picture
    // dropped on the video track goes there.
    MovieBuilder sound;
    sound.Sound(0, 20, 0, 300);
    InsertClipsCommand(sound.list.get(), 10, 1).Execute();
    EXPECT_EQ(List().FindAt(10, 1, Asset::kindSound, 0), nullptr);
    EXPECT_NE(List().FindAt(10, 3, Asset::kindSound, 0), nullptr);

    MovieBuilder picture;
    picture.Title(0, 20, false);
    InsertClipsCommand(picture.list.get(), 0, 0).Execute();
    EXPECT_NE(List().FindAt(0, 0, Asset::kindGraphic, 0), nullptr);
}

TEST_F(ClipCommandEdge, AnEditStopsThePlayerAndSelectsTheClipWhereItStopped) {
    editor.player.playing = PlayingItem::movie;
    editor.player.position = 130; // in V2, and under the sound
    TrimEndCommand(250, -20, 0).Execute();
    EXPECT_EQ(editor.player.stops, 1);
    EXPECT_EQ(editor.player.playing, PlayingItem::none);
    EXPECT_EQ(Selected(), std::vector<int32_t>{V2});
    // The trim then shows the selected clip's last frame.
    EXPECT_EQ(editor.player.position, 179);

    // With the sound tool's filter the sound is chosen.
    undoer.Undo();
    editor.player.playing = PlayingItem::movie;
    editor.player.position = 60;
    editor.toolbox.kindFilter = Asset::kindSound;
    TrimEndCommand(250, -20, 0).Execute();
    EXPECT_EQ(Selected(), std::vector<int32_t>{S1});

    // The album and a tool take the position themselves.
    editor.player.playing = PlayingItem::album;
    editor.player.position = 33;
    TrimEndCommand(230, -20, 0).Execute();
    EXPECT_EQ(editor.album.shownAfterStop, 33);
    editor.player.playing = PlayingItem::tool;
    editor.player.position = 44;
    TrimEndCommand(210, -20, 0).Execute();
    EXPECT_EQ(editor.toolbox.shownAfterStop, 44);
}

TEST_F(ClipCommandEdge, UndoGivesTheAlbumItsSelectionBack) {
    MovieBuilder album;
    album.Video(30, 0, 0, 400, "/videos/album.avi");
    album.Video(40, 0, 0, 400, "/videos/album.avi");
    editor.album.list = album.list;
    editor.album.list->SetSelected({1});
    MovieBuilder b;
    b.Video(30, 0, 0, 400, "/videos/album.avi");
    InsertClipsCommand(b.list.get(), 0, 0).Execute();
    // Inserting from the album clears its selection.
    std::vector<int32_t> selected;
    editor.album.list->GetSelectedIndices(selected);
    EXPECT_TRUE(selected.empty());
    int refreshes = editor.album.refreshes;
    undoer.Undo();
    editor.album.list->GetSelectedIndices(selected);
    EXPECT_EQ(selected, std::vector<int32_t>{1});
    EXPECT_GT(editor.album.refreshes, refreshes);
}

} // namespace

} // namespace orvik
