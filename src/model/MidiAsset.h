#pragma once

#include "model/Asset.h"

#include <functional>

namespace orvik {

// A MIDI file, played through the MIDI device.
class MidiAsset : public Asset {
    ORVIK_DECLARE_SERIAL(MidiAsset)
public:
    MidiAsset() = default;
    explicit MidiAsset(const std::string& fileName);
    MidiAsset(const MidiAsset& other) = default;

    RefObject* Clone() const override { return new MidiAsset(*this); }
    int GetKind() const override { return kindMidi; }
    int GetNaturalTrack() const override { return 4; }
    bool HasAudio() const override { return true; }
    std::string GetKindName(const Clip* clip) const override;
    std::string GetDescription(const Clip* clip) const override;
    std::string GetText(const Clip* clip) const override;

    // Measures the file's length through the MIDI device; negative when the
    // device cannot open it. Installed by the audio layer.
    using LengthProbe = std::function<double(const std::string& path)>;
    static void SetLengthProbe(LengthProbe probe);

private:
    void Initialize();
};

} // namespace orvik
