#include "imaging/TransitionEffects.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/DibClip.h"
#include "imaging/DibRows.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvik {

namespace {

// 16 bytes at a time in 16-bit lanes: t = (a * (256 - w) + b * w) >> 8 with
// w in 0..256 is exactly a + ((w * (b - a)) >> 8) for w below 256 and b for
// w = 256, and never leaves 16 bits (255 * 256 at most).
using U8x16 = uint8_t __attribute__((vector_size(16)));
using U16x16 = uint16_t __attribute__((vector_size(32)));

// One row of n bytes, per-byte weights. `t` may be `a` or `b`: every block is
// loaded before it is stored.
void BlendBytes(uint8_t* t, const uint8_t* a, const uint8_t* b, const uint16_t* w, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        U8x16 a8, b8;
        U16x16 w16;
        std::memcpy(&a8, a + i, 16);
        std::memcpy(&b8, b + i, 16);
        std::memcpy(&w16, w + i, 32);
        U16x16 A = __builtin_convertvector(a8, U16x16);
        U16x16 B = __builtin_convertvector(b8, U16x16);
        U16x16 r = (A * (256 - w16) + B * w16) >> 8;
        U8x16 out = __builtin_convertvector(r, U8x16);
        std::memcpy(t + i, &out, 16);
    }
    for (; i < n; ++i)
        t[i] = static_cast<uint8_t>((a[i] * (256 - w[i]) + b[i] * w[i]) >> 8);
}

// One row of n bytes with one weight k (1..255) toward the source.
void DissolveBytes(uint8_t* t, const uint8_t* s, uint16_t k, size_t n) {
    size_t i = 0;
    const uint16_t keep = static_cast<uint16_t>(256 - k);
    for (; i + 16 <= n; i += 16) {
        U8x16 t8, s8;
        std::memcpy(&t8, t + i, 16);
        std::memcpy(&s8, s + i, 16);
        U16x16 T = __builtin_convertvector(t8, U16x16);
        U16x16 S = __builtin_convertvector(s8, U16x16);
        U16x16 r = (T * keep + S * k) >> 8;
        U8x16 out = __builtin_convertvector(r, U8x16);
        std::memcpy(t + i, &out, 16);
    }
    for (; i < n; ++i)
        t[i] = static_cast<uint8_t>((t[i] * keep + s[i] * k) >> 8);
}

bool RowImage(const Dib& dib) {
    int bits = dib.BitCount();
    return !dib.IsEmpty() && dib.Bits() && dib.IsUncompressed() &&
           (bits == 8 || bits == 16 || bits == 24 || bits == 32);
}

// The four bands of `outer` outside `inner` within `image`, as
// Dib::FillOutside cuts them; a missing rectangle means the whole image.
void OutsideBands(const Rect& image, const Rect* outer, const Rect* inner, Rect bands[4]) {
    Rect o = outer ? outer->Intersect(image) : image;
    Rect n = inner ? inner->Intersect(image) : image;
    bands[0] = Rect(o.left, o.top, o.right, n.top).Intersect(o);
    bands[1] = Rect(o.left, n.bottom, o.right, o.bottom).Intersect(o);
    bands[2] = Rect(n.right, o.top, o.right, o.bottom).Intersect(o);
    bands[3] = Rect(o.left, o.top, n.left, o.bottom).Intersect(o);
    if (o.IsEmpty())
        for (int i = 0; i < 4; ++i)
            bands[i] = Rect();
}

} // namespace

Rect TransitionEffects::FieldRect(const Rect& r, int field) {
    if (field == 0)
        return r;
    return Rect(r.left, r.top & ~1, r.right, r.bottom & ~1);
}

Point TransitionEffects::FieldPoint(const Point& p, int field) {
    if (field == 0)
        return p;
    return Point(p.x, p.y & ~1);
}

int TransitionEffects::FirstRow(int y, int field) {
    if (field == 0)
        return y;
    int parity = field == 1 ? 0 : 1;
    return (y & 1) == parity ? y : y + 1;
}

int TransitionEffects::DibCopy(const Dib& source, Dib& target, int field, const Rect* targetRect,
                               const Point* sourcePoint) {
    if (!RowImage(source) || !RowImage(target) || source.BitCount() != target.BitCount()) {
        LogMessage("Transition::DibCopy: invalid bitmap format\n");
        return 0;
    }
    Rect tr = FieldRect(targetRect ? *targetRect : Rect(0, 0, target.Width(), target.AbsHeight()),
                        field);
    Point sp = FieldPoint(sourcePoint ? *sourcePoint : Point(), field);
    DibClip clip(target, source, nullptr, &tr, &sp);
    if (clip.IsEmpty())
        return 1;
    DibRows t(target), s(source);
    const int ps = target.PixelSize();
    const size_t bytes = static_cast<size_t>(clip.target.Width()) * ps;
    const ptrdiff_t tx = static_cast<ptrdiff_t>(clip.target.left) * ps;
    const ptrdiff_t sx = static_cast<ptrdiff_t>(clip.source.left) * ps;
    const int dy = clip.source.top - clip.target.top;
    const int step = RowStep(field);
    int first = FirstRow(clip.target.top, field);
    if (first >= clip.target.bottom)
        return 1;
    // Rows of one image moving down are copied bottom first, so that no row
    // is overwritten before it is read.
    if (&source == &target && dy < 0) {
        int last = first + (clip.target.bottom - 1 - first) / step * step;
        for (int y = last; y >= first; y -= step)
            std::memmove(t.Row(y) + tx, s.Row(y + dy) + sx, bytes);
    } else {
        for (int y = first; y < clip.target.bottom; y += step)
            std::memmove(t.Row(y) + tx, s.Row(y + dy) + sx, bytes);
    }
    return 1;
}

int TransitionEffects::FillBlack(Dib& target, int field, const Rect* rect) {
    if (!RowImage(target)) {
        LogMessage("Transition::FillBlack: invalid bitmap format\n");
        return 0;
    }
    Rect image(0, 0, target.Width(), target.AbsHeight());
    Rect r = FieldRect(rect ? *rect : image, field).Intersect(image);
    if (r.IsEmpty())
        return 1;
    DibRows rows(target);
    const int ps = target.PixelSize();
    const size_t bytes = static_cast<size_t>(r.Width()) * ps;
    for (int y = FirstRow(r.top, field); y < r.bottom; y += RowStep(field))
        std::memset(rows.Row(y) + static_cast<ptrdiff_t>(r.left) * ps, 0, bytes);
    return 1;
}

int TransitionEffects::FillBlackOutside(Dib& target, int field, const Rect* outer,
                                        const Rect* inner) {
    Rect image(0, 0, target.Width(), target.AbsHeight());
    Rect o, n;
    if (outer)
        o = FieldRect(*outer, field);
    if (inner)
        n = FieldRect(*inner, field);
    Rect bands[4];
    OutsideBands(image, outer ? &o : nullptr, inner ? &n : nullptr, bands);
    int ok = 1;
    for (const Rect& band : bands)
        if (!band.IsEmpty())
            ok &= FillBlack(target, field, &band);
    return ok;
}

int TransitionEffects::CopyOutside(const Dib& source, Dib& target, int field, const Rect* outer,
                                   const Rect* inner) {
    Rect image(0, 0, target.Width(), target.AbsHeight());
    Rect o, n;
    if (outer)
        o = FieldRect(*outer, field);
    if (inner)
        n = FieldRect(*inner, field);
    Rect bands[4];
    OutsideBands(image, outer ? &o : nullptr, inner ? &n : nullptr, bands);
    int ok = 1;
    for (const Rect& band : bands) {
        if (band.IsEmpty())
            continue;
        Point at(band.left, band.top);
        ok &= DibCopy(source, target, field, &band, &at);
    }
    return ok;
}

int TransitionEffects::Fade(Dib& target, int field, double factor) {
    if (target.IsEmpty() || !target.Bits() || !target.IsUncompressed()) {
        LogMessage("Transition::Fade: invalid bitmap format\n");
        return 0;
    }
    factor = std::clamp(factor, 0.0, 1.0);
    const uint16_t k = static_cast<uint16_t>(factor * 255);
    DibRows rows(target);
    const size_t line = static_cast<size_t>(target.LineSize());
    for (int y = FirstRow(0, field); y < rows.count; y += RowStep(field)) {
        uint8_t* p = rows.Row(y);
        for (size_t i = 0; i < line; ++i)
            p[i] = static_cast<uint8_t>((k * p[i]) >> 8);
    }
    return 1;
}

int TransitionEffects::DibDissolve(const Dib& source, Dib& target, int field, double weight,
                                   const Rect* rect) {
    Rect image(0, 0, target.Width(), target.AbsHeight());
    Rect r = rect ? *rect : image;
    if (r.IsEmpty() || !(weight >= 1.0 / 256))
        return 1;
    if (weight >= 255.0 / 256) {
        Point at(r.left, r.top);
        return DibCopy(source, target, field, &r, &at);
    }
    const int bits = target.BitCount();
    if (!RowImage(source) || !RowImage(target) || source.BitCount() != bits ||
        (bits != 8 && bits != 24 && bits != 32)) {
        LogMessage("DibDissolve unimplemented format\n");
        return 0;
    }
    // The source byte is read at the target's place: clip to both images.
    Rect tr = FieldRect(r, field);
    Point at(tr.left, tr.top);
    DibClip clip(target, source, nullptr, &tr, &at);
    if (clip.IsEmpty())
        return 1;
    const uint16_t k = static_cast<uint16_t>(weight * 255);
    DibRows t(target), s(source);
    const int ps = target.PixelSize();
    const size_t bytes = static_cast<size_t>(clip.target.Width()) * ps;
    const ptrdiff_t x = static_cast<ptrdiff_t>(clip.target.left) * ps;
    for (int y = FirstRow(clip.target.top, field); y < clip.target.bottom; y += RowStep(field))
        DissolveBytes(t.Row(y) + x, s.Row(y) + x, k, bytes);
    return 1;
}

void TransitionEffects::WipeWeights(double progress, bool flip, uint8_t weights[256]) {
    progress = std::clamp(progress, 0.0, 1.0);
    const int s = static_cast<int>(progress * 255);
    const int soft = (s != 0 && s != 255) ? 5 : 0;
    const int lo = std::max(255 - s - soft, 0);
    const int hi = std::min(255 - s + soft, 255);
    for (int i = 0; i < 256; ++i) {
        int v;
        if (s == 255)
            v = 255; // the end: every pixel has turned, pattern bytes of 0 too
        else if (i <= lo)
            v = 0;
        else if (i >= hi)
            v = 255;
        else
            v = (255 * i - 255 * lo) / (hi - lo);
        weights[flip ? 255 - i : i] = static_cast<uint8_t>(v);
    }
}

int TransitionEffects::AlphaWipe(Dib& target, const Dib* a, const Dib* b, int field,
                                 const uint8_t weights[256], const Dib& pattern) {
    const int w = target.Width(), h = target.AbsHeight();
    if (pattern.IsEmpty() || !pattern.Bits() || !pattern.IsUncompressed() ||
        pattern.BitCount() != 8 || pattern.Width() != w || pattern.AbsHeight() != h) {
        LogMessage("Transition::AlphaWipe invalid alpha dib\n");
        return 0;
    }
    const int bits = target.BitCount();
    const int ps = bits / 8;
    if (!RowImage(target) || (bits != 8 && bits != 24 && bits != 32)) {
        for (int y = FirstRow(0, field); y < h; y += RowStep(field))
            LogMessage("Transition:AlphaWipe: invalid bitcount");
        return 0;
    }
    for (const Dib* p : {a, b}) {
        if (p && p != &target &&
            (!RowImage(*p) || p->BitCount() != bits || p->Width() != w || p->AbsHeight() != h)) {
            LogMessage("Transition::AlphaWipe: pictures differ from the target\n");
            return 0;
        }
    }
    // A weight of 255 becomes 256 in the blend, which then yields b exactly.
    uint16_t table[256];
    for (int i = 0; i < 256; ++i)
        table[i] = weights[i] == 255 ? 256 : weights[i];
    const size_t bytes = static_cast<size_t>(w) * ps;
    std::vector<uint8_t> black(bytes, 0);
    std::vector<uint16_t> rowWeights(bytes);
    DibRows t(target), pr(pattern);
    DibRows ar = a ? DibRows(*a) : DibRows(target), br = b ? DibRows(*b) : DibRows(target);
    for (int y = FirstRow(0, field); y < h; y += RowStep(field)) {
        const uint8_t* pat = pr.Row(y);
        uint16_t* rw = rowWeights.data();
        switch (ps) {
        case 1:
            for (int x = 0; x < w; ++x)
                rw[x] = table[pat[x]];
            break;
        case 3:
            for (int x = 0; x < w; ++x)
                rw[3 * x] = rw[3 * x + 1] = rw[3 * x + 2] = table[pat[x]];
            break;
        default:
            for (int x = 0; x < w; ++x)
                rw[4 * x] = rw[4 * x + 1] = rw[4 * x + 2] = rw[4 * x + 3] = table[pat[x]];
            break;
        }
        const uint8_t* ap = a ? ar.Row(y) : black.data();
        const uint8_t* bp = b ? br.Row(y) : black.data();
        BlendBytes(t.Row(y), ap, bp, rw, bytes);
    }
    return 1;
}

} // namespace orvik
