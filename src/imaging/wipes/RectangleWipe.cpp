#include "imaging/wipes/RectangleWipe.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(RectangleWipe, Wipe, kVersionableSchema | 1)

void RectangleWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(startLeft_);
        ar.WriteInt32(startTop_);
        ar.WriteInt32(startRight_);
        ar.WriteInt32(startBottom_);
        ar.WriteInt32(closing_);
        ar.WriteInt32(code_);
    } else {
        startLeft_ = ClampStart(ar.ReadInt32());
        startTop_ = ClampStart(ar.ReadInt32());
        startRight_ = ClampStart(ar.ReadInt32());
        startBottom_ = ClampStart(ar.ReadInt32());
        closing_ = ar.ReadInt32();
        code_ = ar.ReadInt32();
    }
}

// Rings from the start rectangle out to the frame, one per step: ring k
// (R_k without R_(k-1)) takes 255 - k when opening and k when closing.
int RectangleWipe::CreateAlphaDib(Dib& image) {
    const int W = image.Width(), H = image.AbsHeight();
    const Rect S(startLeft_ * W / 1000, startTop_ * H / 1000, startRight_ * W / 1000,
                 startBottom_ * H / 1000);
    const Rect F(0, 0, W, H);
    const int steps = noZero_ ? 254 : 255;
    // Closing rings of a wipe that must not reach 0 take two steps each.
    const int advance = (closing_ && noZero_) ? 2 : 1;
    auto side = [steps](int s, int f, int k) { return s + (f - s) * k / steps; };
    Rect previous = S;
    for (int k = 0; k <= steps; k += advance) {
        Rect ring(side(S.left, F.left, k), side(S.top, F.top, k), side(S.right, F.right, k),
                  side(S.bottom, F.bottom, k));
        image.FillOutside(static_cast<uint32_t>(closing_ ? k : 255 - k), &ring, &previous);
        previous = ring;
    }
    return 1;
}

void RectangleWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("startLeft", int64_t{startLeft_});
    out.Add("startTop", int64_t{startTop_});
    out.Add("startRight", int64_t{startRight_});
    out.Add("startBottom", int64_t{startBottom_});
    out.Add("closing", int64_t{closing_});
    out.Add("code", int64_t{code_});
}

} // namespace orvik
