// Helpers for the clip editing command tests: a movie document with a
// recording stand-in for the player and the views around it, and the movie's
// bytes as the archive writes them.
#pragma once

#include "app/ResourceLibraries.h"
#include "edit/ClipListCommand.h"
#include "edit/EditorHooks.h"
#include "edit/Undoer.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/ClipTestSupport.h"
#include "model/Movie.h"
#include "model/MovieView.h"
#include "model/XMemFile.h"
#include "platform/archive/Archive.h"
#include "platform/gui/Clipboard.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik::test {

using Bytes = std::vector<uint8_t>;

// Stand-ins for the collaborators of the commands: each keeps what it is
// told, so a test can see what the commands did to them.

// The timeline's visible range.
class FakeTimeline : public TimelineHooks {
public:
    double GetViewStart() const override { return start; }
    double GetViewSpan() const override { return span; }
    void SetView(double s, double w) override {
        start = s;
        span = w;
    }
    double start = 0;
    double span = 600;
};

// The player; the movie's position is its position. The timeline follows
// the play position, as the desktop's does.
class FakePlayer : public MovieView, public PlayerHooks {
public:
    static constexpr int32_t kMovieItem = 816;
    static constexpr int32_t kAlbumItem = 817;

    explicit FakePlayer(FakeTimeline& timeline) : timeline_(timeline) {}

    // MovieView
    Time GetPosition() const override { return position; }
    void SetPosition(Time time) override {
        position = time;
        if (position < timeline_.start || position >= timeline_.start + timeline_.span)
            timeline_.start = position;
    }
    uint32_t GetPlayeeOptions() const override { return static_cast<uint32_t>(option); }
    bool CanPlace(const ClipList&, Time, int, std::string& why) override {
        why = placeReason;
        return placeAllowed;
    }

    // PlayerHooks
    PlayingItem Playing() const override { return playing; }
    Time Stop() override {
        ++stops;
        playing = PlayingItem::none;
        return position;
    }
    PlayerSnapshot GetState() const override { return {itemId, option, position, counter}; }
    void RestoreState(const PlayerSnapshot& s) override {
        playing = PlayingItem::none;
        itemId = s.itemId;
        option = s.option;
        position = s.position;
        counter = s.counter;
    }
    void ShowMovieAt(Time time) override {
        itemId = kMovieItem;
        if (time >= 0)
            SetPosition(time);
    }

    Time position = 0;
    int32_t itemId = kMovieItem;
    int32_t option = 3;
    int32_t counter = 7;
    PlayingItem playing = PlayingItem::none;
    int stops = 0;
    bool placeAllowed = true;
    std::string placeReason;

private:
    FakeTimeline& timeline_;
};

// The movie view; scrolling to the position shows the row of 50 frames it
// lies in.
class FakeWindow : public MovieWindowHooks {
public:
    explicit FakeWindow(FakePlayer& player) : player_(player) {}
    int32_t GetFirstVisible() const override { return first; }
    void ScrollTo(int32_t f) override { first = f; }
    int32_t GetPage() const override { return page; }
    void SetPage(int32_t p) override { page = p; }
    bool ShowsStoryboard() const override { return storyboard; }
    void Refresh(bool scroll) override {
        ++refreshes;
        if (scroll)
            first = player_.position / 50;
    }
    int32_t first = 0;
    int32_t page = 0;
    bool storyboard = false;
    int refreshes = 0;

private:
    FakePlayer& player_;
};

class FakeAlbum : public AlbumHooks {
public:
    ClipList* GetList() override { return list.get(); }
    int32_t GetPage() const override { return page; }
    void SetPage(int32_t p) override { page = p; }
    int32_t GetItem() const override { return item; }
    void SetItem(int32_t i) override { item = i; }
    void Refresh() override { ++refreshes; }
    void ShowAt(Time time) override { shownAt = time; }
    void ShowAfterStop(Time time) override { shownAfterStop = time; }
    RefPtr<ClipList> list;
    int32_t page = 0;
    int32_t item = 0;
    int refreshes = 0;
    Time shownAt = -1;
    Time shownAfterStop = -1;
};

class FakeToolbox : public ToolboxHooks {
public:
    void Refresh() override { ++refreshes; }
    int KindFilter() const override { return kindFilter; }
    bool IsTrimmerActive() const override { return trimmer; }
    void RefreshTrimmer() override { ++trimmerRefreshes; }
    void ShowAfterStop(Time time) override { shownAfterStop = time; }
    int refreshes = 0;
    int kindFilter = 0;
    bool trimmer = false;
    int trimmerRefreshes = 0;
    Time shownAfterStop = -1;
};

class FakeHint : public HintHooks {
public:
    void ShowHint(const std::string& text) override { hint = text; }
    std::string hint;
};

struct FakeEditor {
    FakeTimeline timeline;
    FakePlayer player{timeline};
    FakeWindow window{player};
    FakeAlbum album;
    FakeToolbox toolbox;
    FakeHint hint;

    void Install() {
        EditorHooks::Install(static_cast<PlayerHooks*>(&player));
        EditorHooks::Install(&window);
        EditorHooks::Install(&timeline);
        EditorHooks::Install(&album);
        EditorHooks::Install(&toolbox);
        EditorHooks::Install(&hint);
    }
};

// Every test runs with a fresh movie, history and editor.
class EditTest : public testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(resources.Load("US", 0, 1024, 768));
        ResourceLibraries::SetCurrent(&resources);
        movie = new Movie;
        movie->MakeCurrent();
        movie->SetView(&editor.player);
        movie->ResetMovie();
        editor.Install();
    }
    void TearDown() override {
        EditorHooks::Reset();
        movie->SetView(nullptr);
        movie = nullptr;
        ResourceLibraries::SetCurrent(nullptr);
        Clipboard::Get().Empty();
    }

    ClipList& List() { return *movie->GetClipList(); }

    // Takes the clips of `built` into the movie and lays them out as the
    // edits leave a movie: repacked until nothing changes any more.
    void Take(ClipList& built) {
        for (auto& c : built.GetClips())
            List().Add(c.get());
        for (int i = 0; i < 4; ++i) {
            RefPtr<ClipList> records = new ClipList;
            List().FixTimes(records.get(), true, false, false);
            if (records->IsEmpty())
                break;
        }
    }

    // Selects (and marks) exactly the clips at these list positions.
    void Select(const std::vector<int32_t>& positions) {
        List().SetSelected(positions);
        List().MarkSelected();
    }
    std::vector<int32_t> Selected() {
        std::vector<int32_t> s;
        List().GetSelectedIndices(s);
        return s;
    }
    std::vector<int32_t> Marked() {
        std::vector<int32_t> s;
        List().GetMarkedIndices(s);
        return s;
    }

    // The movie as the archive writes it into memory.
    Bytes MovieBytes() {
        XMemFile file;
        Archive ar(file, Archive::store);
        ar.SetPurpose(Archive::ownMemory);
        movie->Serialize(ar);
        ar.Close();
        return file.Bytes();
    }

    // The movie as a table, for messages when bytes differ.
    std::string Describe() {
        std::string out = "path " + movie->GetPathName() + " position " +
                          std::to_string(editor.player.position) + "\n";
        char line[160];
        for (auto& c : List().GetClips()) {
            snprintf(line, sizeof line, "%d: kind %d start %d dur %d trim %d flags %08x asset %p\n",
                     c->GetTrack(), c->GetKind(), c->GetStart(), c->GetDuration(),
                     c->GetTrimStart(), c->GetFlags(), static_cast<void*>(c->GetAsset()));
            out += line;
        }
        return out;
    }

    // The bytes the newest checkpoint holds after its command object.
    Bytes UndoData() {
        Checkpoint* c = undoer.PeekUndo();
        if (!c)
            return {};
        XMemFile& f = c->GetFile();
        Archive ar(f, Archive::load);
        ar.SetPurpose(Archive::ownMemory);
        std::unique_ptr<Command> command = Command::ReadFrom(ar);
        uint64_t left = ar.BytesLeft();
        Bytes all = f.Bytes();
        return Bytes(all.end() - static_cast<std::ptrdiff_t>(left), all.end());
    }

    ResourceLibraries resources;
    Undoer undoer;
    FakeEditor editor;
    RefPtr<Movie> movie;
};

} // namespace orvik::test
