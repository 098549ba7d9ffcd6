#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvik {

class Dib;

// A wipe pattern laid out as the pictures it mixes: every pattern byte
// repeated for each byte of a pixel, rows top first, and for every chunk of
// kChunk bytes of a row its lowest and highest byte. At any progress most
// chunks lie wholly before or after the wipe's edge: the blend copies them
// without looking at their bytes.
class ExpandedPattern {
public:
    static constexpr size_t kChunk = 64;

    // Expands an 8-bit pattern for pixels of `pixelBytes` (1, 3 or 4).
    ExpandedPattern(const Dib& pattern, int pixelBytes);

    bool IsValid() const { return rowBytes_ > 0; }
    int PixelBytes() const { return pixelBytes_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    size_t RowBytes() const { return rowBytes_; }
    size_t ChunksPerRow() const { return chunks_; }
    const uint8_t* Row(int y) const { return bytes_.data() + static_cast<size_t>(y) * rowBytes_; }
    const uint8_t* Lowest(int y) const { return lowest_.data() + static_cast<size_t>(y) * chunks_; }
    const uint8_t* Highest(int y) const { return highest_.data() + static_cast<size_t>(y) * chunks_; }

private:
    int pixelBytes_ = 0, width_ = 0, height_ = 0;
    size_t rowBytes_ = 0, chunks_ = 0;
    std::vector<uint8_t> bytes_, lowest_, highest_;
};

} // namespace orvik
