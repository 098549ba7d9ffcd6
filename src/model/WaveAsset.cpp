#include "model/WaveAsset.h"

#include "app/ResourceLibraries.h"
#include "media/MediaFiles.h"
#include "model/AssetText.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"
#include "platform/fs/Places.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(WaveAsset, Asset, kVersionableSchema | 1)

WaveAsset::WaveAsset(const std::string& fileName, Time start, Time duration)
    : Asset(fileName, start, duration) {}

WaveAsset::WaveAsset(const std::string& fileName) : Asset(fileName, 0, 0) { Initialize(); }

RefObject* WaveAsset::Clone() const { return new WaveAsset(*this); }

void WaveAsset::SetFileName(const std::string& path) {
    Asset::SetFileName(path);
    Initialize();
}

void WaveAsset::Initialize() {
    media_ = nullptr;
    RefPtr<MediaFile> file = OpenMediaFile(GetFileName(), 1, 0);
    if (!file || !file->IsOpen())
        return;
    double rate = file->GetRate();
    if (rate > 0) {
        // Rounded up to a whole timecode frame.
        double frames = static_cast<double>(file->GetSampleCount()) *
                        Timecode::GetFramesPerSecond() / rate;
        double whole = std::floor(frames);
        duration_ = static_cast<Time>(frames > whole ? whole + 1 : whole);
    }
    hasWaveformCache_ = file->HasPcmFormat() ? 1 : 0;
    file->Close();
}

MediaFile* WaveAsset::GetAudioFile() {
    if (!media_ || !media_->IsValid())
        media_ = OpenMediaFile(GetFileName(), 1, 0);
    return media_ && media_->IsOpen() ? media_.get() : nullptr;
}

std::string WaveAsset::GetKindName(const Clip*) const { return ResourceText(50312); }

std::string WaveAsset::GetDescription(const Clip* clip) const {
    return SoundDescription(clip, *this);
}

std::string WaveAsset::GetText(const Clip* clip) const { return SoundText(clip, *this); }

bool WaveAsset::IsSoundFileName(const std::string& path) {
    std::string ext = ExtensionOf(path);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    std::string sound = ResourceText(50300);
    std::transform(sound.begin(), sound.end(), sound.begin(),
                   [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return !ext.empty() && ext == (sound.empty() ? std::string(".wav") : sound);
}

void WaveAsset::Serialize(Archive& ar) { Asset::Serialize(ar); }

} // namespace orvik
