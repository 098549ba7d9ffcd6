#include "edit/EditorHooks.h"

#include "model/Movie.h"

namespace orvik {

namespace {

PlayerHooks defaultPlayer;
AlbumHooks defaultAlbum;
MovieWindowHooks defaultMovieWindow;
TimelineHooks defaultTimeline;
ToolboxHooks defaultToolbox;
HintHooks defaultHint;

PlayerHooks* player = nullptr;
AlbumHooks* album = nullptr;
MovieWindowHooks* movieWindow = nullptr;
TimelineHooks* timeline = nullptr;
ToolboxHooks* toolbox = nullptr;
HintHooks* hint = nullptr;

} // namespace

std::recursive_mutex& PlayerHooks::Lock() {
    static std::recursive_mutex lock;
    return lock;
}

void PlayerHooks::ShowMovieAt(Time time) {
    if (Movie* movie = Movie::Current(); movie && time >= 0)
        movie->SetPosition(time);
}

double TimelineHooks::GetViewStart() const {
    Movie* movie = Movie::Current();
    return movie ? movie->GetViewStart() : 0;
}

double TimelineHooks::GetViewSpan() const {
    Movie* movie = Movie::Current();
    return movie ? movie->GetViewSpan() : 0;
}

void TimelineHooks::SetView(double start, double span) {
    if (Movie* movie = Movie::Current()) {
        movie->SetViewRange(start, span);
        movie->RestoreTimelineView();
    }
}

PlayerHooks& EditorHooks::Player() {
    return player ? *player : defaultPlayer;
}
AlbumHooks& EditorHooks::Album() {
    return album ? *album : defaultAlbum;
}
MovieWindowHooks& EditorHooks::MovieWindow() {
    return movieWindow ? *movieWindow : defaultMovieWindow;
}
TimelineHooks& EditorHooks::Timeline() {
    return timeline ? *timeline : defaultTimeline;
}
ToolboxHooks& EditorHooks::Toolbox() {
    return toolbox ? *toolbox : defaultToolbox;
}
HintHooks& EditorHooks::Hint() {
    return hint ? *hint : defaultHint;
}

void EditorHooks::Install(PlayerHooks* hooks) {
    player = hooks;
}
void EditorHooks::Install(AlbumHooks* hooks) {
    album = hooks;
}
void EditorHooks::Install(MovieWindowHooks* hooks) {
    movieWindow = hooks;
}
void EditorHooks::Install(TimelineHooks* hooks) {
    timeline = hooks;
}
void EditorHooks::Install(ToolboxHooks* hooks) {
    toolbox = hooks;
}
void EditorHooks::Install(HintHooks* hooks) {
    hint = hooks;
}

void EditorHooks::Reset() {
    player = nullptr;
    album = nullptr;
    movieWindow = nullptr;
    timeline = nullptr;
    toolbox = nullptr;
    hint = nullptr;
}

} // namespace orvik
