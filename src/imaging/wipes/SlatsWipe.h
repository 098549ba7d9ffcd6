#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// Vertical bands that all open at once, left to right within each band
// unless inverted.
class SlatsWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(SlatsWipe)
public:
    SlatsWipe() = default;
    SlatsWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t count,
              int32_t invert)
        : Wipe(effectNumber, piconLow, piconHigh), count_(ClampCount(count)), invert_(invert) {}

    RefObject* Clone() const override { return new SlatsWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetCount() const { return count_; }
    int32_t GetInvert() const { return invert_; }

private:
    int32_t count_ = 1;
    int32_t invert_ = 0;
};

} // namespace orvik
