#include "edit/VolumeChangerTool.h"

#include "app/SettingsBase.h"
#include "edit/ClipListCommand.h"
#include "edit/VolumeChanger.h"
#include "edit/VolumeCommands.h"
#include "edit/VolumeHooks.h"
#include "edit/VolumeList.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/Timecode.h"

namespace orvik {

namespace {

int Sign(int64_t v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

bool SoundAt(int32_t track, Time t) {
    ClipList* list = ClipListCommand::GetMovieList();
    return list && SoundPlaysAt(*list, track, t);
}

} // namespace

VolumeChangerTool::VolumeChangerTool(VolumeToolPanel* panel)
    : panel_(panel ? panel : &defaultPanel_) {}

int VolumeChangerTool::SlotOf(int32_t track) {
    for (size_t i = 0; i < kTracks.size(); ++i)
        if (kTracks[i] == track)
            return static_cast<int>(i);
    return -1;
}

Time VolumeChangerTool::Position() {
    Movie* movie = ClipListCommand::GetMovie();
    return movie ? movie->GetPosition() : 0;
}

Time VolumeChangerTool::FadeDuration() {
    SettingsBase* settings = SettingsBase::Current();
    return settings ? settings->GetVolumeFadeDuration() : 2 * Timecode::GetFramesPerSecond();
}

int32_t VolumeChangerTool::GetSliderLevel(int32_t track) const {
    int slot = SlotOf(track);
    return slot < 0 ? 0 : sliders_[static_cast<size_t>(slot)].level;
}

bool VolumeChangerTool::IsFadeEnabled(int32_t track, bool fadeIn) const {
    int slot = SlotOf(track);
    if (slot < 0)
        return false;
    const Slider& s = sliders_[static_cast<size_t>(slot)];
    return fadeIn ? s.fadeIn : s.fadeOut;
}

bool VolumeChangerTool::CanFade(int32_t track, bool fadeIn) const {
    Time duration = FadeDuration();
    // A fade of no length (a damaged setting) would put its end before its
    // start.
    if (SlotOf(track) < 0 || duration <= 0)
        return false;
    Time position = Position();
    return SoundAt(track, fadeIn ? position : position - duration);
}

void VolumeChangerTool::Refresh() {
    Time position = Position();
    for (size_t i = 0; i < kTracks.size(); ++i) {
        int32_t track = kTracks[i];
        Slider& s = sliders_[i];
        if (track != glideTrack_) {
            RefPtr<VolumeList> envelope = VolumeCommand::TakeTrackEnvelope(track);
            s.level = envelope ? envelope->GetLevelAt(position) : VolumeSetting::kDefaultLevel;
            panel_->ShowLevel(track, s.level);
        }
        s.fadeIn = CanFade(track, true);
        s.fadeOut = CanFade(track, false);
        panel_->EnableFade(track, true, s.fadeIn);
        panel_->EnableFade(track, false, s.fadeOut);
    }
    if (glideTrack_ >= 0)
        Glide();
}

bool VolumeChangerTool::PressSlider(int32_t track, int32_t level) {
    int slot = SlotOf(track);
    if (slot < 0 || glideTrack_ >= 0)
        return false;
    Time position = Position();
    if (!SoundAt(track, position))
        return false;
    working_ = VolumeCommand::TakeTrackEnvelope(track);
    if (!working_)
        return false;
    glideTrack_ = track;
    sliders_[static_cast<size_t>(slot)].level = level;
    grab_ = last_ = VolumeSetting(level, position);
    return true;
}

void VolumeChangerTool::MoveSlider(int32_t track, int32_t level) {
    int slot = SlotOf(track);
    if (slot >= 0)
        sliders_[static_cast<size_t>(slot)].level = level;
}

void VolumeChangerTool::Glide() {
    VolumeSetting current(GetSliderLevel(glideTrack_), Position());
    if (current == last_)
        return;
    int d1 = Sign(static_cast<int64_t>(last_.level) - grab_.level);
    int d2 = Sign(static_cast<int64_t>(current.level) - last_.level);
    // The level has stopped changing: it holds until the position has moved
    // on a quarter of a second.
    if (d1 != 0 && d2 == 0 &&
        static_cast<int64_t>(current.time) - last_.time < Timecode::GetFramesPerSecond() / 4)
        return;
    if (d1 != d2 && last_ != grab_)
        Commit();
    Preview(current);
    last_ = current;
}

void VolumeChangerTool::Preview(const VolumeSetting& point) {
    RefPtr<VolumeList> shown = static_cast<VolumeList*>(working_->Clone());
    shown->SlideSetting(point, grab_.time);
    if (VolumeChanger* changer = VolumeChanger::ForTrack(glideTrack_))
        changer->ShowEnvelope(shown.get());
    EnvelopeGraphHooks& graph = VolumeHooks::Graph();
    if (graph.HoldsGraph()) {
        RefPtr<VolumeList> handed = static_cast<VolumeList*>(shown->Clone());
        graph.SetVolumeList(glideTrack_, handed.get());
    }
}

void VolumeChangerTool::Commit() {
    // The view shows the preview; the command starts from the clips.
    if (VolumeChanger* changer = VolumeChanger::ForTrack(glideTrack_))
        changer->SetStale();
    SlideVolumeCommand(glideTrack_, last_, grab_.time).Execute(true);
    working_ = VolumeCommand::TakeTrackEnvelope(glideTrack_);
    if (!working_)
        working_ = new VolumeList;
    grab_ = last_;
}

void VolumeChangerTool::ReleaseSlider(int32_t track) {
    if (track != glideTrack_ || glideTrack_ < 0)
        return;
    // A press and release without a change leaves the envelope alone.
    if (last_ != grab_)
        Commit();
    glideTrack_ = -1;
    working_ = nullptr;
    Refresh();
}

bool VolumeChangerTool::Fade(int32_t track, bool fadeIn) {
    if (!CanFade(track, fadeIn))
        return false;
    FadeVolumeCommand(track, Position(), FadeDuration(), fadeIn).Execute(true);
    Refresh();
    return true;
}

} // namespace orvik
