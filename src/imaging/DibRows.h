#pragma once

#include "imaging/Dib.h"

#include <cstddef>
#include <cstdint>

namespace orvik {

// Row addressing of an uncompressed image, set up once per operation: row y
// (counted from the top) starts at top + y * stride, the stride being
// negative for bottom-up storage. Empty (count 0) for compressed images.
class DibRows {
public:
    explicit DibRows(const Dib& dib) {
        if (dib.IsEmpty() || !dib.Bits() || !dib.IsUncompressed())
            return;
        int64_t line = dib.LineSize();
        count = dib.AbsHeight();
        if (dib.IsTopDown()) {
            top = dib.Bits();
            stride = static_cast<ptrdiff_t>(line);
        } else {
            top = dib.Bits() + line * (count - 1);
            stride = -static_cast<ptrdiff_t>(line);
        }
    }

    uint8_t* Row(int y) const { return top + stride * y; }

    uint8_t* top = nullptr;
    ptrdiff_t stride = 0;
    int count = 0;
};

} // namespace orvik
