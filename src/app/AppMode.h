#pragma once

#include <cstdint>

namespace orvik {

// The three modes of the application. Stored as 32-bit integers everywhere:
// the "Mode" setting and the undo data of SetModeCommand.
enum class AppMode : int32_t { capture = 0, edit = 1, makeMovie = 2 };

} // namespace orvik
