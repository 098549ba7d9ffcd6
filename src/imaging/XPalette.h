#pragma once

#include "platform/gdi/Palette.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvik {

// The application's 256-colour logical palette: loaded from a bitmap
// resource's colour table or the "PALETTE" resource, or made as a grey
// ramp.
class XPalette : public Palette {
public:
    XPalette();
    ~XPalette() override;

    // 256 entries from the colour table of a bitmap resource.
    int LoadFromResource(const std::string& name);
    // The "PALETTE" resource form: groups of red, green, blue and flags.
    int CreateFromEntries(const uint8_t* rgbf, size_t size);
    // `count` entries (0 means 256) of grey i, i, i with the no-collapse
    // flag.
    int CreateGrey(int count);
    // Realising into the system palette needs a palette-based display of at
    // most 256 colours.
    int SetSystemPalette() const;

    // The application palette that palette-index images and drawing resolve
    // against: the one set at start-up, else a fixed 3-3-2 colour cube.
    static const Palette& AppPalette();
    // Set by the application object; the palette must outlive its use.
    static void SetAppPalette(const XPalette* palette);
};

} // namespace orvik
