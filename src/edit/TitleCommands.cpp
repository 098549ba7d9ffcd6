#include "edit/TitleCommands.h"

#include "app/DiagnosticsLog.h"
#include "app/SettingsBase.h"
#include "imaging/Titler.h"
#include "model/Asset.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(NewTitleCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(EditTitleCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

TitleAlbumOpener albumOpener;

// After a new or edited title entered the movie: when the composition saved
// the title under a name of its own, the graphics album shows that file.
void AlbumStep(Titler& titler) {
    if (albumOpener && titler.SavedByLibrary())
        albumOpener(titler.GetSavedName());
}

// A graphic for the title file `path`. A title the titler just saved is
// already one of the application's working files: it is not copied again
// when its clip is placed.
RefPtr<GraphicAsset> TitleAsset(const std::string& path, Time duration) {
    RefPtr<GraphicAsset> title = new GraphicAsset(path, duration);
    AssetManager* assets = AssetManager::Instance();
    if (assets && assets->IsWorkingFilePath(path))
        title->SetWorkingFileName(path);
    return title;
}

// The setting's default (four seconds at 30 frames) when there are no
// settings.
Time DefaultGraphicDuration() {
    if (SettingsBase* settings = SettingsBase::Current())
        return settings->GetGraphicDuration();
    return 4 * 30;
}

} // namespace

bool NewTitleCommand::CanExecute() const {
    return track == 0 || track == 1;
}

void NewTitleCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(path);
        ar.WriteText(name);
        ar.WriteInt32(time);
        ar.WriteInt32(duration);
        ar.WriteInt32(track);
    } else {
        path = ar.ReadText();
        name = ar.ReadText();
        time = ar.ReadInt32();
        duration = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

bool NewTitleCommand::Run() {
    Titler* titler = Titler::Instance();
    if (!CanExecute() || !titler)
        return false;
    titler->SetBackgroundSource(track, time);
    path = titler->NewTitle();
    if (path.empty())
        return false;
    name = titler->GetText();
    Execute();
    AlbumStep(*titler);
    return true;
}

void NewTitleCommand::Do(Archive& undoData) {
    if (!CanExecute() || path.empty() || !GetMovie() || !GetMovieList())
        return;
    RememberState();
    Time length = duration >= 1 ? duration : DefaultGraphicDuration();
    RefPtr<GraphicAsset> title = TitleAsset(path, length);
    RefPtr<Clip> clip = new Clip(title.get(), time, track);
    clip->SetComment(name);
    clip->SetDuration(length);
    InsertClip(clip.get(), true);
    SaveRestoreState(undoData);
}

Clip* EditTitleCommand::FindClip() const {
    ClipList* list = GetMovieList();
    if (!list)
        return nullptr;
    Clip* clip = list->FindAt(time, track, Asset::kindGraphic, 0);
    return clip && clip->GetAsset() ? clip : nullptr;
}

bool EditTitleCommand::CanExecute() const {
    Clip* clip = FindClip();
    return clip && Titler::IsTitleFile(clip->GetFileName());
}

void EditTitleCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(path);
        ar.WriteText(name);
        ar.WriteInt32(time);
        ar.WriteInt32(track);
    } else {
        path = ar.ReadText();
        name = ar.ReadText();
        time = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

bool EditTitleCommand::Run() {
    Titler* titler = Titler::Instance();
    if (!titler || !CanExecute())
        return false;
    titler->SetBackgroundSource(track, time);
    path = titler->EditTitle(FindClip()->GetFileName());
    if (path.empty())
        return false;
    name = titler->GetText();
    Execute();
    AlbumStep(*titler);
    return true;
}

void EditTitleCommand::Do(Archive& undoData) {
    Clip* clip = path.empty() ? nullptr : FindClip();
    if (!clip || !GetMovie())
        return;
    RememberState();
    RefPtr<GraphicAsset> title = TitleAsset(path, clip->GetAsset()->GetDuration());
    RefPtr<Clip> clone = clip->CloneClip();
    clone->SetAsset(title.get());
    clone->SetComment(name);
    ReplaceClip(clip, clone.get());
    SaveRestoreState(undoData);
}

void SetTitleAlbumOpener(TitleAlbumOpener opener) {
    albumOpener = std::move(opener);
}

bool NewTitleAtPosition(int32_t track) {
    Movie* movie = ClipListCommand::GetMovie();
    if (!movie)
        return false;
    return NewTitleCommand(movie->GetPosition(), track).Run();
}

bool EditOrNewTitleAt(Time time, int32_t track) {
    EditTitleCommand edit(time, track);
    if (edit.CanExecute())
        return edit.Run();
    return NewTitleCommand(time, track).Run();
}

bool EditSelectedTitle() {
    ClipList* list = ClipListCommand::GetMovieList();
    Clip* clip = list ? list->GetFirstSelected(false) : nullptr;
    if (!clip)
        return false;
    EditTitleCommand edit(clip->GetStart(), clip->GetTrack());
    return edit.CanExecute() && edit.Run();
}

} // namespace orvik
