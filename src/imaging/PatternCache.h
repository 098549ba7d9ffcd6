#pragma once

#include "model/RefPtr.h"

#include <functional>
#include <mutex>

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
    // The scale of the last pattern asked for (1.0 at first).
    double Scale() const;
    // Drops the pattern (the frame size changed, or the wipe's parameters).
    void Clear();

private:
    mutable std::mutex lock_;
    RefPtr<Dib> pattern_;
    double scale_ = 1.0;
};

} // namespace orvik
