#include "edit/SonicCommands.h"

#include "audio/SonicDesktop.h"
#include "model/Clip.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(NewSonicCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(EditSonicCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

void SerializeRequests(Archive& ar, std::array<std::string, SonicAsset::kRequestCount>& r) {
    for (std::string& text : r) {
        if (ar.IsStoring())
            ar.WriteText(text);
        else
            text = ar.ReadText();
    }
}

// Makes the asset's sound now, from scratch: true when there is a file.
bool GenerateNow(SonicAsset& asset) {
    asset.DeleteRenderedFile();
    return asset.GetAudioFile() != nullptr;
}

} // namespace

void NewSonicCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(start);
        ar.WriteInt32(duration);
        ar.WriteInt32(track);
    } else {
        start = ar.ReadInt32();
        duration = ar.ReadInt32();
        track = ar.ReadInt32();
    }
    SerializeRequests(ar, requests);
}

void NewSonicCommand::Do(Archive& undoData) {
    if (!GetMovie() || !GetMovieList())
        return;
    RefPtr<SonicAsset> asset = new SonicAsset(requests, duration);
    RefPtr<Clip> clip = new Clip(asset.get(), start, track);
    clip->SetDuration(duration);
    if (!GenerateNow(*asset))
        return;
    RememberState();
    InsertClip(clip.get(), true);
    SaveRestoreState(undoData);
}

void EditSonicCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(duration);
    else
        duration = ar.ReadInt32();
    SerializeRequests(ar, requests);
}

void EditSonicCommand::Do(Archive& undoData) {
    if (!GetMovie() || !GetMovieList())
        return;
    Clip* old = SonicDesktop::GetSelectedMusicClip();
    if (!old)
        return;
    RefPtr<Clip> clone = old->CloneClip();
    RefPtr<SonicAsset> asset = new SonicAsset(requests, duration);
    clone->SetAsset(asset.get());
    clone->SetComment(old->GetComment());
    clone->SetDuration(duration);
    if (!GenerateNow(*asset))
        return;
    RememberState();
    ReplaceClip(old, clone.get());
    SaveRestoreState(undoData);
}

} // namespace orvik
