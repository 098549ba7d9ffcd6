#pragma once

#include "platform/gdi/ColorRef.h"
#include "platform/gdi/PixelBuffer.h"
#include "platform/gdi/Point.h"
#include "platform/gdi/Rect.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace orvik {

class DrawingSurface;
class Font;
class Palette;
class VectorDrawing;

// A drawing context: draws lines, rectangles, ellipses, polygons, text,
// vector drawings and stretched pictures into the selected target, an 8-,
// 24- or 32-bit surface or pixel buffer. Colours are resolved for the
// target: on 8-bit targets to the nearest entry of the target's colour table
// (or of the selected palette when it has none). Everything is clipped to the
// target and to the clip rectangle. A context is used by one thread at a time.
class DrawContext {
public:
    DrawContext();
    virtual ~DrawContext();
    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    // Makes `surface` (or nothing) the target; returns the surface selected
    // before.
    DrawingSurface* SelectSurface(DrawingSurface* surface);
    DrawingSurface* SelectedSurface() const { return surface_; }
    // Draws into rows that somebody else owns.
    void SelectBuffer(const PixelBuffer& buffer);
    const PixelBuffer& Target() const { return target_; }
    bool HasTarget() const { return target_.IsValid(); }

    // The palette that palette-index colours and 8-bit targets without a
    // colour table resolve against; returns the one selected before.
    const Palette* SelectPalette(const Palette* palette);
    const Palette* SelectedPalette() const { return palette_; }
    // Maps the selected palette; returns the number of entries (0 without).
    int RealizePalette() const;

    // Tools. A null pen draws no outlines, a null brush fills nothing.
    void SetPen(ColorRef color, int width = 1);
    void SetNullPen() { penOn_ = false; }
    void SetBrush(ColorRef color);
    void SetNullBrush() { brushOn_ = false; }
    void SetTextColor(ColorRef color) { textColor_ = color; }
    ColorRef TextColor() const { return textColor_; }
    bool SelectFont(const std::string& family, int pixelHeight, bool bold = false,
                    bool italic = false);
    void SelectFont(std::shared_ptr<Font> font);
    const std::shared_ptr<Font>& SelectedFont() const { return font_; }

    // Limits drawing to `rect` within the target (null: the whole target).
    void SetClipRect(const Rect* rect);
    Rect GetClipBox() const;

    void SetPixel(int x, int y, ColorRef color);
    // The stored value: the index on 8-bit targets, else the colour.
    uint32_t GetPixelValue(int x, int y) const;
    // The colour shown (8-bit pixels through the colour table).
    ColorRef GetPixel(int x, int y) const;

    void FillRect(const Rect& rect, ColorRef color);
    void MoveTo(int x, int y) { current_ = Point(x, y); }
    // A pen line from the current position up to, not including, (x, y).
    void LineTo(int x, int y);
    // Outline with the pen inside the rectangle, interior with the brush.
    void Rectangle(const Rect& rect);
    void Ellipse(const Rect& rect);
    void Polygon(const Point* points, int count);

    // One line of text in the text colour with the top of its line box at
    // y; returns the advance width (0 without a font).
    int TextOut(int x, int y, std::string_view utf8);
    int TextWidth(std::string_view utf8) const;

    // Plays a drawing with its frame mapped onto `target`. Shapes are filled
    // with the brush and outlined with the pen unless `useDrawingColors`, in
    // which case the drawing's own colours serve for both.
    bool PlayDrawing(const VectorDrawing& drawing, const Rect& target,
                     bool useDrawingColors = false);

    // Stretches `sourceRect` (rows counted from the top) of an 8-, 24- or
    // 32-bit picture onto `target`, nearest pixel.
    bool StretchBlit(const Rect& target, const PixelBuffer& source, const Rect& sourceRect);

private:
    struct Ink {
        uint8_t b[4] = {0, 0, 0, 255};
    };
    Ink Resolve(ColorRef color) const;
    void Plot(int x, int y, const Ink& ink);
    void Stamp(int x, int y, const Ink& ink, int width);
    void Span(int y, int x0, int x1, const Ink& ink);
    void Segment(int x0, int y0, int x1, int y1, const Ink& ink, int width, bool last);
    void FillPolygon(const double* xy, int count, const Ink& ink);
    void FillEllipse(double l, double t, double r, double b, const Ink* fill, const Ink* edge);
    void FillRectF(double l, double t, double r, double b, const Ink* fill, const Ink* edge);
    void Blend(int x, int y, const Ink& ink, int coverage);
    bool greyTable() const;

    DrawingSurface* surface_ = nullptr;
    PixelBuffer target_;
    const Palette* palette_ = nullptr;
    Rect clip_;
    bool hasClip_ = false;
    Point current_;
    ColorRef penColor_ = 0, brushColor_ = 0xFFFFFF, textColor_ = 0;
    int penWidth_ = 1;
    bool penOn_ = true, brushOn_ = true;
    std::shared_ptr<Font> font_;
};

} // namespace orvik
