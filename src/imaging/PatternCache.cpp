#include "imaging/PatternCache.h"

#include "imaging/Dib.h"

namespace orvik {

PatternCache::PatternCache() = default;
PatternCache::PatternCache(const PatternCache&) {}
PatternCache& PatternCache::operator=(const PatternCache&) { return *this; }
PatternCache::~PatternCache() = default;

RefPtr<Dib> PatternCache::Get(int width, int height, double scale, const Maker& maker) {
    std::lock_guard<std::mutex> hold(lock_);
    if (pattern_ && pattern_->Width() == width && pattern_->AbsHeight() == height &&
        scale_ == scale)
        return pattern_;
    pattern_ = maker ? maker(width, height, scale) : RefPtr<Dib>();
    scale_ = scale;
    return pattern_;
}

double PatternCache::Scale() const {
    std::lock_guard<std::mutex> hold(lock_);
    return scale_;
}

void PatternCache::Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    pattern_ = nullptr;
}

} // namespace orvik
