#pragma once

#include "edit/VolumeSetting.h"
#include "model/RefPtr.h"
#include "model/Subscriber.h"
#include "model/Time.h"

#include <cstdint>
#include <vector>

namespace orvik {

class Clip;
class ClipList;
class VolumeList;

// What the envelope gesture needs of the track view it belongs to (the
// timeline's rows install their own): which movie track's envelope the view
// shows, its height, the mapping between pixel columns and movie times at
// the timeline's scale, and its redraw. The headless default maps column x
// to time origin + x × framesPerPixel.
class EnvelopeTrackView {
public:
    EnvelopeTrackView(int32_t track, int32_t height, Time origin = 0, int32_t framesPerPixel = 1)
        : track_(track), height_(height), origin_(origin),
          framesPerPixel_(framesPerPixel > 0 ? framesPerPixel : 1) {}
    virtual ~EnvelopeTrackView() = default;

    int32_t GetTrack() const { return track_; }
    virtual int32_t GetHeight() const { return height_; }
    // The movie time at pixel column `x`, and the column of a time.
    virtual Time TimeAt(int32_t x) const {
        return static_cast<Time>(origin_ + static_cast<int64_t>(x) * framesPerPixel_);
    }
    virtual int32_t ColumnOf(Time t) const {
        return static_cast<int32_t>((static_cast<int64_t>(t) - origin_) / framesPerPixel_);
    }
    virtual void Redraw() { ++redraws; }

    int redraws = 0;

private:
    int32_t track_;
    int32_t height_;
    Time origin_;
    int32_t framesPerPixel_;
};

// The movie track whose envelope a track view shows: the "Audio Track" row
// (view 2) shows the sound of the video scenes (track 0); the sound-effect
// and music rows show their own tracks.
int32_t EnvelopeTrackOfView(int32_t view);

// Whether a clip that carries sound (neither a transition nor a picture)
// plays at `t` on `track`.
bool SoundPlaysAt(ClipList& list, int32_t track, Time t);

// Keeps the envelope of one track view and turns the dragging of its points
// into volume commands. While a drag runs the clips follow it live; on
// release they are put back exactly as they were and one command makes the
// change, so the history sees one entry.
//
// One changer per track: the envelope commands find it by the track they
// change (ForTrack). Lives on the user-interface thread as long as its view.
class VolumeChanger : public Subscriber {
public:
    enum Mode { none = 0, add = 1, move = 2, remove = 3 };
    static constexpr int32_t kHitTolerance = 4; // pixels
    static constexpr int32_t kDragAway = 8;     // pixels beyond the view
    static constexpr int32_t kCursorAdd = 160;
    static constexpr int32_t kCursorMove = 161;

    explicit VolumeChanger(EnvelopeTrackView& view);
    ~VolumeChanger() override;
    VolumeChanger(const VolumeChanger&) = delete;
    VolumeChanger& operator=(const VolumeChanger&) = delete;

    // The changer of the view showing `track`'s envelope, or null.
    static VolumeChanger* ForTrack(int32_t track);

    // The track envelope: the cached one unless stale, else built afresh
    // from the movie's clips. Null without a movie.
    VolumeList* GetEnvelope();
    // Shows `envelope` as the track's envelope until the clips change (the
    // volume tool's preview) and redraws the view.
    void ShowEnvelope(VolumeList* envelope);
    void SetStale() { stale_ = true; }
    bool IsStale() const { return stale_; }
    int32_t GetTrack() const { return view_.GetTrack(); }
    EnvelopeTrackView& GetView() { return view_; }

    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // A press on `clip` at (x, y), y counted down from the view's top;
    // true when it starts a drag.
    bool MouseDown(Clip* clip, int32_t x, int32_t y);
    void MouseMove(int32_t x, int32_t y);
    void MouseUp();

    // The gesture's state, for the view's drawing and cursor.
    Mode GetMode() const { return mode_; }
    Mode GetPressedMode() const { return pressedMode_; }
    int32_t GetIndex() const { return index_; }
    const VolumeSetting& GetCurrentPoint() const { return current_; }
    int32_t GetCursor() const { return cursor_; }
    Time GetLowest() const { return lowest_; }
    Time GetHighest() const { return highest_; }
    bool IsDragging() const { return pressedClip_ != nullptr; }

    // Subscriber: every change of the movie's clip list makes the cached
    // envelope stale. Called on the user-interface thread, which sends the
    // clip list's notifications.
    void Update(Notifier* notifier) override;

private:
    ClipList* MovieList();
    void Subscribe();
    bool SoundAt(Time t);
    void RestoreClipEnvelopes();

    RefPtr<ClipList> subscribed_;
    bool enabled_ = true;
    EnvelopeTrackView& view_;
    RefPtr<VolumeList> envelope_;
    bool stale_ = true;
    RefPtr<Clip> pressedClip_;
    RefPtr<VolumeList> saved_;
    // The clips' own envelopes at the press, by position on the track.
    std::vector<RefPtr<VolumeList>> savedClipEnvelopes_;
    Mode mode_ = none;
    Mode pressedMode_ = none;
    int32_t index_ = -1;
    VolumeSetting current_;
    VolumeSetting original_;
    int32_t cursor_ = 0;
    Time lowest_ = 0;
    Time highest_ = 0;
};

} // namespace orvik
