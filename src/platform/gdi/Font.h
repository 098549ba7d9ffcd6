#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace orvik {

// A font at one pixel size: found by family name through the system's font
// configuration, shaped line by line and rendered as grey coverage. Safe to
// use from several threads (each font serialises its own use).
class Font {
public:
    static constexpr const char* kDefaultFamily = "DejaVu Sans";
    static constexpr int kMaxPixelHeight = 2048;

    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // The best match for `family` (the default family when empty) at
    // `pixelHeight` pixels per em; null when nothing usable is installed or
    // the height is outside 1..kMaxPixelHeight.
    static std::shared_ptr<Font> Create(const std::string& family, int pixelHeight,
                                        bool bold = false, bool italic = false);

    const std::string& FilePath() const;
    const std::string& FamilyName() const;
    int PixelHeight() const;
    // Distances from the baseline, in whole pixels.
    int Ascent() const;
    int Descent() const;
    int LineHeight() const { return Ascent() + Descent(); }

    // One glyph's coverage rows (0 transparent .. 255 covered), placed with
    // its top-left at (left, top) relative to the pen start on the baseline.
    using GlyphSink = std::function<void(int left, int top, int width, int rows, int pitch,
                                         const uint8_t* coverage)>;
    // Shapes one line of UTF-8 text and hands each glyph to `sink`; returns
    // the advance width in pixels.
    int Render(std::string_view utf8, const GlyphSink& sink) const;
    int Measure(std::string_view utf8) const;

private:
    struct Impl;
    explicit Font(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace orvik
