#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A hand sweeping clockwise from twelve o'\''clock.
class ClockWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(ClockWipe)
public:
    ClockWipe() = default;
    ClockWipe(int32_t effectNumber, double piconLow, double piconHigh)
        : Wipe(effectNumber, piconLow, piconHigh) {}

    RefObject* Clone() const override { return new ClockWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
};

} // namespace orvik
