#include "edit/NavigationCommands.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "edit/HeadlessMovieView.h"
#include "edit/SelectionMap.h"
#include "edit/Undoer.h"
#include "model/ClipTestSupport.h"
#include "model/Movie.h"
#include "model/XMemFile.h"
#include "platform/archive/Archive.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

namespace orvik {

namespace {

using Indices = std::vector<int32_t>;
using Bytes = std::vector<uint8_t>;
constexpr uint32_t kShift = SelectionMap::kShiftKey;
constexpr uint32_t kCtrl = SelectionMap::kControlKey;
using Nav = MovieNavigationHooks;

class TestTimeline : public TimelineHooks {
public:
    double GetViewStart() const override { return start; }
    double GetViewSpan() const override { return span; }
    void SetView(double s, double w) override {
        start = s;
        span = w;
    }
    double start = 0;
    double span = 1000;
};

class TestAlbum : public AlbumHooks {
public:
    ClipList* GetList() override { return list.get(); }
    RefPtr<ClipList> list = new ClipList;
};

// Everything a navigation command may change, and undo must give back.
struct State {
    Bytes movie; // the serialised document: clips with their selection and
                 // mark bits, and the position
    Indices selected;
    Indices marked;
    Indices albumSelected;
    int32_t first = 0;
    int32_t page = 0;
    Time position = 0;
    bool operator==(const State&) const = default;
};

// A movie of ten 30-frame scenes, a title over the second and third and a
// sound over the third, shown in a storyboard of 4 cells to a page.
class NavigationTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(resources.Load("US", 0, 1024, 768));
        ResourceLibraries::SetCurrent(&resources);
        movie = new Movie;
        movie->MakeCurrent();
        movie->ResetMovie();
        view.Attach(movie.get());
        EditorHooks::Install(&timeline);
        EditorHooks::Install(&album);

        test::MovieBuilder b;
        for (int i = 0; i < 10; ++i)
            b.Video(30);
        b.Title(45, 30);
        b.Sound(65, 20);
        for (auto& c : b.list->GetClips())
            List().Add(c.get());
        List().FixTimes(nullptr, true, false, false);
        ASSERT_EQ(List().GetCount(), 12);
        for (int i = 0; i < 3; ++i) {
            RefPtr<Clip> c = new Clip(new GraphicAsset("/p/album.bmp", 30), 0, 1);
            album.list->Add(c.get());
        }
    }
    void TearDown() override {
        view.Detach();
        EditorHooks::Reset();
        movie = nullptr;
        ResourceLibraries::SetCurrent(nullptr);
    }

    ClipList& List() { return *movie->GetClipList(); }
    Time StartOf(int32_t position) { return List().GetNth(position)->GetStart(); }

    Bytes MovieBytes() {
        XMemFile file;
        Archive ar(file, Archive::store);
        ar.SetPurpose(Archive::ownMemory);
        movie->Serialize(ar);
        ar.Close();
        return file.Bytes();
    }
    State Now() {
        State s;
        s.movie = MovieBytes();
        List().GetSelectedIndices(s.selected);
        List().GetMarkedIndices(s.marked);
        album.list->GetSelectedIndices(s.albumSelected);
        s.first = view.GetFirstVisible();
        s.page = view.GetPage();
        s.position = view.GetPosition();
        return s;
    }
    // Starts from a selection (and marks) made by a plain click.
    void Start(int32_t clicked) {
        List().SetSelected({clicked});
        List().MarkSelected();
        view.Map().SetAnchor(clicked);
        view.SetPosition(StartOf(clicked));
    }

    ResourceLibraries resources;
    Undoer undoer;
    RefPtr<Movie> movie;
    HeadlessMovieView view{4};
    TestTimeline timeline;
    TestAlbum album;
};

struct Case {
    const char* name;
    std::function<std::unique_ptr<ClipListCommand>()> make;
    Indices selected; // after the command
    int32_t first;    // first visible cell after it
    int32_t page;
    int32_t positionOf; // the clip whose start the position shows, -1 unchanged
};

template <class C, class... A> std::function<std::unique_ptr<ClipListCommand>()> Make(A... args) {
    return [=] { return std::unique_ptr<ClipListCommand>(new C(args...)); };
}

TEST_F(NavigationTest, ExecuteUndoRedoRestoreEverything) {
    const Case kCases[] = {
        {"right", Make<MovieSelectViaKeyboardCommand>(Nav::kKeyRight, 0u), {3}, 0, 0, 3},
        {"shift right",
         Make<MovieSelectViaKeyboardCommand>(Nav::kKeyRight, kShift),
         {2, 3},
         0,
         0,
         3},
        {"up", Make<MovieSelectViaKeyboardCommand>(Nav::kKeyUp, 0u), {1}, 0, 0, 1},
        {"end scrolls", Make<MovieSelectViaKeyboardCommand>(Nav::kKeyEnd, 0u), {11}, 8, 2, 11},
        {"shift home",
         Make<MovieSelectViaKeyboardCommand>(Nav::kKeyHome, kShift),
         {0, 1, 2},
         0,
         0,
         0},
        {"page down", Make<MovieSelectViaKeyboardCommand>(Nav::kKeyPageDown, 0u), {6}, 3, 0, 6},
        {"control a",
         Make<MovieSelectViaKeyboardCommand>(Nav::kKeyA, kCtrl),
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
         0,
         0,
         0},
        {"click", Make<MovieSelectViaMouseCommand>(5, 0u, -1), {5}, 2, 0, 5},
        {"shift click",
         Make<MovieSelectViaMouseCommand>(9, kShift, -1),
         {2, 3, 4, 5, 6, 7, 8, 9},
         6,
         1,
         9},
        {"control click off", Make<MovieSelectViaMouseCommand>(2, kCtrl, -1), {}, 0, 0, -1},
        {"rubber band",
         Make<MovieSelectViaTrackerRectCommand>(TrackerRect{150, 10, 350, 20}, 0u),
         {1, 2, 3},
         0,
         0,
         1},
        {"shift rubber band",
         Make<MovieSelectViaTrackerRectCommand>(TrackerRect{799, 90, 710, 5}, kShift),
         {2, 7},
         0,
         0,
         -1},
        {"next page", Make<MovieNextPageCommand>(), {2}, 4, 1, -1},
        {"scroll stops at the last page", Make<MovieScrollCommand>(9), {2}, 8, 2, -1},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        Start(2);
        undoer.Clear();
        State before = Now();

        c.make()->Execute();
        State after = Now();
        EXPECT_EQ(after.selected, c.selected);
        EXPECT_EQ(after.marked, c.selected);
        EXPECT_EQ(after.first, c.first);
        EXPECT_EQ(after.page, c.page);
        EXPECT_EQ(after.position, c.positionOf < 0 ? before.position : StartOf(c.positionOf));
        EXPECT_TRUE(after.albumSelected.empty());
        EXPECT_EQ(undoer.UndoCount(), 1u);

        undoer.Undo();
        EXPECT_TRUE(Now() == before);
        EXPECT_EQ(Now().selected, before.selected);
        undoer.Redo();
        EXPECT_TRUE(Now() == after);
        EXPECT_EQ(Now().selected, after.selected);
        undoer.Undo();
        EXPECT_TRUE(Now() == before);
    }
}

TEST_F(NavigationTest, PagesGoBackAndStopAtTheEnds) {
    Start(2);
    MoviePrevPageCommand().Execute();
    EXPECT_EQ(view.GetFirstVisible(), 0);
    MovieNextPageCommand().Execute();
    MovieNextPageCommand().Execute();
    EXPECT_EQ(view.GetFirstVisible(), 8);
    EXPECT_EQ(view.GetPage(), 2);
    MovieNextPageCommand().Execute(); // the last page ends with the last clip
    EXPECT_EQ(view.GetFirstVisible(), 8);
    MovieScrollCommand(5).Execute();
    EXPECT_EQ(view.GetFirstVisible(), 5);
    MoviePrevPageCommand().Execute();
    EXPECT_EQ(view.GetFirstVisible(), 1);
    EXPECT_EQ(view.GetPage(), 0);
    // Each page turn is an entry; undoing them walks back through the pages.
    ASSERT_EQ(undoer.UndoCount(), 6u);
    const int32_t firsts[] = {5, 8, 8, 4, 0, 0};
    for (int32_t want : firsts) {
        undoer.Undo();
        EXPECT_EQ(view.GetFirstVisible(), want);
    }
}

TEST_F(NavigationTest, TwoClicksAreTwoEntries) {
    Start(0);
    MovieSelectViaMouseCommand(4, 0).Execute();
    MovieSelectViaMouseCommand(6, kShift).Execute();
    ASSERT_EQ(undoer.UndoCount(), 2u);
    EXPECT_EQ(Now().selected, (Indices{4, 5, 6}));
    undoer.Undo();
    EXPECT_EQ(Now().selected, (Indices{4}));
    EXPECT_EQ(view.GetPosition(), StartOf(4));
    undoer.Undo();
    EXPECT_EQ(Now().selected, (Indices{0}));
    EXPECT_EQ(view.GetPosition(), StartOf(0));
}

TEST_F(NavigationTest, ClickKeepsOrTakesThePosition) {
    // The clicked clip already plays at the position: the position stays.
    Start(5);
    view.SetPosition(StartOf(5) + 10);
    MovieSelectViaMouseCommand(5, 0).Execute();
    EXPECT_EQ(view.GetPosition(), StartOf(5) + 10);

    // Another clip: its start.
    MovieSelectViaMouseCommand(6, 0).Execute();
    EXPECT_EQ(view.GetPosition(), StartOf(6));

    // Outside the timeline's visible range the click time is taken, when a
    // selected clip plays there.
    timeline.start = 0;
    timeline.span = 100;
    MovieSelectViaMouseCommand(7, 0, StartOf(7) + 12).Execute();
    EXPECT_EQ(view.GetPosition(), StartOf(7) + 12);
    // ... and not when no selected clip plays at the click time.
    MovieSelectViaMouseCommand(8, 0, StartOf(1)).Execute();
    EXPECT_EQ(view.GetPosition(), StartOf(8));
    // Inside the visible range the clip's start stands.
    MovieSelectViaMouseCommand(1, 0, StartOf(1) + 3).Execute();
    EXPECT_EQ(view.GetPosition(), StartOf(1));
}

TEST_F(NavigationTest, AlbumSelectionGivesWayAndComesBack) {
    Start(2);
    album.list->SetSelected({0, 2});
    MovieSelectViaKeyboardCommand(Nav::kKeyLeft, 0).Execute();
    EXPECT_EQ(Now().selected, (Indices{1}));
    EXPECT_TRUE(Now().albumSelected.empty());
    undoer.Undo();
    EXPECT_EQ(Now().albumSelected, (Indices{0, 2}));
    EXPECT_EQ(Now().selected, (Indices{2}));
}

TEST_F(NavigationTest, SelectionOnlyUndoDataHoldsTheSelection) {
    Start(2);
    view.SetPosition(StartOf(3)); // the key moves to clip 3: no seek
    MovieSelectViaKeyboardCommand(Nav::kKeyRight, 0).Execute();
    // The undo data after the command object: flags 0x2 and the array
    // {count 1, 2}.
    Checkpoint* checkpoint = undoer.PeekUndo();
    ASSERT_NE(checkpoint, nullptr);
    XMemFile& f = checkpoint->GetFile();
    Archive ar(f, Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    std::unique_ptr<Command> command = Command::ReadFrom(ar);
    ASSERT_NE(command, nullptr);
    auto* keys = dynamic_cast<MovieSelectViaKeyboardCommand*>(command.get());
    ASSERT_NE(keys, nullptr);
    EXPECT_EQ(keys->key, Nav::kKeyRight);
    Bytes all = f.Bytes();
    Bytes undo(all.end() - static_cast<std::ptrdiff_t>(ar.BytesLeft()), all.end());
    EXPECT_EQ(undo, (Bytes{0x02, 0, 0, 0, 0x01, 0, 0x02, 0, 0, 0}));
}

TEST_F(NavigationTest, KeysOutsideTheStoryboardChangeNothing) {
    Start(2);
    State before = Now();
    MovieSelectViaKeyboardCommand(0x41, 0).Execute(); // A without Control
    MovieSelectViaKeyboardCommand(0x70, 0).Execute(); // F1
    MovieSelectViaMouseCommand(12, 0).Execute();      // past the last clip
    EXPECT_TRUE(Now() == before);
}

TEST_F(NavigationTest, EveryCommandHasItsOwnName) {
    OpenLog(test::Home(), 0);
    std::vector<std::unique_ptr<Command>> commands;
    commands.emplace_back(new MovieSelectViaKeyboardCommand);
    commands.emplace_back(new MovieSelectViaMouseCommand);
    commands.emplace_back(new MovieSelectViaTrackerRectCommand);
    commands.emplace_back(new MovieNextPageCommand);
    commands.emplace_back(new MoviePrevPageCommand);
    commands.emplace_back(new MovieScrollCommand);
    std::set<std::string> names;
    for (auto& c : commands) {
        EXPECT_NE(c->GetNameId(), 0u);
        std::string name = c->GetName();
        EXPECT_FALSE(name.empty());
        names.insert(name);
    }
    EXPECT_EQ(names.size(), commands.size());
    std::string path = LogPath();
    CloseLog();
    EXPECT_EQ(test::ReadFile(path).find("using default name"), std::string::npos);
}

} // namespace

} // namespace orvik
