#include "edit/MovieCommands.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/Version.h"
#include "model/AssetText.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/MovieView.h"
#include "platform/archive/Archive.h"
#include "platform/gui/UserInterface.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(NewMovieCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieOpenCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieSaveCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

// Puts the movie of a checkpoint back into the document; false (logged) when
// it cannot be read, the document then being left as it was.
bool ReadMovieBack(Movie& movie, Archive& undoData) {
    try {
        movie.Serialize(undoData);
    } catch (const ArchiveException& e) {
        LogMessage("Movie undo: %s\n", e.what());
        return false;
    }
    return true;
}

} // namespace

void NewMovieCommand::Do(Archive& undoData) {
    Movie* movie = Movie::Current();
    if (!movie)
        return;
    RememberState();
    movie->Serialize(undoData);
    movie->ResetMovie();
    movie->GetClipList()->Notify();
    ShowAt(-1, false, false);
    SaveRestoreState(undoData);
}

void NewMovieCommand::Undo(Archive& undoData) {
    Movie* movie = Movie::Current();
    if (!movie || undoData.BytesLeft() == 0 || !ReadMovieBack(*movie, undoData))
        return;
    SaveRestoreState(undoData);
    movie->RestoreTimelineView();
    RestoreViews();
}

void MovieOpenCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteText(path);
    else
        path = ar.ReadText();
}

void MovieOpenCommand::Do(Archive& undoData) {
    Movie* movie = Movie::Current();
    if (!movie)
        return;
    RememberState();
    movie->Serialize(undoData);
    movie->View().StopPlayer();
    movie->ResetMovie();
    result = movie->OpenFromFile(path);
    if (result) {
        movie->View().RepaintMovieWindow();
        for (auto& clip : movie->GetClipList()->GetClips()) {
            clip->SetSelected(false);
            clip->SetMarked(false);
        }
        movie->SetPosition(0);
        movie->RestoreTimelineView();
        movie->RelinkMissingMedia();
    }
    movie->GetClipList()->Notify();
    movie->View().RefreshPlayer();
    ShowAt(-1, false, false);
    SaveRestoreState(undoData);
}

void MovieOpenCommand::Undo(Archive& undoData) {
    Movie* movie = Movie::Current();
    if (!movie || undoData.BytesLeft() == 0)
        return;
    movie->ResetMovie();
    if (!ReadMovieBack(*movie, undoData))
        return;
    SaveRestoreState(undoData);
    movie->RestoreTimelineView();
    RestoreViews();
}

void MovieSaveCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteText(path);
    else
        path = ar.ReadText();
}

void MovieSaveCommand::Do(Archive&) {
    Movie* movie = Movie::Current();
    if (!movie)
        return;
    result = movie->SaveToFile(path);
    movie->View().RepaintMovieWindow();
}

bool OpenMovieFile(const std::string& path) {
    MovieOpenCommand command(path);
    command.Execute();
    if (!command.result)
        UserInterface::Current().MessageBox(FillText(ResourceText(50387), {path}), kProductName,
                                            UserInterface::ok, UserInterface::error);
    return command.result;
}

bool SaveMovieFile(const std::string& path) {
    MovieSaveCommand command(path);
    command.Execute();
    if (!command.result)
        UserInterface::Current().MessageBox(FillText(ResourceText(50373), {path}), kProductName,
                                            UserInterface::ok, UserInterface::error);
    return command.result;
}

void NewMovie() {
    NewMovieCommand command;
    command.Execute();
}

} // namespace orvik
