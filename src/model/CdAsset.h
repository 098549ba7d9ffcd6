#pragma once

#include "media/MediaFile.h"
#include "model/Asset.h"

#include <functional>

namespace orvik {

// A stretch of a track of an audio CD. For playback the stretch is recorded
// into a sound file (the rendered file), which goes when the asset goes or
// when its trim changes.
class CdAsset : public Asset {
    ORVIK_DECLARE_SERIAL(CdAsset)
public:
    CdAsset() = default;
    CdAsset(const std::string& cdName, int32_t trackNumber, const std::string& trackText,
            Time start, Time duration);
    // A copy gets no rendered file of its own: it records its stretch anew.
    CdAsset(const CdAsset& other);
    ~CdAsset() override;

    void Serialize(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override { return new CdAsset(*this); }
    bool IsEqual(const Asset* other) const override;
    int GetKind() const override { return kindCd; }
    int GetNaturalTrack() const override { return 4; }
    bool HasAudio() const override { return true; }
    std::string GetKindName(const Clip* clip) const override;
    std::string GetText(const Clip* clip) const override;
    bool CopyOnTrim() const override { return true; }
    void AdjustToClip(Time trimStart, Time duration) override;
    void SetRenderedFileName(const std::string& path) override;
    std::string GetRenderedFileName() const override { return renderedFile_; }
    // The recorded stretch, opened on first use; null until it is recorded.
    MediaFile* GetAudioFile() override;
    // Closes and drops the recorded stretch's reader.
    void Refresh() override;

    const std::string& GetCdName() const { return cdName_; }
    int32_t GetTrackNumber() const { return trackNumber_; }
    const std::string& GetTrackText() const { return trackText_; }

    // Asks for the CD until the drive holds it; false when the user gives up,
    // and at once (logged) while no CD audio service is installed: no CD
    // could ever be found then.
    bool EnsureCdInserted();
    // Tells which CD is in the drive (empty: none); installed by CD audio.
    using InsertedCd = std::function<std::string()>;
    static void SetInsertedCdProbe(InsertedCd probe);

private:
    void DeleteRenderedFile();

    int32_t trackNumber_ = 0;
    std::string trackText_;
    std::string cdName_;
    int32_t reserved_ = -1;
    std::string renderedFile_;
    RefPtr<MediaFile> renderedMedia_;
};

} // namespace orvik
