#pragma once

#include "platform/gdi/Point.h"
#include "platform/gdi/Rect.h"

namespace orvik {

class Dib;

// Clipping of a target rectangle and a source rectangle of the same size
// (placed at the source point) against their images, and against an alpha
// image that uses the source's coordinates: whatever sticks out of any image
// on one side is cut from both rectangles on that side. When either result
// is empty both are.
class DibClip {
public:
    DibClip(const Dib& targetImage, const Dib& sourceImage, const Dib* alphaImage,
            const Rect* targetRect, const Point* sourcePoint);

    bool IsEmpty() const { return target.IsEmpty(); }

    Rect target;
    Rect source;
};

} // namespace orvik
