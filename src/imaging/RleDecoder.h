#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace orvik {

// Decodes the run-length coded pixels of a bitmap (8 or 4 bits per index)
// by the published rules: encoded runs (count, value), and after a 0 byte an
// end of line (0), the end of the bitmap (1), a delta (2, dx, dy) or an
// absolute run of 3 to 255 indices padded to an even number of bytes. The
// first row of the stream is the bottom row of the picture.
//
// Decoding stops at the end of the data, at the end-of-bitmap code or when a
// row lies past the last one; every run is clipped to the row, so a stream
// that runs past the right edge never writes outside the picture.
class RleDecoder {
public:
    RleDecoder(const uint8_t* data, size_t size, int bitsPerIndex, int width, int rows)
        : data_(data), size_(data ? size : 0), bits_(bitsPerIndex), width_(width), rows_(rows) {}

    // Calls put(rowFromBottom, x, index) for each decoded pixel inside the
    // picture.
    template <class Put> void Decode(Put&& put) const {
        const uint8_t* d = data_;
        size_t i = 0;
        int x = 0, row = 0;
        while (i + 1 < size_ && row < rows_ && width_ > 0) {
            int n = d[i], v = d[i + 1];
            i += 2;
            if (n > 0) {
                int inside = std::clamp(width_ - x, 0, n);
                for (int k = 0; k < inside; ++k)
                    put(row, x + k, bits_ == 8 ? v : (k & 1) ? v & 15 : v >> 4);
                x = std::min(x + n, width_);
            } else if (v == 0) {
                x = 0;
                ++row;
            } else if (v == 1) {
                return;
            } else if (v == 2) {
                if (i + 1 >= size_)
                    return;
                x = std::min(x + d[i], width_);
                row += d[i + 1];
                i += 2;
            } else {
                size_t bytes = bits_ == 8 ? static_cast<size_t>(v) : static_cast<size_t>(v + 1) / 2;
                int available = static_cast<int>(bits_ == 8 ? std::min(bytes, size_ - i)
                                                            : std::min(bytes, size_ - i) * 2);
                int count = std::min(v, available);
                int inside = std::clamp(width_ - x, 0, count);
                for (int k = 0; k < inside; ++k) {
                    int index = bits_ == 8 ? d[i + k]
                                : (k & 1)  ? d[i + k / 2] & 15
                                           : d[i + k / 2] >> 4;
                    put(row, x + k, index);
                }
                if (count < v)
                    return; // the data ends inside the run
                x = std::min(x + v, width_);
                i += bytes + (bytes & 1);
            }
        }
    }

private:
    const uint8_t* data_;
    size_t size_;
    int bits_;
    int width_;
    int rows_;
};

} // namespace orvik
