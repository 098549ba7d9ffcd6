#include "edit/VolumeList.h"

#include "app/DiagnosticsLog.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"
#include "platform/archive/Archive.h"

#include <algorithm>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(VolumeList, RefObject, kVersionableSchema | 1)

namespace {

// Bytes of one stored point: level and time.
constexpr uint64_t kStoredPointSize = 8;

} // namespace

VolumeList::VolumeList(Time duration) : duration_(duration) {}

// A fresh base, as for clips: envelopes are cloned with every clip.
VolumeList::VolumeList(const VolumeList& other) : RefObject(), duration_(other.duration_) {
    if (other.points_)
        points_ = std::make_unique<std::vector<VolumeSetting>>(*other.points_);
}

RefObject* VolumeList::Clone() const {
    return new VolumeList(*this);
}

void VolumeList::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(duration_);
        int count = GetCount();
        ar.WriteDword(count > 0 ? 1 : 0);
        if (count > 0) {
            ar.WriteCount(static_cast<uint32_t>(count));
            for (const VolumeSetting& p : *points_) {
                ar.WriteInt32(p.level);
                ar.WriteInt32(p.time);
            }
        }
        return;
    }
    duration_ = ar.ReadInt32();
    points_.reset();
    if (ar.ReadDword() == 0)
        return;
    uint32_t count = ar.ReadCount();
    ar.RequireBytes(count, kStoredPointSize);
    std::vector<VolumeSetting> points;
    points.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        int32_t level = ar.ReadInt32();
        Time time = ar.ReadInt32();
        VolumeSetting p;
        p.level = level; // stored as it is: the default marker is no level of a stored point
        p.time = time;
        points.push_back(p);
    }
    // Every operation relies on ascending times; a damaged file is put in
    // order rather than trusted.
    std::stable_sort(
        points.begin(), points.end(),
        [](const VolumeSetting& a, const VolumeSetting& b) { return a.time < b.time; });
    points_ = std::make_unique<std::vector<VolumeSetting>>(std::move(points));
}

std::vector<VolumeSetting>& VolumeList::EnsurePoints() {
    if (!points_)
        points_ = std::make_unique<std::vector<VolumeSetting>>();
    return *points_;
}

void VolumeList::ReplacePoints(std::vector<VolumeSetting> points) {
    points_ = std::make_unique<std::vector<VolumeSetting>>(std::move(points));
}

VolumeSetting VolumeList::GetSetting(int i) const {
    if (i >= 0 && i < GetCount())
        return (*points_)[static_cast<size_t>(i)];
    if (i <= 0)
        return VolumeSetting(VolumeSetting::kDefaultLevel, 0);
    return VolumeSetting(VolumeSetting::kDefaultLevel, duration_ - 1);
}

int32_t VolumeList::GetLevelAt(Time t) const {
    int count = GetCount();
    if (count == 0)
        return VolumeSetting::kDefaultLevel;
    const std::vector<VolumeSetting>& p = *points_;
    if (t <= 0)
        return p.front().level;
    if (t >= duration_)
        return p.back().level;
    auto found = std::lower_bound(p.begin(), p.end(), t,
                                  [](const VolumeSetting& s, Time v) { return s.time < v; });
    int i = static_cast<int>(found - p.begin());
    const VolumeSetting& r = p[static_cast<size_t>(std::max(i - 1, 0))];
    const VolumeSetting& q = p[static_cast<size_t>(std::min(i, count - 1))];
    int64_t span = static_cast<int64_t>(q.time) - r.time;
    if (span <= 0)
        return r.level;
    // Wide intermediates: long track envelopes in movie time would overflow
    // 32 bits; where they do not, the result is the same.
    __int128 sum = static_cast<__int128>(r.level) * (static_cast<int64_t>(q.time) - t) +
                   static_cast<__int128>(q.level) * (static_cast<int64_t>(t) - r.time);
    return static_cast<int32_t>(sum / span);
}

int VolumeList::FindNearest(Time t) const {
    int count = GetCount();
    int best = 0;
    int64_t bestDistance = -1;
    for (int i = 0; i < count; ++i) {
        int64_t d = static_cast<int64_t>((*points_)[static_cast<size_t>(i)].time) - t;
        if (d < 0)
            d = -d;
        if (bestDistance < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int VolumeList::FindSegment(Time t) const {
    int count = GetCount();
    if (count == 0)
        return 0;
    for (int i = 1; i < count; ++i)
        if ((*points_)[static_cast<size_t>(i)].time >= t)
            return i - 1;
    return count - 1;
}

bool VolumeList::IsEqual(const VolumeList* other) const {
    if (!other || other->GetCount() != GetCount() || other->duration_ != duration_)
        return false;
    for (int i = 0; i < GetCount(); ++i)
        if ((*points_)[static_cast<size_t>(i)] != (*other->points_)[static_cast<size_t>(i)])
            return false;
    return true;
}

int VolumeList::AddVolumeSetting(const VolumeSetting& point) {
    std::vector<VolumeSetting>& p = EnsurePoints();
    if (point.time < 0) {
        LogMessage("VolumeList::AddVolumeSetting: negative timecode\n");
        return -1;
    }
    if (point.time > duration_) {
        LogMessage("VolumeList::AddVolumeSetting: timecode > _duration\n");
        return -1;
    }
    auto at = std::upper_bound(p.begin(), p.end(), point.time,
                               [](Time v, const VolumeSetting& s) { return v < s.time; });
    at = p.insert(at, point);
    return static_cast<int>(at - p.begin());
}

VolumeSetting VolumeList::RemoveVolumeSetting(int i) {
    if (i < 0 || i >= GetCount())
        return VolumeSetting(VolumeSetting::kDefaultLevel, 0);
    VolumeSetting old = (*points_)[static_cast<size_t>(i)];
    points_->erase(points_->begin() + i);
    return old;
}

VolumeSetting VolumeList::ChangeVolumeSetting(int i, const VolumeSetting& point) {
    VolumeSetting old = RemoveVolumeSetting(i);
    AddVolumeSetting(point);
    return old;
}

void VolumeList::RemoveRange(Time start, Time length) {
    if (start >= duration_ - 1 || !points_)
        return;
    int64_t end = static_cast<int64_t>(start) + length;
    if (end > duration_)
        end = duration_;
    std::erase_if(*points_,
                  [&](const VolumeSetting& s) { return s.time >= start && s.time <= end; });
}

void VolumeList::SetDuration(Time newDuration, bool atStart) {
    if (newDuration == duration_)
        return;
    if (newDuration == 0) {
        points_.reset();
        return;
    }
    if (GetCount() == 0) {
        duration_ = newDuration;
        return;
    }
    std::vector<VolumeSetting>& p = *points_;
    if (atStart) {
        Time d = newDuration - duration_;
        if (d > 0) {
            for (VolumeSetting& s : p)
                s.time += d;
        } else {
            std::vector<VolumeSetting> kept;
            bool dropped = false;
            VolumeSetting lastDropped;
            for (const VolumeSetting& s : p) {
                VolumeSetting moved(s.level, s.time + d);
                moved.level = s.level;
                if (moved.time < 0) {
                    dropped = true;
                    lastDropped = moved;
                } else {
                    kept.push_back(moved);
                }
            }
            // The level that held at the new first frame keeps holding
            // there. This also holds when every point was dropped: the clip
            // keeps the level its remaining frames had, rather than falling
            // back to the default.
            if (dropped && (kept.empty() || kept.front().time > 0)) {
                lastDropped.time = 0;
                kept.insert(kept.begin(), lastDropped);
            }
            ReplacePoints(std::move(kept));
        }
    } else if (newDuration < duration_) {
        auto found = std::find_if(p.begin(), p.end(),
                                  [&](const VolumeSetting& s) { return s.time >= newDuration; });
        if (found != p.end()) {
            if (found != p.begin() && std::prev(found)->time >= newDuration - 1) {
                p.erase(found, p.end());
            } else {
                found->time = newDuration - 1;
                p.erase(std::next(found), p.end());
            }
        }
    }
    duration_ = newDuration;
}

void VolumeList::SlideSetting(const VolumeSetting& point, Time from) {
    if (point.time >= duration_)
        return;
    Time t = from;
    // A grab point at or after the target (the position went back while the
    // slider was held) cannot glide forward to it: the level steps at the
    // target instead, and the points stay in order.
    if (t >= point.time)
        t = point.time - 1;
    if (t < 0)
        t = 0;
    VolumeSetting grabbed(GetLevelAt(t), t);
    grabbed.level = GetLevelAt(t);
    const std::vector<VolumeSetting> old = points_ ? *points_ : std::vector<VolumeSetting>();
    std::vector<VolumeSetting> result;
    size_t k = 0;
    // Points before the glide are copied and those inside it removed; every
    // point after the target survives.
    while (k < old.size() && old[k].time <= point.time) {
        if (old[k].time < t)
            result.push_back(old[k]);
        ++k;
    }
    if (point.time > 0)
        result.push_back(grabbed);
    result.push_back(point);
    if (k < old.size()) {
        if (k + 1 < old.size() && old[k + 1].time == old[k].time + 1) {
            VolumeSetting held = old[k];
            held.level = point.level;
            result.push_back(held);
            ++k;
        } else if (old[k].time > point.time + 1) {
            VolumeSetting held(point.level, old[k].time - 1);
            held.level = point.level;
            result.push_back(held);
        }
        result.insert(result.end(), old.begin() + static_cast<std::ptrdiff_t>(k), old.end());
    }
    ReplacePoints(std::move(result));
}

void VolumeList::FadeRange(Time start, Time length, bool fadeIn) {
    if (!fadeIn) {
        start -= length;
        if (start < 0) {
            length += start;
            start = 0;
        }
    }
    if (start >= duration_ - 1)
        return;
    VolumeSetting a;
    a.level = GetLevelAt(start);
    a.time = start;
    Time end =
        static_cast<Time>(std::min<int64_t>(static_cast<int64_t>(start) + length, duration_));
    VolumeSetting b;
    b.level = GetLevelAt(end);
    b.time = end;
    Time x = std::max<Time>(fadeIn ? start - 1 : start, 0);
    VolumeSetting h;
    h.level = GetLevelAt(x);
    h.time = x;
    if (fadeIn) {
        a.level = 0;
        if (b.level == 0)
            b.level = VolumeSetting::kDefaultLevel;
    } else {
        if (a.level == 0)
            a.level = VolumeSetting::kDefaultLevel;
        b.level = 0;
    }
    const std::vector<VolumeSetting> old = points_ ? *points_ : std::vector<VolumeSetting>();
    std::vector<VolumeSetting> result;
    size_t k = 0;
    while (k < old.size() && old[k].time < h.time)
        result.push_back(old[k++]);
    if (fadeIn && h.level != a.level && h.time < a.time)
        result.push_back(h);
    result.push_back(a);
    result.push_back(b);
    while (k < old.size() && old[k].time <= b.time)
        ++k;
    if (k < old.size() && old[k].time > b.time + 1 && old[k].level != b.level) {
        VolumeSetting held;
        held.level = b.level;
        held.time = old[k].time - 1;
        result.push_back(held);
    }
    result.insert(result.end(), old.begin() + static_cast<std::ptrdiff_t>(k), old.end());
    ReplacePoints(std::move(result));
}

void VolumeList::Append(const VolumeList& other) {
    if (other.GetCount() > 0) {
        // Copied first: `other` may be this envelope.
        std::vector<VolumeSetting> added = *other.points_;
        std::vector<VolumeSetting>& p = EnsurePoints();
        for (VolumeSetting& s : added) {
            s.time += duration_;
            p.push_back(s);
        }
    }
    duration_ += other.duration_;
}

void VolumeList::BuildFromClipList(ClipList& list, int track) {
    ReplacePoints({});
    duration_ = 0;
    bool added = false;
    ClipIterator it(list, track);
    std::vector<VolumeSetting>& p = *points_;
    for (Clip* clip = it.First(); clip; clip = it.Next()) {
        duration_ = std::max(duration_, clip->GetEnd());
        const VolumeList* own = clip->GetVolumeList();
        if (!own || own->GetCount() == 0)
            continue;
        for (VolumeSetting s : *own->points_) {
            s.time += clip->GetStart();
            if (!added && s.time != 0)
                p.push_back(VolumeSetting(VolumeSetting::kDefaultLevel, 0));
            // Clips overlap under a transition: a point of the later clip
            // may lie before the earlier clip's last ones. It goes in by its
            // time (after equal times), so the track envelope stays sorted.
            auto at = std::upper_bound(p.begin(), p.end(), s.time,
                                       [](Time v, const VolumeSetting& q) { return v < q.time; });
            p.insert(at, s);
            added = true;
        }
    }
    if (!added)
        p.push_back(VolumeSetting(VolumeSetting::kDefaultLevel, 0));
}

void VolumeList::DistributeToClips(ClipList& list, int track) const {
    ClipIterator it(list, track);
    for (Clip* clip = it.First(); clip; clip = it.Next())
        clip->SetVolumeList(nullptr);
    int count = GetCount();
    if (count == 0)
        return;
    const std::vector<VolumeSetting>& p = *points_;
    size_t cursor = 0;
    for (Clip* clip = it.First(); clip; clip = it.Next()) {
        int kind = clip->GetKind();
        if (kind == Asset::kindTransition || kind == Asset::kindGraphic)
            continue;
        if (clip->GetEnd() <= p[cursor].time)
            continue;
        RefPtr<VolumeList> own = new VolumeList(clip->GetDuration());
        bool any = false;
        bool exhausted = false;
        while (p[cursor].time < clip->GetEnd()) {
            if (p[cursor].time >= clip->GetStart()) {
                VolumeSetting s = p[cursor];
                s.time -= clip->GetStart();
                own->EnsurePoints().push_back(s);
                any = true;
            }
            if (++cursor == p.size()) {
                exhausted = true;
                break;
            }
        }
        if (any)
            clip->SetVolumeList(own.get());
        if (exhausted)
            break;
    }
}

int32_t LevelToVolume(int32_t level) {
    static constexpr int32_t levels[] = {0, 250, 500, 750, 1000};
    static constexpr int32_t volumes[] = {-10000, -1200, -600, -240, 0};
    if (level <= 0)
        return level < 0 ? -10000 : volumes[0];
    if (level >= 1000)
        return 0;
    int i = 0;
    while (level > levels[i + 1])
        ++i;
    return volumes[i] +
           (level - levels[i]) * (volumes[i + 1] - volumes[i]) / (levels[i + 1] - levels[i]);
}

int32_t LevelToPixel(int32_t level, int32_t height) {
    return static_cast<int32_t>(static_cast<int64_t>(level) * (height - 2) / 1000 + 1);
}

int32_t PixelToLevel(int32_t y, int32_t height) {
    // A view too low to draw a level in has only the bottom level.
    if (height <= 2)
        return 0;
    int32_t row = std::clamp(y - 1, 0, height - 2);
    return static_cast<int32_t>(static_cast<int64_t>(row) * 1000 / (height - 2));
}

} // namespace orvik
