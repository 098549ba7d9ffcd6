#pragma once

#include "model/Asset.h"

#include <cstdint>

namespace orvik {

// A sound file: a sound effect or a voice-over recording.
class WaveAsset : public Asset {
    ORVIK_DECLARE_SERIAL(WaveAsset)
public:
    WaveAsset() = default;
    WaveAsset(const std::string& fileName, Time start, Time duration);
    WaveAsset(const WaveAsset& other) = default;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    int GetKind() const override { return kindSound; }
    int GetNaturalTrack() const override { return 3; }
    bool HasAudio() const override { return true; }

protected:
    // −1 until computed.
    int32_t hasWaveformCache_ = -1;
};

} // namespace orvik
