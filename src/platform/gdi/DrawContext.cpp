#include "platform/gdi/DrawContext.h"

#include "platform/gdi/DrawingSurface.h"
#include "platform/gdi/Font.h"
#include "platform/gdi/Palette.h"
#include "platform/gdi/VectorDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

namespace orvik {

namespace {

// First pixel whose centre lies at or right of x.
int PixelFrom(double x) {
    double v = std::ceil(x - 0.5);
    if (v < -1e9)
        return -1000000000;
    if (v > 1e9)
        return 1000000000;
    return static_cast<int>(v);
}

} // namespace

DrawContext::DrawContext() = default;
DrawContext::~DrawContext() = default;

DrawingSurface* DrawContext::SelectSurface(DrawingSurface* surface) {
    DrawingSurface* old = surface_;
    surface_ = surface;
    target_ = surface ? surface->Buffer() : PixelBuffer();
    return old;
}

void DrawContext::SelectBuffer(const PixelBuffer& buffer) {
    surface_ = nullptr;
    target_ = buffer;
}

const Palette* DrawContext::SelectPalette(const Palette* palette) {
    const Palette* old = palette_;
    palette_ = palette;
    return old;
}

int DrawContext::RealizePalette() const {
    return palette_ ? palette_->Size() : 0;
}

void DrawContext::SetPen(ColorRef color, int width) {
    penColor_ = color;
    penWidth_ = std::clamp(width, 1, 1000);
    penOn_ = true;
}

void DrawContext::SetBrush(ColorRef color) {
    brushColor_ = color;
    brushOn_ = true;
}

bool DrawContext::SelectFont(const std::string& family, int pixelHeight, bool bold, bool italic) {
    std::shared_ptr<Font> font = Font::Create(family, pixelHeight, bold, italic);
    if (!font)
        return false;
    font_ = std::move(font);
    return true;
}

void DrawContext::SelectFont(std::shared_ptr<Font> font) {
    font_ = std::move(font);
}

void DrawContext::SetClipRect(const Rect* rect) {
    hasClip_ = rect != nullptr;
    if (rect)
        clip_ = *rect;
}

Rect DrawContext::GetClipBox() const {
    if (!target_.IsValid())
        return Rect();
    Rect box(0, 0, target_.width, target_.height);
    return hasClip_ ? box.Intersect(clip_) : box;
}

DrawContext::Ink DrawContext::Resolve(ColorRef color) const {
    Ink ink;
    if (target_.bitCount == 8) {
        int index = 0;
        if (target_.colorTable && target_.colorCount > 0)
            index = NearestTableIndex(target_.colorTable, target_.colorCount, color);
        else if (palette_ && palette_->IsValid())
            index = palette_->NearestIndex(color);
        else if (IsPaletteIndex(color))
            index = RedOf(color);
        else
            index = (RedOf(color) + GreenOf(color) + BlueOf(color)) / 3;
        ink.b[0] = static_cast<uint8_t>(index);
        return ink;
    }
    ColorRef c = color;
    if (IsPaletteIndex(color)) {
        int i = RedOf(color);
        if (palette_ && i < palette_->Size()) {
            const Palette::Entry& e = palette_->At(i);
            c = Rgb(e.red, e.green, e.blue);
        } else {
            c = 0;
        }
    }
    ink.b[0] = BlueOf(c);
    ink.b[1] = GreenOf(c);
    ink.b[2] = RedOf(c);
    ink.b[3] = 255;
    return ink;
}

void DrawContext::Span(int y, int x0, int x1, const Ink& ink) {
    Rect box = GetClipBox();
    if (y < box.top || y >= box.bottom)
        return;
    x0 = std::max(x0, box.left);
    x1 = std::min(x1, box.right);
    if (x0 >= x1)
        return;
    uint8_t* row = target_.Row(y);
    int n = x1 - x0;
    switch (target_.bitCount) {
    case 8:
        std::memset(row + x0, ink.b[0], n);
        break;
    case 24:
        for (uint8_t* p = row + 3 * x0; n > 0; --n, p += 3) {
            p[0] = ink.b[0];
            p[1] = ink.b[1];
            p[2] = ink.b[2];
        }
        break;
    case 32:
        for (uint8_t* p = row + 4 * x0; n > 0; --n, p += 4)
            std::memcpy(p, ink.b, 4);
        break;
    default:
        break;
    }
}

void DrawContext::Plot(int x, int y, const Ink& ink) {
    Span(y, x, x + 1, ink);
}

void DrawContext::Stamp(int x, int y, const Ink& ink, int width) {
    if (width <= 1) {
        Plot(x, y, ink);
        return;
    }
    int lo = -(width / 2), hi = lo + width;
    for (int dy = lo; dy < hi; ++dy)
        Span(y + dy, x + lo, x + hi, ink);
}

void DrawContext::SetPixel(int x, int y, ColorRef color) {
    if (target_.IsValid())
        Plot(x, y, Resolve(color));
}

uint32_t DrawContext::GetPixelValue(int x, int y) const {
    if (!target_.IsValid() || x < 0 || y < 0 || x >= target_.width || y >= target_.height)
        return 0;
    const uint8_t* p = target_.Row(y) + x * target_.PixelBytes();
    if (target_.bitCount == 8)
        return p[0];
    return Rgb(p[2], p[1], p[0]);
}

ColorRef DrawContext::GetPixel(int x, int y) const {
    uint32_t v = GetPixelValue(x, y);
    if (target_.bitCount != 8)
        return v;
    if (target_.colorTable && static_cast<int>(v) < target_.colorCount) {
        const uint8_t* q = target_.colorTable + 4 * v;
        return Rgb(q[2], q[1], q[0]);
    }
    if (palette_ && static_cast<int>(v) < palette_->Size()) {
        const Palette::Entry& e = palette_->At(static_cast<int>(v));
        return Rgb(e.red, e.green, e.blue);
    }
    return Grey(static_cast<uint8_t>(v));
}

void DrawContext::FillRect(const Rect& rect, ColorRef color) {
    if (!target_.IsValid())
        return;
    Ink ink = Resolve(color);
    Rect r = rect.Intersect(GetClipBox());
    for (int y = r.top; y < r.bottom; ++y)
        Span(y, r.left, r.right, ink);
}

void DrawContext::Segment(int x0, int y0, int x1, int y1, const Ink& ink, int width, bool last) {
    Rect box = GetClipBox();
    int reach = width + 2;
    // A line much longer than the clip box is first cut to the box and a
    // margin (the ends then lie outside what is drawn, so only where the
    // line crosses the margin can a pixel move), so that lines played at
    // large scales cost no more than the pixels they can touch.
    int64_t span = std::max<int64_t>(box.Width(), box.Height()) + 2 * reach;
    if (std::abs(static_cast<int64_t>(x1) - x0) + std::abs(static_cast<int64_t>(y1) - y0) >
        4 * span) {
        double l = box.left - reach, t = box.top - reach, r = box.right + reach,
               b = box.bottom + reach;
        double t0 = 0, t1 = 1, dxf = static_cast<double>(x1) - x0,
               dyf = static_cast<double>(y1) - y0;
        auto cut = [&](double p, double q) {
            if (p == 0)
                return q >= 0;
            double u = q / p;
            if (p < 0) {
                if (u > t1)
                    return false;
                t0 = std::max(t0, u);
            } else {
                if (u < t0)
                    return false;
                t1 = std::min(t1, u);
            }
            return true;
        };
        if (!cut(-dxf, x0 - l) || !cut(dxf, r - x0) || !cut(-dyf, y0 - t) || !cut(dyf, b - y0))
            return;
        int nx0 = static_cast<int>(std::lround(x0 + t0 * dxf));
        int ny0 = static_cast<int>(std::lround(y0 + t0 * dyf));
        int nx1 = static_cast<int>(std::lround(x0 + t1 * dxf));
        int ny1 = static_cast<int>(std::lround(y0 + t1 * dyf));
        last = last || t1 < 1;
        x0 = nx0, y0 = ny0, x1 = nx1, y1 = ny1;
    }
    int64_t dx = std::abs(static_cast<int64_t>(x1) - x0),
            dy = -std::abs(static_cast<int64_t>(y1) - y0);
    int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
    int64_t err = dx + dy;
    int64_t x = x0, y = y0;
    for (;;) {
        bool end = x == x1 && y == y1;
        if (end && !last)
            break;
        if (x >= box.left - reach && x < box.right + reach && y >= box.top - reach &&
            y < box.bottom + reach)
            Stamp(static_cast<int>(x), static_cast<int>(y), ink, width);
        if (end)
            break;
        int64_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y += sy;
        }
    }
}

void DrawContext::LineTo(int x, int y) {
    if (target_.IsValid() && penOn_)
        Segment(current_.x, current_.y, x, y, Resolve(penColor_), penWidth_, false);
    current_ = Point(x, y);
}

void DrawContext::FillPolygon(const double* xy, int count, const Ink& ink) {
    if (count < 3)
        return;
    double minY = xy[1], maxY = xy[1];
    for (int i = 1; i < count; ++i) {
        minY = std::min(minY, xy[2 * i + 1]);
        maxY = std::max(maxY, xy[2 * i + 1]);
    }
    Rect box = GetClipBox();
    int y0 = std::max(PixelFrom(minY), box.top), y1 = std::min(PixelFrom(maxY), box.bottom);
    std::vector<std::pair<double, int>> cross;
    for (int y = y0; y < y1; ++y) {
        double yc = y + 0.5;
        cross.clear();
        for (int i = 0; i < count; ++i) {
            int j = (i + 1) % count;
            double ax = xy[2 * i], ay = xy[2 * i + 1], bx = xy[2 * j], by = xy[2 * j + 1];
            if ((ay <= yc && yc < by) || (by <= yc && yc < ay)) {
                double x = ax + (yc - ay) * (bx - ax) / (by - ay);
                cross.emplace_back(x, ay < by ? 1 : -1);
            }
        }
        std::sort(cross.begin(), cross.end());
        int winding = 0;
        for (size_t k = 0; k + 1 < cross.size(); ++k) {
            winding += cross[k].second;
            if (winding != 0)
                Span(y, PixelFrom(cross[k].first), PixelFrom(cross[k + 1].first), ink);
        }
    }
}

// Fills (with `fill`) and outlines (with `edge`) a shape given by its span
// on each row; a pixel is on the outline when it ends its row's span or the
// row above or below does not cover it.
template <class SpanOf>
static void SpanShape(int y0, int y1, SpanOf spanOf,
                      const std::function<void(int, int, int, bool)>& emit) {
    std::pair<int, int> prev = spanOf(y0 - 1), cur = spanOf(y0);
    for (int y = y0; y < y1; ++y) {
        std::pair<int, int> next = spanOf(y + 1);
        int a = cur.first, b = cur.second;
        if (a < b) {
            bool prevEmpty = prev.first >= prev.second, nextEmpty = next.first >= next.second;
            if (prevEmpty || nextEmpty) {
                emit(y, a, b, true);
            } else {
                int innerA = std::max({a + 1, prev.first, next.first});
                int innerB = std::min({b - 1, prev.second, next.second});
                if (innerA < innerB) {
                    emit(y, a, innerA, true);
                    emit(y, innerA, innerB, false);
                    emit(y, innerB, b, true);
                } else {
                    emit(y, a, b, true);
                }
            }
        }
        prev = cur;
        cur = next;
    }
}

void DrawContext::FillEllipse(double l, double t, double r, double b, const Ink* fill,
                              const Ink* edge) {
    if (r <= l || b <= t || (!fill && !edge))
        return;
    double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    Rect box = GetClipBox();
    int y0 = std::max(PixelFrom(t), box.top), y1 = std::min(PixelFrom(b), box.bottom);
    auto spanOf = [&](int y) {
        double dy = (y + 0.5 - cy) / ry;
        if (dy <= -1 || dy >= 1)
            return std::pair<int, int>(0, 0);
        double half = rx * std::sqrt(1 - dy * dy);
        return std::pair<int, int>(PixelFrom(cx - half), PixelFrom(cx + half));
    };
    SpanShape(y0, y1, spanOf, [&](int y, int a, int bb, bool isEdge) {
        const Ink* ink = isEdge && edge ? edge : fill;
        if (ink)
            Span(y, a, bb, *ink);
    });
}

void DrawContext::FillRectF(double l, double t, double r, double b, const Ink* fill,
                            const Ink* edge) {
    int L = PixelFrom(l), T = PixelFrom(t), R = PixelFrom(r), B = PixelFrom(b);
    if (L >= R || T >= B || (!fill && !edge))
        return;
    Rect box = GetClipBox();
    int y0 = std::max(T, box.top), y1 = std::min(B, box.bottom);
    for (int y = y0; y < y1; ++y) {
        bool edgeRow = y == T || y == B - 1;
        if (edge && edgeRow) {
            Span(y, L, R, *edge);
        } else if (edge) {
            Span(y, L, L + 1, *edge);
            Span(y, R - 1, R, *edge);
            if (fill)
                Span(y, L + 1, R - 1, *fill);
        } else {
            Span(y, L, R, *fill);
        }
    }
}

void DrawContext::Rectangle(const Rect& rect) {
    if (!target_.IsValid())
        return;
    Ink pen = Resolve(penColor_), brush = Resolve(brushColor_);
    FillRectF(rect.left, rect.top, rect.right, rect.bottom, brushOn_ ? &brush : nullptr,
              penOn_ ? &pen : nullptr);
}

void DrawContext::Ellipse(const Rect& rect) {
    if (!target_.IsValid())
        return;
    Ink pen = Resolve(penColor_), brush = Resolve(brushColor_);
    FillEllipse(rect.left, rect.top, rect.right, rect.bottom, brushOn_ ? &brush : nullptr,
                penOn_ ? &pen : nullptr);
}

void DrawContext::Polygon(const Point* points, int count) {
    if (!target_.IsValid() || !points || count < 2)
        return;
    if (brushOn_) {
        // Pixel centres inside the outline through the pixels' own centres.
        std::vector<double> xy(2 * static_cast<size_t>(count));
        for (int i = 0; i < count; ++i) {
            xy[2 * i] = points[i].x + 0.5;
            xy[2 * i + 1] = points[i].y + 0.5;
        }
        FillPolygon(xy.data(), count, Resolve(brushColor_));
    }
    if (penOn_) {
        Ink pen = Resolve(penColor_);
        for (int i = 0; i < count; ++i) {
            const Point& a = points[i];
            const Point& b = points[(i + 1) % count];
            Segment(a.x, a.y, b.x, b.y, pen, penWidth_, true);
        }
    }
}

bool DrawContext::greyTable() const {
    if (!target_.colorTable || target_.colorCount <= 0)
        return false;
    for (int i = 0; i < target_.colorCount; ++i) {
        const uint8_t* q = target_.colorTable + 4 * i;
        if (q[0] != i || q[1] != i || q[2] != i)
            return false;
    }
    return true;
}

void DrawContext::Blend(int x, int y, const Ink& ink, int coverage) {
    uint8_t* p = target_.Row(y) + x * target_.PixelBytes();
    int keep = 255 - coverage;
    switch (target_.bitCount) {
    case 8:
        p[0] = static_cast<uint8_t>((p[0] * keep + ink.b[0] * coverage + 127) / 255);
        break;
    case 32:
        p[3] = static_cast<uint8_t>(p[3] + ((255 - p[3]) * coverage + 127) / 255);
        [[fallthrough]];
    case 24:
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<uint8_t>((p[c] * keep + ink.b[c] * coverage + 127) / 255);
        break;
    default:
        break;
    }
}

int DrawContext::TextOut(int x, int y, std::string_view utf8) {
    if (!font_)
        return 0;
    if (!target_.IsValid())
        return font_->Measure(utf8);
    Ink ink = Resolve(textColor_);
    Rect box = GetClipBox();
    // Anti-aliased edges blend on true-colour targets and on grey ramps;
    // other 8-bit targets take the text colour where a pixel is half covered.
    bool blend = target_.bitCount != 8 || greyTable();
    int baseline = y + font_->Ascent();
    return font_->Render(utf8,
                         [&](int left, int top, int w, int rows, int pitch, const uint8_t* cov) {
                             for (int r = 0; r < rows; ++r) {
                                 int py = baseline + top + r;
                                 if (py < box.top || py >= box.bottom)
                                     continue;
                                 const uint8_t* line = cov + static_cast<ptrdiff_t>(r) * pitch;
                                 for (int c = 0; c < w; ++c) {
                                     int px = x + left + c;
                                     int a = line[c];
                                     if (a == 0 || px < box.left || px >= box.right)
                                         continue;
                                     if (a == 255 || (!blend && a >= 128))
                                         Plot(px, py, ink);
                                     else if (blend)
                                         Blend(px, py, ink, a);
                                 }
                             }
                         });
}

int DrawContext::TextWidth(std::string_view utf8) const {
    return font_ ? font_->Measure(utf8) : 0;
}

bool DrawContext::PlayDrawing(const VectorDrawing& drawing, const Rect& target,
                              bool useDrawingColors) {
    if (!target_.IsValid() || !drawing.IsValid())
        return false;
    const Rect& f = drawing.Frame();
    double sx = static_cast<double>(target.Width()) / f.Width();
    double sy = static_cast<double>(target.Height()) / f.Height();
    auto mapX = [&](int x) { return target.left + (x - f.left) * sx; };
    auto mapY = [&](int y) { return target.top + (y - f.top) * sy; };
    Ink brush = Resolve(brushColor_), pen = Resolve(penColor_);
    std::vector<double> xy;
    for (const VectorDrawing::Shape& s : drawing.Shapes()) {
        if (useDrawingColors && s.hasColor)
            brush = pen = Resolve(s.color);
        bool fillOn = useDrawingColors || brushOn_;
        bool edgeOn = useDrawingColors || penOn_;
        const std::vector<int>& c = s.coords;
        switch (s.kind) {
        case VectorDrawing::Kind::polygon:
        case VectorDrawing::Kind::line: {
            size_t n = c.size() / 2;
            bool closed = s.kind == VectorDrawing::Kind::polygon;
            if (closed && fillOn) {
                xy.resize(c.size());
                for (size_t i = 0; i < n; ++i) {
                    xy[2 * i] = mapX(c[2 * i]);
                    xy[2 * i + 1] = mapY(c[2 * i + 1]);
                }
                FillPolygon(xy.data(), static_cast<int>(n), brush);
            }
            if (edgeOn) {
                size_t segments = closed ? n : n - 1;
                for (size_t i = 0; i < segments; ++i) {
                    size_t j = (i + 1) % n;
                    Segment(PixelFrom(mapX(c[2 * i])), PixelFrom(mapY(c[2 * i + 1])),
                            PixelFrom(mapX(c[2 * j])), PixelFrom(mapY(c[2 * j + 1])), pen,
                            useDrawingColors ? 1 : penWidth_, true);
                }
            }
            break;
        }
        case VectorDrawing::Kind::ellipse:
        case VectorDrawing::Kind::rectangle: {
            double l = mapX(std::min(c[0], c[2])), r = mapX(std::max(c[0], c[2]));
            double t = mapY(std::min(c[1], c[3])), b = mapY(std::max(c[1], c[3]));
            if (l > r)
                std::swap(l, r);
            if (t > b)
                std::swap(t, b);
            if (s.kind == VectorDrawing::Kind::ellipse)
                FillEllipse(l, t, r, b, fillOn ? &brush : nullptr, edgeOn ? &pen : nullptr);
            else
                FillRectF(l, t, r, b, fillOn ? &brush : nullptr, edgeOn ? &pen : nullptr);
            break;
        }
        }
    }
    return true;
}

bool DrawContext::StretchBlit(const Rect& target, const PixelBuffer& source,
                              const Rect& sourceRect) {
    if (!target_.IsValid() || !source.IsValid() || target.IsEmpty() || sourceRect.IsEmpty())
        return false;
    Rect src = sourceRect.Intersect(Rect(0, 0, source.width, source.height));
    if (src.IsEmpty())
        return false;
    Rect out = target.Intersect(GetClipBox());
    int64_t tw = target.Width(), th = target.Height();
    int64_t sw = sourceRect.Width(), sh = sourceRect.Height();
    int spb = source.PixelBytes(), tpb = target_.PixelBytes();
    ColorRef lastColor = 0xFFFFFFFFu;
    Ink lastInk;
    for (int y = out.top; y < out.bottom; ++y) {
        int sy = static_cast<int>(sourceRect.top + (y - target.top) * sh / th);
        sy = std::clamp(sy, src.top, src.bottom - 1);
        const uint8_t* srow = source.Row(sy);
        uint8_t* trow = target_.Row(y);
        for (int x = out.left; x < out.right; ++x) {
            int sx = static_cast<int>(sourceRect.left + (x - target.left) * sw / tw);
            sx = std::clamp(sx, src.left, src.right - 1);
            const uint8_t* s = srow + static_cast<ptrdiff_t>(sx) * spb;
            uint8_t* t = trow + static_cast<ptrdiff_t>(x) * tpb;
            if (spb == tpb && (spb != 1 || source.colorTable == target_.colorTable)) {
                std::memcpy(t, s, spb);
                continue;
            }
            uint8_t b, g, r;
            if (spb == 1) {
                if (source.colorTable && s[0] < source.colorCount) {
                    const uint8_t* q = source.colorTable + 4 * s[0];
                    b = q[0], g = q[1], r = q[2];
                } else {
                    b = g = r = s[0];
                }
            } else {
                b = s[0], g = s[1], r = s[2];
            }
            if (tpb == 1) {
                ColorRef c = Rgb(r, g, b);
                if (c != lastColor) {
                    lastInk = Resolve(c);
                    lastColor = c;
                }
                t[0] = lastInk.b[0];
            } else {
                t[0] = b, t[1] = g, t[2] = r;
                if (tpb == 4)
                    t[3] = spb == 4 ? s[3] : 255;
            }
        }
    }
    return true;
}

} // namespace orvik
