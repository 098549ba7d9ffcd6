#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A diamond growing from the centre of the frame.
class DiamondWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(DiamondWipe)
public:
    DiamondWipe() = default;
    DiamondWipe(int32_t effectNumber, double piconLow, double piconHigh)
        : Wipe(effectNumber, piconLow, piconHigh) {}

    RefObject* Clone() const override { return new DiamondWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
};

} // namespace orvik
