#include "imaging/TransitionEffects.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/DibClip.h"
#include "imaging/DibRows.h"
#include "imaging/ExpandedPattern.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace orvik {

namespace {

// Rows are blended 64 bytes at a time. A blend t = (a * (256 - w) + b * w)
// >> 8 with w in 0..256 is exactly a + ((w * (b - a)) >> 8) for w below 256
// and b for w = 256; its sum is at most 255 * 256, so it is computed as
// (a << 8) + (b - a) * w in 16-bit lanes that wrap (the wrapped value is the
// true one). The bytes stay in place: each 16-bit lane holds an even byte
// (low) and an odd one (high); both are blended in the lane, and the result
// is the high byte of each sum. The row kernels are built for AVX-512, AVX2
// and the baseline; the widest the processor has runs.
using U8x64 = uint8_t __attribute__((vector_size(64)));
using I8x64 = int8_t __attribute__((vector_size(64)));
using U16x32 = uint16_t __attribute__((vector_size(64)));
constexpr size_t kBlock = 64;

std::atomic<bool> baselineOnly{false};

// 0 baseline, 1 AVX2, 2 AVX-512 with byte and word instructions.
int KernelLevel() {
    static const int level = __builtin_cpu_supports("avx512bw") ? 2
                             : __builtin_cpu_supports("avx2")   ? 1
                                                                : 0;
    return baselineOnly.load(std::memory_order_relaxed) ? 0 : level;
}

// Whether every lane of a comparison result is set.
__attribute__((always_inline)) inline bool AllSet(const I8x64& mask) {
    uint64_t q[8];
    std::memcpy(q, &mask, kBlock);
    return (q[0] & q[1] & q[2] & q[3] & q[4] & q[5] & q[6] & q[7]) == ~uint64_t{0};
}

// Blends 64 bytes of a and b by the weights of the even (we) and odd (wo)
// bytes, each 0..256.
// (Vectors by reference: passed by value they would take the ABI of the
// widest kernel.)
__attribute__((always_inline)) inline void Blend(U16x32& out, const U16x32& A, const U16x32& B,
                                                 const U16x32& we, const U16x32& wo) {
    const U16x32 low = U16x32{} + 0x00FF, high = U16x32{} + 0xFF00;
    U16x32 even = (A << 8) + ((B & low) - (A & low)) * we;
    U16x32 odd = (A & high) + ((B >> 8) - (A >> 8)) * wo;
    out = (even >> 8) | (odd & high);
}

// One row of n bytes moved toward the source by k (1..255) / 256.
__attribute__((always_inline)) inline void DissolveRowBody(uint8_t* t, const uint8_t* s,
                                                           uint16_t k, size_t n) {
    const uint16_t keep = static_cast<uint16_t>(256 - k);
    const U16x32 K = U16x32{} + k;
    size_t i = 0;
    for (; i + kBlock <= n; i += kBlock) {
        U16x32 T, S;
        std::memcpy(&T, t + i, kBlock);
        std::memcpy(&S, s + i, kBlock);
        U16x32 out;
        Blend(out, T, S, K, K);
        std::memcpy(t + i, &out, kBlock);
    }
    for (; i < n; ++i)
        t[i] = static_cast<uint8_t>((t[i] * keep + s[i] * k) >> 8);
}

// How a pattern wipe weighs the pattern bytes at one progress (see
// TransitionEffects::WipeWeights): 0 up to lo, 255 from hi, a ramp between.
struct WipeRamp {
    int s = 0, lo = 0, hi = 0;
    explicit WipeRamp(double progress) {
        progress = std::clamp(progress, 0.0, 1.0);
        s = static_cast<int>(progress * 255);
        const int soft = (s != 0 && s != 255) ? 5 : 0;
        lo = std::max(255 - s - soft, 0);
        hi = std::min(255 - s + soft, 255);
    }
    int Value(int i) const {
        if (s == 255)
            return 255; // the end: every pixel has turned, pattern bytes of 0 too
        if (i <= lo)
            return 0;
        if (i >= hi)
            return 255;
        return (255 * i - 255 * lo) / (hi - lo);
    }
};

// What one row of a pattern wipe needs besides its pointers.
struct WipeRowParams {
    uint8_t flip;      // 0xFF to turn the pattern round, else 0
    uint8_t lo;        // pattern bytes (after turning) up to lo weigh 0
    uint8_t span;      // hi - lo: from lo + span on they weigh 255
    uint16_t multiplier; // the weight of lo + d below lo + span is
    uint8_t shift;       // (d * multiplier) >> shift
    bool targetIsA;    // blocks of weight 0 are already in place
    bool targetIsB;    // blocks of weight 255 are already in place
    bool blockChecks;  // look for blocks wholly on one side of the edge
    uint16_t table[256]; // per pattern byte, with 255 as 256 (row ends)
};

// One row of n bytes: `e` holds the pattern byte of every byte. With block
// checks, blocks whose bytes all weigh 0 or all 255 are copied (or left, when
// the target already holds them); the others are blended.
__attribute__((always_inline)) inline void WipeRowBody(uint8_t* t, const uint8_t* a,
                                                       const uint8_t* b, const uint8_t* e,
                                                       size_t n, const WipeRowParams& p) {
    size_t i = 0;
    const U8x64 flip = U8x64{} + p.flip, lo = U8x64{} + p.lo, span = U8x64{} + p.span;
    for (; i + kBlock <= n; i += kBlock) {
        U8x64 v;
        std::memcpy(&v, e + i, kBlock);
        v ^= flip;
        U8x64 d = v > lo ? v - lo : U8x64{};
        if (p.blockChecks) {
            if (AllSet(d >= span)) {
                if (!p.targetIsB)
                    std::memcpy(t + i, b + i, kBlock);
                continue;
            }
            if (AllSet(d == U8x64{})) {
                if (!p.targetIsA)
                    std::memcpy(t + i, a + i, kBlock);
                continue;
            }
        }
        // Weights of the even and odd bytes: 0 at d = 0, 255 d / span on the
        // ramp (as (d * multiplier) >> shift, exact for d below span), all of
        // b (256) from span on.
        U16x32 dd;
        std::memcpy(&dd, &d, kBlock);
        const U16x32 de = dd & 0x00FF, dodd = dd >> 8, span16 = U16x32{} + p.span;
        U16x32 we = (de * p.multiplier) >> p.shift, wo = (dodd * p.multiplier) >> p.shift;
        we = de >= span16 ? U16x32{} + 256 : we;
        wo = dodd >= span16 ? U16x32{} + 256 : wo;
        U16x32 A, B;
        std::memcpy(&A, a + i, kBlock);
        std::memcpy(&B, b + i, kBlock);
        U16x32 out;
        Blend(out, A, B, we, wo);
        std::memcpy(t + i, &out, kBlock);
    }
    for (; i < n; ++i) {
        const uint16_t w = p.table[e[i]];
        t[i] = static_cast<uint8_t>((a[i] * (256 - w) + b[i] * w) >> 8);
    }
}

__attribute__((target("avx2"))) void DissolveRowAvx2(uint8_t* t, const uint8_t* s, uint16_t k,
                                                       size_t n) {
    DissolveRowBody(t, s, k, n);
}
void DissolveRowBaseline(uint8_t* t, const uint8_t* s, uint16_t k, size_t n) {
    DissolveRowBody(t, s, k, n);
}
__attribute__((target("avx512bw"))) void DissolveRowAvx512(uint8_t* t, const uint8_t* s,
                                                           uint16_t k, size_t n) {
    DissolveRowBody(t, s, k, n);
}
void DissolveRow(uint8_t* t, const uint8_t* s, uint16_t k, size_t n) {
    switch (KernelLevel()) {
    case 2: return DissolveRowAvx512(t, s, k, n);
    case 1: return DissolveRowAvx2(t, s, k, n);
    default: return DissolveRowBaseline(t, s, k, n);
    }
}

__attribute__((target("avx2"))) void WipeRowAvx2(uint8_t* t, const uint8_t* a, const uint8_t* b,
                                                   const uint8_t* e, size_t n,
                                                   const WipeRowParams& p) {
    WipeRowBody(t, a, b, e, n, p);
}
void WipeRowBaseline(uint8_t* t, const uint8_t* a, const uint8_t* b, const uint8_t* e, size_t n,
                     const WipeRowParams& p) {
    WipeRowBody(t, a, b, e, n, p);
}
__attribute__((target("avx512bw"))) void WipeRowAvx512(uint8_t* t, const uint8_t* a,
                                                       const uint8_t* b, const uint8_t* e,
                                                       size_t n, const WipeRowParams& p) {
    WipeRowBody(t, a, b, e, n, p);
}
void WipeRow(uint8_t* t, const uint8_t* a, const uint8_t* b, const uint8_t* e, size_t n,
             const WipeRowParams& p) {
    switch (KernelLevel()) {
    case 2: return WipeRowAvx512(t, a, b, e, n, p);
    case 1: return WipeRowAvx2(t, a, b, e, n, p);
    default: return WipeRowBaseline(t, a, b, e, n, p);
    }
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

void TransitionEffects::UseBaselineKernels(bool on) { baselineOnly.store(on); }

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
        DissolveRow(t.Row(y) + x, s.Row(y) + x, k, bytes);
    return 1;
}

void TransitionEffects::WipeWeights(double progress, bool flip, uint8_t weights[256]) {
    const WipeRamp ramp(progress);
    for (int i = 0; i < 256; ++i)
        weights[flip ? 255 - i : i] = static_cast<uint8_t>(ramp.Value(i));
}

int TransitionEffects::AlphaWipe(Dib& target, const Dib* a, const Dib* b, int field,
                                 double progress, bool flip, const Dib& pattern,
                                 const ExpandedPattern* expanded) {
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
    const WipeRamp ramp(progress);
    WipeRowParams params;
    uint8_t weights[256];
    WipeWeights(progress, flip, weights);
    for (int i = 0; i < 256; ++i)
        params.table[i] = weights[i] == 255 ? 256 : weights[i];
    params.flip = flip ? 0xFF : 0;
    if (ramp.s == 0 || ramp.s == 255) {
        // No ramp: every byte weighs the same, 0 or 255.
        params.lo = ramp.s == 0 ? 255 : 0;
        params.span = ramp.s == 0 ? 255 : 0;
    } else {
        params.lo = static_cast<uint8_t>(ramp.lo);
        params.span = static_cast<uint8_t>(ramp.hi - ramp.lo);
    }
    // floor(255 d / span) for 1 <= d < span as (d * multiplier) >> shift,
    // found by search for each span the ramp can have (6 to 10, and 5).
    static constexpr uint16_t kMultiplier[11] = {0, 0, 0, 0, 0, 51, 85, 583, 255, 907, 51};
    static constexpr uint8_t kShift[11] = {0, 0, 0, 0, 0, 0, 1, 4, 3, 5, 1};
    const int span = params.span <= 10 ? params.span : 0;
    params.multiplier = kMultiplier[span];
    params.shift = kShift[span];
    params.targetIsA = a == &target;
    params.targetIsB = b == &target;

    const size_t bytes = static_cast<size_t>(w) * ps;
    std::vector<uint8_t> black(a && b ? 0 : bytes, 0);
    if (expanded && (expanded->PixelBytes() != ps || expanded->Width() != w ||
                     expanded->Height() != h))
        expanded = nullptr;
    std::vector<uint8_t> scratch(ps == 1 || expanded ? 0 : bytes);
    DibRows t(target), pr(pattern);
    DibRows ar = a ? DibRows(*a) : DibRows(target), br = b ? DibRows(*b) : DibRows(target);
    // A chunk of the expanded pattern lies wholly before the edge (weight 0)
    // when its highest byte, turned, is at most lo, wholly after it (255)
    // when its lowest is at least lo + span.
    enum { before, after, across };
    auto classOf = [&](uint8_t lowest, uint8_t highest) {
        int low = flip ? 255 - highest : lowest, high = flip ? 255 - lowest : highest;
        if (low >= params.lo + params.span)
            return after;
        return high <= params.lo ? before : across;
    };
    for (int y = FirstRow(0, field); y < h; y += RowStep(field)) {
        uint8_t* tp = t.Row(y);
        const uint8_t* ap = a ? ar.Row(y) : black.data();
        const uint8_t* bp = b ? br.Row(y) : black.data();
        if (!expanded) {
            const uint8_t* e = pr.Row(y);
            if (ps != 1) {
                for (int x = 0; x < w; ++x)
                    std::memset(scratch.data() + static_cast<size_t>(x) * ps, e[x], ps);
                e = scratch.data();
            }
            params.blockChecks = true;
            WipeRow(tp, ap, bp, e, bytes, params);
            continue;
        }
        const uint8_t* e = expanded->Row(y);
        const uint8_t* lowest = expanded->Lowest(y);
        const uint8_t* highest = expanded->Highest(y);
        const size_t chunks = expanded->ChunksPerRow();
        for (size_t c = 0; c < chunks;) {
            const int kind = classOf(lowest[c], highest[c]);
            size_t end = c + 1;
            while (end < chunks && classOf(lowest[end], highest[end]) == kind)
                ++end;
            const size_t from = c * ExpandedPattern::kChunk;
            const size_t to = std::min(bytes, end * ExpandedPattern::kChunk);
            if (kind == before) {
                if (!params.targetIsA)
                    std::memcpy(tp + from, ap + from, to - from);
            } else if (kind == after) {
                if (!params.targetIsB)
                    std::memcpy(tp + from, bp + from, to - from);
            } else {
                // The chunks straddle the edge: no block check pays here.
                params.blockChecks = false;
                WipeRow(tp + from, ap + from, bp + from, e + from, to - from, params);
            }
            c = end;
        }
    }
    return 1;
}

} // namespace orvik
