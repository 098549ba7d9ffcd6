#include "imaging/wipes/MatrixWipe.h"

#include "platform/archive/Archive.h"

#include <algorithm>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(MatrixWipe, Wipe, kVersionableSchema | 1)

void MatrixWipe::SerializeOwn(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(columns_);
        ar.WriteInt32(rows_);
    } else {
        columns_ = ClampCells(ar.ReadInt32());
        rows_ = ClampCells(ar.ReadInt32());
    }
}

int32_t MatrixWipe::CellsFor(int32_t count, int32_t size) {
    int32_t n = count;
    if (n <= 0)
        n = 1;
    else if (n == 1000)
        n = size;
    else if (n == 500)
        n = size / 2;
    else if (n > size)
        n = size;
    return std::max(n, 1);
}

int MatrixWipe::CreateAlphaDib(Dib& image) {
    const int64_t W = image.Width(), H = image.AbsHeight();
    const int64_t c = CellsFor(columns_, static_cast<int32_t>(W));
    const int64_t r = CellsFor(rows_, static_cast<int32_t>(H));
    std::vector<uint8_t> cells(static_cast<size_t>(c * r));
    for (uint8_t& cell : cells)
        cell = static_cast<uint8_t>(Random() % 255);
    ForEachPixel(image, [&](int x, int y) { return cells[(y * r / H) * c + x * c / W]; });
    return 1;
}

void MatrixWipe::ListFields(FieldList& out) const {
    Wipe::ListFields(out);
    out.Add("columns", int64_t{columns_});
    out.Add("rows", int64_t{rows_});
}

} // namespace orvik
