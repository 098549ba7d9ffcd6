#include "imaging/wipes/ClockWipe.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(ClockWipe, Wipe, kVersionableSchema | 1)

int ClockWipe::CreateAlphaDib(Dib& image) {
    const int W = image.Width(), H = image.AbsHeight();
    ForEachPixel(image, [&](int x, int y) { return Store(65536 - Angle(x - W / 2, H / 2 - y)); });
    return 1;
}

} // namespace orvik
