#include "imaging/Dib.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/DibRows.h"
#include "imaging/DibSection.h"
#include "imaging/XPalette.h"
#include "platform/gdi/DrawContext.h"
#include "platform/gdi/DrawingSurface.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Dib, RefObject, kVersionableSchema | 1)

// The header block starts with the 40-byte header exactly as stored.
static_assert(sizeof(BitmapInfoHeader) == 40);

namespace {

std::atomic<const ResourceLibraries*> resourceLibraries{nullptr};

int64_t RowBytes(int64_t width, int bitCount) {
    return ((width * bitCount + 7) / 8 + 3) & ~3;
}

int64_t AbsOf(int32_t v) {
    return v < 0 ? -static_cast<int64_t>(v) : v;
}

bool IsPreviewCode(uint32_t compression) {
    return compression == Dib::kYvu9 || compression == Dib::kPcle || compression == Dib::kNbxl;
}

} // namespace

int Dib::ColorCountOf(const BitmapInfoHeader& h) {
    if (h.clrUsed != 0)
        return static_cast<int>(std::min<uint32_t>(h.clrUsed, 256));
    return h.bitCount == 1 ? 2 : h.bitCount == 4 ? 16 : h.bitCount == 8 ? 256 : 0;
}

int Dib::HeaderSizeOf(const BitmapInfoHeader& h) {
    return 40 + 4 * ColorCountOf(h) + (h.compression == compressionBitFields ? 12 : 0);
}

uint32_t Dib::ImageSizeOf(const BitmapInfoHeader& h) {
    if (h.sizeImage != 0)
        return h.sizeImage;
    int64_t line = RowBytes(h.width < 0 ? 0 : h.width, h.bitCount);
    uint64_t n = static_cast<uint64_t>(AbsOf(h.height)) * static_cast<uint64_t>(line);
    return n > UINT32_MAX ? 0 : static_cast<uint32_t>(n);
}

Dib::Dib() = default;

Dib::~Dib() {
    Dib::Release();
}

void Dib::SetResourceLibraries(const ResourceLibraries* libraries) {
    resourceLibraries.store(libraries);
}

const ResourceLibraries* Dib::GetResourceLibraries() {
    return resourceLibraries.load();
}

// ---------------------------------------------------------------------------
// Derived quantities

int Dib::AbsHeight() const {
    if (!header_ || header_->height == INT32_MIN)
        return 0;
    return header_->height < 0 ? -header_->height : header_->height;
}

bool Dib::IsUncompressed() const {
    return header_ &&
           (header_->compression == compressionRgb || header_->compression == compressionBitFields);
}

bool Dib::IsRunLengthCoded() const {
    return header_ &&
           (header_->compression == compressionRle8 || header_->compression == compressionRle4);
}

int Dib::ColorCount() const {
    return header_ ? ColorCountOf(*header_) : 0;
}

int Dib::PixelSize() const {
    switch (BitCount()) {
    case 1:
    case 4:
    case 8:
        return 1;
    case 16:
        return 2;
    case 24:
        return 3;
    case 32:
        return 4;
    default:
        LogMessage("Dib::PixelSize: unexpected biBitCount\n");
        return 1;
    }
}

int Dib::LineSize() const {
    if (!header_)
        return 0;
    uint32_t c = header_->compression;
    if (c == compressionRgb || c == compressionBitFields) {
        int64_t n = RowBytes(header_->width < 0 ? 0 : header_->width, header_->bitCount);
        return n > INT32_MAX ? 0 : static_cast<int>(n);
    }
    if (c == kPcle || c == kNbxl)
        return 105;
    LogMessage("Dib::LineSize, RLE compression\n");
    return 0;
}

uint32_t Dib::ImageSize() const {
    if (!header_)
        return 0;
    if (header_->sizeImage != 0)
        return header_->sizeImage;
    uint64_t n = static_cast<uint64_t>(AbsHeight()) * static_cast<uint64_t>(LineSize());
    return n > UINT32_MAX ? 0 : static_cast<uint32_t>(n);
}

int Dib::HeaderSize() const {
    if (!header_)
        return 0;
    return 40 + 4 * ColorCount() + (header_->compression == compressionBitFields ? 12 : 0);
}

RgbQuad* Dib::ColorTable() const {
    return header_ ? reinterpret_cast<RgbQuad*>(reinterpret_cast<uint8_t*>(header_) + 40) : nullptr;
}

const uint32_t* Dib::Masks() const {
    if (!header_ || header_->compression != compressionBitFields)
        return nullptr;
    return reinterpret_cast<const uint32_t*>(reinterpret_cast<const uint8_t*>(header_) + 40);
}

Dib::Layout16 Dib::Get16BitLayout() const {
    if (!header_ || header_->bitCount != 16)
        return layoutInvalid;
    if (header_->compression == compressionRgb)
        return layout555;
    if (header_->compression != compressionBitFields)
        return layoutInvalid;
    // The masks follow the header; images made elsewhere may also count them
    // as three colour-table entries.
    int n = ColorCount();
    if (n != 0 && n != 3)
        return layoutInvalid;
    const uint32_t* m = Masks();
    if (m[0] == 0x7c00 && m[1] == 0x3e0 && m[2] == 0x1f)
        return layout555;
    if (m[0] == 0xf800 && m[1] == 0x7e0 && m[2] == 0x1f)
        return layout565;
    return layoutInvalid;
}

bool Dib::CheckHeader(const BitmapInfoHeader& h, std::string* why) {
    auto fail = [&](const char* reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (h.width <= 0 || h.width > kMaxDimension)
        return fail("width out of range");
    if (h.height == 0 || h.height < -kMaxDimension || h.height > kMaxDimension)
        return fail("height out of range");
    if (h.clrUsed > 256)
        return fail("more than 256 colours");
    if (IsPreviewCode(h.compression)) {
        if (h.sizeImage == 0 || h.sizeImage > kMaxImageBytes)
            return fail("bad preview image size");
        return true;
    }
    switch (h.compression) {
    case compressionRgb:
        if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 16 &&
            h.bitCount != 24 && h.bitCount != 32)
            return fail("unsupported bit count");
        break;
    case compressionRle8:
    case compressionRle4:
        if (h.bitCount != (h.compression == compressionRle8 ? 8 : 4))
            return fail("run-length coding does not match the bit count");
        if (h.height < 0)
            return fail("run-length coded rows must be stored bottom-up");
        if (h.sizeImage == 0 || h.sizeImage > kMaxImageBytes)
            return fail("bad run-length data size");
        return true;
    case compressionBitFields:
        if (h.bitCount != 16 && h.bitCount != 32)
            return fail("bit fields need 16 or 32 bits");
        break;
    default:
        return fail("unsupported compression");
    }
    uint64_t need =
        static_cast<uint64_t>(h.height < 0 ? -static_cast<int64_t>(h.height) : h.height) *
        static_cast<uint64_t>(RowBytes(h.width, h.bitCount));
    if (need > kMaxImageBytes)
        return fail("image too large");
    if (h.sizeImage != 0 && h.sizeImage < need)
        return fail("image size smaller than its rows");
    return true;
}

// ---------------------------------------------------------------------------
// Creation and lifetime

int Dib::CreatePreviewFormat(uint32_t fourcc) {
    BitmapInfoHeader h;
    h.width = 160;
    h.height = 120;
    h.planes = 1;
    h.compression = fourcc;
    if (fourcc == kYvu9) {
        h.bitCount = 9;
        h.sizeImage = 21600;
    } else if (fourcc == kPcle) {
        h.bitCount = 24;
        h.sizeImage = 12600;
    } else if (fourcc == kNbxl) {
        h.bitCount = 24;
        h.sizeImage = 6300;
    } else {
        return 0;
    }
    return CreateFromHeader(h);
}

int Dib::CreateFromHeader(const BitmapInfoHeader& header) {
    Release();
    std::string why;
    if (!CheckHeader(header, &why)) {
        LogMessage("Dib::CreateFromHeader: %s\n", why.c_str());
        return 0;
    }
    // The header block keeps room for the colour table its header implies
    // (cleared), so every later use of the table stays inside the block; the
    // pixels get the size the rows need even when the header's image size
    // is 0, as it may be for uncompressed images.
    BitmapInfoHeader h = header;
    h.size = 40;
    size_t headerBytes = static_cast<size_t>(HeaderSizeOf(h));
    uint32_t imageBytes = ImageSizeOf(h);
    auto* block = static_cast<uint8_t*>(std::calloc(1, headerBytes));
    auto* pixels = static_cast<uint8_t*>(std::calloc(1, std::max<uint32_t>(imageBytes, 1)));
    if (!block || !pixels) {
        std::free(block);
        std::free(pixels);
        LogMessage("Dib::CreateFromHeader: malloc failed\n");
        return 0;
    }
    std::memcpy(block, &h, 40);
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    bits_ = pixels;
    ownsHeader_ = 1;
    ownsBits_ = 1;
    return 1;
}

int Dib::Attach(BitmapInfoHeader* header, uint8_t* bits) {
    Release();
    if (!header)
        return 0;
    header_ = header;
    bits_ = bits ? bits : reinterpret_cast<uint8_t*>(header) + HeaderSize();
    return 1;
}

int Dib::Create(int width, int height, int bitCount, bool usePaletteIndices) {
    Release();
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = static_cast<uint16_t>(bitCount);
    h.compression = compressionRgb;
    std::string why;
    if (bitCount < 0 || bitCount > 32 || !CheckHeader(h, &why)) {
        LogMessage("Dib::Create: %s\n",
                   bitCount < 0 || bitCount > 32 ? "unsupported bit count" : why.c_str());
        return 0;
    }
    h.sizeImage = static_cast<uint32_t>(AbsOf(height) * RowBytes(width, bitCount));
    size_t headerBytes = static_cast<size_t>(HeaderSizeOf(h));
    size_t total = headerBytes + h.sizeImage;
    auto* block = static_cast<uint8_t*>(std::calloc(1, total));
    if (!block) {
        LogMessage("Dib::Create: malloc failed\n");
        return 0;
    }
    std::memcpy(block, &h, 40);
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    bits_ = block + headerBytes;
    ownsHeader_ = 1;
    if (usePaletteIndices && bitCount <= 8) {
        colorUsage_ = paletteIndices;
        auto* indices = reinterpret_cast<uint16_t*>(ColorTable());
        for (int i = 0, n = ColorCount(); i < n; ++i)
            indices[i] = static_cast<uint16_t>(i);
    }
    return 1;
}

int Dib::CreateBitFields(int width, int height, int bitCount, uint32_t redMask, uint32_t greenMask,
                         uint32_t blueMask) {
    Release();
    if (bitCount != 16 && bitCount != 32) {
        LogMessage("Dib::CreateBitFields: bit fields need 16 or 32 bits\n");
        return 0;
    }
    if (!Create(width, height, bitCount, false))
        return 0;
    // Grow the header block by the masks.
    size_t imageBytes = ImageSize();
    auto* block = static_cast<uint8_t*>(std::calloc(1, 52 + imageBytes));
    if (!block) {
        Release();
        LogMessage("Dib::CreateBitFields: malloc failed\n");
        return 0;
    }
    std::memcpy(block, header_, 40);
    Release();
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    header_->compression = compressionBitFields;
    uint32_t masks[3] = {redMask, greenMask, blueMask};
    std::memcpy(block + 40, masks, 12);
    bits_ = block + 52;
    ownsHeader_ = 1;
    return 1;
}

void Dib::Release() {
    if (ownsBits_ && bits_)
        std::free(bits_);
    if (ownsHeader_ && header_)
        std::free(header_);
    header_ = nullptr;
    bits_ = nullptr;
    ownsHeader_ = 0;
    ownsBits_ = 0;
    reserved_ = nullptr;
    colorUsage_ = rgbColors;
    reserved2_ = 0;
}

int Dib::Duplicate(const Dib& source) {
    if (&source == this)
        return 1;
    Release();
    if (source.IsEmpty())
        return 0;
    size_t headerBytes = static_cast<size_t>(source.HeaderSize());
    size_t imageBytes = source.ImageSize();
    auto* block = static_cast<uint8_t*>(std::malloc(headerBytes + imageBytes));
    if (!block) {
        LogMessage("Dib::Duplicate: malloc failed\n");
        return 0;
    }
    std::memcpy(block, source.header_, headerBytes);
    std::memcpy(block + headerBytes, source.bits_, imageBytes);
    header_ = reinterpret_cast<BitmapInfoHeader*>(block);
    bits_ = block + headerBytes;
    ownsHeader_ = 1;
    colorUsage_ = source.colorUsage_;
    return 1;
}

void Dib::TakeOver(Dib& other) {
    if (&other == this)
        return;
    Release();
    if (other.PixelsBelongToSurface()) {
        // The surface stays with its section: take a copy instead of
        // pointers into memory the section frees.
        Duplicate(other);
        other.Release();
        return;
    }
    MoveFrom(other);
}

void Dib::MoveFrom(Dib& other) {
    header_ = other.header_;
    bits_ = other.bits_;
    ownsHeader_ = other.ownsHeader_;
    ownsBits_ = other.ownsBits_;
    reserved_ = other.reserved_;
    colorUsage_ = other.colorUsage_;
    reserved2_ = other.reserved2_;
    other.header_ = nullptr;
    other.bits_ = nullptr;
    other.ownsHeader_ = 0;
    other.ownsBits_ = 0;
    other.reserved_ = nullptr;
    other.colorUsage_ = rgbColors;
    other.reserved2_ = 0;
}

// ---------------------------------------------------------------------------
// Resources

int Dib::LoadResource(uint32_t id, bool mapToPalette) {
    char name[16];
    std::snprintf(name, sizeof name, "#%u", id);
    return LoadResource(std::string(name), mapToPalette);
}

int Dib::LoadResource(const std::string& name, bool mapToPalette) {
    Release();
    if (mapToPalette) {
        RefPtr<DibSection> section = new DibSection;
        if (!section->LoadResource(name, true))
            return 0;
        if (!Create(section->Width(), section->AbsHeight(), section->BitCount(), false))
            return 0;
        if (BitCount() <= 8)
            std::memcpy(ColorTable(), section->ColorTable(), 4 * ColorCount());
        Copy(*section);
        colorUsage_ = section->GetColorUsage();
        return 1;
    }
    const ResourceLibraries* libs = GetResourceLibraries();
    const std::vector<uint8_t>* bytes = nullptr;
    if (libs) {
        bool numbered = name.size() > 1 && name[0] == '#' &&
                        std::all_of(name.begin() + 1, name.end(),
                                    [](char c) { return c >= '0' && c <= '9'; }) &&
                        name.size() <= 10;
        bytes = numbered ? libs->FindBitmap(static_cast<uint32_t>(std::stoul(name.substr(1))))
                         : libs->FindBitmap(name);
    }
    if (!bytes) {
        LogMessage("Dib::LoadResource %s failed\n", name.c_str());
        return 0;
    }
    // A copy, so that drawing into the picture never changes the library's
    // bytes that later loads of the same resource read.
    return LoadPacked(bytes->data(), bytes->size(), 0);
}

// ---------------------------------------------------------------------------
// Pixel access

uint8_t* Dib::PixelAddress(int x, int y) const {
    if (!header_ || !bits_ || x < 0 || y < 0 || x >= Width() || y >= AbsHeight()) {
        LogMessage("Dib::PixelAddress invalid pixel\n");
        return nullptr;
    }
    int64_t line = LineSize();
    int64_t row = header_->height > 0 ? header_->height - y - 1 : y;
    return bits_ + line * row + static_cast<int64_t>(x) * PixelSize();
}

uint32_t Dib::GetPixel(int x, int y) const {
    const uint8_t* p = PixelAddress(x, y);
    if (!p)
        return 0;
    switch (PixelSize()) {
    case 1:
        return p[0];
    case 2:
        return static_cast<uint32_t>(p[0] | (p[1] << 8));
    case 3:
        return (static_cast<uint32_t>(p[0]) << 16) | (p[1] << 8) | p[2];
    case 4: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    default:
        return 0;
    }
}

PixelBuffer Dib::Buffer() const {
    PixelBuffer b;
    int bits = BitCount();
    if (!bits_ || !IsUncompressed() || (bits != 8 && bits != 24 && bits != 32))
        return b;
    b.pixels = bits_;
    b.width = Width();
    b.height = AbsHeight();
    b.bitCount = bits;
    b.stride = LineSize();
    b.bottomUp = !IsTopDown();
    if (bits == 8 && colorUsage_ == rgbColors) {
        b.colorTable = reinterpret_cast<const uint8_t*>(ColorTable());
        b.colorCount = ColorCount();
    }
    return b;
}

// ---------------------------------------------------------------------------
// Colour tables

int Dib::CopyColorTable(const Dib& source) {
    if (IsEmpty() || source.IsEmpty())
        return 0;
    int n = std::min(ColorCount(), source.ColorCount());
    if (n > 0 && ColorTable() != source.ColorTable())
        std::memmove(ColorTable(), source.ColorTable(), 4 * static_cast<size_t>(n));
    return n;
}

int Dib::GetColorTable(RgbQuad* out) const {
    if (IsEmpty() || !out)
        return 0;
    if (colorUsage_ == rgbColors) {
        int n = ColorCount();
        std::memcpy(out, ColorTable(), 4 * static_cast<size_t>(n));
        return n;
    }
    // Palette indices: the colours of the application palette (there is no
    // palette-based display whose system palette would take precedence).
    const Palette& palette = XPalette::AppPalette();
    for (int i = 0; i < 256; ++i) {
        RgbQuad q;
        if (i < palette.Size()) {
            q.blue = palette.At(i).blue;
            q.green = palette.At(i).green;
            q.red = palette.At(i).red;
        }
        out[i] = q;
    }
    return 256;
}

bool Dib::IsGreyPalette() const {
    RgbQuad table[256];
    int n = GetColorTable(table);
    for (int i = 0; i < std::min(n, ColorCount()); ++i)
        if (table[i].blue != i || table[i].green != i || table[i].red != i)
            return false;
    return true;
}

int Dib::SetColorRamp(int count, ColorRef from, ColorRef to) {
    int colors = ColorCount();
    count = std::min(count, colors);
    if (IsEmpty() || count < 2) {
        LogMessage("Dib::SetColorRamp: fewer than 2 colours\n");
        return 0;
    }
    RgbQuad* t = ColorTable();
    auto mix = [&](int i, uint8_t a, uint8_t b) {
        return static_cast<uint8_t>(((count - 1 - i) * a + i * b) / (count - 1));
    };
    for (int i = 0; i < count; ++i) {
        t[i].blue = mix(i, BlueOf(from), BlueOf(to));
        t[i].green = mix(i, GreenOf(from), GreenOf(to));
        t[i].red = mix(i, RedOf(from), RedOf(to));
        t[i].reserved = 0;
    }
    for (int i = count; i < colors; ++i)
        t[i] = RgbQuad{192, 192, 192, 0};
    // The table now holds colours, not palette indices.
    colorUsage_ = rgbColors;
    return 1;
}

int Dib::SetColorCube() {
    int colors = ColorCount();
    if (IsEmpty() || colors == 0) {
        LogMessage("Dib::SetColorCube: no colour table\n");
        return 0;
    }
    RgbQuad* t = ColorTable();
    for (int g = 0; g < 8; ++g)
        for (int r = 0; r < 8; ++r)
            for (int b = 0; b < 4; ++b) {
                int i = g * 32 + r * 4 + b;
                if (i < colors)
                    t[i] = RgbQuad{static_cast<uint8_t>(b * 255 / 3),
                                   static_cast<uint8_t>(g * 255 / 7),
                                   static_cast<uint8_t>(r * 255 / 7), 0};
            }
    colorUsage_ = rgbColors;
    return 1;
}

int Dib::RemapIndices(const uint8_t* map) {
    if (IsEmpty() || !map)
        return 0;
    int colors = ColorCount();
    int bits = BitCount();
    if (GetCompression() == compressionRle8) {
        // Walk the run-length stream and remap only the colour bytes.
        uint8_t* p = bits_;
        uint8_t* end = bits_ + ImageSize();
        while (end - p >= 2) {
            uint8_t count = p[0], value = p[1];
            if (count != 0) {
                if (value < colors)
                    p[1] = map[value];
                p += 2;
            } else if (value == 0) {
                p += 2;
            } else if (value == 1) {
                break;
            } else if (value == 2) {
                p += 4;
            } else {
                p += 2;
                for (int i = 0; i < value && p < end; ++i, ++p)
                    if (*p < colors)
                        *p = map[*p];
                if ((value & 1) && p < end)
                    ++p;
            }
        }
        return 1;
    }
    if (!IsUncompressed() || (bits != 8 && bits != 4)) {
        LogMessage("Dib::RemapIndices invalid bitcount\n");
        return 0;
    }
    DibRows rows(*this);
    int w = Width();
    for (int y = 0; y < rows.count; ++y) {
        uint8_t* r = rows.Row(y);
        if (bits == 8) {
            for (int x = 0; x < w; ++x)
                if (r[x] < colors)
                    r[x] = map[r[x]];
        } else {
            for (int x = 0; x < w; ++x) {
                uint8_t& byte = r[x >> 1];
                int shift = (x & 1) ? 0 : 4;
                int v = (byte >> shift) & 15;
                if (v < colors)
                    byte = static_cast<uint8_t>((byte & ~(15 << shift)) | ((map[v] & 15) << shift));
            }
        }
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Drawing

namespace {

// Draws a source rectangle counted from the top.
int DrawTop(const Dib& dib, DrawContext& dc, const Rect& target, const Rect& source) {
    PixelBuffer buffer = dib.Buffer();
    RgbQuad table[256];
    RefPtr<Dib> temp;
    if (!buffer.IsValid()) {
        // Formats the drawing layer does not read go through true colour.
        temp = new Dib;
        if (!temp->Create(dib.Width(), dib.AbsHeight(), 24) || !temp->Copy(dib))
            return 0;
        buffer = temp->Buffer();
    } else if (buffer.bitCount == 8 && dib.GetColorUsage() == Dib::paletteIndices) {
        buffer.colorCount = dib.GetColorTable(table);
        buffer.colorTable = reinterpret_cast<const uint8_t*>(table);
    }
    const Palette* old = dc.SelectPalette(&XPalette::AppPalette());
    bool ok = dc.StretchBlit(target, buffer, source);
    dc.SelectPalette(old);
    return ok ? 1 : 0;
}

Rect FromBottom(const Dib& dib, const Rect& r) {
    if (dib.IsTopDown())
        return r;
    int h = dib.AbsHeight();
    return Rect(r.left, h - r.bottom, r.right, h - r.top);
}

} // namespace

int Dib::Draw(DrawContext& dc, const Rect* targetRect, const Rect* sourceRect) const {
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::Draw no bitmap\n");
        return 0;
    }
    Rect whole(0, 0, Width(), AbsHeight());
    Rect target = targetRect ? *targetRect : whole;
    Rect source = sourceRect ? FromBottom(*this, *sourceRect) : whole;
    return DrawTop(*this, dc, target, source);
}

int Dib::DrawTiled(DrawContext& dc, const Rect* rect, const Point* origin) const {
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::DrawTiled no bitmap\n");
        return 0;
    }
    Rect area = rect ? *rect : dc.GetClipBox();
    Point o = origin ? *origin : Point();
    int w = Width(), h = AbsHeight();
    auto firstTile = [](int start, int originAt, int size) {
        int64_t k = (static_cast<int64_t>(start) - originAt);
        int64_t q = k >= 0 ? k / size : -((-k + size - 1) / size);
        return static_cast<int>(originAt + q * size);
    };
    for (int ty = firstTile(area.top, o.y, h); ty < area.bottom; ty += h)
        for (int tx = firstTile(area.left, o.x, w); tx < area.right; tx += w) {
            Rect tile = Rect(tx, ty, tx + w, ty + h).Intersect(area);
            if (tile.IsEmpty())
                continue;
            Rect src = tile.Offset(-tx, -ty);
            if (!DrawTop(*this, dc, tile, src))
                return 0;
        }
    return 1;
}

int Dib::CopyTiled(const Dib& section, const Rect* rect, const Point* origin) {
    if (IsEmpty() || section.IsEmpty()) {
        LogMessage("Dib::CopyTiled no bitmap\n");
        return 0;
    }
    Rect area = (rect ? *rect : Rect(0, 0, Width(), AbsHeight()))
                    .Intersect(Rect(0, 0, Width(), AbsHeight()));
    Point o = origin ? *origin : Point();
    int w = section.Width(), h = section.AbsHeight();
    auto firstTile = [](int start, int originAt, int size) {
        int64_t k = (static_cast<int64_t>(start) - originAt);
        int64_t q = k >= 0 ? k / size : -((-k + size - 1) / size);
        return static_cast<int>(originAt + q * size);
    };
    for (int ty = firstTile(area.top, o.y, h); ty < area.bottom; ty += h)
        for (int tx = firstTile(area.left, o.x, w); tx < area.right; tx += w) {
            Rect tile = Rect(tx, ty, tx + w, ty + h).Intersect(area);
            if (tile.IsEmpty())
                continue;
            Point from(tile.left - tx, tile.top - ty);
            if (!Copy(section, &tile, &from))
                return 0;
        }
    return 1;
}

std::unique_ptr<DrawingSurface> Dib::ToBitmap(DrawContext* dc) const {
    (void)dc;
    if (IsEmpty() || !bits_) {
        LogMessage("Dib::ToBitmap no bitmap\n");
        return nullptr;
    }
    auto surface = std::make_unique<DrawingSurface>();
    if (!surface->Create(Width(), AbsHeight(), 32)) {
        LogMessage("Dib::ToBitmap: can't create bitmap\n");
        return nullptr;
    }
    DrawContext local;
    local.SelectSurface(surface.get());
    Rect whole(0, 0, Width(), AbsHeight());
    if (!DrawTop(*this, local, whole, whole))
        return nullptr;
    return surface;
}

int Dib::CreateFromBitmap(const DrawingSurface& bitmap, DrawContext* dc) {
    (void)dc;
    Release();
    PixelBuffer src = bitmap.Buffer();
    if (!src.IsValid()) {
        LogMessage("Dib::CreateFromBitmap: unsupported bitmap\n");
        return 0;
    }
    // Planes 1 and the bitmap's own depth.
    BitmapInfoHeader h;
    h.width = src.width;
    h.height = src.height;
    h.bitCount = static_cast<uint16_t>(src.bitCount);
    std::string why;
    if (!CheckHeader(h, &why)) {
        LogMessage("Dib::CreateFromBitmap: %s\n", why.c_str());
        return 0;
    }
    if (!Create(src.width, src.height, src.bitCount, false)) {
        LogMessage("Dib::CreateFromBitmap #1: malloc failed\n");
        return 0;
    }
    if (src.bitCount == 8 && src.colorTable)
        std::memcpy(ColorTable(), src.colorTable, 4 * std::min(src.colorCount, ColorCount()));
    DibRows rows(*this);
    size_t bytes = static_cast<size_t>(src.width) * (src.bitCount / 8);
    for (int y = 0; y < rows.count; ++y)
        std::memcpy(rows.Row(y), src.Row(y), bytes);
    return 1;
}

} // namespace orvik
