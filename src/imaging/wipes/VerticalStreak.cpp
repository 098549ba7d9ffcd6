#include "imaging/wipes/VerticalStreak.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(VerticalStreak, Wipe, kVersionableSchema | 1)

void VerticalStreak::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(bands_);
        ar.WriteInt32(flags_);
    } else {
        bands_ = ClampCount(ar.ReadInt32());
        flags_ = ar.ReadInt32();
    }
}

int VerticalStreak::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    const bool alternate = Alternates();
    ForEachPixel(image, [&](int x, int y) {
        int64_t t = (flags_ & 1) ? W - x : x;
        int64_t band = t * bands_ / W;
        int64_t s = (flags_ & 2) ? H - y : y;
        if (alternate && (band & 1))
            s = H - s;
        return Store((s + band * H) * 65536 / (bands_ * H));
    });
    return 1;
}

void VerticalStreak::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("bands", int64_t{bands_});
    out.Add("flags", int64_t{flags_});
}

} // namespace orvik
