#include "imaging/DibClip.h"

#include "imaging/Dib.h"

#include <algorithm>
#include <cstdint>

namespace orvik {

DibClip::DibClip(const Dib& targetImage, const Dib& sourceImage, const Dib* alphaImage,
                 const Rect* targetRect, const Point* sourcePoint) {
    Rect t = targetRect ? *targetRect : Rect(0, 0, targetImage.Width(), targetImage.AbsHeight());
    Point p = sourcePoint ? *sourcePoint : Point();
    if (t.IsEmpty())
        return;
    // In 64 bits: callers may pass rectangles far outside their images.
    int64_t tl = t.left, tt = t.top, tr = t.right, tb = t.bottom;
    int64_t sl = p.x, st = p.y, sr = sl + (tr - tl), sb = st + (tb - tt);
    int64_t sw = sourceImage.Width(), sh = sourceImage.AbsHeight();
    if (alphaImage) {
        sw = std::min<int64_t>(sw, alphaImage->Width());
        sh = std::min<int64_t>(sh, alphaImage->AbsHeight());
    }
    int64_t left = std::max<int64_t>({0, -tl, -sl});
    int64_t top = std::max<int64_t>({0, -tt, -st});
    int64_t right = std::max<int64_t>({0, tr - targetImage.Width(), sr - sw});
    int64_t bottom = std::max<int64_t>({0, tb - targetImage.AbsHeight(), sb - sh});
    tl += left, sl += left, tt += top, st += top;
    tr -= right, sr -= right, tb -= bottom, sb -= bottom;
    if (tr <= tl || tb <= tt)
        return;
    target = Rect(static_cast<int>(tl), static_cast<int>(tt), static_cast<int>(tr),
                  static_cast<int>(tb));
    source = Rect(static_cast<int>(sl), static_cast<int>(st), static_cast<int>(sr),
                  static_cast<int>(sb));
}

} // namespace orvik
