// Transition: mixing two pictures, field by field.
#include "model/Transition.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/TransitionEffects.h"
#include "model/Clip.h"

#include <algorithm>
#include <utility>

namespace orvik {

namespace {

using FX = TransitionEffects;

bool SameShape(const Dib& p, const Dib& target) {
    return p.Width() == target.Width() && p.AbsHeight() == target.AbsHeight() &&
           p.BitCount() == target.BitCount() && p.IsUncompressed() && p.Bits() != nullptr;
}

// The picture as the effects read it: itself when it has the target's size
// and depth, else a copy of the target's shape with the picture in its
// top-left corner (clipped, depth converted) and black around it. Null when
// the picture cannot be converted; the effect then treats it as missing.
Dib* Conform(Dib* picture, const Dib& target, RefPtr<Dib>& holder) {
    if (!picture || picture == &target || SameShape(*picture, target))
        return picture;
    holder = new Dib;
    const int w = target.Width(), h = target.AbsHeight(), bits = target.BitCount();
    if (picture->IsEmpty() || !holder->Create(w, h, bits)) {
        LogMessage("Transition::Mix: cannot convert a picture to the target's format\n");
        holder = nullptr;
        return nullptr;
    }
    if (bits <= 8)
        holder->CopyColorTable(target);
    holder->Set(0);
    if (bits == 32 && picture->BitCount() != 32) {
        // Converted pixels are opaque; the margins stay transparent black.
        Rect covered(0, 0, std::min(w, picture->Width()), std::min(h, picture->AbsHeight()));
        holder->Set(0xFF000000u, &covered);
    }
    if (!holder->Copy(*picture)) {
        LogMessage("Transition::Mix: cannot convert a picture to the target's format\n");
        holder = nullptr;
        return nullptr;
    }
    return holder.get();
}

} // namespace

int32_t Transition::MirrorKind(int32_t kind) {
    switch (kind) {
    case effectSlideFromRight: return effectSlideFromLeft;
    case effectSlideFromLeft: return effectSlideFromRight;
    case effectSlideFromBottom: return effectSlideFromTop;
    case effectSlideFromTop: return effectSlideFromBottom;
    case effectCornerBottomRight: return effectCornerTopLeft;
    case effectCornerTopLeft: return effectCornerBottomRight;
    case effectCornerBottomLeft: return effectCornerTopRight;
    case effectCornerTopRight: return effectCornerBottomLeft;
    case effectPushLeft: return effectPushRight;
    case effectPushRight: return effectPushLeft;
    case effectPushUp: return effectPushDown;
    case effectPushDown: return effectPushUp;
    case effectEdgeFromRight: return effectEdgeFromLeft;
    case effectEdgeFromLeft: return effectEdgeFromRight;
    case effectEdgeFromBottom: return effectEdgeFromTop;
    case effectEdgeFromTop: return effectEdgeFromBottom;
    default: return kind;
    }
}

RefPtr<Dib> Transition::MakePattern(int, int, double) { return nullptr; }

RefPtr<Dib> Transition::GetPattern(int width, int height, double scale) {
    return patternCache_.Get(width, height, scale, [this](int w, int h, double s) {
        return MakePattern(w, h, s);
    });
}

int Transition::Mix(const Clip* clip, Dib* target, Dib* a, Dib* b, int fieldMode, double p1,
                    double p2) {
    if (!clip || !target || target->IsEmpty()) {
        LogMessage("Transition::Mix: no clip or target\n");
        return 0;
    }
    if (fieldMode != wholeFrames && fieldMode != upperFieldFirst && fieldMode != lowerFieldFirst)
        return 1;
    RefPtr<Dib> heldA, heldB;
    a = Conform(a, *target, heldA);
    b = Conform(b, *target, heldB);
    switch (fieldMode) {
    case wholeFrames: return EffectPass(clip, target, a, b, 0, (p1 + p2) / 2);
    case upperFieldFirst:
        return EffectPass(clip, target, a, b, 1, p1) & EffectPass(clip, target, a, b, 2, p2);
    default: return EffectPass(clip, target, a, b, 2, p1) & EffectPass(clip, target, a, b, 1, p2);
    }
}

int Transition::EffectPass(const Clip* clip, Dib* target, Dib* a, Dib* b, int f, double p) {
    int32_t kind = effect_;
    if (kind == effectFade) {
        if (clip->IsFadeIn()) {
            if (!b)
                return FX::FillBlack(*target, f);
            if (target != b && !FX::DibCopy(*b, *target, f))
                return 0;
            return FX::Fade(*target, f, p);
        }
        if (clip->IsFadeOut()) {
            if (!a)
                return FX::FillBlack(*target, f);
            if (target != a && !FX::DibCopy(*a, *target, f))
                return 0;
            return FX::Fade(*target, f, 1 - p);
        }
        if ((p <= 0.5 && !a) || (p >= 0.5 && !b))
            return FX::FillBlack(*target, f);
        if (p > 0.5) {
            if (target != b && !FX::DibCopy(*b, *target, f))
                return 0;
            return FX::Fade(*target, f, (p - 0.5) * 2);
        }
        if (target != a && !FX::DibCopy(*a, *target, f))
            return 0;
        return FX::Fade(*target, f, 1 - 2 * p);
    }
    if (clip->IsTransitionAtEnd()) {
        kind = MirrorKind(kind);
        p = 1 - p;
        std::swap(a, b);
    }
    const bool mainTrack = clip->GetTrack() == 0;
    switch (kind) {
    case effectCut: return 1;
    case effectDissolve:
        if (b) {
            if (!a) {
                if (target != b && !FX::DibCopy(*b, *target, f))
                    return 0;
                return FX::Fade(*target, f, p);
            }
            if (target == b)
                return FX::DibDissolve(*a, *target, f, 1 - p);
            if (target == a)
                return FX::DibDissolve(*b, *target, f, p);
            if (!FX::DibCopy(*b, *target, f))
                return 0;
            return FX::DibDissolve(*a, *target, f, 1 - p);
        }
        if (a) {
            if (target != a && !FX::DibCopy(*a, *target, f))
                return 0;
            return FX::Fade(*target, f, 1 - p);
        }
        return FX::FillBlack(*target, f);
    case effectWipe: return WipePass(clip, target, a, b, f, p);
    case effectCornerBottomRight:
    case effectCornerBottomLeft:
    case effectCornerTopRight:
    case effectCornerTopLeft: return CornerCopy(kind, mainTrack, target, a, b, f, p);
    default:
        if (kind >= effectSlideFromRight && kind < effectKindCount)
            return TwoRegionCopy(kind, mainTrack, target, a, b, f, p);
        LogMessage("Transition::Mix:: unknown effect\n");
        return 0;
    }
}

int Transition::TwoRegionCopy(int32_t kind, bool mainTrack, Dib* target, Dib* a, Dib* b, int f,
                              double p) {
    const int W = target->Width(), H = target->AbsHeight();
    p = std::clamp(p, 0.0, 1.0);
    // The split: from the right or bottom edge for kinds that bring B in
    // from there, from the left or top for the others.
    const bool horizontal = kind == effectSlideFromRight || kind == effectSlideFromLeft ||
                            kind == effectPushLeft || kind == effectPushRight ||
                            kind == effectEdgeFromRight || kind == effectEdgeFromLeft;
    const bool fromFar = kind == effectSlideFromRight || kind == effectSlideFromBottom ||
                         kind == effectPushLeft || kind == effectPushUp ||
                         kind == effectEdgeFromRight || kind == effectEdgeFromBottom;
    const int size = horizontal ? W : H;
    const int c = static_cast<int>(size * (fromFar ? 1 - p : p));

    Rect aRect, bRect;
    Point aFrom, bFrom;
    // Regions: a before the split for the far kinds, after it for the near
    // ones; the points are where each region's picture is read from.
    auto split = [&](int lo, int hi, bool first) {
        return horizontal ? (first ? Rect(0, 0, lo, H) : Rect(lo, 0, hi, H))
                          : (first ? Rect(0, 0, W, lo) : Rect(0, lo, W, hi));
    };
    auto at = [&](int v) { return horizontal ? Point(v, 0) : Point(0, v); };
    if (fromFar) {
        aRect = split(c, size, true);
        bRect = split(c, size, false);
    } else {
        aRect = split(c, size, false);
        bRect = split(c, size, true);
    }
    switch (kind) {
    case effectSlideFromRight:
    case effectSlideFromBottom:
        aFrom = mainTrack ? at(size - c) : at(0);
        bFrom = mainTrack ? at(c) : at(0);
        break;
    case effectSlideFromLeft:
    case effectSlideFromTop:
        aFrom = mainTrack ? at(0) : at(c);
        bFrom = mainTrack ? at(0) : at(size - c);
        break;
    case effectPushLeft:
    case effectPushUp:
        aFrom = at(size - c);
        bFrom = at(0);
        break;
    case effectPushRight:
    case effectPushDown:
        aFrom = at(0);
        bFrom = at(size - c);
        break;
    case effectEdgeFromRight:
    case effectEdgeFromBottom:
        aFrom = at(0);
        bFrom = at(c);
        break;
    default: // edges uncovering from the left or the top
        aFrom = at(c);
        bFrom = at(0);
        break;
    }
    int ok = 1;
    if (target == b)
        ok &= FX::DibCopy(*b, *target, f, &bRect, &bFrom);
    ok &= a ? FX::DibCopy(*a, *target, f, &aRect, &aFrom) : FX::FillBlack(*target, f, &aRect);
    if (target != b)
        ok &= b ? FX::DibCopy(*b, *target, f, &bRect, &bFrom) : FX::FillBlack(*target, f, &bRect);
    return ok;
}

int Transition::CornerCopy(int32_t kind, bool mainTrack, Dib* target, Dib* a, Dib* b, int f,
                           double p) {
    const int W = target->Width(), H = target->AbsHeight();
    p = std::clamp(p, 0.0, 1.0);
    const int bw = static_cast<int>(W * p), bh = static_cast<int>(H * p);
    Rect bRect;
    Point mainFrom, otherFrom;
    switch (kind) {
    case effectCornerBottomRight:
        bRect = Rect(W - bw, H - bh, W, H);
        mainFrom = Point(W - bw, H - bh);
        otherFrom = Point(0, 0);
        break;
    case effectCornerBottomLeft:
        bRect = Rect(0, H - bh, bw, H);
        mainFrom = Point(0, H - bh);
        otherFrom = Point(W - bw, 0);
        break;
    case effectCornerTopRight:
        bRect = Rect(W - bw, 0, W, bh);
        mainFrom = Point(W - bw, 0);
        otherFrom = Point(0, H - bh);
        break;
    default:
        bRect = Rect(0, 0, bw, bh);
        mainFrom = Point(0, 0);
        otherFrom = Point(W - bw, H - bh);
        break;
    }
    const Point bFrom = mainTrack ? mainFrom : otherFrom;
    const Rect frame(0, 0, W, H);
    int ok = 1;
    if (target == b)
        ok &= FX::DibCopy(*b, *target, f, &bRect, &bFrom);
    ok &= a ? FX::CopyOutside(*a, *target, f, &frame, &bRect)
            : FX::FillBlackOutside(*target, f, &frame, &bRect);
    if (target != b)
        ok &= b ? FX::DibCopy(*b, *target, f, &bRect, &bFrom) : FX::FillBlack(*target, f, &bRect);
    return ok;
}

int Transition::WipePass(const Clip* clip, Dib* target, Dib* a, Dib* b, int f, double p) {
    PatternCache::Expanded expanded;
    RefPtr<Dib> pattern = patternCache_.Get(
        target->Width(), target->AbsHeight(), GetPatternScale(),
        [this](int w, int h, double s) { return MakePattern(w, h, s); }, target->PixelSize(),
        &expanded);
    if (!pattern) {
        LogMessage("Transition::AlphaWipe invalid alpha dib\n");
        return 0;
    }
    return FX::AlphaWipe(*target, a, b, f, p, clip->IsReversed() != clip->IsTransitionAtEnd(),
                         *pattern, expanded.get());
}

} // namespace orvik
