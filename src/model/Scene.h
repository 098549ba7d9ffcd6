#pragma once

#include "model/Asset.h"
#include "model/SourceTape.h"

#include <cstdint>

namespace orvik {

// A stretch of a captured video file: `start` and `duration` place it inside
// the file. The file name is its source tape's (the captured file, shared by
// all the scenes of that file), not the asset's own.
class Scene : public Asset {
    ORVIK_DECLARE_SERIAL(Scene)
public:
    Scene() = default;
    Scene(const std::string& fileName, Time start, Time duration);
    Scene(const Scene& other) = default;

    void Serialize(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;

    std::string GetFileName() const override;
    // Renames the tape, makes one for a new name, or drops it for an empty
    // name.
    void SetFileName(const std::string& path) override;
    SourceTape* GetTape() const { return sourceTape_.get(); }
    MediaFile* GetVideoFile() override;
    // The frame at the clip's trim start (the scene's start without a clip)
    // plus `offset`, scaled to the whole of `picture`. 0 (logged) when the
    // tape has no readable video or that frame cannot be read; `picture` is
    // then left as it was.
    int CreatePicon(Dib* picture, Clip* clip, Time offset) override;
    MediaFile* GetAudioFile() override;
    bool HasAudio() const override;
    bool HasWaveform() const override;
    void Refresh() override;
    std::string GetKindName(const Clip* clip) const override;
    void SetTape(SourceTape* tape);

    int GetKind() const override { return kindScene; }
    int GetNaturalTrack() const override { return 0; }
    // The file title and, in brackets, the short form of the clip's source
    // position.
    std::string GetLabel(const Clip* clip) const override;

private:
    RefPtr<SourceTape> sourceTape_;
    // −1 until known.
    int32_t hasAudioCache_ = -1;
    int32_t hasWaveformCache_ = -1;
};

} // namespace orvik
