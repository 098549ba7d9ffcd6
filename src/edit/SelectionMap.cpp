#include "edit/SelectionMap.h"

#include "app/DiagnosticsLog.h"
#include "model/ClipList.h"

#include <algorithm>

namespace orvik {

namespace {

void SortUnique(std::vector<int32_t>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

bool Contains(const std::vector<int32_t>& sorted, int32_t i) {
    return std::binary_search(sorted.begin(), sorted.end(), i);
}

void Erase(std::vector<int32_t>& v, int32_t i) {
    v.erase(std::remove(v.begin(), v.end(), i), v.end());
}

} // namespace

SelectionMap::SelectionMap(ClipList* list) : list_(list) {}

void SelectionMap::SetList(ClipList* list) {
    list_ = list;
    filtered_ = false;
    map_.clear();
    anchor_ = -1;
}

void SelectionMap::SetFilter(std::vector<int32_t> screenToClip) {
    filtered_ = true;
    map_ = std::move(screenToClip);
    anchor_ = -1;
}

void SelectionMap::ClearFilter() {
    filtered_ = false;
    map_.clear();
    anchor_ = -1;
}

int32_t SelectionMap::GetScreenCount() const {
    if (filtered_)
        return static_cast<int32_t>(map_.size());
    return list_ ? list_->GetCount() : 0;
}

int32_t SelectionMap::ClipIndexToScreenIndex(int32_t i) const {
    if (i < 0 || !filtered_)
        return i;
    auto it = std::find(map_.begin(), map_.end(), i);
    if (it == map_.end()) {
        LogMessage("SelectionMap::ClipIndexToScreenIndex: unexpected state\n");
        return 0;
    }
    return static_cast<int32_t>(it - map_.begin());
}

int32_t SelectionMap::ScreenIndexToClipIndex(int32_t i) const {
    if (i < 0 || !filtered_)
        return i;
    if (i >= static_cast<int32_t>(map_.size())) {
        // A screen position past the filtered ones maps to no clip at all,
        // never to some other clip.
        LogMessage("SelectionMap::ScreenIndexToClipIndex: unexpected state\n");
        return -1;
    }
    return map_[static_cast<size_t>(i)];
}

std::vector<int32_t> SelectionMap::CurrentSelection() const {
    std::vector<int32_t> selected;
    if (list_)
        list_->GetSelectedIndices(selected);
    SortUnique(selected);
    return selected;
}

std::vector<int32_t> SelectionMap::SelectedScreenPositions() const {
    std::vector<int32_t> screen;
    if (!list_)
        return screen;
    std::vector<int32_t> selected = CurrentSelection();
    if (!filtered_)
        return selected;
    for (size_t s = 0; s < map_.size(); ++s)
        if (Contains(selected, map_[s]))
            screen.push_back(static_cast<int32_t>(s));
    return screen;
}

int32_t SelectionMap::ClampScreen(int32_t screenIndex) const {
    int32_t count = GetScreenCount();
    if (count <= 0)
        return -1;
    return std::clamp(screenIndex, 0, count - 1);
}

void SelectionMap::AddScreenRange(std::vector<int32_t>& result, int32_t a, int32_t b) const {
    a = ClampScreen(a);
    b = ClampScreen(b);
    if (a < 0 || b < 0)
        return;
    if (a > b)
        std::swap(a, b);
    for (int32_t s = a; s <= b; ++s) {
        int32_t clip = ScreenIndexToClipIndex(s);
        if (clip >= 0)
            result.push_back(clip);
    }
}

int32_t SelectionMap::AnchorAnswer() const {
    if (anchor_ < 0 || anchor_ >= GetScreenCount())
        return -1;
    return ScreenIndexToClipIndex(anchor_);
}

bool SelectionMap::SelectViaMouseClick(bool alreadySelected, int32_t clipIndex, uint32_t keys,
                                       std::vector<int32_t>& result, int32_t& focus,
                                       int32_t& anchor) {
    const bool control = (keys & kControlKey) != 0;
    const bool shift = (keys & kShiftKey) != 0;
    Clip* clip = list_ ? list_->GetNth(clipIndex) : nullptr;
    if (!clip) {
        LogMessage("SelectionMap::SelectViaMouseClick: missing clip!\n");
        result = CurrentSelection();
        anchor = AnchorAnswer();
        return false;
    }
    const int32_t screen = ClipIndexToScreenIndex(clipIndex);
    focus = clipIndex;

    result.clear();
    if (control || alreadySelected)
        result = CurrentSelection();
    if (shift) {
        // A range from the anchor; without one the range starts here.
        int32_t from = anchor_ >= 0 ? anchor_ : screen;
        AddScreenRange(result, from, screen);
        if (anchor_ < 0)
            anchor_ = screen;
    } else if (control && clip->IsSelected() && !alreadySelected) {
        Erase(result, clipIndex);
        focus = -1;
    } else {
        result.push_back(clipIndex);
        anchor_ = screen;
    }
    SortUnique(result);
    anchor = AnchorAnswer();
    return true;
}

bool SelectionMap::SelectViaIndexList(const std::vector<int32_t>& indices, uint32_t keys,
                                      std::vector<int32_t>& result, int32_t& focus,
                                      int32_t& anchor) {
    const bool control = (keys & kControlKey) != 0;
    const bool shift = (keys & kShiftKey) != 0;
    bool complete = true;
    std::vector<int32_t> listed;
    for (int32_t i : indices) {
        if (!list_ || !list_->GetNth(i)) {
            LogMessage("SelectionMap::SelectViaIndexList: missing clip!\n");
            complete = false;
            break;
        }
        listed.push_back(i);
    }

    if (control) {
        result = CurrentSelection();
        for (int32_t i : listed) {
            if (Contains(result, i))
                Erase(result, i);
            else
                result.insert(std::upper_bound(result.begin(), result.end(), i), i);
        }
    } else if (shift) {
        result = CurrentSelection();
        result.insert(result.end(), listed.begin(), listed.end());
    } else {
        result = listed;
    }
    SortUnique(result);

    if (result.empty()) {
        focus = -1;
    } else if (!shift && !listed.empty()) {
        focus = listed.front();
        anchor_ = ClipIndexToScreenIndex(listed.front());
    }
    anchor = AnchorAnswer();
    return complete;
}

void SelectionMap::SelectViaKeyboard(int32_t page, int32_t amount, int32_t step, bool extend,
                                     std::vector<int32_t>& result, int32_t& focus,
                                     int32_t& anchor) {
    result.clear();
    const int32_t count = GetScreenCount();
    if (count <= 0) {
        focus = -1;
        anchor = -1;
        return;
    }
    if (step < kFirstClip || step > kAllClips)
        step = kFirstClip;
    if (step == kAllClips) {
        AddScreenRange(result, 0, count - 1);
        SortUnique(result);
        focus = -1;
        anchor = AnchorAnswer();
        return;
    }

    const std::vector<int32_t> selected = SelectedScreenPositions();
    // Without an anchor, or one the list no longer reaches, the selection's
    // first clip (or the first clip) serves.
    if (anchor_ < 0 || anchor_ >= count)
        anchor_ = selected.empty() ? 0 : selected.front();

    const bool back = step == kBack || step == kPageBack;
    const int32_t distance = (step == kBack || step == kForward) ? amount : page;

    int32_t target = 0;
    if (step == kFirstClip) {
        target = 0;
    } else if (step == kLastClip) {
        target = count - 1;
    } else if (selected.empty()) {
        // Nothing selected on the screen: a move selects the clip at the
        // anchor.
        target = anchor_;
    } else {
        int32_t from;
        if (!extend)
            from = back ? selected.front() : selected.back();
        else
            // The end of the selection away from the anchor moves.
            from = (anchor_ - selected.front() >= selected.back() - anchor_) ? selected.front()
                                                                             : selected.back();
        int64_t t = static_cast<int64_t>(from) + (back ? -int64_t{distance} : int64_t{distance});
        target = static_cast<int32_t>(std::clamp<int64_t>(t, 0, count - 1));
    }

    if (extend) {
        AddScreenRange(result, anchor_, target);
    } else {
        AddScreenRange(result, target, target);
        anchor_ = target;
    }
    SortUnique(result);
    focus = ScreenIndexToClipIndex(target);
    anchor = AnchorAnswer();
}

} // namespace orvik
