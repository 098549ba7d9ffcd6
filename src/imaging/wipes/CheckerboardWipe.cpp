#include "imaging/wipes/CheckerboardWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(CheckerboardWipe, Wipe, kVersionableSchema | 1)

void CheckerboardWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(columns_);
        ar.WriteInt32(rows_);
        ar.WriteInt32(flags_);
    } else {
        columns_ = ClampCount(ar.ReadInt32());
        rows_ = ClampCount(ar.ReadInt32());
        flags_ = ar.ReadInt32();
    }
}

int CheckerboardWipe::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    ForEachPixel(image, [&](int x, int y) {
        int64_t f, g;
        if (flags_ & 2) {
            f = (y * rows_ / H) % 256;
            g = (int64_t{x} * 65536 * columns_ / (2 * W)) % 65536;
        } else {
            f = (x * columns_ / W) % 256;
            g = (int64_t{y} * 65536 * rows_ / (2 * H)) % 65536;
        }
        int64_t v = (g + f * 32768) % 65536;
        return Store((flags_ & 1) ? 65536 - v : v);
    });
    return 1;
}

void CheckerboardWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("columns", int64_t{columns_});
    out.Add("rows", int64_t{rows_});
    out.Add("flags", int64_t{flags_});
}

} // namespace orvik
