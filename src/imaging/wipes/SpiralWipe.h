#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// Spirals (mode 1) and rings sweeping round (mode 0) from the centre, with a
// number of turns and of arms.
class SpiralWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(SpiralWipe)
public:
    SpiralWipe() = default;
    SpiralWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t mode,
               int32_t turns, int32_t arms)
        : Wipe(effectNumber, piconLow, piconHigh), mode_(mode), turns_(ClampCount(turns)),
          arms_(ClampArms(arms)) {}

    RefObject* Clone() const override { return new SpiralWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetMode() const { return mode_; }
    int32_t GetTurns() const { return turns_; }
    int32_t GetArms() const { return arms_; }

private:
    static int32_t ClampArms(int32_t v) { return v < 0 ? 0 : v > kMaxCount ? kMaxCount : v; }

    int32_t mode_ = 0;
    int32_t turns_ = 1;
    int32_t arms_ = 1;
};

} // namespace orvik
