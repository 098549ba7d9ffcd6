#pragma once

#include "model/Asset.h"

#include <cstdint>

namespace orvik {

// A stretch of a captured video file: `start` and `duration` place it inside
// the file.
//
// The scene's source tape (the captured file shared by all its scenes, with
// its timecode) comes with source tapes; until then the scene keeps its file
// name itself and writes no tape (a null reference) where the tape goes.
class Scene : public Asset {
    ORVIK_DECLARE_SERIAL(Scene)
public:
    Scene() = default;
    Scene(const std::string& fileName, Time start, Time duration);
    Scene(const Scene& other) = default;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    int GetKind() const override { return kindScene; }
    int GetNaturalTrack() const override { return 0; }
    // The file title and, in brackets, the short form of the clip's source
    // position.
    std::string GetLabel(const Clip* clip) const override;

private:
    // −1 until known.
    int32_t hasAudioCache_ = -1;
    int32_t hasWaveformCache_ = -1;
};

} // namespace orvik
