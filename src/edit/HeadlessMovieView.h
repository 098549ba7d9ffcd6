#pragma once

#include "edit/EditorHooks.h"
#include "edit/NavigationCommands.h"
#include "edit/SelectionMap.h"
#include "model/MovieView.h"
#include "model/RefPtr.h"

#include <cstdint>

namespace orvik {

class Movie;

// The movie view and preview position of a run without windows (the command
// line, tests): a storyboard of the movie's clips in list order, every clip
// of every track in one cell of a single row, `pageSize` cells to a page.
// In the storyboard's own coordinates cell i covers x from i × kCellWidth up
// to (not including) (i + 1) × kCellWidth and y from 0 up to kCellHeight.
//
// Keys: Home and End select the first and last clip, Left and Up the clip
// before, Right and Down the clip after, Page Up and Page Down move by a
// page, Control+A selects every clip; Shift extends from the anchor. A page
// turn moves the first visible cell by a page (the last page ends with the
// last clip); a selection scrolls so that its focus is visible. The player's
// part keeps the movie's position: edits show it and undo gives it back.
//
// Attach installs the view as the movie's view, the movie window, the
// player's hooks and the navigation hooks; Detach and destruction remove
// what still points at it. Used on the user-interface thread only.
class HeadlessMovieView : public MovieView,
                          public PlayerHooks,
                          public MovieWindowHooks,
                          public MovieNavigationHooks {
public:
    static constexpr int32_t kCellWidth = 100;
    static constexpr int32_t kCellHeight = 100;
    // The preview id of the movie's own preview item.
    static constexpr int32_t kMoviePreviewId = 816;

    explicit HeadlessMovieView(int32_t pageSize = 8);
    ~HeadlessMovieView() override;
    HeadlessMovieView(const HeadlessMovieView&) = delete;
    HeadlessMovieView& operator=(const HeadlessMovieView&) = delete;

    void Attach(Movie* movie);
    void Detach();

    int32_t PageSize() const { return pageSize_; }
    // The storyboard rectangle of cell `position`.
    TrackerRect CellRect(int32_t position) const;
    SelectionMap& Map() { return map_; }

    // MovieView: the position of the movie's preview item.
    Time GetPosition() const override { return position_; }
    void SetPosition(Time time) override { position_ = time; }

    // PlayerHooks: nothing ever plays; the movie's item is the current one.
    Time Stop() override { return position_; }
    PlayerSnapshot GetState() const override;
    void RestoreState(const PlayerSnapshot& state) override;
    void ShowMovieAt(Time time) override;

    // MovieWindowHooks.
    int32_t GetFirstVisible() const override { return first_; }
    void ScrollTo(int32_t first) override { first_ = first; }
    int32_t GetPage() const override { return page_; }
    void SetPage(int32_t page) override { page_ = page; }
    bool ShowsStoryboard() const override { return true; }

    // MovieNavigationHooks.
    Time SelectViaKeyboard(uint32_t key, uint32_t modifiers) override;
    Time SelectViaMouse(int32_t clipPosition, uint32_t keys) override;
    Time SelectViaTrackerRect(const TrackerRect& rect, uint32_t keys) override;
    void NextPage() override;
    void PrevPage() override;
    void Scroll(int32_t position) override;

private:
    ClipList* List();
    int32_t Count();
    // Selects `result` in the movie, scrolls to `focus` and answers the time
    // to show: the focus clip's start, else -1.
    Time Apply(const std::vector<int32_t>& result, int32_t focus);
    // The first cell of the last page.
    int32_t LastFirst();
    // Shows the page that begins with cell `first`.
    void ShowFirst(int32_t first);

    int32_t pageSize_;
    RefPtr<Movie> movie_;
    SelectionMap map_;
    Time position_ = 0;
    int32_t first_ = 0;
    int32_t page_ = 0;
};

} // namespace orvik
