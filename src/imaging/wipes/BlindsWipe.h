#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// Horizontal bands that all open at once, top to bottom within each band
// when inverted.
class BlindsWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(BlindsWipe)
public:
    BlindsWipe() = default;
    BlindsWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t count,
               int32_t invert)
        : Wipe(effectNumber, piconLow, piconHigh), count_(ClampCount(count)), invert_(invert) {}

    RefObject* Clone() const override { return new BlindsWipe(*this); }
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
