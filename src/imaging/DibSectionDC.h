#pragma once

#include "platform/gdi/DrawContext.h"

namespace orvik {

class DibSection;
class DrawingSurface;
class Palette;

// A drawing context over a DibSection: the application palette is selected
// and the section's surface is the target while it lives; destruction puts
// back what the context had before.
class DibSectionDC : public DrawContext {
public:
    // `dc` is the context to be compatible with (the screen when null); all
    // contexts of the drawing layer are compatible with one another.
    explicit DibSectionDC(DibSection& section, DrawContext* dc = nullptr);
    ~DibSectionDC() override;

    // False when the section has no surface to draw on.
    bool IsValid() const { return HasTarget(); }

private:
    DrawingSurface* oldSurface_ = nullptr;
    const Palette* oldPalette_ = nullptr;
};

} // namespace orvik
