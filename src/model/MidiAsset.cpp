#include "model/MidiAsset.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "model/AssetText.h"
#include "model/Timecode.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(MidiAsset, Asset, kVersionableSchema | 1)

namespace {
MidiAsset::LengthProbe lengthProbe;
}

void MidiAsset::SetLengthProbe(LengthProbe probe) { lengthProbe = std::move(probe); }

MidiAsset::MidiAsset(const std::string& fileName) : Asset(fileName, 0, 0) { Initialize(); }

void MidiAsset::Initialize() {
    double seconds = lengthProbe ? lengthProbe(GetFileName()) : -1.0;
    if (seconds < 0) {
        LogMessage("MidiAsset::Initialize: can't open %s\n", GetFileName().c_str());
        seconds = 0;
    }
    duration_ = static_cast<Time>(Timecode::GetFramesPerSecond() * seconds + 0.5);
}

std::string MidiAsset::GetKindName(const Clip*) const { return ResourceText(50313); }

std::string MidiAsset::GetDescription(const Clip* clip) const {
    return SoundDescription(clip, *this);
}

std::string MidiAsset::GetText(const Clip* clip) const { return SoundText(clip, *this); }

} // namespace orvik
