#include "edit/HeadlessMovieView.h"

#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"

#include <algorithm>

namespace orvik {

HeadlessMovieView::HeadlessMovieView(int32_t pageSize) : pageSize_(std::max(pageSize, 1)) {}

HeadlessMovieView::~HeadlessMovieView() {
    Detach();
}

void HeadlessMovieView::Attach(Movie* movie) {
    Detach();
    movie_ = movie;
    if (movie_) {
        movie_->SetView(this);
        map_.SetList(movie_->GetClipList());
    }
    EditorHooks::Install(static_cast<PlayerHooks*>(this));
    EditorHooks::Install(static_cast<MovieWindowHooks*>(this));
    MovieNavigationHooks::Install(this);
}

void HeadlessMovieView::Detach() {
    // Only what still points here is taken back.
    if (&EditorHooks::Player() == static_cast<PlayerHooks*>(this))
        EditorHooks::Install(static_cast<PlayerHooks*>(nullptr));
    if (&EditorHooks::MovieWindow() == static_cast<MovieWindowHooks*>(this))
        EditorHooks::Install(static_cast<MovieWindowHooks*>(nullptr));
    if (&MovieNavigationHooks::Current() == static_cast<MovieNavigationHooks*>(this))
        MovieNavigationHooks::Install(nullptr);
    if (movie_ && &movie_->View() == static_cast<MovieView*>(this))
        movie_->SetView(nullptr);
    movie_ = nullptr;
    map_.SetList(nullptr);
}

TrackerRect HeadlessMovieView::CellRect(int32_t position) const {
    return {position * kCellWidth, 0, (position + 1) * kCellWidth, kCellHeight};
}

PlayerSnapshot HeadlessMovieView::GetState() const {
    PlayerSnapshot state;
    state.itemId = kMoviePreviewId;
    state.position = position_;
    return state;
}

void HeadlessMovieView::RestoreState(const PlayerSnapshot& state) {
    position_ = state.position;
}

void HeadlessMovieView::ShowMovieAt(Time time) {
    if (time >= 0)
        position_ = time;
}

ClipList* HeadlessMovieView::List() {
    ClipList* list = movie_ ? movie_->GetClipList() : nullptr;
    if (map_.GetList() != list)
        map_.SetList(list);
    return list;
}

int32_t HeadlessMovieView::Count() {
    ClipList* list = List();
    return list ? list->GetCount() : 0;
}

void HeadlessMovieView::ShowFirst(int32_t first) {
    first_ = first;
    page_ = first / PageSize();
}

Time HeadlessMovieView::Apply(const std::vector<int32_t>& result, int32_t focus) {
    ClipList* list = List();
    if (!list)
        return -1;
    list->SetSelected(result);
    list->MarkSelected();
    list->Notify();
    Clip* clip = list->GetNth(focus);
    if (!clip)
        return -1;
    // Scroll just far enough for the focus cell to be shown.
    if (focus < first_)
        ShowFirst(focus);
    else if (focus >= first_ + PageSize())
        ShowFirst(focus - PageSize() + 1);
    return clip->GetStart();
}

Time HeadlessMovieView::SelectViaKeyboard(uint32_t key, uint32_t modifiers) {
    if (!List())
        return -1;
    const bool extend = (modifiers & SelectionMap::kShiftKey) != 0;
    int32_t step = 0;
    switch (key) {
    case kKeyHome:
        step = SelectionMap::kFirstClip;
        break;
    case kKeyEnd:
        step = SelectionMap::kLastClip;
        break;
    case kKeyLeft:
    case kKeyUp:
        step = SelectionMap::kBack;
        break;
    case kKeyRight:
    case kKeyDown:
        step = SelectionMap::kForward;
        break;
    case kKeyPageUp:
        step = SelectionMap::kPageBack;
        break;
    case kKeyPageDown:
        step = SelectionMap::kPageForward;
        break;
    case kKeyA:
        if (!(modifiers & SelectionMap::kControlKey))
            return -1;
        step = SelectionMap::kAllClips;
        break;
    default:
        return -1; // not a key of the storyboard
    }
    std::vector<int32_t> result;
    int32_t focus = -1, anchor = -1;
    map_.SelectViaKeyboard(PageSize(), 1, step, extend, result, focus, anchor);
    return Apply(result, focus);
}

Time HeadlessMovieView::SelectViaMouse(int32_t clipPosition, uint32_t keys) {
    if (!List())
        return -1;
    std::vector<int32_t> result;
    int32_t focus = -1, anchor = -1;
    if (!map_.SelectViaMouseClick(false, clipPosition, keys, result, focus, anchor))
        return -1;
    return Apply(result, focus);
}

Time HeadlessMovieView::SelectViaTrackerRect(const TrackerRect& rect, uint32_t keys) {
    if (!List())
        return -1;
    int32_t left = std::min(rect.left, rect.right), right = std::max(rect.left, rect.right);
    int32_t top = std::min(rect.top, rect.bottom), bottom = std::max(rect.top, rect.bottom);
    std::vector<int32_t> inside;
    int32_t count = Count();
    for (int32_t i = 0; i < count; ++i) {
        TrackerRect cell = CellRect(i);
        if (cell.left < right && left < cell.right && cell.top < bottom && top < cell.bottom)
            inside.push_back(i);
    }
    std::vector<int32_t> result;
    int32_t focus = -1, anchor = -1;
    map_.SelectViaIndexList(inside, keys, result, focus, anchor);
    return Apply(result, focus);
}

int32_t HeadlessMovieView::LastFirst() {
    return std::max(0, Count() - PageSize());
}

void HeadlessMovieView::NextPage() {
    ShowFirst(std::clamp(first_ + PageSize(), 0, LastFirst()));
}

void HeadlessMovieView::PrevPage() {
    ShowFirst(std::clamp(first_ - PageSize(), 0, LastFirst()));
}

void HeadlessMovieView::Scroll(int32_t position) {
    ShowFirst(std::clamp(position, 0, LastFirst()));
}

} // namespace orvik
