#include "imaging/wipes/CircleWipe.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(CircleWipe, Wipe, kVersionableSchema | 1)

int CircleWipe::CreateAlphaDib(Dib& image) {
    const int W = image.Width(), H = image.AbsHeight();
    ForEachPixel(image, [&](int x, int y) { return Store(65536 - Radial(x - W / 2, H / 2 - y)); });
    return 1;
}

} // namespace orvik
