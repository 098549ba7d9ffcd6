#pragma once

#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvik {

class Asset;
class Dib;
class VolumeList;
class WaveformData;
struct Rect;

// One use of an asset at a place in the movie: where it starts on its track,
// how long it plays and from which point of its source. The same class
// carries the restore records of undo (a clip with one of the record bits,
// usually without asset).
class Clip : public RefObject {
    ORVIK_DECLARE_SERIAL(Clip)
public:
    // Flag bits.
    enum Flags : uint32_t {
        selected = 0x1,
        marked = 0x2,
        pinned = 0x4,
        hasPicon = 0x8,
        hasAsset = 0x10,
        hasStart = 0x20,
        hasDuration = 0x40,
        hasTrimStart = 0x80,
        hasTrack = 0x100,
        removedRecord = 0x200,
        insertedRecord = 0x400,
        changedRecord = 0x800,
        roll = 0x1000,
        hasVolumeList = 0x2000,
        silence = 0x4000,
        hasComment = 0x8000,
        transitionAtEnd = 0x10000,
        reversed = 0x20000,
        fadeIn = 0x40000,
        fadeOut = 0x80000,
        startTrimmed = 0x100000,
        endTrimmed = 0x200000,
        hasPiconOffset = 0x400000,
        hasExtra = 0x800000,
    };
    static constexpr uint32_t kRecordBits = removedRecord | insertedRecord | changedRecord;
    // The bits a writer derives from the clip's fields.
    static constexpr uint32_t kPresenceBits = hasAsset | hasStart | hasDuration | hasTrimStart |
                                              hasTrack | hasVolumeList | hasComment |
                                              hasPiconOffset;

    Clip();
    // A clip playing all of `asset` from `start` on `track`.
    Clip(Asset* asset, Time start, int32_t track);
    Clip(const Clip& other);
    ~Clip() override;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;
    Clip* CloneClip() const { return static_cast<Clip*>(Clone()); }

    // Fields.
    Asset* GetAsset() const { return asset_.get(); }
    void SetAsset(Asset* asset);
    Time GetStart() const { return start_; }
    void SetStart(Time t) { start_ = t; }
    Time GetDuration() const { return duration_; }
    // Also keeps the envelope's duration, telling it whether the clip changed
    // at its start or at its end.
    void SetDuration(Time t, bool atStart = false);
    Time GetEnd() const { return start_ + duration_; }
    void SetEnd(Time t) { SetDuration(t - start_, false); }
    void SetStartKeepEnd(Time t);
    Time GetTrimStart() const { return trimStart_; }
    Time GetTrimEnd() const { return trimStart_ + duration_; }
    void SetTrimStart(Time t);
    Time GetPiconOffset() const { return piconOffset_; }
    void SetPiconOffset(Time t);
    int32_t GetExtra() const { return extra_; }
    void SetExtra(int32_t v) { extra_ = v; }
    uint32_t GetFlags() const { return flags_; }
    void SetFlags(uint32_t flags) { flags_ = flags; }
    int32_t GetTrack() const { return track_; }
    void SetTrack(int32_t track) { track_ = track; }
    VolumeList* GetVolumeList() const { return volumeList_.get(); }
    void SetVolumeList(VolumeList* list);
    const std::string& GetComment() const { return comment_; }
    void SetComment(const std::string& comment) { comment_ = comment; }
    int32_t GetSequence() const { return sequence_; }
    void SetSequence(int32_t s) { sequence_ = s; }
    int32_t GetOriginalSequence() const { return originalSequence_; }
    void SetOriginalSequence(int32_t s) { originalSequence_ = s; }
    Clip* GetPartner() const { return partner_; }
    void SetPartner(Clip* c) { partner_ = c; }
    Clip* GetPrev() const { return prev_; }
    Clip* GetNext() const { return next_; }
    void SetLinks(Clip* prev, Clip* next) {
        prev_ = prev;
        next_ = next;
    }
    // Neighbours on the same track (links must be current).
    Clip* GetPrevOnTrack() const { return prev_ && prev_->track_ == track_ ? prev_ : nullptr; }
    Clip* GetNextOnTrack() const { return next_ && next_->track_ == track_ ? next_ : nullptr; }

    // What the asset says, or neutral values without one.
    int GetKind() const;
    Time GetAssetStart() const;
    Time GetAssetDuration() const;
    bool IsTransition() const;
    // A fade transition (effect kind 2).
    bool IsFade() const;

    // Flag bits.
    bool HasFlag(uint32_t bit) const { return (flags_ & bit) != 0; }
    void SetFlag(uint32_t bit, bool on) { flags_ = on ? flags_ | bit : flags_ & ~bit; }
    bool IsSelected() const { return HasFlag(selected); }
    void SetSelected(bool on) { SetFlag(selected, on); }
    bool IsMarked() const { return HasFlag(marked); }
    void SetMarked(bool on) { SetFlag(marked, on); }
    bool IsPinned() const { return HasFlag(pinned); }
    void SetPinned(bool on) { SetFlag(pinned, on); }
    bool IsRemovedRecord() const { return HasFlag(removedRecord); }
    bool IsInsertedRecord() const { return HasFlag(insertedRecord); }
    bool IsChangedRecord() const { return HasFlag(changedRecord); }
    bool IsRollB() const { return HasFlag(roll); }
    void SetRollB(bool on) { SetFlag(roll, on); }
    bool IsSilence() const { return HasFlag(silence); }
    void SetSilence(bool on) { SetFlag(silence, on); }
    bool IsTransitionAtEnd() const { return HasFlag(transitionAtEnd); }
    void SetTransitionAtEnd(bool on) { SetFlag(transitionAtEnd, on); }
    bool IsReversed() const { return HasFlag(reversed); }
    void SetReversed(bool on) { SetFlag(reversed, on); }
    bool IsFadeIn() const { return HasFlag(fadeIn); }
    void SetFadeIn(bool on) { SetFlag(fadeIn, on); }
    bool IsFadeOut() const { return HasFlag(fadeOut); }
    void SetFadeOut(bool on) { SetFlag(fadeOut, on); }
    bool IsStartTrimmed() const { return HasFlag(startTrimmed); }
    void SetStartTrimmed(bool on) { SetFlag(startTrimmed, on); }
    bool IsEndTrimmed() const { return HasFlag(endTrimmed); }
    void SetEndTrimmed(bool on) { SetFlag(endTrimmed, on); }

    // Renames the asset's file; the cached pictures of the old file go.
    void SetFileName(const std::string& path);
    std::string GetFileName() const;
    std::string GetPlaybackFileName() const;
    std::string GetLabel() const;
    std::string GetCaption() const;

    // Puts back the old values a changed record holds (its presence bits
    // say which): start, envelope, duration, trim start, thumbnail offset,
    // asset, and the pinned and trimmed bits.
    void RestoreFrom(const Clip& record);
    // Turns a fresh clip into a changed record of `clip`'s current values
    // for what an update is about to change.
    void RecordChangeOf(const Clip& clip, bool start, bool duration, bool trim, bool asset);

    bool IsSameAs(const Clip* other) const;
    bool IsContinuationOf(const Clip* other) const;

    // The clip's place in media time (100 ns units) for the engine; the
    // nudges are in steps of 2 ms.
    void ComputeMediaTimes(int32_t startNudge = 0, int32_t durationNudge = 0);
    int64_t GetMediaStart() const { return mediaStart_; }
    int64_t GetMediaDuration() const { return mediaDuration_; }
    int64_t GetMediaOffset() const { return mediaOffset_; }
    int64_t GetMediaEnd() const { return mediaStart_ + mediaDuration_; }

    // The thumbnail, drawn by the asset at the thumbnail offset: rebuilt when
    // missing, without pixels, or narrower than `rect` (24 bits, the size of
    // `rect`). Without `rect` only an existing thumbnail is returned.
    Dib* GetPicon(const Rect* rect = nullptr);
    Dib* GetCachedPicon() const { return picon_.get(); }
    void ReleasePicon();
    // The waveform cache of the clip's sound, made empty on first use; it is
    // never saved or copied, and a new file name drops it. The waveform
    // thread holds its own reference while it fills it.
    std::shared_ptr<WaveformData> GetWaveform();

    // Transitions: the still frame a tape-constrained transition shows of
    // the scene before it (its last frame played), `width` x `height`,
    // 24 bits; null for any other transition (the cache is emptied).
    Dib* GetHeldFrame(int width, int height);
    // Whether this transition plays over a held frame on tape: not a fade,
    // not pinned, between two scenes, with the make-tape constraints on
    // (the neighbour links must be current).
    bool IsTapeConstrained() const;
    const std::string& GetHeldFrameFile() const { return heldFrameFile_; }
    Time GetHeldFrameTime() const { return heldFrameTime_; }

    RefObject* GetAudioSegmentA() const { return audioSegmentA_.get(); }
    RefObject* GetAudioSegmentB() const { return audioSegmentB_.get(); }
    void SetAudioSegmentA(RefObject* s) { audioSegmentA_ = s; }
    void SetAudioSegmentB(RefObject* s) { audioSegmentB_ = s; }

private:
    RefPtr<Asset> asset_;
    Time start_ = 0;
    Time duration_ = 0;
    Time trimStart_ = 0;
    Time piconOffset_ = 0;
    int32_t extra_ = 0;
    uint32_t flags_ = 0;
    int32_t track_ = 0;
    RefPtr<VolumeList> volumeList_;
    std::string comment_;
    int32_t sequence_ = -1;
    int32_t originalSequence_ = 0;
    Clip* partner_ = nullptr;
    Clip* prev_ = nullptr;
    Clip* next_ = nullptr;
    int64_t mediaStart_ = 0;
    int64_t mediaDuration_ = 0;
    int64_t mediaOffset_ = 0;
    RefPtr<Dib> picon_;
    std::shared_ptr<WaveformData> waveform_;
    RefPtr<Dib> heldFrame_;
    std::string heldFrameFile_;
    Time heldFrameTime_ = 0;
    RefPtr<RefObject> audioSegmentA_;
    RefPtr<RefObject> audioSegmentB_;
};

} // namespace orvik
