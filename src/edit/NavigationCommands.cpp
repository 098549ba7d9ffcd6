#include "edit/NavigationCommands.h"

#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(MovieSelectViaKeyboardCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieSelectViaMouseCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieSelectViaTrackerRectCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieNextPageCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MoviePrevPageCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MovieScrollCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

// Resource texts of the command names.
constexpr uint32_t kTextSelectByKey = 50170;
constexpr uint32_t kTextSelectByMouse = 50171;
constexpr uint32_t kTextSelectByRect = 50172;
constexpr uint32_t kTextNextPage = 50173;
constexpr uint32_t kTextPrevPage = 50174;
constexpr uint32_t kTextScroll = 50175;

MovieNavigationHooks defaultNavigation;
MovieNavigationHooks* installedNavigation = nullptr;

// A selection in the movie replaces the album's.
void ClearAlbumSelection() {
    AlbumHooks& album = EditorHooks::Album();
    ClipList* list = album.GetList();
    if (!list)
        return;
    std::vector<int32_t> selected;
    list->GetSelectedIndices(selected);
    if (selected.empty())
        return;
    list->ClearSelected();
    album.Refresh();
}

} // namespace

MovieNavigationHooks& MovieNavigationHooks::Current() {
    return installedNavigation ? *installedNavigation : defaultNavigation;
}

void MovieNavigationHooks::Install(MovieNavigationHooks* hooks) {
    installedNavigation = hooks;
}

// --- Keyboard ----------------------------------------------------------------

uint32_t MovieSelectViaKeyboardCommand::GetNameId() const {
    return kTextSelectByKey;
}

void MovieSelectViaKeyboardCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteDword(key);
        ar.WriteDword(modifiers);
    } else {
        key = ar.ReadDword();
        modifiers = ar.ReadDword();
    }
}

void MovieSelectViaKeyboardCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    Time time = MovieNavigationHooks::Current().SelectViaKeyboard(key, modifiers);
    ShowAt(time, true, false);
    SaveRestoreState(undoData);
}

// --- Mouse -------------------------------------------------------------------

uint32_t MovieSelectViaMouseCommand::GetNameId() const {
    return kTextSelectByMouse;
}

void MovieSelectViaMouseCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(clipPosition);
        ar.WriteDword(keys);
        ar.WriteInt32(clickTime);
    } else {
        clipPosition = ar.ReadInt32();
        keys = ar.ReadDword();
        clickTime = ar.ReadInt32();
    }
}

void MovieSelectViaMouseCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    Time answer = MovieNavigationHooks::Current().SelectViaMouse(clipPosition, keys);
    Time t = answer;
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    if (movie && list) {
        list->GetEnd(); // current neighbour links for the searches
        // A click on the selected clip that plays at the position leaves
        // the position where it is.
        Time position = movie->GetPosition();
        Clip* atPosition = list->FindAt(position, -1, 0, 2);
        if (atPosition && answer >= 0 && atPosition == list->FindAt(answer, -1, 0, 2))
            t = position;
        if (clickTime != -1) {
            TimelineHooks& timeline = EditorHooks::Timeline();
            double start = timeline.GetViewStart();
            double end = start + timeline.GetViewSpan();
            bool visible = t >= start && t < end;
            if (!visible && list->FindAt(clickTime, -1, 0, 2))
                t = clickTime;
        }
    }
    ShowAt(t, true, false);
    SaveRestoreState(undoData);
}

// --- Rubber band -------------------------------------------------------------

uint32_t MovieSelectViaTrackerRectCommand::GetNameId() const {
    return kTextSelectByRect;
}

void MovieSelectViaTrackerRectCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(rect.left);
        ar.WriteInt32(rect.top);
        ar.WriteInt32(rect.right);
        ar.WriteInt32(rect.bottom);
        ar.WriteDword(keys);
    } else {
        rect.left = ar.ReadInt32();
        rect.top = ar.ReadInt32();
        rect.right = ar.ReadInt32();
        rect.bottom = ar.ReadInt32();
        keys = ar.ReadDword();
    }
}

void MovieSelectViaTrackerRectCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    Time time = MovieNavigationHooks::Current().SelectViaTrackerRect(rect, keys);
    ShowAt(time, true, false);
    SaveRestoreState(undoData);
}

// --- Paging and scrolling ----------------------------------------------------

uint32_t MovieNextPageCommand::GetNameId() const {
    return kTextNextPage;
}

void MovieNextPageCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    MovieNavigationHooks::Current().NextPage();
    SaveRestoreState(undoData);
}

uint32_t MoviePrevPageCommand::GetNameId() const {
    return kTextPrevPage;
}

void MoviePrevPageCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    MovieNavigationHooks::Current().PrevPage();
    SaveRestoreState(undoData);
}

uint32_t MovieScrollCommand::GetNameId() const {
    return kTextScroll;
}

void MovieScrollCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(position);
    else
        position = ar.ReadInt32();
}

void MovieScrollCommand::Do(Archive& undoData) {
    RememberState();
    ClearAlbumSelection();
    MovieNavigationHooks::Current().Scroll(position);
    SaveRestoreState(undoData);
}

} // namespace orvik
