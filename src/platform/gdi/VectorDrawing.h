#pragma once

#include "platform/gdi/ColorRef.h"
#include "platform/gdi/Rect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// A small vector drawing: filled shapes in a frame of its own coordinates,
// played into any rectangle (the drawings of the pattern wipes).
//
// The stored form is text, one record per line; '#' starts a comment line:
//   ORVIK-DRAWING 1              first record, the format and its version
//   frame L T R B                the drawing's own coordinate frame
//   color R G B                  pen and brush colour of the shapes after it
//   polygon X Y X Y X Y ...      a filled polygon (non-zero winding), >= 3 points
//   ellipse L T R B              a filled ellipse in its bounding box
//   rectangle L T R B            a filled rectangle
//   line X Y X Y ...             an open line through >= 2 points, drawn with the pen
// Coordinates are integers within +-1000000; the frame must not be empty.
class VectorDrawing {
public:
    static constexpr const char* kMagic = "ORVIK-DRAWING";
    static constexpr int kVersion = 1;
    static constexpr int kMaxCoordinate = 1000000;
    static constexpr size_t kMaxShapes = 4096;
    static constexpr size_t kMaxPoints = 65536;

    enum class Kind : uint8_t { polygon, ellipse, rectangle, line };
    struct Shape {
        Kind kind = Kind::polygon;
        ColorRef color = 0;
        bool hasColor = false;
        std::vector<int> coords; // x, y pairs; two corners for ellipse and rectangle
    };

    // Reads the stored form; false with a reason (and the line it concerns)
    // when the bytes are not a drawing.
    bool Parse(const uint8_t* bytes, size_t size, std::string* error = nullptr);
    // Writes the stored form.
    std::string Text() const;

    bool IsValid() const { return valid_; }
    const Rect& Frame() const { return frame_; }
    const std::vector<Shape>& Shapes() const { return shapes_; }

    void SetFrame(const Rect& frame) {
        frame_ = frame;
        valid_ = !frame.IsEmpty();
    }
    void AddShape(Shape shape) { shapes_.push_back(std::move(shape)); }

private:
    Rect frame_;
    std::vector<Shape> shapes_;
    bool valid_ = false;
};

} // namespace orvik
