#include "imaging/wipes/DiagonalWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(DiagonalWipe, Wipe, kVersionableSchema | 1)

void DiagonalWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(corner_);
    else
        corner_ = ar.ReadInt32();
}

int DiagonalWipe::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    ForEachPixel(image, [&](int x, int y) {
        int64_t X = (corner_ & 1) ? W - x : x;
        int64_t Y = y * W / H;
        if (corner_ & 2)
            Y = W - Y;
        return Store(65536 - (X + Y) * 65536 / (2 * W));
    });
    return 1;
}

void DiagonalWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("corner", int64_t{corner_});
}

} // namespace orvik
