#pragma once

#include "edit/VolumeSetting.h"
#include "model/RefObject.h"
#include "model/Time.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace orvik {

class ClipList;

// A volume envelope: points sorted by time (equal times keep the order they
// were added in) with straight lines between them. An envelope without points
// plays at the default level throughout.
//
// A clip's envelope counts from the clip's first frame and spans its duration;
// a track's envelope (built from its clips' envelopes) is in movie time.
// Changed on the user-interface thread only; the engine only reads envelopes
// that were handed over to it.
class VolumeList : public RefObject {
    ORVIK_DECLARE_SERIAL(VolumeList)
public:
    explicit VolumeList(Time duration = 0);
    VolumeList(const VolumeList& other);

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    int GetCount() const { return points_ ? static_cast<int>(points_->size()) : 0; }
    // Point `i`; past the end the default start point (500, 0) for index 0 and
    // the default end point (500, duration − 1) otherwise.
    VolumeSetting GetSetting(int i) const;
    Time GetDuration() const { return duration_; }
    bool HasPointArray() const { return points_ != nullptr; }

    int32_t GetLevelAt(Time t) const;
    int FindNearest(Time t) const;
    int FindSegment(Time t) const;
    bool IsEqual(const VolumeList* other) const;

    // Index of the new point, or −1 (logged) when its time lies outside
    // 0 … duration.
    int AddVolumeSetting(const VolumeSetting& point);
    // The removed point; (500, 0) and no change for an index out of range.
    VolumeSetting RemoveVolumeSetting(int i);
    // Removes point `i` and adds `point`, which sorts into place by its time.
    // Returns the old point.
    VolumeSetting ChangeVolumeSetting(int i, const VolumeSetting& point);
    // Removes the points with start ≤ time ≤ start + length.
    void RemoveRange(Time start, Time length);
    // Follows a change of the clip's duration: `atStart` when the clip
    // changed at its front (the content moved), else at its end.
    void SetDuration(Time newDuration, bool atStart);
    // Glides from the level at `from` to `point`'s level at its time, then
    // holds that level up to the next point.
    void SlideSetting(const VolumeSetting& point, Time from);
    // A fade-in from silence starting at `start`, or a fade-out into silence
    // ending at `start`.
    void FadeRange(Time start, Time length, bool fadeIn);
    // Joins `other` after this envelope (two clips become one).
    void Append(const VolumeList& other);

    // The track envelope of `track` in movie time.
    void BuildFromClipList(ClipList& list, int track);
    // Cuts this track envelope back into the envelopes of the track's clips.
    void DistributeToClips(ClipList& list, int track) const;

    const std::vector<VolumeSetting>* Points() const { return points_.get(); }

private:
    std::vector<VolumeSetting>& EnsurePoints();
    void ReplacePoints(std::vector<VolumeSetting> points);

    Time duration_ = 0;
    std::unique_ptr<std::vector<VolumeSetting>> points_;
};

// The device volume in hundredths of a decibel for a level (0 … 1000).
int32_t LevelToVolume(int32_t level);
// Between a level and a pixel row of a track view `height` pixels high, rows
// counted upwards from the bottom.
int32_t LevelToPixel(int32_t level, int32_t height);
int32_t PixelToLevel(int32_t y, int32_t height);

} // namespace orvik
