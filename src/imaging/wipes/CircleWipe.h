#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A circle growing from the centre of the frame.
class CircleWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(CircleWipe)
public:
    CircleWipe() = default;
    CircleWipe(int32_t effectNumber, double piconLow, double piconHigh)
        : Wipe(effectNumber, piconLow, piconHigh) {}

    RefObject* Clone() const override { return new CircleWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
};

} // namespace orvik
