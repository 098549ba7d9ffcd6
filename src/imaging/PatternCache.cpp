#include "imaging/PatternCache.h"

#include "imaging/Dib.h"

namespace orvik {

PatternCache::PatternCache() = default;
PatternCache::PatternCache(const PatternCache&) {}
PatternCache& PatternCache::operator=(const PatternCache&) { return *this; }
PatternCache::~PatternCache() = default;

RefPtr<Dib> PatternCache::Get(int width, int height, double scale, const Maker& maker) {
    return Get(width, height, scale, maker, 0, nullptr);
}

RefPtr<Dib> PatternCache::Get(int width, int height, double scale, const Maker& maker,
                              int pixelBytes, Expanded* expanded) {
    std::lock_guard<std::mutex> hold(lock_);
    if (!pattern_ || pattern_->Width() != width || pattern_->AbsHeight() != height ||
        scale_ != scale) {
        pattern_ = maker ? maker(width, height, scale) : RefPtr<Dib>();
        scale_ = scale;
        for (Expanded& e : expanded_)
            e = nullptr;
    }
    if (!expanded)
        return pattern_;
    *expanded = nullptr;
    if (pixelBytes < 1 || pixelBytes > 4 || !pattern_)
        return pattern_;
    Expanded& slot = expanded_[pixelBytes - 1];
    if (!slot) {
        auto made = std::make_shared<const ExpandedPattern>(*pattern_, pixelBytes);
        if (made->IsValid())
            slot = std::move(made);
    }
    *expanded = slot;
    return pattern_;
}

double PatternCache::Scale() const {
    std::lock_guard<std::mutex> hold(lock_);
    return scale_;
}

void PatternCache::Clear() {
    std::lock_guard<std::mutex> hold(lock_);
    pattern_ = nullptr;
    for (Expanded& e : expanded_)
        e = nullptr;
}

} // namespace orvik
