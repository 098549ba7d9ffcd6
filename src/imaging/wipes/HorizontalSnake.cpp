#include "imaging/wipes/HorizontalSnake.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(HorizontalSnake, HorizontalStreak, kVersionableSchema | 1)

} // namespace orvik
