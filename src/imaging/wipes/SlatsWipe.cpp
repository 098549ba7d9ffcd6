#include "imaging/wipes/SlatsWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(SlatsWipe, Wipe, kVersionableSchema | 1)

void SlatsWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(count_);
        ar.WriteInt32(invert_);
    } else {
        count_ = ClampCount(ar.ReadInt32());
        invert_ = ar.ReadInt32();
    }
}

int SlatsWipe::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width();
    ForEachPixel(image, [&](int x, int) {
        int64_t v = (int64_t{x} * 65536 * count_ / W) % 65536;
        return Store(invert_ ? v : 65536 - v);
    });
    return 1;
}

void SlatsWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("count", int64_t{count_});
    out.Add("invert", int64_t{invert_});
}

} // namespace orvik
