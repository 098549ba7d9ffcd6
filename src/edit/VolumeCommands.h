#pragma once

#include "edit/ClipListCommand.h"
#include "edit/VolumeSetting.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <cstdint>
#include <memory>

namespace orvik {

class VolumeList;

// Resource texts of the volume commands' names.
constexpr uint32_t kTextVolumeCommand = 50190;
constexpr uint32_t kTextAddVolumeSetting = 50191;
constexpr uint32_t kTextDeleteVolumeSetting = 50192;
constexpr uint32_t kTextChangeVolume = 50193; // change and slide share it
constexpr uint32_t kTextFadeVolume = 50194;
constexpr uint32_t kTextRemoveVolumeSettings = 50195;
constexpr uint32_t kTextVoiceoverVolume = 50196;
constexpr uint32_t kTextMasterVolume = 51081;

// The base of the commands that change the volume envelope of one sound
// track (0, 3 or 4). Each takes the track envelope, changes it with one
// envelope operation and cuts the result back into the track's clips; the
// clips' own envelopes are what changes in the movie. Volume commands never
// stop the player, so the envelope can be shaped while the movie plays.
//
// Undo data: the command's own data (the index, point or envelope that its
// inverse needs), then the track's clip envelopes as they were, then the
// shared state of ClipListCommand. Undo puts the clips' envelopes back
// exactly: cutting an envelope into clips loses what lies in gaps, under
// transitions and pictures, and the start point a built envelope adds.
//
// A command on a track without sound, or one that finds nothing to change
// (an index that names no point), writes no undo data.
class VolumeCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(VolumeCommand)
public:
    VolumeCommand() = default;
    VolumeCommand(int32_t track, int32_t index, VolumeSetting setting)
        : track(track), index(index), setting(setting) {}

    void Serialize(Archive& ar) override;
    uint32_t GetNameId() const override { return kTextVolumeCommand; }
    bool StopsPlayer() const override { return false; }
    // Merging commands merge only on the same track: the undo data they keep
    // is the older command's, which puts back that track's clips.
    bool MergesWith(const Command& older) const override;

    // The sound tracks whose envelopes the commands change.
    static bool IsEnvelopeTrack(int32_t track) { return track == 0 || track == 3 || track == 4; }
    // The track envelope of `track` as its view shows it (built from the
    // clips when no view holds one); a copy the caller may change. Null
    // without a movie or for a track without sound.
    static RefPtr<VolumeList> TakeTrackEnvelope(int32_t track);

    int32_t track = -1;
    int32_t index = -1;
    VolumeSetting setting;

protected:
    // The point as the envelope takes it: the default marker stands for the
    // default level, and levels beyond the scale are taken as its ends (a
    // level past the top would overflow the sources' sample scaling).
    VolumeSetting CheckedSetting() const;
    // Remembers the state and takes the envelope; null when the command
    // cannot act.
    RefPtr<VolumeList> Begin();
    // Writes the track's clip envelopes as they are now.
    void WriteClipEnvelopes(Archive& undoData);
    // Cuts `envelope` into the clips, shows it and writes the shared state.
    void Finish(VolumeList* envelope, Archive& undoData);
    // Undo: the clips' envelopes from the undo data (or, should the track's
    // clips have changed in number, `envelope` cut into them), the
    // notifications, then the shared state.
    void FinishUndo(VolumeList* envelope, Archive& undoData);
};

// Adds `setting` to the envelope of `track`.
class AddVolumeSettingCommand : public VolumeCommand {
    ORVIK_DECLARE_SERIAL(AddVolumeSettingCommand)
public:
    AddVolumeSettingCommand() = default;
    AddVolumeSettingCommand(int32_t track, VolumeSetting point) : VolumeCommand(track, -1, point) {}
    uint32_t GetNameId() const override { return kTextAddVolumeSetting; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;
};

// Deletes point `index` of the envelope of `track`.
class DeleteVolumeSettingCommand : public VolumeCommand {
    ORVIK_DECLARE_SERIAL(DeleteVolumeSettingCommand)
public:
    DeleteVolumeSettingCommand() = default;
    DeleteVolumeSettingCommand(int32_t track, int32_t index)
        : VolumeCommand(track, index, VolumeSetting()) {}
    uint32_t GetNameId() const override { return kTextDeleteVolumeSetting; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;
};

// Moves point `index` of the envelope of `track` to `setting`. A drag of a
// point is one such command; consecutive ones on a track merge.
class ChangeVolumeSettingCommand : public VolumeCommand {
    ORVIK_DECLARE_SERIAL(ChangeVolumeSettingCommand)
public:
    ChangeVolumeSettingCommand() = default;
    ChangeVolumeSettingCommand(int32_t track, int32_t index, VolumeSetting point)
        : VolumeCommand(track, index, point) {}
    uint32_t GetNameId() const override { return kTextChangeVolume; }
    bool CanMerge() const override { return true; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;
};

// The base of the commands whose undo data is the whole track envelope as
// it was.
class EnvelopeReplacingCommand : public VolumeCommand {
public:
    using VolumeCommand::VolumeCommand;
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;

protected:
    // Whether the fields describe a change the envelope can take in order.
    virtual bool Acts() const { return true; }
    virtual void Change(VolumeList& envelope) = 0;
};

// Glides the level of `track` from what it is at `from` to `setting`'s
// level at its time (the volume tool's slider).
class SlideVolumeCommand : public EnvelopeReplacingCommand {
    ORVIK_DECLARE_SERIAL(SlideVolumeCommand)
public:
    SlideVolumeCommand() = default;
    SlideVolumeCommand(int32_t track, VolumeSetting point, Time from)
        : EnvelopeReplacingCommand(track, -1, point), from(from) {}
    uint32_t GetNameId() const override { return kTextChangeVolume; }
    void Serialize(Archive& ar) override;

    Time from = 0;

protected:
    // A target before the movie's start would put a point at a negative
    // time.
    bool Acts() const override { return setting.time >= 0; }
    void Change(VolumeList& envelope) override;
};

// A fade-in from silence starting at `start`, or a fade-out into silence
// ending there, `length` frames long.
class FadeVolumeCommand : public EnvelopeReplacingCommand {
    ORVIK_DECLARE_SERIAL(FadeVolumeCommand)
public:
    FadeVolumeCommand() = default;
    FadeVolumeCommand(int32_t track, Time start, Time length, bool fadeIn)
        : EnvelopeReplacingCommand(track, -1, VolumeSetting()), start(start), length(length),
          fadeIn(fadeIn) {}
    uint32_t GetNameId() const override { return kTextFadeVolume; }
    bool CanMerge() const override { return true; }
    void Serialize(Archive& ar) override;

    Time start = 0;
    Time length = 0;
    bool fadeIn = false;

protected:
    // A fade of no length, or one placed before the movie's start, would
    // put its points out of order or at negative times.
    bool Acts() const override { return start >= 0 && length > 0; }
    void Change(VolumeList& envelope) override;
};

// Removes the points of `track` from `start` to `start` + `length` (the
// selected clips' run).
class RemoveVolumeSettingsCommand : public EnvelopeReplacingCommand {
    ORVIK_DECLARE_SERIAL(RemoveVolumeSettingsCommand)
public:
    RemoveVolumeSettingsCommand() = default;
    RemoveVolumeSettingsCommand(int32_t track, Time start, Time length)
        : EnvelopeReplacingCommand(track, -1, VolumeSetting()), start(start), length(length) {}
    // The menu's command for `track`: from the first selected clip of the
    // track over the run of selected clips after it; null when no clip of
    // the track is selected.
    static std::unique_ptr<RemoveVolumeSettingsCommand> FromSelection(int32_t track);

    uint32_t GetNameId() const override { return kTextRemoveVolumeSettings; }
    bool CanMerge() const override { return true; }
    // Whether a point other than the default start point lies in the range.
    bool CanExecute() const override;
    void Serialize(Archive& ar) override;

    Time start = 0;
    Time length = 0;

protected:
    void Change(VolumeList& envelope) override;
};

// The master output volume (0 … 1000): the tape output's slider. A run of
// changes is one history entry.
class MasterVolumeCommand : public Command {
    ORVIK_DECLARE_SERIAL(MasterVolumeCommand)
public:
    MasterVolumeCommand() = default;
    explicit MasterVolumeCommand(int32_t volume) : volume(volume) {}
    void Serialize(Archive& ar) override;
    uint32_t GetNameId() const override { return kTextMasterVolume; }
    bool CanMerge() const override { return true; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;

    int32_t volume = 500;
};

// The voice-over recording level of the microphone (0 … 1000).
class VoiceoverVolumeCommand : public Command {
    ORVIK_DECLARE_SERIAL(VoiceoverVolumeCommand)
public:
    VoiceoverVolumeCommand() = default;
    explicit VoiceoverVolumeCommand(int32_t volume) : volume(volume) {}
    void Serialize(Archive& ar) override;
    uint32_t GetNameId() const override { return kTextVoiceoverVolume; }
    bool CanMerge() const override { return true; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;

    int32_t volume = 500;
};

} // namespace orvik
