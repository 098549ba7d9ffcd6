#pragma once

#include "model/RefPtr.h"

#include <cstdint>
#include <vector>

namespace orvik {

class ClipList;

// The companion of a movie view that maps between positions in its clip list
// and positions on the screen, and works out the selection a click, a key or
// a list of clips asks for. A view that shows only some clips of the list
// (a filter) gives the map the list position of each screen position.
//
// The answers are list positions: `result` is what the view selects
// (ascending, without duplicates), `focus` the clip that gets the focus (−1
// for none) and `anchor` the list position of the clip where the last plain
// selection started. Nothing is changed in the list itself. Used on the
// user-interface thread only; rebuilt whenever the view's filter changes.
class SelectionMap {
public:
    // Modifier keys, as the mouse and keyboard messages give them.
    static constexpr uint32_t kShiftKey = 0x0004;
    static constexpr uint32_t kControlKey = 0x0008;

    // The step codes of SelectViaKeyboard.
    enum Step : int32_t {
        kFirstClip = 0,
        kLastClip = 1,
        kBack = 2,
        kForward = 3,
        kPageBack = 4,
        kPageForward = 5,
        kAllClips = 6,
    };

    SelectionMap() = default;
    // Maps every clip of `list` to the screen position equal to its list
    // position.
    explicit SelectionMap(ClipList* list);

    ClipList* GetList() const { return list_.get(); }
    // A new list (or filter) starts without an anchor.
    void SetList(ClipList* list);
    // The screen shows only the clips at these list positions, in this order.
    void SetFilter(std::vector<int32_t> screenToClip);
    void ClearFilter();
    bool IsFiltered() const { return filtered_; }
    // How many positions the screen shows.
    int32_t GetScreenCount() const;

    // The anchor as a screen position (−1: none yet).
    int32_t GetAnchor() const { return anchor_; }
    void SetAnchor(int32_t screenIndex) { anchor_ = screenIndex; }

    int32_t ClipIndexToScreenIndex(int32_t i) const;
    int32_t ScreenIndexToClipIndex(int32_t i) const;

    // A click on the clip at list position `clipIndex`; `alreadySelected`
    // when the view keeps the selection because the press was on a selected
    // clip. False (logged) when there is no such clip: the result is then the
    // current selection and nothing moves.
    bool SelectViaMouseClick(bool alreadySelected, int32_t clipIndex, uint32_t keys,
                             std::vector<int32_t>& result, int32_t& focus, int32_t& anchor);
    // A selection of the clips at these list positions (a rubber band, a
    // search). False (logged) when a position has no clip: the positions
    // before it have been applied, the rest are ignored. With Shift and a
    // non-empty result `focus` is left as the caller gave it.
    bool SelectViaIndexList(const std::vector<int32_t>& indices, uint32_t keys,
                            std::vector<int32_t>& result, int32_t& focus, int32_t& anchor);
    // A key: `step` is one of the step codes, `amount` the positions an arrow
    // moves, `page` those a page key moves; `extend` when Shift is held.
    void SelectViaKeyboard(int32_t page, int32_t amount, int32_t step, bool extend,
                           std::vector<int32_t>& result, int32_t& focus, int32_t& anchor);

private:
    // The selected clips of the list, as list positions.
    std::vector<int32_t> CurrentSelection() const;
    // The selected clips that the screen shows, as screen positions.
    std::vector<int32_t> SelectedScreenPositions() const;
    // Adds the clips of screen positions a..b (either order, clamped).
    void AddScreenRange(std::vector<int32_t>& result, int32_t a, int32_t b) const;
    int32_t ClampScreen(int32_t screenIndex) const;
    int32_t AnchorAnswer() const;

    RefPtr<ClipList> list_;
    bool filtered_ = false;
    int32_t anchor_ = -1;
    std::vector<int32_t> map_;
};

} // namespace orvik
