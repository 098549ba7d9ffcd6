#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// One line (or several, split at line ends) of title text with its look.
// Positions and sizes are in the document's frame (frameWidth x
// frameHeight); rendering at another size scales them.
struct TitleText {
    enum Flags : uint32_t { bold = 0x1, italic = 0x2, outline = 0x4, shadow = 0x8 };
    static constexpr uint32_t kKnownFlags = bold | italic | outline | shadow;

    std::string text;   // UTF-8
    std::string family; // empty: the default family
    int32_t x = 0;      // left of the text
    int32_t y = 0;      // top of the first line box
    uint32_t pixelHeight = 48;
    uint32_t flags = 0;
    uint32_t color = 0xFFFFFF; // red in the low byte
    uint32_t outlineColor = 0;
    uint32_t outlineWidth = 2;
    uint32_t shadowColor = 0;
    int32_t shadowDx = 3;
    int32_t shadowDy = 3;

    bool operator==(const TitleText&) const = default;
};

// A title: texts over a transparent frame, or over a filled one.
// Its private-data form is little-endian:
//   "OTD1", frame width, frame height, fill colour, fill alpha, count,
//   then each text: length + bytes of text and of family, x, y,
//   pixel height, flags, colour, outline colour and width, shadow colour,
//   shadow dx, dy (each a 32-bit value).
// Every size read is checked against the bytes present and against the
// limits below before anything is allocated.
struct TitleDocument {
    static constexpr int kMaxFrame = 8192;
    static constexpr uint32_t kMaxTexts = 256;
    static constexpr uint32_t kMaxTextBytes = 4096;
    static constexpr uint32_t kMaxFamilyBytes = 256;
    static constexpr uint32_t kMaxPixelHeight = 2048;
    static constexpr uint32_t kMaxOutlineWidth = 32;
    static constexpr int32_t kMaxShadowOffset = 256;
    static constexpr int32_t kMaxPosition = 1 << 20;

    int32_t frameWidth = 768;
    int32_t frameHeight = 576;
    uint32_t fillColor = 0;
    uint32_t fillAlpha = 0; // 0 transparent .. 255 opaque
    std::vector<TitleText> texts;

    bool operator==(const TitleDocument&) const = default;

    std::vector<uint8_t> Encode() const;
    // False, with `why`, for bytes that are not a document.
    bool Decode(const uint8_t* data, size_t size, std::string* why);

    // All texts in order, line ends and runs of blanks as one blank, without
    // blanks at either end.
    std::string PlainText() const;

    // Draws the title into top-down 32-bit rows (blue, green, red, alpha;
    // colours premultiplied by alpha) of width x height; the rows start
    // cleared to transparent. False when a font cannot be had.
    bool RenderInto(uint8_t* pixels, int width, int height, int stride) const;
};

} // namespace orvik
