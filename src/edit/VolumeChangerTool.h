#pragma once

#include "edit/VolumeSetting.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <array>
#include <cstdint>

namespace orvik {

class VolumeList;

// What the volume tool needs of its controls: one slider (0 … 1000) and a
// fade-in and a fade-out button per sound track. The desktop installs its
// own; the headless default shows nothing.
class VolumeToolPanel {
public:
    virtual ~VolumeToolPanel() = default;
    virtual void ShowLevel(int32_t /*track*/, int32_t /*level*/) {}
    virtual void EnableFade(int32_t /*track*/, bool /*fadeIn*/, bool /*enabled*/) {}
};

// The volume tool: a slider and two fade buttons for each of the sound
// tracks 0, 3 and 4. A slider follows the track's level at the movie's
// position; held while the movie plays, it glides the envelope from where it
// was grabbed to where it is now, previewed at once and committed as a slide
// command whenever the level turns or rests, and on release. The fade
// buttons make a fade of the "Volume fade duration" at the position.
//
// Lives on the user-interface thread.
class VolumeChangerTool {
public:
    static constexpr std::array<int32_t, 3> kTracks = {0, 3, 4};

    explicit VolumeChangerTool(VolumeToolPanel* panel = nullptr);

    // The regular update: sliders not held show the level at the position,
    // the fade buttons whether their fade could start, and a held slider
    // glides.
    void Refresh();

    // The user presses the slider of `track` at `level`; true when a glide
    // starts (a sound clip plays at the position).
    bool PressSlider(int32_t track, int32_t level);
    // The user moves the held slider; the next Refresh glides.
    void MoveSlider(int32_t track, int32_t level);
    // The user lets go: what the glide changed is committed.
    void ReleaseSlider(int32_t track);

    // A fade button; false (and nothing done) when no sound clip plays where
    // the fade would start.
    bool Fade(int32_t track, bool fadeIn);
    bool CanFade(int32_t track, bool fadeIn) const;
    // The fade length: the "Volume fade duration" setting in frames.
    static Time FadeDuration();

    int32_t GetSliderLevel(int32_t track) const;
    bool IsFadeEnabled(int32_t track, bool fadeIn) const;
    // The track of the glide running, −1 when none.
    int32_t GetGlideTrack() const { return glideTrack_; }
    const VolumeSetting& GetGrabPoint() const { return grab_; }
    const VolumeSetting& GetLastPoint() const { return last_; }

private:
    struct Slider {
        int32_t level = VolumeSetting::kDefaultLevel;
        bool fadeIn = false;
        bool fadeOut = false;
    };
    static int SlotOf(int32_t track);
    static Time Position();
    void Glide();
    void Commit();
    void Preview(const VolumeSetting& point);

    VolumeToolPanel defaultPanel_;
    VolumeToolPanel* panel_;
    std::array<Slider, 3> sliders_;
    int32_t glideTrack_ = -1;
    VolumeSetting grab_;
    VolumeSetting last_;
    RefPtr<VolumeList> working_;
};

} // namespace orvik
