#pragma once

#include <algorithm>

namespace orvik {

// A rectangle in pixels from the top-left: left and top inclusive, right and
// bottom exclusive.
struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;

    constexpr Rect() = default;
    constexpr Rect(int l, int t, int r, int b) : left(l), top(t), right(r), bottom(b) {}

    constexpr int Width() const { return right - left; }
    constexpr int Height() const { return bottom - top; }
    constexpr bool IsEmpty() const { return right <= left || bottom <= top; }
    constexpr bool Contains(int x, int y) const {
        return x >= left && x < right && y >= top && y < bottom;
    }
    // The common part; empty (with left >= right or top >= bottom) when the
    // two do not meet.
    constexpr Rect Intersect(const Rect& o) const {
        return Rect(std::max(left, o.left), std::max(top, o.top), std::min(right, o.right),
                    std::min(bottom, o.bottom));
    }
    constexpr Rect Offset(int dx, int dy) const {
        return Rect(left + dx, top + dy, right + dx, bottom + dy);
    }
    friend constexpr bool operator==(const Rect&, const Rect&) = default;
};

} // namespace orvik
