// Reads arbitrary bytes as a vector drawing and plays what parses.
#include "platform/gdi/DrawContext.h"
#include "platform/gdi/DrawingSurface.h"
#include "platform/gdi/VectorDrawing.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    VectorDrawing drawing;
    std::string error;
    if (!drawing.Parse(data, size, &error))
        return 0;
    DrawingSurface surface;
    if (!surface.Create(32, 24, 8))
        return 0;
    DrawContext dc;
    dc.SelectSurface(&surface);
    dc.SetPen(0x808080, 3);
    dc.SetBrush(0xFFFFFF);
    dc.PlayDrawing(drawing, Rect(-5, -3, 40, 30));
    dc.PlayDrawing(drawing, Rect(0, 0, 32, 24), true);
    drawing.Text();
    return 0;
}
