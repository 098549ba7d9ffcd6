#pragma once

#include "imaging/Dib.h"
#include "model/Transition.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace orvik {

class Clip;
class Dib;

// A transition whose spatial course is an 8-bit grey pattern of the frame's
// size: the pixel whose pattern byte is 255 turns to the incoming picture
// first, 0 last. Each kind draws one family of patterns from a few integer
// parameters; the transition caches the pattern per frame size (GetPattern).
// The same pattern, cut to 16 grey levels between two thresholds, is the
// wipe's picon when the album has no picon bitmap for it.
//
// Pattern makers compute a 16.16 value v in 0..65536 per pixel (65536: the
// pixel changes first) and store 255 for v >= 65536, else v >> 8 (1 instead
// of 0 with noZero, so that the wipe completes before progress 1).
class Wipe : public Transition {
    ORVIK_DECLARE_SERIAL(Wipe)
public:
    // Largest band, cell and turn counts a pattern is drawn with; stored
    // counts are clamped to 1..kMaxCount when read.
    static constexpr int32_t kMaxCount = 4096;
    // The picon's highlight colours (red in the low byte).
    static constexpr uint32_t kPiconHighlight = 0xC4F99F;         // 159, 249, 196
    static constexpr uint32_t kPiconSelectedHighlight = 0xFFFFFF; // white

    Wipe();
    Wipe(int32_t effectNumber, double piconLow, double piconHigh);
    Wipe(const Wipe& other);
    ~Wipe() override;

    void Serialize(Archive& ar) override;
    // The transition's fields, the two picon thresholds and noZero; each
    // kind adds its own after them, in the order it saves them.
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;
    // Equal transitions whose class and pattern parameters match too.
    bool IsEqual(const Asset* other) const override;
    int CreatePicon(Dib* picture, Clip* clip, Time offset) override;

    // A new 8-bit grey pattern of width x height (bytes starting as 205),
    // drawn by CreateAlphaDib at a horizontal scale; returned also when the
    // drawing failed, null when the image cannot be made.
    RefPtr<Dib> MakePattern(int width, int height, double scale) override;
    // Draws the pattern into `image`; the base has none to draw.
    virtual int CreateAlphaDib(Dib& image);
    // Reads or writes the kind's own fields (after the wipe's); counts read
    // are clamped so that no maker divides by zero or overflows.
    virtual void SerializeOwn(Archive& ar);

    double GetPiconLow() const { return piconLow_; }
    double GetPiconHigh() const { return piconHigh_; }
    bool GetNoZero() const { return noZero_ != 0; }
    void SetNoZero(bool on);

    // The width, height and 16.16 scale of the last pattern drawn (for the
    // thread that drew it).
    int32_t PatternWidth() const { return width_; }
    int32_t PatternHeight() const { return height_; }
    int32_t PatternScale() const { return scale_; }

    // The frame size that picons drawn at that size take the movie's scale
    // for (the mixer's working frame size; settings when not set).
    static void SetFrameSize(int width, int height);

protected:
    // The byte of a 16.16 value, by the shared conventions.
    uint8_t Store(int64_t v) const {
        if (v >= 65536)
            return 255;
        uint8_t b = v <= 0 ? 0 : static_cast<uint8_t>(v >> 8);
        return (b == 0 && noZero_) ? 1 : b;
    }
    // Distance from the centre in 1/65536 of the half diagonal (0..65536),
    // horizontal offsets scaled by the pattern's scale.
    int32_t Radial(int dx, int dy);
    // Angle in 1/65536 of a turn, clockwise from straight up; dy counts
    // upwards.
    int32_t Angle(int dx, int dy);
    // The platform runtime's pseudo-random generator (0..32767), reseeded
    // with 0 before every pattern.
    int Random();
    // Frees the distance and angle tables.
    void FreeTables();
    // Rows of an 8-bit image from the top; CreateAlphaDib fills every byte
    // of each row through `value(x, y)`.
    template <class F> static void ForEachPixel(Dib& image, F value);
    // Clamps a count read from a stream.
    static int32_t ClampCount(int32_t v) { return v < 1 ? 1 : v > kMaxCount ? kMaxCount : v; }

    int32_t noZero_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t scale_ = 65536;
    int32_t radialCols_ = 0;
    int32_t radialRows_ = 0;
    std::vector<uint16_t> radialTable_;
    int32_t angleSize_ = 0;
    std::vector<uint16_t> angleTable_;
    double piconLow_ = 0;
    double piconHigh_ = 0;

private:
    void BuildRadialTable();
    void BuildAngleTable();

    uint32_t randomState_ = 0;
    // MakePattern runs on the thread that asks for a pattern (the user
    // interface for picons and the clip load, a streaming thread in the
    // mixer); the tables and the last size are its own while it runs.
    std::mutex makeLock_;
};

template <class F> void Wipe::ForEachPixel(Dib& image, F value) {
    const int w = image.Width(), h = image.AbsHeight();
    for (int y = 0; y < h; ++y) {
        uint8_t* row = image.PixelAddress(0, y);
        if (!row)
            return;
        for (int x = 0; x < w; ++x)
            row[x] = value(x, y);
    }
}

} // namespace orvik
