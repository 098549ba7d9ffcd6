// Dib: fills, compositing, keys, alpha, grey mapping and field rebuilding.
#include "imaging/Dib.h"

#include "app/DiagnosticsLog.h"
#include "imaging/DibClip.h"
#include "imaging/DibRows.h"
#include "imaging/PixelKernels.h"

#include <algorithm>
#include <cstring>

namespace orvik {

namespace {

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

} // namespace

int Dib::Set(uint32_t value, const Rect* rect) {
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::Set no bitmap\n");
        return 0;
    }
    int bits = BitCount();
    if (!IsUncompressed() || (bits != 8 && bits != 24 && bits != 32)) {
        if (rect) {
            LogMessage("Dib::Set invalid bitcount\n");
            return 0;
        }
        std::memset(bits_, static_cast<int>(value & 0xFF), ImageSize());
        return 1;
    }
    Rect r = (rect ? *rect : Rect(0, 0, Width(), AbsHeight()))
                 .Intersect(Rect(0, 0, Width(), AbsHeight()));
    if (r.IsEmpty())
        return 1;
    DibRows rows(*this);
    int ps = PixelSize(), w = r.Width();
    size_t bytes = static_cast<size_t>(w) * ps;
    uint8_t* first = rows.Row(r.top) + static_cast<ptrdiff_t>(r.left) * ps;
    if (bits == 8) {
        std::memset(first, static_cast<int>(value & 0xFF), bytes);
    } else if (bits == 24) {
        uint8_t px[3] = {static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 8),
                         static_cast<uint8_t>(value)};
        for (int x = 0; x < w; ++x)
            std::memcpy(first + 3 * x, px, 3);
    } else {
        for (int x = 0; x < w; ++x)
            std::memcpy(first + 4 * x, &value, 4);
    }
    // The other rows copy the first.
    for (int y = r.top + 1; y < r.bottom; ++y)
        std::memcpy(rows.Row(y) + static_cast<ptrdiff_t>(r.left) * ps, first, bytes);
    return 1;
}

int Dib::FillOutside(uint32_t value, const Rect* outer, const Rect* inner) {
    Rect image(0, 0, Width(), AbsHeight());
    Rect o = outer ? outer->Intersect(image) : image;
    Rect n = inner ? inner->Intersect(image) : image;
    if (o.IsEmpty())
        return 1;
    Rect bands[4] = {
        Rect(o.left, o.top, o.right, n.top),       // above
        Rect(o.left, n.bottom, o.right, o.bottom), // below
        Rect(n.right, o.top, o.right, o.bottom),   // right, full height
        Rect(o.left, o.top, n.left, o.bottom),     // left, full height
    };
    int ok = 1;
    for (const Rect& b : bands) {
        Rect band = b.Intersect(o);
        if (!band.IsEmpty())
            ok &= Set(value, &band);
    }
    return ok;
}

int Dib::Composite(const Dib& source, const Dib& alpha, const Rect* targetRect,
                   const Point* sourcePoint, bool premultiplied) {
    int ab = alpha.BitCount(), sb = source.BitCount();
    if (BitCount() != 24 || (sb != 24 && sb != 32) || (ab != 8 && ab != 32) || !bits_ ||
        !source.bits_ || !alpha.bits_ || !IsUncompressed() || !source.IsUncompressed() ||
        !alpha.IsUncompressed()) {
        LogMessage("Dib::Composite invalid bitcount\n");
        return 0;
    }
    // The alpha picture uses the source's coordinates and is clipped too.
    DibClip clip(*this, source, &alpha, targetRect, sourcePoint);
    if (clip.IsEmpty())
        return 1;
    DibRows tRows(*this), sRows(source), aRows(alpha);
    const int w = clip.target.Width(), h = clip.target.Height();
    const int sps = sb / 8, aps = ab / 8, aOff = ab == 32 ? 3 : 0;
    const PixelKernels::CompositeRow row = PixelKernels::CompositeRowFor(sps, aps, premultiplied);
    // Rows in the order the target holds them in memory, which the
    // processor's prefetching follows best; a source that is this image
    // itself is laid from the top row down.
    const bool upwards = tRows.stride < 0 && &source != this;
    for (int k = 0; k < h; ++k) {
        const int i = upwards ? h - 1 - k : k;
        uint8_t* d = tRows.Row(clip.target.top + i) + 3 * clip.target.left;
        const uint8_t* s = sRows.Row(clip.source.top + i) + sps * clip.source.left;
        const uint8_t* a = aRows.Row(clip.source.top + i) + aps * clip.source.left + aOff;
        row(d, s, a, w);
    }
    return 1;
}

int Dib::SelfKey(const Dib& source) {
    if (BitCount() != 8 || !IsUncompressed() || !bits_) {
        LogMessage("Dib::SelfKey invalid bitcount\n");
        return 0;
    }
    // The key is compared a whole pixel at a time, which sub-byte pixels
    // do not have.
    if (source.IsEmpty() || !source.bits_ || !source.IsUncompressed() || source.BitCount() < 8) {
        LogMessage("Dib::SelfKey invalid source\n");
        return 0;
    }
    SetColorRamp(256, kBlack, kWhite);
    DibRows tRows(*this), sRows(source);
    const int ps = source.PixelSize();
    const int w = std::min(Width(), source.Width()), h = std::min(AbsHeight(), source.AbsHeight());
    uint8_t key[4] = {};
    std::memcpy(key, sRows.Row(0), ps);
    for (int y = 0; y < h; ++y) {
        uint8_t* t = tRows.Row(y);
        const uint8_t* s = sRows.Row(y);
        if (ps == 3) {
            PixelKernels::Key24(t, s, w, key);
        } else {
            for (int x = 0; x < w; ++x, s += ps)
                t[x] = std::memcmp(s, key, ps) == 0 ? 0 : 255;
        }
    }
    return 1;
}

int Dib::ExtractAlpha(const Dib& source) {
    if (BitCount() != 8 || !IsUncompressed() || !bits_) {
        LogMessage("Dib::ExtractAlpha: target bitcount != 8\n");
        return 0;
    }
    if (source.BitCount() != 32 || !source.IsUncompressed() || !source.bits_) {
        LogMessage("Dib::ExtractAlpha: source bitcount != 32\n");
        return 0;
    }
    SetColorRamp(256, kBlack, kWhite);
    DibRows tRows(*this), sRows(source);
    const int w = std::min(Width(), source.Width()), h = std::min(AbsHeight(), source.AbsHeight());
    for (int y = 0; y < h; ++y) {
        uint8_t* t = tRows.Row(y);
        const uint8_t* s = sRows.Row(y) + 3;
        for (int x = 0; x < w; ++x)
            t[x] = s[4 * x];
    }
    return 1;
}

int Dib::CopyAlpha(const Dib& source) {
    if (source.BitCount() != 8 || !source.IsUncompressed() || !source.bits_) {
        LogMessage("Dib::CopyAlpha: source bitcount != 8\n");
        return 0;
    }
    if (BitCount() != 32 || !IsUncompressed() || !bits_) {
        LogMessage("Dib::CopyAlpha: target bitcount != 32\n");
        return 0;
    }
    DibRows tRows(*this), sRows(source);
    const int w = std::min(Width(), source.Width()), h = std::min(AbsHeight(), source.AbsHeight());
    for (int y = 0; y < h; ++y) {
        uint8_t* t = tRows.Row(y) + 3;
        const uint8_t* s = sRows.Row(y);
        for (int x = 0; x < w; ++x)
            t[4 * x] = s[x];
    }
    return 1;
}

int Dib::MapToGreyScale(const Dib& source) {
    if (source.IsEmpty() || !source.bits_) {
        LogMessage("Dib::MapToGreyScale no bitmap\n");
        return 0;
    }
    int bits = source.BitCount();
    if (bits != 4 && bits != 8 && bits != 16 && bits != 24) {
        LogMessage("Dib::MapToGreyScale invalid pixel size\n");
        return 0;
    }
    if (bits == 16 && source.Get16BitLayout() == layoutInvalid) {
        LogMessage("Dib::Map16ToGreyScale invalid format\n");
        return 0;
    }
    // This image is recreated: a source that is this image, or whose rows
    // are run-length coded, is read through a temporary.
    RefPtr<Dib> temp;
    const Dib* src = &source;
    if (source.IsRunLengthCoded()) {
        temp = new Dib;
        if (!temp->Create(source.Width(), source.AbsHeight(), 8) || !temp->CopyColorTable(source) ||
            !temp->Copy(source))
            return 0;
        src = temp.get();
        bits = 8;
    } else if (&source == this) {
        temp = new Dib;
        temp->TakeOver(*this);
        src = temp.get();
    } else if (!source.IsUncompressed()) {
        LogMessage("Dib::MapToGreyScale invalid pixel size\n");
        return 0;
    }
    int w = src->Width(), h = src->AbsHeight();
    uint8_t grey[256];
    if (bits <= 8) {
        RgbQuad table[256] = {};
        int n = std::min(src->GetColorTable(table), src->ColorCount());
        for (int i = 0; i < 256; ++i)
            grey[i] =
                i < n ? static_cast<uint8_t>((table[i].blue + table[i].green + table[i].red) / 3)
                      : static_cast<uint8_t>(i);
    }
    Layout16 layout = bits == 16 ? src->Get16BitLayout() : layoutInvalid;
    if (!Create(w, h, 8, false))
        return 0;
    SetColorRamp(256, kBlack, kWhite);
    DibRows tRows(*this), sRows(*src);
    for (int y = 0; y < h; ++y) {
        uint8_t* t = tRows.Row(y);
        const uint8_t* s = sRows.Row(y);
        switch (bits) {
        case 4:
            for (int x = 0; x < w; ++x)
                t[x] = grey[(x & 1) ? s[x >> 1] & 15 : s[x >> 1] >> 4];
            break;
        case 8:
            for (int x = 0; x < w; ++x)
                t[x] = grey[s[x]];
            break;
        case 16:
            for (int x = 0; x < w; ++x) {
                unsigned v = s[2 * x] | (s[2 * x + 1] << 8);
                unsigned k =
                    layout == layout555
                        ? (((v >> 10) & 31) << 3) + (((v >> 5) & 31) << 3) + ((v & 31) << 3)
                        : (((v >> 11) & 31) << 3) + (((v >> 5) & 63) << 2) + ((v & 31) << 3);
                t[x] = static_cast<uint8_t>((k + 1) / 3);
            }
            break;
        default:
            for (int x = 0; x < w; ++x, s += 3)
                t[x] = static_cast<uint8_t>((s[0] + s[1] + s[2] + 1) / 3);
            break;
        }
    }
    return 1;
}

int Dib::Invert() {
    if (IsEmpty() || !bits_ || !IsUncompressed()) {
        LogMessage("Dib::Invert invalid format\n");
        return 0;
    }
    DibRows rows(*this);
    int line = LineSize();
    for (int y = 0; y < rows.count; ++y) {
        uint8_t* r = rows.Row(y);
        for (int x = 0; x < line; ++x)
            r[x] = static_cast<uint8_t>(~r[x]);
    }
    return 1;
}

int Dib::RebuildField(bool keepOdd) {
    if (IsEmpty() || !bits_ || !IsUncompressed()) {
        LogMessage("Dib::RebuildField invalid format\n");
        return 0;
    }
    DibRows rows(*this);
    int line = LineSize(), h = rows.count;
    for (int y = keepOdd ? 0 : 1; y < h; y += 2) {
        const uint8_t* above = rows.Row(std::max(y - 1, 0));
        const uint8_t* below = rows.Row(std::min(y + 1, h - 1));
        uint8_t* r = rows.Row(y);
        for (int x = 0; x < line; ++x)
            r[x] = static_cast<uint8_t>((above[x] + below[x] + 1) >> 1);
    }
    return 1;
}

} // namespace orvik
