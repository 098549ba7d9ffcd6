#include "imaging/wipes/HorizontalStreak.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(HorizontalStreak, Wipe, kVersionableSchema | 1)

void HorizontalStreak::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(bands_);
        ar.WriteInt32(flags_);
    } else {
        bands_ = ClampCount(ar.ReadInt32());
        flags_ = ar.ReadInt32();
    }
}

int HorizontalStreak::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    const bool alternate = Alternates();
    ForEachPixel(image, [&](int x, int y) {
        int64_t s = (flags_ & 2) ? H - y : y;
        int64_t band = s * bands_ / H;
        int64_t t = (flags_ & 1) ? W - x : x;
        if (alternate && (band & 1))
            t = W - t;
        return Store((t + band * W) * 65536 / (bands_ * W));
    });
    return 1;
}

void HorizontalStreak::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("bands", int64_t{bands_});
    out.Add("flags", int64_t{flags_});
}

} // namespace orvik
