#include "imaging/wipes/BlindsWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(BlindsWipe, Wipe, kVersionableSchema | 1)

void BlindsWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(count_);
        ar.WriteInt32(invert_);
    } else {
        count_ = ClampCount(ar.ReadInt32());
        invert_ = ar.ReadInt32();
    }
}

int BlindsWipe::CreateAlphaDib(Dib& image) {
    const int64_t H = image.AbsHeight();
    ForEachPixel(image, [&](int, int y) {
        int64_t v = (int64_t{y} * count_ * 65536 / H) % 65536;
        return Store(invert_ ? 65536 - v : v);
    });
    return 1;
}

void BlindsWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("count", int64_t{count_});
    out.Add("invert", int64_t{invert_});
}

} // namespace orvik
