#pragma once

#include "edit/ClipListCommand.h"
#include "model/Time.h"

#include <cstdint>

namespace orvik {

class Clip;

// The base of the trim-like commands: they find one clip by a movie time on
// a track and move one of its edges by an amount (or split it there).
//
// `clipTime` is the time by which the clip is found: its start, except for
// TrimEndCommand and for OverlapTrimCommand with a positive amount, where it
// is the clip's end. `amount` is how far the edge moves (later when
// positive), or the split offset from the clip's start.
class TrimCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(TrimCommand)
public:
    TrimCommand() = default;
    TrimCommand(Time clipTime, Time amount, int32_t track)
        : clipTime(clipTime), amount(amount), track(track) {}

    uint32_t GetNameId() const override { return 50147; }
    // Whether the command would change anything: its clip exists and the
    // amount is not 0.
    bool CanExecute() const override;
    void Serialize(Archive& ar) override;

    // The clip the command works on, or null: the first clip of the track
    // that is not a transition and starts at clipTime.
    virtual Clip* FindClip() const;

    Time clipTime = 0;
    Time amount = 0;
    int32_t track = 0;

protected:
    // The finishing step of every trim: the movie's position goes to the
    // first selected clip's start (`atStart`) or last frame, unless the
    // trimmer shows a selected clip playing there; then the modified flag,
    // the redraws and the undo data.
    void AfterTrim(Archive& undoData, bool atStart);
    // The shortest a trimmed clip may become: a frame, a second of
    // generated music.
    static Time MinimumDuration(const Clip* clip);
};

class TrimStartCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(TrimStartCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50148; }
    // The new start lies between the earliest start the asset allows and
    // the clip's end less its minimum duration.
    bool CanExecute() const override;
    void Do(Archive& undoData) override;
};

class TrimEndCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(TrimEndCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50149; }
    // The new end lies between the clip's start plus its minimum duration
    // and the latest end the asset allows.
    bool CanExecute() const override;
    // The clip that ends at clipTime.
    Clip* FindClip() const override;
    void Do(Archive& undoData) override;
};

// Moves the cut between a clip and its neighbour: a negative amount moves
// the clip's start (clipTime its start), a positive one its end (clipTime
// its end).
class OverlapTrimCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(OverlapTrimCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50150; }
    Clip* FindClip() const override;
    void Do(Archive& undoData) override;
};

// Makes the transition starting at clipTime `amount` frames longer.
class TransitionDurationCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(TransitionDurationCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50151; }
    Clip* FindClip() const override;
    void Do(Archive& undoData) override;
};

// Gives the clip starting at clipTime back the earliest start its asset
// allows (amount is not used).
class ResetTrimStartCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(ResetTrimStartCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50152; }
    bool CanExecute() const override;
    void Do(Archive& undoData) override;
};

// Gives the clip starting at clipTime the latest end its asset allows
// (amount is not used).
class ResetTrimEndCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(ResetTrimEndCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50153; }
    bool CanExecute() const override;
    void Do(Archive& undoData) override;
};

// Splits the clip starting at clipTime at clipTime + amount; the point must
// lie after the clip's start and before its last two frames.
class SplitClipCommand : public TrimCommand {
    ORVIK_DECLARE_SERIAL(SplitClipCommand)
public:
    using TrimCommand::TrimCommand;
    uint32_t GetNameId() const override { return 50154; }
    bool CanExecute() const override;
    void Do(Archive& undoData) override;
};

} // namespace orvik
