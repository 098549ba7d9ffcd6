#include "platform/gdi/Palette.h"

#include <algorithm>

namespace orvik {

Palette::~Palette() = default;

bool Palette::Create(const Entry* entries, int count) {
    if (!entries || count < 1 || count > kMaxEntries)
        return false;
    entries_.assign(entries, entries + count);
    return true;
}

bool Palette::CreateFromBytes(const uint8_t* rgbf, int count) {
    if (!rgbf || count < 1 || count > kMaxEntries)
        return false;
    entries_.resize(count);
    for (int i = 0; i < count; ++i)
        entries_[i] = Entry{rgbf[4 * i], rgbf[4 * i + 1], rgbf[4 * i + 2], rgbf[4 * i + 3]};
    return true;
}

int Palette::GetEntries(int start, int count, Entry* out) const {
    if (start < 0 || count <= 0 || start >= Size() || !out)
        return 0;
    int n = std::min(count, Size() - start);
    std::copy_n(entries_.begin() + start, n, out);
    return n;
}

int Palette::SetEntries(int start, int count, const Entry* in) {
    if (start < 0 || count <= 0 || start >= Size() || !in)
        return 0;
    int n = std::min(count, Size() - start);
    std::copy_n(in, n, entries_.begin() + start);
    return n;
}

int Palette::NearestIndex(ColorRef color) const {
    if (entries_.empty())
        return 0;
    if (IsPaletteIndex(color))
        return RedOf(color) < Size() ? RedOf(color) : 0;
    int r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < Size(); ++i) {
        const Entry& e = entries_[i];
        int dr = e.red - r, dg = e.green - g, db = e.blue - b;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

ColorRef Palette::NearestColor(ColorRef color) const {
    if (entries_.empty())
        return 0;
    const Entry& e = entries_[NearestIndex(color)];
    return Rgb(e.red, e.green, e.blue);
}

int NearestTableIndex(const uint8_t* bgrQuads, int count, ColorRef color) {
    if (!bgrQuads || count <= 0)
        return 0;
    if (IsPaletteIndex(color))
        return RedOf(color) < count ? RedOf(color) : 0;
    int r = RedOf(color), g = GreenOf(color), b = BlueOf(color);
    int best = 0, bestDistance = 1 << 30;
    for (int i = 0; i < count; ++i) {
        const uint8_t* q = bgrQuads + 4 * i;
        int db = q[0] - b, dg = q[1] - g, dr = q[2] - r;
        int d = dr * dr + dg * dg + db * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
            if (d == 0)
                break;
        }
    }
    return best;
}

} // namespace orvik
