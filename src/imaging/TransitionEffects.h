#pragma once

#include "platform/gdi/Point.h"
#include "platform/gdi/Rect.h"

#include <cstdint>

namespace orvik {

class Dib;
class ExpandedPattern;

// The building blocks of the transition effects. Each works on the rows of
// one video field: field 0 selects every row, field 1 the even rows (0, 2,
// 4, ... from the top), field 2 the odd rows. For a field other than 0 the
// top and bottom of every rectangle and the y of every source point are
// rounded down to an even row first, so that moved rows keep their parity.
//
// Every block clips what it reads and writes to both images; pictures of
// another size never make it read or write outside their rows. Failures are
// one diagnostics-log line and leave the target as it was.
class TransitionEffects {
public:
    // Copies `source` into `target` (same bit count, 8 bits or more), clipped
    // as Dib::Copy clips; rows of one image that overlap in the copying
    // direction are copied from the last to the first.
    static int DibCopy(const Dib& source, Dib& target, int field, const Rect* targetRect = nullptr,
                       const Point* sourcePoint = nullptr);
    // Zeroes the pixels of `rect` (the whole target when null).
    static int FillBlack(Dib& target, int field, const Rect* rect = nullptr);
    // FillBlack of the four bands of `outer` outside `inner` (above, below,
    // right, left, as Dib::FillOutside cuts them).
    static int FillBlackOutside(Dib& target, int field, const Rect* outer, const Rect* inner);
    // DibCopy of the same four bands, each from the source at its own place.
    static int CopyOutside(const Dib& source, Dib& target, int field, const Rect* outer,
                           const Rect* inner);
    // Scales every byte of every selected row by trunc(factor * 255) / 256.
    static int Fade(Dib& target, int field, double factor);
    // Moves the target toward the source by `weight`: nothing below 1/256, a
    // copy from 255/256 on, else t + (((s - t) * trunc(weight * 255)) >> 8)
    // for every byte (8-, 24- and 32-bit images of one bit count).
    static int DibDissolve(const Dib& source, Dib& target, int field, double weight,
                           const Rect* rect = nullptr);

    // The 256 weights of a pattern wipe at `progress`: index = pattern byte,
    // 0 shows the outgoing picture, 255 the incoming one. s = trunc(255 p);
    // bytes up to 255 - s - 5 weigh 0, from 255 - s + 5 on 255, with a ramp
    // between (none at s 0 or 255). `flip` reverses the order in which
    // pattern bytes turn. At progress 1 every weight is 255, so that a wipe
    // always ends on the incoming picture.
    static void WipeWeights(double progress, bool flip, uint8_t weights[256]);
    // Mixes a (outgoing) and b (incoming) into the target through an 8-bit
    // pattern of the target's size: per pixel the weight w of its pattern
    // byte (WipeWeights) takes each byte to a + ((w * (b - a)) >> 8), a where
    // w is 0 and b where it is 255. A missing picture reads as black. `a`
    // and `b` must have the target's size and bit count (or be the target
    // itself); anything else logs and leaves the target. `expanded`, when
    // given, is the same pattern laid out for the target's pixels
    // (PatternCache): the blend then copies whole stretches that lie before
    // or after the wipe's edge.
    static int AlphaWipe(Dib& target, const Dib* a, const Dib* b, int field, double progress,
                         bool flip, const Dib& pattern,
                         const ExpandedPattern* expanded = nullptr);

    // The dissolve and wipe rows run on AVX2 where the processor has it;
    // this keeps them on the baseline instructions (tests run both).
    static void UseBaselineKernels(bool on);

    // Rounds a rectangle's top and bottom down to even rows for field passes.
    static Rect FieldRect(const Rect& rect, int field);
    static Point FieldPoint(const Point& point, int field);
    // The first row at or after `y` that belongs to `field`, and the step.
    static int FirstRow(int y, int field);
    static int RowStep(int field) { return field == 0 ? 1 : 2; }
};

} // namespace orvik
