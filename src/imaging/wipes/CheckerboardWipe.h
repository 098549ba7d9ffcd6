#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// A checkerboard of columns x rows whose squares fill in two turns, one
// colour of squares after the other; flags bit 0 inverts, bit 1 sweeps the
// squares along the rows instead of down the columns.
class CheckerboardWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(CheckerboardWipe)
public:
    CheckerboardWipe() = default;
    CheckerboardWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t columns,
                     int32_t rows, int32_t flags)
        : Wipe(effectNumber, piconLow, piconHigh), columns_(ClampCount(columns)),
          rows_(ClampCount(rows)), flags_(flags) {}

    RefObject* Clone() const override { return new CheckerboardWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetColumns() const { return columns_; }
    int32_t GetRows() const { return rows_; }
    int32_t GetFlags() const { return flags_; }

private:
    int32_t columns_ = 1;
    int32_t rows_ = 1;
    int32_t flags_ = 0;
};

} // namespace orvik
