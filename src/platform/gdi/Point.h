#pragma once

namespace orvik {

// A point in pixels from the top-left.
struct Point {
    int x = 0, y = 0;

    constexpr Point() = default;
    constexpr Point(int px, int py) : x(px), y(py) {}
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

} // namespace orvik
