#include "imaging/wipes/SpiralWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(SpiralWipe, Wipe, kVersionableSchema | 1)

void SpiralWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(mode_);
        ar.WriteInt32(turns_);
        ar.WriteInt32(arms_);
    } else {
        mode_ = ar.ReadInt32();
        turns_ = ClampCount(ar.ReadInt32());
        arms_ = ClampArms(ar.ReadInt32());
    }
}

int SpiralWipe::CreateAlphaDib(Dib& image) {
    const int W = image.Width(), H = image.AbsHeight();
    if (turns_ < 1)
        turns_ = 1;
    const int64_t turns = turns_;
    ForEachPixel(image, [&](int x, int y) -> uint8_t {
        const int dx = x - W / 2, dy = H / 2 - y;
        const int64_t r = Radial(dx, dy);
        const int64_t a = (int64_t{Angle(dx, dy)} * arms_) % 65536;
        int64_t d;
        if (mode_ != 0) {
            d = turns * r + a;
        } else {
            int64_t t = turns * r - a + 65536;
            d = (t - t % 65536 + a) / (turns + 1);
        }
        const int64_t v = 65536 - d;
        if (v >= 65536)
            return 255;
        // Negative values wrap round: that draws the rings.
        const int64_t shifted = v >> 8;
        if (shifted == 0 && noZero_)
            return 1;
        return static_cast<uint8_t>(shifted & 0xFF);
    });
    return 1;
}

void SpiralWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("mode", int64_t{mode_});
    out.Add("turns", int64_t{turns_});
    out.Add("arms", int64_t{arms_});
}

} // namespace orvik
