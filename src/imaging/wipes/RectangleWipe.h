#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A rectangle growing from a start rectangle (given in thousandths of the
// frame, usually a point or a line) out to the frame, or shrinking from the
// frame in to it when closing. The code is the album's number of the effect;
// it does not change the pattern.
class RectangleWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(RectangleWipe)
public:
    RectangleWipe() = default;
    RectangleWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t code,
                  int32_t startLeft, int32_t startTop, int32_t startRight, int32_t startBottom,
                  int32_t closing)
        : Wipe(effectNumber, piconLow, piconHigh), startLeft_(ClampStart(startLeft)),
          startTop_(ClampStart(startTop)), startRight_(ClampStart(startRight)),
          startBottom_(ClampStart(startBottom)), closing_(closing), code_(code) {}

    RefObject* Clone() const override { return new RectangleWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetCode() const { return code_; }
    int32_t GetClosing() const { return closing_; }
    Rect GetStart() const { return Rect(startLeft_, startTop_, startRight_, startBottom_); }

private:
    static int32_t ClampStart(int32_t v) { return v < 0 ? 0 : v > 1000 ? 1000 : v; }

    int32_t startLeft_ = 0;
    int32_t startTop_ = 0;
    int32_t startRight_ = 0;
    int32_t startBottom_ = 0;
    int32_t closing_ = 0;
    int32_t code_ = 0;
};

} // namespace orvik
