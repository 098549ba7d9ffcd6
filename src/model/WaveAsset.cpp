#include "model/WaveAsset.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(WaveAsset, Asset, kVersionableSchema | 1)

WaveAsset::WaveAsset(const std::string& fileName, Time start, Time duration)
    : Asset(fileName, start, duration) {}

RefObject* WaveAsset::Clone() const { return new WaveAsset(*this); }

void WaveAsset::Serialize(Archive& ar) { Asset::Serialize(ar); }

} // namespace orvik
