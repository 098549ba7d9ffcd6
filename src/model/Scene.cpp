#include "model/Scene.h"

#include "model/Clip.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Scene, Asset, kVersionableSchema | 1)

Scene::Scene(const std::string& fileName, Time start, Time duration)
    : Asset(fileName, start, duration) {}

RefObject* Scene::Clone() const { return new Scene(*this); }

void Scene::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteObject(nullptr); // the source tape
    } else {
        // A tape written by a later version is read and let go.
        RefPtr<RefObject> tape = static_cast<RefObject*>(ar.ReadObject(RuntimeClassOf<RefObject>()));
        hasAudioCache_ = -1;
        hasWaveformCache_ = -1;
    }
}

std::string Scene::GetLabel(const Clip* clip) const {
    Time source = clip ? clip->GetTrimStart() : start_;
    return FileTitleWithoutExtension(GetFileName()) + " [" + Timecode::FormatShort(source) + "]";
}

} // namespace orvik
