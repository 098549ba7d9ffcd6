#include "platform/titling/TitleDocument.h"

#include "platform/gdi/Font.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvik {

namespace {

constexpr uint8_t kMagic[4] = {'O', 'T', 'D', '1'};

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutText(std::vector<uint8_t>& out, const std::string& s) {
    Put32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

// Reads little-endian values, never past the end of its bytes.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : p_(data), left_(size) {}
    bool U32(uint32_t& v) {
        if (left_ < 4)
            return false;
        v = static_cast<uint32_t>(p_[0]) | (static_cast<uint32_t>(p_[1]) << 8) |
            (static_cast<uint32_t>(p_[2]) << 16) | (static_cast<uint32_t>(p_[3]) << 24);
        p_ += 4;
        left_ -= 4;
        return true;
    }
    bool I32(int32_t& v) {
        uint32_t u;
        if (!U32(u))
            return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool Text(std::string& s, uint32_t limit) {
        uint32_t n;
        if (!U32(n) || n > limit || n > left_)
            return false;
        s.assign(reinterpret_cast<const char*>(p_), n);
        p_ += n;
        left_ -= n;
        return true;
    }
    bool Bytes(const uint8_t* expected, size_t n) {
        if (left_ < n || std::memcmp(p_, expected, n) != 0)
            return false;
        p_ += n;
        left_ -= n;
        return true;
    }
    size_t Left() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

// Smallest encoded size of one text (two empty strings and ten values).
constexpr size_t kMinTextBytes = 4 * 12;

// Lays `cover` (alpha 0..255) in `color` over premultiplied rows.
void Over(uint8_t* pixels, int width, int height, int stride, const std::vector<uint8_t>& cover,
          uint32_t color) {
    const int r = color & 0xFF, g = (color >> 8) & 0xFF, b = (color >> 16) & 0xFF;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels + static_cast<ptrdiff_t>(y) * stride;
        const uint8_t* c = cover.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            int a = c[x];
            if (a == 0)
                continue;
            uint8_t* p = row + 4 * x;
            int keep = 255 - a;
            p[0] = static_cast<uint8_t>((b * a + p[0] * keep + 127) / 255);
            p[1] = static_cast<uint8_t>((g * a + p[1] * keep + 127) / 255);
            p[2] = static_cast<uint8_t>((r * a + p[2] * keep + 127) / 255);
            p[3] = static_cast<uint8_t>((255 * a + p[3] * keep + 127) / 255);
        }
    }
}

// Grows a coverage mask by `radius` pixels in every direction (a square
// maximum filter, done along rows and then along columns).
std::vector<uint8_t> Dilate(const std::vector<uint8_t>& in, int width, int height, int radius) {
    std::vector<uint8_t> rows(in.size()), out(in.size());
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = in.data() + static_cast<size_t>(y) * width;
        uint8_t* d = rows.data() + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            int lo = std::max(0, x - radius), hi = std::min(width - 1, x + radius);
            uint8_t m = 0;
            for (int i = lo; i <= hi; ++i)
                m = std::max(m, s[i]);
            d[x] = m;
        }
    }
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            int lo = std::max(0, y - radius), hi = std::min(height - 1, y + radius);
            uint8_t m = 0;
            for (int i = lo; i <= hi; ++i)
                m = std::max(m, rows[static_cast<size_t>(i) * width + x]);
            out[static_cast<size_t>(y) * width + x] = m;
        }
    }
    return out;
}

std::vector<uint8_t> Shifted(const std::vector<uint8_t>& in, int width, int height, int dx,
                             int dy) {
    std::vector<uint8_t> out(in.size(), 0);
    for (int y = 0; y < height; ++y) {
        int sy = y - dy;
        if (sy < 0 || sy >= height)
            continue;
        for (int x = 0; x < width; ++x) {
            int sx = x - dx;
            if (sx >= 0 && sx < width)
                out[static_cast<size_t>(y) * width + x] = in[static_cast<size_t>(sy) * width + sx];
        }
    }
    return out;
}

} // namespace

std::vector<uint8_t> TitleDocument::Encode() const {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    Put32(out, static_cast<uint32_t>(frameWidth));
    Put32(out, static_cast<uint32_t>(frameHeight));
    Put32(out, fillColor);
    Put32(out, fillAlpha);
    Put32(out, static_cast<uint32_t>(texts.size()));
    for (const TitleText& t : texts) {
        PutText(out, t.text);
        PutText(out, t.family);
        Put32(out, static_cast<uint32_t>(t.x));
        Put32(out, static_cast<uint32_t>(t.y));
        Put32(out, t.pixelHeight);
        Put32(out, t.flags);
        Put32(out, t.color);
        Put32(out, t.outlineColor);
        Put32(out, t.outlineWidth);
        Put32(out, t.shadowColor);
        Put32(out, static_cast<uint32_t>(t.shadowDx));
        Put32(out, static_cast<uint32_t>(t.shadowDy));
    }
    return out;
}

bool TitleDocument::Decode(const uint8_t* data, size_t size, std::string* why) {
    auto fail = [why](const char* text) {
        if (why)
            *why = text;
        return false;
    };
    if (!data)
        return fail("no data");
    Reader in(data, size);
    TitleDocument d;
    uint32_t count = 0;
    if (!in.Bytes(kMagic, 4))
        return fail("not a title document");
    if (!in.I32(d.frameWidth) || !in.I32(d.frameHeight) || !in.U32(d.fillColor) ||
        !in.U32(d.fillAlpha) || !in.U32(count))
        return fail("title document cut short");
    if (d.frameWidth < 1 || d.frameWidth > kMaxFrame || d.frameHeight < 1 ||
        d.frameHeight > kMaxFrame)
        return fail("bad frame size");
    if (d.fillAlpha > 255 || (d.fillColor >> 24) != 0)
        return fail("bad fill");
    if (count > kMaxTexts || count > in.Left() / kMinTextBytes)
        return fail("bad text count");
    d.texts.resize(count);
    for (TitleText& t : d.texts) {
        if (!in.Text(t.text, kMaxTextBytes) || !in.Text(t.family, kMaxFamilyBytes) ||
            !in.I32(t.x) || !in.I32(t.y) || !in.U32(t.pixelHeight) || !in.U32(t.flags) ||
            !in.U32(t.color) || !in.U32(t.outlineColor) || !in.U32(t.outlineWidth) ||
            !in.U32(t.shadowColor) || !in.I32(t.shadowDx) || !in.I32(t.shadowDy))
            return fail("title text cut short");
        if (t.pixelHeight < 1 || t.pixelHeight > kMaxPixelHeight ||
            (t.flags & ~TitleText::kKnownFlags) != 0 || t.outlineWidth > kMaxOutlineWidth ||
            std::abs(t.shadowDx) > kMaxShadowOffset || std::abs(t.shadowDy) > kMaxShadowOffset ||
            std::abs(t.x) > kMaxPosition || std::abs(t.y) > kMaxPosition ||
            ((t.color | t.outlineColor | t.shadowColor) >> 24) != 0)
            return fail("bad title text");
    }
    if (in.Left() != 0)
        return fail("bytes after the title document");
    *this = std::move(d);
    return true;
}

std::string TitleDocument::PlainText() const {
    std::string out;
    bool blank = false;
    for (const TitleText& t : texts) {
        blank = true;
        for (char c : t.text) {
            bool isBlank = c == ' ' || c == '\t' || c == '\n' || c == '\r';
            if (isBlank) {
                blank = true;
                continue;
            }
            if (blank && !out.empty())
                out += ' ';
            blank = false;
            out += c;
        }
    }
    return out;
}

bool TitleDocument::RenderInto(uint8_t* pixels, int width, int height, int stride) const {
    if (!pixels || width < 1 || height < 1 || stride < 4 * width)
        return false;
    for (int y = 0; y < height; ++y)
        std::memset(pixels + static_cast<ptrdiff_t>(y) * stride, 0, 4 * static_cast<size_t>(width));
    const size_t area = static_cast<size_t>(width) * height;
    if (fillAlpha > 0)
        Over(pixels, width, height, stride,
             std::vector<uint8_t>(area, static_cast<uint8_t>(fillAlpha)), fillColor);
    const double sx = static_cast<double>(width) / frameWidth;
    const double sy = static_cast<double>(height) / frameHeight;
    for (const TitleText& t : texts) {
        int size = static_cast<int>(std::lround(t.pixelHeight * sy));
        size = std::clamp(size, 1, Font::kMaxPixelHeight);
        std::shared_ptr<Font> font = Font::Create(t.family, size, (t.flags & TitleText::bold) != 0,
                                                  (t.flags & TitleText::italic) != 0);
        if (!font && !t.family.empty())
            font = Font::Create(std::string(), size, (t.flags & TitleText::bold) != 0,
                                (t.flags & TitleText::italic) != 0);
        if (!font)
            return false;
        std::vector<uint8_t> cover(area, 0);
        const int x0 = static_cast<int>(std::lround(t.x * sx));
        int top = static_cast<int>(std::lround(t.y * sy));
        size_t from = 0;
        while (from <= t.text.size()) {
            size_t end = t.text.find('\n', from);
            if (end == std::string::npos)
                end = t.text.size();
            std::string_view line(t.text.data() + from, end - from);
            const int baseline = top + font->Ascent();
            if (baseline - font->Ascent() < height && baseline + font->Descent() >= 0) {
                font->Render(
                    line, [&](int left, int gtop, int w, int rows, int pitch, const uint8_t* cov) {
                        for (int r = 0; r < rows; ++r) {
                            int py = baseline + gtop + r;
                            if (py < 0 || py >= height)
                                continue;
                            const uint8_t* src = cov + static_cast<ptrdiff_t>(r) * pitch;
                            uint8_t* dst = cover.data() + static_cast<size_t>(py) * width;
                            for (int c = 0; c < w; ++c) {
                                int px = x0 + left + c;
                                if (px >= 0 && px < width)
                                    dst[px] = std::max(dst[px], src[c]);
                            }
                        }
                    });
            }
            top += font->LineHeight();
            from = end + 1;
        }
        std::vector<uint8_t> shape = cover;
        if ((t.flags & TitleText::outline) && t.outlineWidth > 0) {
            int radius = std::max(1, static_cast<int>(std::lround(t.outlineWidth * sy)));
            shape = Dilate(cover, width, height, radius);
        }
        if (t.flags & TitleText::shadow) {
            int dx = static_cast<int>(std::lround(t.shadowDx * sx));
            int dy = static_cast<int>(std::lround(t.shadowDy * sy));
            Over(pixels, width, height, stride, Shifted(shape, width, height, dx, dy),
                 t.shadowColor);
        }
        if (t.flags & TitleText::outline)
            Over(pixels, width, height, stride, shape, t.outlineColor);
        Over(pixels, width, height, stride, cover, t.color);
    }
    return true;
}

} // namespace orvik
