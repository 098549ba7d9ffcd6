#pragma once

namespace orvik {

// What the drawing layer knows of the screen. Pictures are shown through the
// GUI toolkit in true colour, so there is no palette-based display and no
// system palette to realise into.
class Display {
public:
    static bool IsPaletteBased() { return false; }
    // Bits per screen pixel.
    static int BitsPerPixel() { return 24; }
    // Colours the screen shows at once.
    static long ColorCount() { return 1L << BitsPerPixel(); }
};

} // namespace orvik
