#pragma once

#include "imaging/wipes/Wipe.h"

#include <vector>

namespace orvik {

// Cells of a columns x rows grid that turn in a random order, the same order
// every time. A count of 1000 means one cell per pixel, 500 one per two.
class MatrixWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(MatrixWipe)
public:
    MatrixWipe() = default;
    MatrixWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t columns,
               int32_t rows)
        : Wipe(effectNumber, piconLow, piconHigh), columns_(ClampCells(columns)),
          rows_(ClampCells(rows)) {}

    RefObject* Clone() const override { return new MatrixWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetColumns() const { return columns_; }
    int32_t GetRows() const { return rows_; }

    // The cells across a side of `size` pixels for a stored count.
    static int32_t CellsFor(int32_t count, int32_t size);

private:
    static int32_t ClampCells(int32_t v) {
        return v < 1 ? 1 : v > Dib::kMaxDimension ? Dib::kMaxDimension : v;
    }

    int32_t columns_ = 1;
    int32_t rows_ = 1;
};

} // namespace orvik
