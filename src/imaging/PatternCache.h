#pragma once

#include "imaging/ExpandedPattern.h"
#include "model/RefPtr.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace orvik {

class Dib;

// The wipe pattern a transition made last, with the scale it was made at.
// The engine asks for it when it loads the clips (user-interface thread) and
// the video mixer on every frame (a streaming thread), so the pattern is
// handed out as a counted reference under a lock. A copy starts empty: the
// copy of a transition makes its own pattern.
class PatternCache {
public:
    // Makes a pattern of width x height at a scale; null when it cannot.
    using Maker = std::function<RefPtr<Dib>(int width, int height, double scale)>;

    PatternCache();
    PatternCache(const PatternCache&);
    PatternCache& operator=(const PatternCache&);
    ~PatternCache();

    // The cached pattern when it has exactly this width and |height| and was
    // made at `scale`; otherwise a new one from `maker`, kept (also when
    // null) together with the scale. The maker runs under the lock.
    RefPtr<Dib> Get(int width, int height, double scale, const Maker& maker);
    // The same, with the pattern laid out for pictures of `pixelBytes` (1, 3
    // or 4) bytes a pixel, made once per pattern and pixel size: what the
    // wipe blend reads beside the pictures. Null without a pattern.
    using Expanded = std::shared_ptr<const ExpandedPattern>;
    RefPtr<Dib> Get(int width, int height, double scale, const Maker& maker, int pixelBytes,
                    Expanded* expanded);
    // The scale of the last pattern asked for (1.0 at first).
    double Scale() const;
    // Drops the pattern (the frame size changed, or the wipe's parameters).
    void Clear();

private:
    mutable std::mutex lock_;
    RefPtr<Dib> pattern_;
    double scale_ = 1.0;
    Expanded expanded_[4]; // by bytes a pixel, 1 to 4
};

} // namespace orvik
