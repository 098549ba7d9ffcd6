#include "model/Clip.h"

#include "app/SettingsBase.h"
#include "edit/VolumeList.h"
#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/WaveformData.h"
#include "model/Asset.h"
#include "model/Timecode.h"
#include "model/Transition.h"
#include "platform/archive/Archive.h"
#include "platform/gdi/Rect.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Clip, RefObject, kVersionableSchema | 1)

Clip::Clip() = default;

Clip::Clip(Asset* asset, Time start, int32_t track) : asset_(asset), start_(start), track_(track) {
    if (asset) {
        duration_ = asset->GetDuration();
        trimStart_ = asset->GetStart();
    }
}

// Cloning is how clips are meant to be copied (lists, undo, the clipboard), so
// the copy starts a fresh base instead of logging the base's warning about an
// unexpected copy for each of possibly thousands of clips.
Clip::Clip(const Clip& other)
    : RefObject(), asset_(other.asset_), start_(other.start_), duration_(other.duration_),
      trimStart_(other.trimStart_), piconOffset_(other.piconOffset_), extra_(other.extra_),
      flags_(other.flags_), track_(other.track_), comment_(other.comment_),
      sequence_(other.sequence_), originalSequence_(other.originalSequence_),
      mediaStart_(other.mediaStart_), mediaDuration_(other.mediaDuration_),
      mediaOffset_(other.mediaOffset_), heldFrame_(other.heldFrame_),
      heldFrameFile_(other.heldFrameFile_), heldFrameTime_(other.heldFrameTime_) {
    if (other.volumeList_)
        volumeList_ = static_cast<VolumeList*>(other.volumeList_->Clone());
}

Clip::~Clip() = default;

RefObject* Clip::Clone() const {
    return new Clip(*this);
}

void Clip::SetAsset(Asset* asset) {
    asset_ = asset;
}

void Clip::SetDuration(Time t, bool atStart) {
    duration_ = t;
    if (volumeList_)
        volumeList_->SetDuration(t, atStart);
}

void Clip::SetStartKeepEnd(Time t) {
    Time end = GetEnd();
    start_ = t;
    SetDuration(end - t, true);
}

void Clip::SetTrimStart(Time t) {
    if (t == trimStart_)
        return;
    if (!IsChangedRecord() && GetAssetDuration() == 0)
        return; // a still picture or an effect has no source position to move
    trimStart_ = t;
    piconOffset_ = 0;
    ReleasePicon();
}

void Clip::SetPiconOffset(Time t) {
    if (t == piconOffset_)
        return;
    piconOffset_ = t;
    ReleasePicon();
}

void Clip::ReleasePicon() {
    picon_ = nullptr;
}

Dib* Clip::GetPicon(const Rect* rect) {
    bool usable = picon_ && !picon_->IsEmpty() && picon_->Bits() &&
                  (!rect || picon_->Width() >= rect->Width());
    if (usable || !rect)
        return usable ? picon_.get() : nullptr;
    RefPtr<Dib> picture = new Dib;
    if (!picture->Create(rect->Width(), rect->Height(), 24))
        return nullptr;
    if (!asset_ || !asset_->CreatePicon(picture.get(), this, piconOffset_))
        picture->Set(0);
    picon_ = picture;
    return picon_.get();
}

bool Clip::IsTapeConstrained() const {
    if (!IsTransition() || IsFade() || IsPinned())
        return false;
    const SettingsBase* settings = SettingsBase::Current();
    if (!settings || settings->GetMakeTapeConstraints() == 0)
        return false;
    const Clip* before = GetPrevOnTrack();
    const Clip* after = GetNextOnTrack();
    return before && after && before->GetKind() == Asset::kindScene &&
           after->GetKind() == Asset::kindScene;
}

Dib* Clip::GetHeldFrame(int width, int height) {
    const Clip* before = GetPrevOnTrack();
    if (!IsTapeConstrained() || !before || before->GetKind() != Asset::kindScene) {
        heldFrame_ = nullptr;
        heldFrameFile_.clear();
        heldFrameTime_ = 0;
        return nullptr;
    }
    // The last frame the scene plays before the transition.
    std::string file = before->GetFileName();
    Time time = before->GetTrimEnd() - Timecode::FromSample(1);
    if (heldFrame_ && heldFrame_->Width() == width && heldFrame_->AbsHeight() == height &&
        heldFrameFile_ == file && heldFrameTime_ == time)
        return heldFrame_.get();
    heldFrame_ = nullptr;
    heldFrameFile_ = file;
    heldFrameTime_ = time;
    MediaFile* video = before->GetAsset()->GetVideoFile();
    if (!video)
        return nullptr;
    BitmapInfoHeader wanted;
    wanted.width = width;
    wanted.height = height;
    wanted.bitCount = 24;
    heldFrame_ = video->GetFrame(Timecode::ToSample(time), &wanted);
    return heldFrame_.get();
}

void Clip::SetVolumeList(VolumeList* list) {
    volumeList_ = list;
}

int Clip::GetKind() const {
    return asset_ ? asset_->GetKind() : Asset::kindPlain;
}
Time Clip::GetAssetStart() const {
    return asset_ ? asset_->GetStart() : 0;
}
Time Clip::GetAssetDuration() const {
    return asset_ ? asset_->GetDuration() : 0;
}
bool Clip::IsTransition() const {
    return GetKind() == Asset::kindTransition;
}

bool Clip::IsFade() const {
    const Transition* t = DynamicCast<Transition>(asset_.get());
    return t && t->IsFade();
}

void Clip::SetFileName(const std::string& path) {
    if (asset_)
        asset_->SetFileName(path);
    ReleasePicon();
    waveform_.reset();
}

std::shared_ptr<WaveformData> Clip::GetWaveform() {
    if (!waveform_)
        waveform_ = std::make_shared<WaveformData>();
    return waveform_;
}

std::string Clip::GetFileName() const {
    return asset_ ? asset_->GetFileName() : std::string();
}

std::string Clip::GetPlaybackFileName() const {
    if (!asset_)
        return std::string();
    std::string rendered = asset_->GetRenderedFileName();
    return rendered.empty() ? asset_->GetFileName() : rendered;
}

std::string Clip::GetLabel() const {
    if (!comment_.empty())
        return comment_;
    return asset_ ? asset_->GetLabel(this) : std::string();
}

std::string Clip::GetCaption() const {
    std::string caption = asset_ ? asset_->GetKindName(this) : std::string();
    std::string label = GetLabel();
    if (!label.empty())
        caption += ": '" + label + "'";
    return caption;
}

void Clip::RecordChangeOf(const Clip& clip, bool start, bool duration, bool trim, bool asset) {
    // The trimmed bits go with the old values: an update may set them.
    flags_ = changedRecord | (clip.flags_ & (pinned | startTrimmed | endTrimmed));
    if (start) {
        flags_ |= hasStart;
        start_ = clip.start_;
    }
    if (duration) {
        flags_ |= hasDuration;
        duration_ = clip.duration_;
        if (clip.volumeList_) {
            flags_ |= hasVolumeList;
            volumeList_ = static_cast<VolumeList*>(clip.volumeList_->Clone());
        }
    }
    if (trim) {
        flags_ |= hasTrimStart;
        trimStart_ = clip.trimStart_;
        if (clip.piconOffset_ != 0) {
            flags_ |= hasPiconOffset;
            piconOffset_ = clip.piconOffset_;
        }
    }
    if (asset) {
        flags_ |= hasAsset;
        asset_ = clip.asset_;
    }
}

void Clip::RestoreFrom(const Clip& record) {
    uint32_t f = record.flags_;
    if (f & hasStart)
        start_ = record.start_;
    if (f & hasVolumeList)
        volumeList_ =
            record.volumeList_ ? static_cast<VolumeList*>(record.volumeList_->Clone()) : nullptr;
    if (f & hasDuration)
        duration_ = record.duration_;
    if (f & hasTrimStart) {
        trimStart_ = record.trimStart_;
        piconOffset_ = (f & hasPiconOffset) ? record.piconOffset_ : 0;
    }
    if (f & hasAsset)
        asset_ = record.asset_;
    SetPinned((f & pinned) != 0);
    SetStartTrimmed((f & startTrimmed) != 0);
    SetEndTrimmed((f & endTrimmed) != 0);
}

bool Clip::IsSameAs(const Clip* other) const {
    if (!other || track_ != other->track_ || start_ != other->start_ ||
        duration_ != other->duration_ || trimStart_ != other->trimStart_ ||
        GetKind() != other->GetKind())
        return false;
    if (asset_ && other->asset_ && !asset_->IsEqual(other->asset_.get()))
        return false;
    if (!volumeList_ || !other->volumeList_)
        return !volumeList_ && !other->volumeList_;
    return volumeList_->IsEqual(other->volumeList_.get());
}

bool Clip::IsContinuationOf(const Clip* other) const {
    if (!other || GetKind() != Asset::kindScene || other->GetKind() != Asset::kindScene)
        return false;
    if (GetFileName() != other->GetFileName())
        return false;
    return other->GetAssetStart() + other->GetAssetDuration() == GetAssetStart() &&
           trimStart_ == GetAssetStart() && duration_ == GetAssetDuration();
}

void Clip::ComputeMediaTimes(int32_t startNudge, int32_t durationNudge) {
    mediaStart_ = Timecode::ToMediaTime(start_, startNudge);
    mediaDuration_ = Timecode::ToMediaTime(duration_, durationNudge);
    bool rendered = asset_ && !asset_->GetRenderedFileName().empty();
    mediaOffset_ = rendered ? 0 : Timecode::ToMediaTime(trimStart_);
    // A file whose stream does not begin at sample 0 starts that much later.
    MediaFile* media = asset_ ? asset_->GetVideoFile() : nullptr;
    if (!media && asset_)
        media = asset_->GetAudioFile();
    if (media) {
        double rate = media->GetRate();
        if (rate > 0)
            mediaOffset_ += static_cast<int64_t>(static_cast<double>(media->GetFirstSample()) *
                                                 Timecode::kUnitsPerSecond / rate);
    }
}

void Clip::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        uint32_t flags = flags_ & ~hasPicon;
        if (!(flags & (insertedRecord | changedRecord))) {
            flags &= ~kPresenceBits;
            if (asset_)
                flags |= hasAsset;
            if (start_ != 0)
                flags |= hasStart;
            if (duration_ != GetAssetDuration())
                flags |= hasDuration;
            if (trimStart_ != GetAssetStart())
                flags |= hasTrimStart;
            if (piconOffset_ != 0)
                flags |= hasPiconOffset;
            if (track_ != 0)
                flags |= hasTrack;
            if (volumeList_)
                flags |= hasVolumeList;
            if (!comment_.empty())
                flags |= hasComment;
        }
        ar.WriteDword(flags);
        if (flags & hasAsset)
            ar.WriteObject(asset_.get());
        if (flags & hasStart)
            ar.WriteInt32(start_);
        if (flags & hasDuration)
            ar.WriteInt32(duration_);
        if (flags & hasTrimStart)
            ar.WriteInt32(trimStart_);
        if (flags & hasPiconOffset)
            ar.WriteInt32(piconOffset_);
        if (flags & hasTrack)
            ar.WriteInt32(track_);
        if (flags & kRecordBits)
            ar.WriteInt32(sequence_);
        if (flags & hasVolumeList)
            ar.WriteObject(volumeList_.get());
        if (flags & hasComment)
            ar.WriteText(comment_);
        if (flags & hasExtra)
            ar.WriteInt32(extra_);
        return;
    }

    uint32_t flags = ar.ReadDword();
    asset_ = nullptr;
    if (flags & hasAsset) {
        PersistentObject* o = ar.ReadObject(RuntimeClassOf<RefObject>());
        Asset* a = DynamicCast<Asset>(o);
        if (o && !a)
            throw ArchiveException(ArchiveException::badClass, "a clip's asset is no asset");
        asset_ = a;
    }
    start_ = (flags & hasStart) ? ar.ReadInt32() : 0;
    duration_ = (flags & hasDuration) ? ar.ReadInt32() : GetAssetDuration();
    trimStart_ = (flags & hasTrimStart) ? ar.ReadInt32() : GetAssetStart();
    piconOffset_ = (flags & hasPiconOffset) ? ar.ReadInt32() : 0;
    track_ = (flags & hasTrack) ? ar.ReadInt32() : 0;
    sequence_ = (flags & kRecordBits) ? ar.ReadInt32() : 0;
    volumeList_ = nullptr;
    if (flags & hasVolumeList) {
        PersistentObject* o = ar.ReadObject(RuntimeClassOf<RefObject>());
        VolumeList* v = DynamicCast<VolumeList>(o);
        if (o && !v)
            throw ArchiveException(ArchiveException::badClass, "a clip's envelope is no envelope");
        volumeList_ = v;
    }
    comment_ = (flags & hasComment) ? ar.ReadText() : std::string();
    if (flags & hasPicon) {
        RefPtr<Dib> picture = new Dib;
        picture->Serialize(ar);
        picon_ = picture;
    }
    extra_ = (flags & hasExtra) ? ar.ReadInt32() : 0;
    flags_ = flags & ~hasPicon;
}

} // namespace orvik
