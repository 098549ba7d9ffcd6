#include "imaging/wipes/DiamondWipe.h"

#include <cstdlib>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(DiamondWipe, Wipe, kVersionableSchema | 1)

int DiamondWipe::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    ForEachPixel(image, [&](int x, int y) {
        int64_t d = std::abs(x - W / 2) + std::abs(y - H / 2) * W / H;
        return Store(65536 - d * 65536 / W);
    });
    return 1;
}

} // namespace orvik
