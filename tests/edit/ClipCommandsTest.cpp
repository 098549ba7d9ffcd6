// Every clip editing command: executing, undoing and redoing it gives the
// movie's bytes back exactly, with the selection, the views, the player and
// the modified flag as they were.
#include "edit/ClipCommands.h"
#include "edit/MovieCommands.h"
#include "edit/TrimCommands.h"

#include "edit/EditTestSupport.h"

#include <functional>
#include <memory>

namespace orvik {

namespace {

using test::Bytes;
using test::EditTest;
using test::MovieBuilder;

// Positions of the standard movie's clips in its list.
enum { V1, T1, V2, T2, V3, TITLE, S1, S2 };

// Video: V1 0–100, T1 80–100, V2 80–180, T2 170–180, V3 170–250; a title
// over 150–190; two sounds over 50–110 and 110–150.
void BuildStandardMovie(EditTest& t) {
    MovieBuilder m;
    m.Video(100, 10);
    m.Transition(20);
    m.Video(100, 30);
    m.Transition(10);
    m.Video(80, 5, 0, 200);
    m.Title(150, 40);
    m.Sound(50, 60, 0, 300);
    m.Sound(110, 40, 20, 300);
    t.Take(*m.list);
}

void PutOnClipboard(ClipList& list, uint32_t format) {
    list.CopyToClipboard(format, false);
}

struct Case {
    const char* name;     // the command's class
    const char* menuName; // its name in the Undo menu
    std::function<void(EditTest&)> setup;
    std::function<std::unique_ptr<Command>()> make;
};

std::string SavedOtherMovie() {
    std::string path = test::InHome("other.orv");
    RefPtr<Movie> other = new Movie;
    MovieBuilder m;
    m.Video(40);
    m.Title(5, 20);
    for (auto& c : m.list->GetClips())
        other->GetClipList()->Add(c.get());
    other->SetViewRange(12, 300);
    EXPECT_TRUE(other->SaveToFile(path));
    return path;
}

const Case kCases[] = {
    {"DeleteClipsCommand", "Delete", [](EditTest& t) { t.Select({V2}); },
     [] { return std::make_unique<DeleteClipsCommand>(); }},
    {"CutClipsCommand", "Cut",
     [](EditTest& t) {
         t.Select({V1, TITLE});
     },
     [] { return std::make_unique<CutClipsCommand>(); }},
    {"MoveSelectedClipsCommand", "Move", [](EditTest& t) { t.Select({V3}); },
     [] { return std::make_unique<MoveSelectedClipsCommand>(0, -1); }},
    {"CopySelectedClipsCommand", "Copy",
     [](EditTest& t) {
         t.Select({V1, S1});
     },
     [] { return std::make_unique<CopySelectedClipsCommand>(250, -1); }},
    {"InsertClipsCommand", "Insert", [](EditTest&) {},
     [] {
         MovieBuilder b;
         b.Video(30, 0, 0, 400, "/videos/album.avi");
         return std::make_unique<InsertClipsCommand>(b.list.get(), 100, 0);
     }},
    {"PasteClipsCommand", "Paste",
     [](EditTest& t) {
         MovieBuilder b;
         b.Title(0, 30, false);
         PutOnClipboard(*b.list, ClipList::MovieClipListFormat());
         t.Select({V2});
     },
     [] { return std::make_unique<PasteClipsCommand>(20, 1); }},
    {"PasteAlbumClipsCommand", "Paste from Album",
     [](EditTest&) {
         MovieBuilder b;
         b.Video(25, 0, 0, 400, "/videos/album.avi");
         PutOnClipboard(*b.list, ClipList::LibraryClipListFormat());
     },
     [] { return std::make_unique<PasteAlbumClipsCommand>(0, 0); }},
    {"TrimStartCommand", "Trim Start", [](EditTest& t) { t.Select({V1}); },
     [] { return std::make_unique<TrimStartCommand>(0, 10, 0); }},
    {"TrimEndCommand", "Trim End", [](EditTest& t) { t.Select({V3}); },
     [] { return std::make_unique<TrimEndCommand>(250, -20, 0); }},
    {"OverlapTrimCommand", "Overlap Trim", [](EditTest& t) { t.Select({S1}); },
     [] { return std::make_unique<OverlapTrimCommand>(110, 5, 3); }},
    {"TransitionDurationCommand", "Transition Length", [](EditTest& t) { t.Select({T1}); },
     [] { return std::make_unique<TransitionDurationCommand>(80, 5, 0); }},
    {"ResetTrimStartCommand", "Reset Trim Start", [](EditTest& t) { t.Select({V2}); },
     [] { return std::make_unique<ResetTrimStartCommand>(80, 0, 0); }},
    {"ResetTrimEndCommand", "Reset Trim End", [](EditTest& t) { t.Select({V3}); },
     [] { return std::make_unique<ResetTrimEndCommand>(170, 0, 0); }},
    {"SplitClipCommand", "Split Clip", [](EditTest& t) { t.Select({V2}); },
     [] { return std::make_unique<SplitClipCommand>(80, 40, 0); }},
    {"ReverseTransitionCommand", "Reverse Transition",
     [](EditTest& t) {
         t.Select({T1});
         t.editor.player.position = 90;
     },
     [] { return std::make_unique<ReverseTransitionCommand>(1); }},
    {"CommentClipCommand", "Comment",
     [](EditTest& t) {
         t.Select({V2, S2});
     },
     [] { return std::make_unique<CommentClipCommand>("Beach"); }},
    {"InsertGrabbedFrameCommand", "Insert Grabbed Frame", [](EditTest& t) { t.Select({V1}); },
     [] { return std::make_unique<InsertGrabbedFrameCommand>("/pictures/frame.bmp", 60, 30, 1); }},
    {"NewMovieCommand", "New Movie", [](EditTest& t) { t.Select({V2}); },
     [] { return std::make_unique<NewMovieCommand>(); }},
    {"MovieOpenCommand", "Open Movie", [](EditTest& t) { t.Select({T2}); },
     [] { return std::make_unique<MovieOpenCommand>(SavedOtherMovie()); }},
};

class CommandTable : public EditTest, public testing::WithParamInterface<Case> {};

// What undo must give back besides the movie's bytes.
struct Around {
    std::vector<int32_t> selected;
    bool modified;
    int32_t first, page;
    double viewStart, viewSpan;
    PlayerSnapshot player;
    bool operator==(const Around&) const = default;
};

Around Look(EditTest& t) {
    return {t.Selected(),
            t.movie->IsModified(),
            t.editor.window.first,
            t.editor.window.page,
            t.editor.timeline.start,
            t.editor.timeline.span,
            t.editor.player.GetState()};
}

TEST_P(CommandTable, ExecuteUndoAndRedoGiveTheMovieBackByteForByte) {
    const Case& c = GetParam();
    BuildStandardMovie(*this);
    editor.player.position = 130;
    editor.window.first = 1;
    editor.timeline.start = 100;
    editor.timeline.span = 200;
    GetParam().setup(*this);
    movie->SetModifiedFlag(false);
    Bytes before = MovieBytes();
    std::string beforeText = Describe();
    Around around = Look(*this);
    std::string path = movie->GetPathName();

    std::unique_ptr<Command> command = c.make();
    EXPECT_STREQ(command->GetRuntimeClass()->className, c.name);
    EXPECT_EQ(command->GetName(), c.menuName);
    ASSERT_TRUE(command->CanExecute());
    command->Execute();
    Bytes after = MovieBytes();
    std::string afterText = Describe();
    bool modifiedAfter = movie->IsModified();
    ASSERT_NE(after, before) << "the command changed nothing";
    ASSERT_EQ(undoer.UndoCount(), 1u);
    EXPECT_EQ(undoer.UndoMenuText(), std::string("&Undo ") + c.menuName + "\tCtrl+Z");

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before) << "before:\n" << beforeText << "after undo:\n" << Describe();
    EXPECT_EQ(Look(*this), around);
    EXPECT_EQ(Marked(), around.selected); // the marks follow the selection
    EXPECT_EQ(movie->GetPathName(), path);

    undoer.Redo();
    EXPECT_EQ(MovieBytes(), after) << "after:\n" << afterText << "after redo:\n" << Describe();
    EXPECT_EQ(movie->IsModified(), modifiedAfter);

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_EQ(Look(*this), around);
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, CommandTable, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.name);
                         });

TEST(CommandClasses, AreRegisteredUnderTheirNamesWithTheirBases) {
    const std::pair<const char*, const char*> classes[] = {
        {"ClipListCommand", "Command"},
        {"DeleteClipsCommand", "ClipListCommand"},
        {"CutClipsCommand", "ClipListCommand"},
        {"MoveSelectedClipsCommand", "ClipListCommand"},
        {"CopySelectedClipsCommand", "ClipListCommand"},
        {"InsertClipsCommand", "ClipListCommand"},
        {"PasteClipsCommand", "InsertClipsCommand"},
        {"PasteAlbumClipsCommand", "PasteClipsCommand"},
        {"TrimCommand", "ClipListCommand"},
        {"TrimStartCommand", "TrimCommand"},
        {"TrimEndCommand", "TrimCommand"},
        {"OverlapTrimCommand", "TrimCommand"},
        {"TransitionDurationCommand", "TrimCommand"},
        {"ResetTrimStartCommand", "TrimCommand"},
        {"ResetTrimEndCommand", "TrimCommand"},
        {"SplitClipCommand", "TrimCommand"},
        {"ReverseTransitionCommand", "ClipListCommand"},
        {"CommentClipCommand", "ClipListCommand"},
        {"InsertGrabbedFrameCommand", "ClipListCommand"},
        {"NewMovieCommand", "ClipListCommand"},
        {"MovieOpenCommand", "ClipListCommand"},
        {"MovieSaveCommand", "ClipListCommand"},
    };
    for (auto [name, base] : classes) {
        const RuntimeClass* cls = RuntimeClass::FromName(name);
        ASSERT_NE(cls, nullptr) << name;
        ASSERT_NE(cls->base, nullptr) << name;
        EXPECT_STREQ(cls->base->className, base) << name;
        EXPECT_EQ(cls->schema, kVersionableSchema | 1) << name;
        std::unique_ptr<PersistentObject> made(cls->CreateObject());
        EXPECT_NE(made, nullptr) << name;
    }
}

// The fields of each command travel in its checkpoint in this order.
TEST(CommandClasses, FieldsAreWrittenInOrder) {
    XMemFile file;
    {
        Archive ar(file, Archive::store);
        TrimEndCommand trim(250, -20, 3);
        trim.Serialize(ar);
        MoveSelectedClipsCommand move(77, 4);
        move.Serialize(ar);
        InsertGrabbedFrameCommand grab("a.bmp", 60, 30, 1);
        grab.Serialize(ar);
        ReverseTransitionCommand reverse(1);
        reverse.Serialize(ar);
        CommentClipCommand comment("Hi");
        comment.Serialize(ar);
        ar.Close();
    }
    const Bytes expected = {
        0xFA, 0,   0,   0,   0xEC, 0xFF, 0xFF, 0xFF, 3, 0, 0,  0, // clip time, amount, track
        77,   0,   0,   0,   4,    0,    0,    0,                 // time, track
        5,    'a', '.', 'b', 'm',  'p',  60,   0,    0, 0, 30, 0,
        0,    0,   1,   0,   0,    0, // path, start, ...
        1,    0,   0,   0,            // direction
        2,    'H', 'i',               // comment
    };
    EXPECT_EQ(file.Bytes(), expected);
}

} // namespace

} // namespace orvik
