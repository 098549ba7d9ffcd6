#pragma once

#include "media/MediaFile.h"
#include "model/Asset.h"

#include <cstdint>

namespace orvik {

// A sound file: a sound effect or a voice-over recording.
class WaveAsset : public Asset {
    ORVIK_DECLARE_SERIAL(WaveAsset)
public:
    WaveAsset() = default;
    WaveAsset(const std::string& fileName, Time start, Time duration);
    // Takes its duration from the sound file.
    explicit WaveAsset(const std::string& fileName);
    WaveAsset(const WaveAsset& other) = default;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    int GetKind() const override { return kindSound; }
    int GetNaturalTrack() const override { return 3; }
    bool HasAudio() const override { return true; }
    bool HasWaveform() const override { return hasWaveformCache_ == 1; }
    void SetFileName(const std::string& path) override;
    MediaFile* GetAudioFile() override;
    void Refresh() override { media_ = nullptr; }
    std::string GetKindName(const Clip* clip) const override;
    std::string GetDescription(const Clip* clip) const override;
    std::string GetText(const Clip* clip) const override;

    // Whether a file is a sound file, by its extension.
    static bool IsSoundFileName(const std::string& path);

protected:
    // Reads the duration and whether waveforms can be drawn from the file.
    void Initialize();

    RefPtr<MediaFile> media_;
    // −1 until computed.
    int32_t hasWaveformCache_ = -1;
};

} // namespace orvik
