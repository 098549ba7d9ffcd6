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
// of every track in one cell, `columns` cells to a row and `rows` rows to a
// page. Cell i lies at column i % columns and row i / columns; in the
// storyboard's own coordinates it covers x from column × kCellWidth up to
// (not including) the next column, and y likewise by rows.
//
// Keys: Home and End select the first and last clip, Left and Right move by
// one clip, Up and Down by a row, Page Up and Page Down by a page, Control+A
// selects every clip; Shift extends from the anchor. A page turn moves the
// first visible cell by a page; a selection scrolls so that its focus is
// visible. The player's part keeps the movie's position: edits show it and
// undo gives it back.
//
// Attach installs the view as the movie's view, the movie window, the
// player's hooks and the navigation hooks; destruction removes it. Used on
// the user-interface thread only.
class HeadlessMovieView : public MovieView,
                          public PlayerHooks,
                          public MovieWindowHooks,
                          public MovieNavigationHooks {
public:
    static constexpr int32_t kCellWidth = 100;
    static constexpr int32_t kCellHeight = 100;
    // The preview id of the movie's own preview item.
    static constexpr int32_t kMoviePreviewId = 816;

    explicit HeadlessMovieView(int32_t columns = 8, int32_t rows = 2);
    ~HeadlessMovieView() override;
    HeadlessMovieView(const HeadlessMovieView&) = delete;
    HeadlessMovieView& operator=(const HeadlessMovieView&) = delete;

    void Attach(Movie* movie);
    void Detach();

    int32_t Columns() const { return columns_; }
    int32_t PageSize() const { return columns_ * rows_; }
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
    void ShowFirst(int32_t first);

    int32_t columns_;
    int32_t rows_;
    RefPtr<Movie> movie_;
    SelectionMap map_;
    Time position_ = 0;
    int32_t first_ = 0;
    int32_t page_ = 0;
};

} // namespace orvik
