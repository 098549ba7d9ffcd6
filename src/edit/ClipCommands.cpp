#include "edit/ClipCommands.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "model/AssetManager.h"
#include "model/AssetText.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "platform/archive/Archive.h"
#include "platform/gui/Clipboard.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(DeleteClipsCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(CutClipsCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(MoveSelectedClipsCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(CopySelectedClipsCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(InsertClipsCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(PasteClipsCommand, InsertClipsCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(PasteAlbumClipsCommand, PasteClipsCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(ReverseTransitionCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(CommentClipCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(InsertGrabbedFrameCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

// Texts of the hint shown when a track refuses clips.
constexpr uint32_t kTextTrackRefuses = 50159;
constexpr uint32_t kTextTrackNames = 50160; // video, graphic, sound effect, music

// The start of the first selected clip before an edit, or −1.
Time SelectionTime(ClipList& list) {
    Clip* first = list.GetFirstSelected(false);
    return first ? first->GetStart() : -1;
}

bool HasSelection(ClipList& list) {
    return list.GetFirstSelected(false) != nullptr;
}

// The selected clips (with their transitions) as a list starting at 0.
RefPtr<ClipList> SelectedList(ClipList& movieList) {
    RefPtr<ClipList> selected = new ClipList;
    selected->CreateSelectedList(movieList, false, true);
    return selected;
}

std::string TrackName(int32_t track) {
    switch (track) {
    case 0:
        return ResourceText(kTextTrackNames);
    case 1:
        return ResourceText(kTextTrackNames + 1);
    case 3:
        return ResourceText(kTextTrackNames + 2);
    case 4:
        return ResourceText(kTextTrackNames + 3);
    default:
        return std::string();
    }
}

// Whether the movie takes `list` at `time` on `track`, with the reason for
// a refusal on the hint line. The list itself is left as it is.
bool CanInsert(const ClipList& list, Time time, int32_t track) {
    Movie* movie = Movie::Current();
    if (!movie || list.IsEmpty())
        return false;
    RefPtr<ClipList> assigned = list.CloneList();
    ClipListCommand helper;
    helper.AssignTracks(*assigned, track);
    int32_t asked = track >= 0 ? track : assigned->GetClips().front()->GetTrack();
    std::string reason;
    bool can = movie->CanPlace(*assigned, time, asked, reason);
    if (!can && reason.empty() && track >= 0) {
        std::string name = TrackName(track);
        if (!name.empty())
            reason = FillText(ResourceText(kTextTrackRefuses), {name});
    }
    if (!reason.empty())
        EditorHooks::Hint().ShowHint(reason);
    return can;
}

} // namespace

void DeleteClipsCommand::Do(Archive& undoData) {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    if (!movie || !list || !HasSelection(*list))
        return;
    RememberState();
    Time selectionTime = SelectionTime(*list);
    ExtendSelection();
    list->DeleteSelected(editRecords.get(), fixRecords.get());
    movie->SetModifiedFlag(true);
    EditorHooks::MovieWindow().Refresh(false);
    ShowAt(selectionTime, false, true);
    SaveRestoreState(undoData);
}

void CutClipsCommand::Do(Archive& undoData) {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    if (!movie || !list || !HasSelection(*list))
        return;
    RememberState();
    Time selectionTime = SelectionTime(*list);
    ExtendSelection();
    SelectedList(*list)->CopyToClipboard(ClipList::MovieClipListFormat(), false);
    list->DeleteSelected(editRecords.get(), fixRecords.get());
    movie->SetModifiedFlag(true);
    ShowAt(selectionTime, false, true);
    SaveRestoreState(undoData);
}

void MoveSelectedClipsCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(time);
        ar.WriteInt32(track);
    } else {
        time = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

void MoveSelectedClipsCommand::Do(Archive& undoData) {
    ClipList* list = GetMovieList();
    if (!GetMovie() || !list || !HasSelection(*list))
        return;
    RememberState();
    ExtendSelection();
    InsertList(*SelectedList(*list), time, track, true);
    ShowAt(time, true, true);
    SaveRestoreState(undoData);
}

void CopySelectedClipsCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(time);
        ar.WriteInt32(track);
    } else {
        time = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

void CopySelectedClipsCommand::Do(Archive& undoData) {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    if (!movie || !list || !HasSelection(*list))
        return;
    RememberState();
    ExtendSelection();
    RefPtr<ClipList> copies = SelectedList(*list);
    list->ClearSelected();
    list->ClearMarked();
    InsertList(*copies, time, track, false);
    {
        PlayerHooks& player = EditorHooks::Player();
        std::lock_guard<std::recursive_mutex> hold(player.Lock());
        movie->SetPosition(time);
    }
    ShowAt(time, true, true);
    SaveRestoreState(undoData);
}

InsertClipsCommand::InsertClipsCommand() : clipList(new ClipList) {}

InsertClipsCommand::InsertClipsCommand(ClipList* list, Time time, int32_t track)
    : clipList(list ? list : new ClipList), time(time), track(track) {}

InsertClipsCommand::~InsertClipsCommand() = default;

bool InsertClipsCommand::CanExecute() const {
    return CanInsert(*clipList, time, track);
}

void InsertClipsCommand::Prepare() {
    if (AssetManager* manager = AssetManager::Instance())
        manager->MakeWorkingCopies(*clipList);
}

void InsertClipsCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteObject(clipList.get());
        ar.WriteInt32(time);
        ar.WriteInt32(track);
    } else {
        RefPtr<ClipList> read = ar.ReadObjectOf<ClipList>();
        clipList = read ? read : RefPtr<ClipList>(new ClipList);
        time = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

void InsertClipsCommand::Do(Archive& undoData) {
    if (!GetMovie() || !GetMovieList())
        return;
    RememberState();
    AlbumHooks& album = EditorHooks::Album();
    if (ClipList* albumList = album.GetList()) {
        albumList->ClearSelected();
        album.Refresh();
    }
    EditorHooks::MovieWindow().Refresh(false);
    InsertList(*clipList, time, track, false);
    ShowAt(time, true, true);
    SaveRestoreState(undoData);
}

uint32_t PasteClipsCommand::Format() const {
    return ClipList::MovieClipListFormat();
}

uint32_t PasteAlbumClipsCommand::Format() const {
    return ClipList::LibraryClipListFormat();
}

void PasteClipsCommand::TakeClipboard() {
    clipList = new ClipList;
    taken_ = true;
    uint32_t format = Format();
    if (!Clipboard::Get().IsFormatAvailable(format)) {
        LogMessage("%s: can't AttachClipboard\n", LogName());
        return;
    }
    if (!clipList->ReadFromClipboard(format))
        clipList = new ClipList;
}

bool PasteClipsCommand::CanExecute() const {
    PasteClipsCommand probe;
    probe.time = time;
    probe.track = track;
    if (taken_)
        probe.clipList = clipList;
    else if (Clipboard::Get().IsFormatAvailable(Format()))
        probe.clipList->ReadFromClipboard(Format());
    return CanInsert(*probe.clipList, time, track);
}

void PasteClipsCommand::Prepare() {
    if (!taken_)
        TakeClipboard();
    InsertClipsCommand::Prepare();
}

void PasteClipsCommand::Serialize(Archive& ar) {
    InsertClipsCommand::Serialize(ar);
    // A command read back from its checkpoint pastes what it pasted before.
    if (ar.IsLoading())
        taken_ = true;
}

void PasteClipsCommand::Do(Archive& undoData) {
    if (!taken_)
        TakeClipboard();
    InsertClipsCommand::Do(undoData);
}

void ReverseTransitionCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(direction);
    else
        direction = ar.ReadInt32();
}

void ReverseTransitionCommand::Do(Archive& undoData) {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    if (!movie || !list)
        return;
    list->GetEnd();
    Clip* transition = list->FindAt(movie->GetPosition(), -1, Asset::kindTransition, 2);
    if (!transition || transition->IsReversed() == (direction != 0))
        return;
    RememberState();
    RefPtr<Clip> clone = transition->CloneClip();
    clone->SetReversed(direction != 0);
    ReplaceClip(transition, clone.get());
    SaveRestoreState(undoData);
}

void CommentClipCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteText(comment);
    else
        comment = ar.ReadText();
}

void CommentClipCommand::Do(Archive& undoData) {
    ClipList* list = GetMovieList();
    if (!GetMovie() || !list)
        return;
    Clip* clip = list->GetFirstSelected(false);
    if (!clip || clip->GetComment() == comment)
        return;
    RememberState();
    RefPtr<Clip> clone = clip->CloneClip();
    clone->SetComment(comment);
    ReplaceClip(clip, clone.get());
    SaveRestoreState(undoData);
}

void InsertGrabbedFrameCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(path);
        ar.WriteInt32(start);
        ar.WriteInt32(duration);
        ar.WriteInt32(track);
    } else {
        path = ar.ReadText();
        start = ar.ReadInt32();
        duration = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

void InsertGrabbedFrameCommand::Do(Archive& undoData) {
    if (!GetMovie() || !GetMovieList())
        return;
    RememberState();
    RefPtr<GraphicAsset> picture = new GraphicAsset(path, 0);
    RefPtr<Clip> clip = new Clip(picture.get(), start, track);
    clip->SetDuration(duration);
    InsertClip(clip.get(), false);
    SaveRestoreState(undoData);
}

} // namespace orvik
