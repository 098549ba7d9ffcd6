#include "model/Scene.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "imaging/DibSection.h"
#include "media/MediaFile.h"
#include "model/Clip.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Scene, Asset, kVersionableSchema | 1)

Scene::Scene(const std::string& fileName, Time start, Time duration)
    : Asset(std::string(), start, duration) {
    SetFileName(fileName);
}

std::string Scene::GetFileName() const {
    return sourceTape_ ? sourceTape_->GetFileName() : std::string();
}

void Scene::SetFileName(const std::string& path) {
    hasAudioCache_ = -1;
    hasWaveformCache_ = -1;
    if (path.empty())
        sourceTape_ = nullptr;
    else if (sourceTape_)
        sourceTape_->SetFileName(path);
    else
        sourceTape_ = new SourceTape(path, 0);
}

MediaFile* Scene::GetVideoFile() { return sourceTape_ ? sourceTape_->GetVideoFile() : nullptr; }

MediaFile* Scene::GetAudioFile() { return sourceTape_ ? sourceTape_->GetAudioFile() : nullptr; }

int Scene::CreatePicon(Dib* picture, Clip* clip, Time offset) {
    if (!picture || picture->IsEmpty() || picture->Width() < 1 || picture->AbsHeight() < 1)
        return 0;
    MediaFile* video = GetVideoFile();
    if (!video) {
        LogMessage("Scene::CreatePicon: no video in '%s'\n", GetFileName().c_str());
        return 0;
    }
    // Times read from a project may be anything: a sum outside movie time
    // is no frame of the tape.
    const int64_t at = int64_t{clip ? clip->GetTrimStart() : start_} + offset;
    if (at < 0 || at > INT32_MAX) {
        LogMessage("Scene::CreatePicon: no frame at %lld in '%s'\n", static_cast<long long>(at),
                   GetFileName().c_str());
        return 0;
    }
    RefPtr<DibSection> frame = new DibSection;
    if (!frame->LoadFromMediaFile(*video, Timecode::ToSample(static_cast<Time>(at)),
                                  Rect(0, 0, picture->Width(), picture->AbsHeight())))
        return 0;
    return picture->Copy(*frame) ? 1 : 0;
}

bool Scene::HasAudio() const {
    // Known once per file name: whether the tape has sound, and whether that
    // sound can be read for waveforms.
    if (hasAudioCache_ < 0) {
        auto* self = const_cast<Scene*>(this);
        MediaFile* audio = self->GetAudioFile();
        self->hasAudioCache_ = audio ? 1 : 0;
        self->hasWaveformCache_ = audio && audio->HasPcmFormat() ? 1 : 0;
    }
    return hasAudioCache_ == 1;
}

bool Scene::HasWaveform() const {
    HasAudio();
    return hasWaveformCache_ == 1;
}

void Scene::Refresh() {
    if (sourceTape_)
        sourceTape_->CloseMedia();
}

std::string Scene::GetKindName(const Clip*) const { return ResourceText(50314); }

void Scene::SetTape(SourceTape* tape) {
    sourceTape_ = tape;
    hasAudioCache_ = -1;
    hasWaveformCache_ = -1;
}

RefObject* Scene::Clone() const { return new Scene(*this); }

void Scene::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteObject(sourceTape_.get());
    } else {
        // A name kept in the asset part (by another writer) becomes a tape
        // when no tape follows.
        std::string name = fileName_;
        fileName_.clear();
        sourceTape_ = ar.ReadObjectOf<SourceTape>();
        if (!sourceTape_ && !name.empty())
            sourceTape_ = new SourceTape(name, 0);
        hasAudioCache_ = -1;
        hasWaveformCache_ = -1;
    }
}

std::string Scene::GetLabel(const Clip* clip) const {
    Time source = clip ? clip->GetTrimStart() : start_;
    return FileTitleWithoutExtension(GetFileName()) + " [" + Timecode::FormatShort(source) + "]";
}

void Scene::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    out.Add("sourceTape", sourceTape_ ? sourceTape_->GetFileName() : std::string());
}

} // namespace orvik
