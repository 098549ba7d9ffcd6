#include "imaging/ExpandedPattern.h"

#include "imaging/Dib.h"
#include "imaging/DibRows.h"

#include <algorithm>

namespace orvik {

ExpandedPattern::ExpandedPattern(const Dib& pattern, int pixelBytes) {
    if (pattern.IsEmpty() || !pattern.Bits() || !pattern.IsUncompressed() ||
        pattern.BitCount() != 8 || (pixelBytes != 1 && pixelBytes != 3 && pixelBytes != 4))
        return;
    pixelBytes_ = pixelBytes;
    width_ = pattern.Width();
    height_ = pattern.AbsHeight();
    rowBytes_ = static_cast<size_t>(width_) * pixelBytes;
    chunks_ = (rowBytes_ + kChunk - 1) / kChunk;
    bytes_.resize(rowBytes_ * height_);
    lowest_.resize(chunks_ * height_);
    highest_.resize(chunks_ * height_);
    DibRows rows(pattern);
    for (int y = 0; y < height_; ++y) {
        const uint8_t* in = rows.Row(y);
        uint8_t* out = bytes_.data() + static_cast<size_t>(y) * rowBytes_;
        for (int x = 0; x < width_; ++x)
            for (int c = 0; c < pixelBytes; ++c)
                *out++ = in[x];
        const uint8_t* row = Row(y);
        for (size_t c = 0; c < chunks_; ++c) {
            const uint8_t* first = row + c * kChunk;
            const uint8_t* last = row + std::min(rowBytes_, (c + 1) * kChunk);
            auto [lo, hi] = std::minmax_element(first, last);
            lowest_[static_cast<size_t>(y) * chunks_ + c] = *lo;
            highest_[static_cast<size_t>(y) * chunks_ + c] = *hi;
        }
    }
}

} // namespace orvik
