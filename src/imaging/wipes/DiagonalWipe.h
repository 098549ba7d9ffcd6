#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A straight edge sweeping diagonally from a corner: from the top-left, or
// mirrored in x (corner bit 0) and in y (bit 1).
class DiagonalWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(DiagonalWipe)
public:
    DiagonalWipe() = default;
    DiagonalWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t corner)
        : Wipe(effectNumber, piconLow, piconHigh), corner_(corner) {}

    RefObject* Clone() const override { return new DiagonalWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetCorner() const { return corner_; }

private:
    int32_t corner_ = 0;
};

} // namespace orvik
