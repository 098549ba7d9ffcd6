#include "imaging/wipes/VerticalSnake.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(VerticalSnake, VerticalStreak, kVersionableSchema | 1)

} // namespace orvik
