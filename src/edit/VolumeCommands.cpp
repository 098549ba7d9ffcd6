#include "edit/VolumeCommands.h"

#include "app/DiagnosticsLog.h"
#include "edit/VolumeChanger.h"
#include "edit/VolumeHooks.h"
#include "edit/VolumeList.h"
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "platform/archive/Archive.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(VolumeCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(AddVolumeSettingCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(DeleteVolumeSettingCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(ChangeVolumeSettingCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(SlideVolumeCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(FadeVolumeCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(RemoveVolumeSettingsCommand, VolumeCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MasterVolumeCommand, Command, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(VoiceoverVolumeCommand, Command, kVersionableSchema | 1)

namespace {

void WritePoint(Archive& ar, const VolumeSetting& point) {
    ar.WriteInt32(point.time);
    ar.WriteInt32(point.level);
}

VolumeSetting ReadPoint(Archive& ar) {
    VolumeSetting point;
    point.time = ar.ReadInt32();
    point.level = ar.ReadInt32();
    return point;
}

int32_t ClampLevel(int32_t level) {
    return std::clamp<int32_t>(level, 0, VolumeSetting::kMaxLevel);
}

} // namespace

// --- VolumeCommand -----------------------------------------------------------

void VolumeCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        WritePoint(ar, setting);
        ar.WriteInt32(track);
        ar.WriteInt32(index);
    } else {
        setting = ReadPoint(ar);
        track = ar.ReadInt32();
        index = ar.ReadInt32();
    }
}

bool VolumeCommand::MergesWith(const Command& older) const {
    const VolumeCommand* other = DynamicCast<VolumeCommand>(const_cast<Command*>(&older));
    return other && other->track == track;
}

RefPtr<VolumeList> VolumeCommand::TakeTrackEnvelope(int32_t track) {
    ClipList* list = GetMovieList();
    if (!list || !IsEnvelopeTrack(track))
        return nullptr;
    // A copy: the envelope a view shows may have been handed to the playing
    // graph, which only reads what it was given.
    if (VolumeChanger* changer = VolumeChanger::ForTrack(track))
        if (VolumeList* shown = changer->GetEnvelope())
            return static_cast<VolumeList*>(shown->Clone());
    RefPtr<VolumeList> built = new VolumeList;
    built->BuildFromClipList(*list, track);
    return built;
}

VolumeSetting VolumeCommand::CheckedSetting() const {
    VolumeSetting point(setting.level, setting.time);
    point.level = ClampLevel(point.level);
    return point;
}

RefPtr<VolumeList> VolumeCommand::Begin() {
    if (!GetMovie() || !IsEnvelopeTrack(track))
        return nullptr;
    RememberState();
    return TakeTrackEnvelope(track);
}

void VolumeCommand::WriteClipEnvelopes(Archive& undoData) {
    ClipList* list = GetMovieList();
    std::vector<Clip*> clips;
    ClipIterator it(*list, track);
    for (Clip* c = it.First(); c; c = it.Next())
        clips.push_back(c);
    undoData.WriteCount(static_cast<uint32_t>(clips.size()));
    for (Clip* c : clips)
        undoData.WriteObject(c->GetVolumeList());
}

// Shows the track's new envelope: in its view, and to the playing graph or,
// without one, to every subscriber of the movie's clips.
static void ShowTrackEnvelope(int32_t track, VolumeList* envelope) {
    ClipList* list = ClipListCommand::GetMovieList();
    if (VolumeChanger* changer = VolumeChanger::ForTrack(track)) {
        changer->SetStale();
        changer->GetView().Redraw();
    }
    EnvelopeGraphHooks& graph = VolumeHooks::Graph();
    if (graph.HoldsGraph()) {
        RefPtr<VolumeList> handed = static_cast<VolumeList*>(envelope->Clone());
        graph.SetVolumeList(track, handed.get());
    } else if (list) {
        list->Notify();
    }
}

void VolumeCommand::Finish(VolumeList* envelope, Archive& undoData) {
    ClipList* list = GetMovieList();
    envelope->DistributeToClips(*list, track);
    ShowTrackEnvelope(track, envelope);
    GetMovie()->SetModifiedFlag(true);
    SaveRestoreState(undoData);
}

void VolumeCommand::FinishUndo(VolumeList* envelope, Archive& undoData) {
    ClipList* list = GetMovieList();
    std::vector<Clip*> clips;
    ClipIterator it(*list, track);
    for (Clip* c = it.First(); c; c = it.Next())
        clips.push_back(c);
    uint32_t count = undoData.ReadCount();
    std::vector<RefPtr<VolumeList>> saved;
    for (uint32_t i = 0; i < count; ++i)
        saved.push_back(undoData.ReadObjectOf<VolumeList>());
    if (saved.size() == clips.size()) {
        for (size_t i = 0; i < clips.size(); ++i)
            clips[i]->SetVolumeList(saved[i] ? static_cast<VolumeList*>(saved[i]->Clone())
                                             : nullptr);
    } else {
        LogMessage("VolumeCommand::Undo: the track's clips changed\n");
        envelope->DistributeToClips(*list, track);
    }
    if (VolumeChanger* changer = VolumeChanger::ForTrack(track))
        changer->SetStale();
    EnvelopeGraphHooks& graph = VolumeHooks::Graph();
    if (graph.HoldsGraph()) {
        RefPtr<VolumeList> handed = new VolumeList;
        handed->BuildFromClipList(*list, track);
        graph.SetVolumeList(track, handed.get());
    }
    list->Notify();
    ClipListCommand::Undo(undoData);
}

// --- The point commands --------------------------------------------------------

void AddVolumeSettingCommand::Do(Archive& undoData) {
    RefPtr<VolumeList> envelope = Begin();
    if (!envelope)
        return;
    int32_t added = envelope->AddVolumeSetting(CheckedSetting());
    undoData.WriteInt32(added);
    WriteClipEnvelopes(undoData);
    Finish(envelope.get(), undoData);
}

void AddVolumeSettingCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0 || !GetMovieList())
        return;
    int32_t added = undoData.ReadInt32();
    RefPtr<VolumeList> envelope = TakeTrackEnvelope(track);
    if (!envelope)
        return;
    envelope->RemoveVolumeSetting(added);
    FinishUndo(envelope.get(), undoData);
}

void DeleteVolumeSettingCommand::Do(Archive& undoData) {
    // An index that names no point deletes nothing: nothing is recorded,
    // rather than a default point that undo would add.
    RefPtr<VolumeList> probe = TakeTrackEnvelope(track);
    if (!GetMovie() || !probe || index < 0 || index >= probe->GetCount())
        return;
    RefPtr<VolumeList> envelope = Begin();
    if (!envelope)
        return;
    WritePoint(undoData, envelope->RemoveVolumeSetting(index));
    WriteClipEnvelopes(undoData);
    Finish(envelope.get(), undoData);
}

void DeleteVolumeSettingCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0 || !GetMovieList())
        return;
    VolumeSetting removed = ReadPoint(undoData);
    RefPtr<VolumeList> envelope = TakeTrackEnvelope(track);
    if (!envelope)
        return;
    envelope->AddVolumeSetting(removed);
    FinishUndo(envelope.get(), undoData);
}

void ChangeVolumeSettingCommand::Do(Archive& undoData) {
    // Changing a point that does not exist would only add one, and a new
    // place outside the envelope would only remove one; undo could not
    // tell either from a real change. Both change nothing.
    RefPtr<VolumeList> probe = TakeTrackEnvelope(track);
    if (!GetMovie() || !probe || index < 0 || index >= probe->GetCount())
        return;
    if (setting.time < 0 || setting.time > probe->GetDuration()) {
        LogMessage("ChangeVolumeSettingCommand::Do: point outside the envelope\n");
        return;
    }
    RefPtr<VolumeList> envelope = Begin();
    if (!envelope)
        return;
    WritePoint(undoData, envelope->ChangeVolumeSetting(index, CheckedSetting()));
    WriteClipEnvelopes(undoData);
    Finish(envelope.get(), undoData);
}

void ChangeVolumeSettingCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0 || !GetMovieList())
        return;
    VolumeSetting old = ReadPoint(undoData);
    RefPtr<VolumeList> envelope = TakeTrackEnvelope(track);
    if (!envelope)
        return;
    // The changed point sorted into place by its new time: it is found by
    // its value, not by the index it had before.
    int at = index;
    for (int i = 0; i < envelope->GetCount(); ++i)
        if (envelope->GetSetting(i) == CheckedSetting())
            at = i;
    envelope->ChangeVolumeSetting(at, old);
    FinishUndo(envelope.get(), undoData);
}

// --- The commands that keep the whole envelope ----------------------------------

void EnvelopeReplacingCommand::Do(Archive& undoData) {
    if (!Acts())
        return;
    RefPtr<VolumeList> envelope = Begin();
    if (!envelope)
        return;
    undoData.WriteObject(envelope.get());
    WriteClipEnvelopes(undoData);
    RefPtr<VolumeList> changed = static_cast<VolumeList*>(envelope->Clone());
    Change(*changed);
    Finish(changed.get(), undoData);
}

void EnvelopeReplacingCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0 || !GetMovieList())
        return;
    RefPtr<VolumeList> old = undoData.ReadObjectOf<VolumeList>();
    if (!old)
        old = new VolumeList;
    FinishUndo(old.get(), undoData);
}

void SlideVolumeCommand::Serialize(Archive& ar) {
    VolumeCommand::Serialize(ar);
    if (ar.IsStoring())
        ar.WriteInt32(from);
    else
        from = ar.ReadInt32();
}

void SlideVolumeCommand::Change(VolumeList& envelope) {
    envelope.SlideSetting(CheckedSetting(), from);
}

void FadeVolumeCommand::Serialize(Archive& ar) {
    VolumeCommand::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteInt32(start);
        ar.WriteInt32(length);
        ar.WriteDword(fadeIn ? 1 : 0);
    } else {
        start = ar.ReadInt32();
        length = ar.ReadInt32();
        fadeIn = ar.ReadDword() != 0;
    }
}

void FadeVolumeCommand::Change(VolumeList& envelope) {
    envelope.FadeRange(start, length, fadeIn);
}

void RemoveVolumeSettingsCommand::Serialize(Archive& ar) {
    VolumeCommand::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteInt32(start);
        ar.WriteInt32(length);
    } else {
        start = ar.ReadInt32();
        length = ar.ReadInt32();
    }
}

std::unique_ptr<RemoveVolumeSettingsCommand>
RemoveVolumeSettingsCommand::FromSelection(int32_t track) {
    ClipList* list = GetMovieList();
    if (!list || !IsEnvelopeTrack(track))
        return nullptr;
    Clip* first = list->FindFirst(track, 0, 2);
    std::optional<Time> run = list->GetSelectedRunLength(track, 0);
    if (!first || !run)
        return nullptr;
    return std::make_unique<RemoveVolumeSettingsCommand>(track, first->GetStart(), *run);
}

bool RemoveVolumeSettingsCommand::CanExecute() const {
    RefPtr<VolumeList> envelope = TakeTrackEnvelope(track);
    if (!envelope)
        return false;
    int64_t end = static_cast<int64_t>(start) + length;
    int i = envelope->FindSegment(static_cast<Time>(std::clamp<int64_t>(
        end, std::numeric_limits<Time>::min(), std::numeric_limits<Time>::max())));
    if (i < 0 || i > envelope->GetCount())
        return false;
    VolumeSetting point = envelope->GetSetting(i);
    return point.time >= start && point != VolumeSetting(VolumeSetting::kDefaultLevel, 0);
}

void RemoveVolumeSettingsCommand::Change(VolumeList& envelope) {
    envelope.RemoveRange(start, length);
}

// --- Device levels ----------------------------------------------------------------

void MasterVolumeCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(volume);
    else
        volume = ar.ReadInt32();
}

void MasterVolumeCommand::Do(Archive& undoData) {
    MasterVolumeHooks& holder = VolumeHooks::MasterVolume();
    undoData.WriteInt32(holder.GetMasterVolume());
    holder.SetMasterVolume(ClampLevel(volume));
}

void MasterVolumeCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0)
        return;
    VolumeHooks::MasterVolume().SetMasterVolume(ClampLevel(undoData.ReadInt32()));
}

void VoiceoverVolumeCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(volume);
    else
        volume = ar.ReadInt32();
}

void VoiceoverVolumeCommand::Do(Archive& undoData) {
    RecordLevelHooks& holder = VolumeHooks::RecordLevel();
    undoData.WriteInt32(holder.GetRecordLevel());
    holder.SetRecordLevel(ClampLevel(volume));
}

void VoiceoverVolumeCommand::Undo(Archive& undoData) {
    if (undoData.BytesLeft() == 0)
        return;
    VolumeHooks::RecordLevel().SetRecordLevel(ClampLevel(undoData.ReadInt32()));
}

} // namespace orvik
