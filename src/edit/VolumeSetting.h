#pragma once

#include "model/Time.h"

#include <cstdint>

namespace orvik {

// One point of a volume envelope: a loudness level at a time. Levels run from
// 0 (silence) through 500 (unchanged) to 1000 (the top of the scale).
class VolumeSetting {
public:
    static constexpr int32_t kDefaultLevel = 500;
    static constexpr int32_t kMaxLevel = 1000;
    // Passed as the level, stands for "the default level".
    static constexpr int32_t kDefaultMarker = 123456;

    VolumeSetting() = default;
    VolumeSetting(int32_t level, Time time)
        : level(level == kDefaultMarker ? kDefaultLevel : level), time(time) {}

    bool operator==(const VolumeSetting& other) const {
        return level == other.level && time == other.time;
    }
    bool operator!=(const VolumeSetting& other) const { return !(*this == other); }

    int32_t level = kDefaultLevel;
    // Relative to the clip's start in a clip envelope; movie time in a track
    // envelope.
    Time time = 0;
};

} // namespace orvik
