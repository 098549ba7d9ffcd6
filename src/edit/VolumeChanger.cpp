#include "edit/VolumeChanger.h"

#include "edit/ClipListCommand.h"
#include "edit/VolumeCommands.h"
#include "edit/VolumeList.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"

#include <algorithm>
#include <cstdlib>
#include <map>

namespace orvik {

namespace {

// The changer of each track's view.
std::map<int32_t, VolumeChanger*>& Changers() {
    static std::map<int32_t, VolumeChanger*> changers;
    return changers;
}

} // namespace

int32_t EnvelopeTrackOfView(int32_t view) {
    return view == 2 ? 0 : view;
}

bool SoundPlaysAt(ClipList& list, int32_t track, Time t) {
    ClipIterator it(list, track);
    for (Clip* c = it.First(); c; c = it.Next()) {
        int kind = c->GetKind();
        if (kind == Asset::kindTransition || kind == Asset::kindGraphic)
            continue;
        if (c->GetStart() <= t && t < c->GetEnd())
            return true;
    }
    return false;
}

VolumeChanger::VolumeChanger(EnvelopeTrackView& view) : view_(view) {
    Changers()[view_.GetTrack()] = this;
    MovieList();
}

VolumeChanger::~VolumeChanger() {
    if (subscribed_)
        subscribed_->Unsubscribe(this);
    auto found = Changers().find(view_.GetTrack());
    if (found != Changers().end() && found->second == this)
        Changers().erase(found);
}

VolumeChanger* VolumeChanger::ForTrack(int32_t track) {
    auto found = Changers().find(track);
    return found == Changers().end() ? nullptr : found->second;
}

// The movie's clip list, subscribed to; a new movie's list is subscribed to
// in place of the old one.
ClipList* VolumeChanger::MovieList() {
    ClipList* list = ClipListCommand::GetMovieList();
    if (list != subscribed_.get()) {
        if (subscribed_)
            subscribed_->Unsubscribe(this);
        subscribed_ = list;
        if (list)
            list->Subscribe(this);
        stale_ = true;
    }
    return list;
}

void VolumeChanger::Update(Notifier* /*notifier*/) {
    stale_ = true;
}

VolumeList* VolumeChanger::GetEnvelope() {
    ClipList* list = MovieList();
    if (!list)
        return nullptr;
    if (!envelope_ || stale_) {
        envelope_ = new VolumeList;
        envelope_->BuildFromClipList(*list, GetTrack());
        stale_ = false;
    }
    return envelope_.get();
}

void VolumeChanger::ShowEnvelope(VolumeList* envelope) {
    MovieList();
    envelope_ = envelope;
    stale_ = envelope == nullptr;
    view_.Redraw();
}

bool VolumeChanger::SoundAt(Time t) {
    ClipList* list = MovieList();
    return list && SoundPlaysAt(*list, GetTrack(), t);
}

bool VolumeChanger::MouseDown(Clip* clip, int32_t x, int32_t y) {
    if (!enabled_ || !clip || !clip->IsMarked() || IsDragging())
        return false;
    VolumeList* envelope = GetEnvelope();
    if (!envelope)
        return false;
    Time t = view_.TimeAt(x);
    if (t < clip->GetStart() || t > clip->GetEnd() || !SoundAt(t))
        return false;
    int32_t height = view_.GetHeight();
    int32_t line = LevelToPixel(envelope->GetLevelAt(t), height);
    if (std::abs(line - (height - y)) > kHitTolerance)
        return false;

    int count = envelope->GetCount();
    int nearest = envelope->FindNearest(t);
    int64_t columns = static_cast<int64_t>(view_.ColumnOf(envelope->GetSetting(nearest).time)) - x;
    if (columns > kHitTolerance || columns < -kHitTolerance) {
        pressedMode_ = add;
        cursor_ = kCursorAdd;
        index_ = envelope->FindSegment(t);
        lowest_ = envelope->GetSetting(index_).time + 1;
        highest_ = index_ + 1 < count ? envelope->GetSetting(index_ + 1).time - 1
                                      : envelope->GetDuration() - 1;
    } else {
        pressedMode_ = move;
        cursor_ = kCursorMove;
        index_ = nearest;
        if (nearest >= 1) {
            lowest_ = envelope->GetSetting(nearest - 1).time + 1;
            highest_ = nearest + 1 < count ? envelope->GetSetting(nearest + 1).time - 1
                                           : envelope->GetDuration() - 1;
        } else {
            // The first point holds the level at the start: only its level
            // moves.
            lowest_ = highest_ = 0;
        }
    }
    // Past the clip's edge the point may only go where sound plays on.
    if (highest_ >= clip->GetEnd() && !SoundAt(clip->GetEnd()))
        highest_ = clip->GetEnd() - 1;
    if (lowest_ < clip->GetStart() && !SoundAt(clip->GetStart() - 1))
        lowest_ = clip->GetStart();

    if (pressedMode_ == move) {
        original_ = envelope->GetSetting(index_);
    } else {
        Time at = std::min(std::max(t, lowest_), highest_);
        original_ = VolumeSetting(envelope->GetLevelAt(at), at);
    }
    current_ = original_;
    mode_ = pressedMode_;
    pressedClip_ = clip;
    saved_ = static_cast<VolumeList*>(envelope->Clone());
    savedClipEnvelopes_.clear();
    ClipIterator it(*subscribed_, GetTrack());
    for (Clip* c = it.First(); c; c = it.Next())
        savedClipEnvelopes_.push_back(
            c->GetVolumeList() ? static_cast<VolumeList*>(c->GetVolumeList()->Clone()) : nullptr);
    return true;
}

void VolumeChanger::MouseMove(int32_t x, int32_t y) {
    if (!IsDragging())
        return;
    ClipList* list = MovieList();
    if (!list)
        return;
    RefPtr<VolumeList> work = static_cast<VolumeList*>(saved_->Clone());
    envelope_ = work;
    stale_ = false;
    Time t = std::min(std::max(view_.TimeAt(x), lowest_), highest_);
    int32_t height = view_.GetHeight();
    current_ = VolumeSetting(PixelToLevel(height - y, height), t);
    mode_ = pressedMode_;
    if (y < -kDragAway || y > height + kDragAway) {
        // Dragged off the view: a point goes, a new one is not made.
        if (mode_ == move)
            mode_ = remove;
        else if (mode_ == add)
            mode_ = none;
    }
    switch (mode_) {
    case add:
        work->AddVolumeSetting(current_);
        break;
    case move:
        work->RemoveVolumeSetting(index_);
        work->AddVolumeSetting(current_);
        break;
    case remove:
        work->RemoveVolumeSetting(index_);
        break;
    case none:
        break;
    }
    work->DistributeToClips(*list, GetTrack());
    view_.Redraw();
}

void VolumeChanger::RestoreClipEnvelopes() {
    ClipList* list = MovieList();
    if (!list)
        return;
    std::vector<Clip*> clips;
    ClipIterator it(*list, GetTrack());
    for (Clip* c = it.First(); c; c = it.Next())
        clips.push_back(c);
    if (clips.size() == savedClipEnvelopes_.size()) {
        for (size_t i = 0; i < clips.size(); ++i)
            clips[i]->SetVolumeList(savedClipEnvelopes_[i].get());
    } else if (saved_) {
        saved_->DistributeToClips(*list, GetTrack());
    }
}

void VolumeChanger::MouseUp() {
    if (!IsDragging())
        return;
    // The clips as before the drag, so that the command alone changes them.
    envelope_ = saved_;
    stale_ = false;
    RestoreClipEnvelopes();
    pressedClip_ = nullptr;
    saved_ = nullptr;
    savedClipEnvelopes_.clear();
    Mode mode = mode_;
    mode_ = none;
    int32_t track = GetTrack();
    switch (mode) {
    case add:
        AddVolumeSettingCommand(track, current_).Execute(true);
        break;
    case move:
        // A press without a move changes nothing and makes no entry.
        if (current_ != original_)
            ChangeVolumeSettingCommand(track, index_, current_).Execute(true);
        break;
    case remove:
        DeleteVolumeSettingCommand(track, index_).Execute(true);
        break;
    case none:
        break;
    }
    view_.Redraw();
}

} // namespace orvik
