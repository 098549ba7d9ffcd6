#pragma once

#include <cstdint>

namespace orvik {

// Movie time: a signed count of timecode frames (30 or 25 per second).
using Time = int32_t;

} // namespace orvik
