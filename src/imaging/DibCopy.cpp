// Dib: the format-converting copy.
#include "imaging/Dib.h"

#include "app/DiagnosticsLog.h"
#include "imaging/DibClip.h"
#include "imaging/DibRows.h"
#include "imaging/PixelKernels.h"
#include "imaging/RleDecoder.h"

#include <algorithm>
#include <cstring>

namespace orvik {

namespace {

inline int Nibble(const uint8_t* row, int x) {
    uint8_t b = row[x >> 1];
    return (x & 1) ? b & 15 : b >> 4;
}

inline void SetNibble(uint8_t* row, int x, int v) {
    uint8_t& b = row[x >> 1];
    b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (v & 15))
                : static_cast<uint8_t>((b & 0x0F) | ((v & 15) << 4));
}

inline int Bit(const uint8_t* row, int x) {
    return (row[x >> 3] >> (7 - (x & 7))) & 1;
}

inline void SetBit(uint8_t* row, int x, int v) {
    uint8_t mask = static_cast<uint8_t>(0x80 >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>(v ? row[x >> 3] | mask : row[x >> 3] & ~mask);
}

} // namespace

int Dib::Copy(const Dib& source, const Rect* targetRect, const Point* sourcePoint) {
    if (IsEmpty() || source.IsEmpty() || !bits_ || !source.bits_) {
        LogMessage("Dib::Copy no bitmap\n");
        return 0;
    }
    const int S = source.BitCount(), T = BitCount();
    const uint32_t K = source.GetCompression();

    DibClip clip(*this, source, nullptr, targetRect, sourcePoint);
    if (clip.IsEmpty())
        return 1;
    const Rect& tr = clip.target;
    const int w = tr.Width(), h = tr.Height();
    const int sx0 = clip.source.left, sy0 = clip.source.top;

    // One block copy for images of the same form.
    if (S == T && K == GetCompression() && tr == Rect(0, 0, Width(), AbsHeight()) &&
        Width() == source.Width() && Height() == source.Height()) {
        if (&source != this)
            std::memcpy(bits_, source.bits_, std::min(ImageSize(), source.ImageSize()));
        return 1;
    }
    if (!IsUncompressed()) {
        LogMessage("Dib::Copy unimplemented format\n");
        return 0;
    }
    DibRows tRows(*this);

    // Run-length coded sources decode into the whole target from its bottom
    // row, the rectangles aside.
    if ((K == compressionRle8 && S == 8) || (K == compressionRle4 && S == 4)) {
        if (T != 8 && T != 24) {
            LogMessage("Dib::Copy unimplemented format\n");
            return 0;
        }
        if (sourcePoint && (sourcePoint->x != 0 || sourcePoint->y != 0) && T == 24)
            LogMessage(S == 8 ? "Dib::CopyRle8To24 copy with offset not implemented\n"
                              : "Dib::CopyRle4To24 copy with offset not implemented\n");
        RgbQuad table[256] = {};
        source.GetColorTable(table);
        std::memset(bits_, 0, ImageSize());
        int rows = AbsHeight();
        RleDecoder decoder(source.bits_, source.ImageSize(), S, std::min(Width(), source.Width()),
                           rows);
        if (T == 8) {
            decoder.Decode([&](int row, int x, int index) {
                tRows.Row(rows - 1 - row)[x] = static_cast<uint8_t>(index);
            });
        } else {
            decoder.Decode([&](int row, int x, int index) {
                uint8_t* p = tRows.Row(rows - 1 - row) + 3 * x;
                p[0] = table[index].blue;
                p[1] = table[index].green;
                p[2] = table[index].red;
            });
        }
        return 1;
    }
    if (!source.IsUncompressed()) {
        LogMessage("Dib::Copy unimplemented format\n");
        return 0;
    }
    DibRows sRows(source);

    // Same depth: row by row, last row first when an image copies onto an
    // overlapping part of itself further down.
    if (S == T && S >= 8) {
        const int ps = PixelSize();
        const size_t bytes = static_cast<size_t>(ps) * w;
        const bool backwards = &source == this && tr.top > sy0;
        for (int k = 0; k < h; ++k) {
            int i = backwards ? h - 1 - k : k;
            std::memmove(tRows.Row(tr.top + i) + static_cast<ptrdiff_t>(ps) * tr.left,
                         sRows.Row(sy0 + i) + static_cast<ptrdiff_t>(ps) * sx0, bytes);
        }
        return 1;
    }

    RgbQuad table[256] = {};
    if (S <= 8)
        source.GetColorTable(table);
    const Layout16 layout = S == 16 ? source.Get16BitLayout() : layoutInvalid;
    if (S == 16 && T == 24 && layout == layoutInvalid) {
        LogMessage("Dib::Copy16To24 invalid format\n");
        return 0;
    }
    const bool sameImage = &source == this;
    if (sameImage) {
        // Only same-depth copies can read and write one image.
        LogMessage("Dib::Copy unimplemented format\n");
        return 0;
    }

    for (int i = 0; i < h; ++i) {
        const uint8_t* s = sRows.Row(sy0 + i);
        uint8_t* tRow = tRows.Row(tr.top + i);
        if (S == 4 && T == 4) {
            for (int j = 0; j < w; ++j)
                SetNibble(tRow, tr.left + j, Nibble(s, sx0 + j));
        } else if (S == 1 && T == 1) {
            for (int j = 0; j < w; ++j)
                SetBit(tRow, tr.left + j, Bit(s, sx0 + j));
        } else if (S == 4 && T == 8) {
            uint8_t* t = tRow + tr.left;
            for (int j = 0; j < w; ++j)
                t[j] = static_cast<uint8_t>(Nibble(s, sx0 + j));
        } else if (S == 1 && T == 8) {
            uint8_t* t = tRow + tr.left;
            for (int j = 0; j < w; ++j)
                t[j] = static_cast<uint8_t>(Bit(s, sx0 + j));
        } else if (T == 24 && S <= 8) {
            uint8_t* t = tRow + 3 * tr.left;
            for (int j = 0; j < w; ++j, t += 3) {
                int index = S == 8 ? s[sx0 + j] : S == 4 ? Nibble(s, sx0 + j) : Bit(s, sx0 + j);
                const RgbQuad& q = table[index];
                t[0] = q.blue;
                t[1] = q.green;
                t[2] = q.red;
            }
        } else if (S == 16 && T == 24) {
            const uint8_t* p = s + 2 * sx0;
            uint8_t* t = tRow + 3 * tr.left;
            if (layout == layout555) {
                for (int j = 0; j < w; ++j, t += 3) {
                    unsigned v = p[2 * j] | (p[2 * j + 1] << 8);
                    t[0] = static_cast<uint8_t>((v * 8) % 256);
                    t[1] = static_cast<uint8_t>((v / 4) & 0xf8);
                    t[2] = static_cast<uint8_t>((v / 128) & 0xf8);
                }
            } else {
                for (int j = 0; j < w; ++j, t += 3) {
                    unsigned v = p[2 * j] | (p[2 * j + 1] << 8);
                    t[0] = static_cast<uint8_t>((v * 8) % 256);
                    t[1] = static_cast<uint8_t>((v / 8) & 0xfc);
                    t[2] = static_cast<uint8_t>((v / 256) & 0xf8);
                }
            }
        } else if (S == 32 && T == 24) {
            PixelKernels::Row32To24(tRow + 3 * tr.left, s + 4 * sx0, w);
        } else if (S == 24 && T == 32) {
            PixelKernels::Row24To32(tRow + 4 * tr.left, s + 3 * sx0, w);
        } else {
            LogMessage("Dib::Copy unimplemented format\n");
            return 0;
        }
    }
    return 1;
}

} // namespace orvik
