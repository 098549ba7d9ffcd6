#include "edit/ClipListCommand.h"

#include "app/DiagnosticsLog.h"
#include "model/Asset.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/Transition.h"
#include "platform/archive/Archive.h"

#include <map>
#include <mutex>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(ClipListCommand, Command, kVersionableSchema | 1)

void WriteIndexArray(Archive& ar, const std::vector<int32_t>& values) {
    ar.WriteCount(static_cast<uint32_t>(values.size()));
    for (int32_t v : values)
        ar.WriteInt32(v);
}

std::vector<int32_t> ReadIndexArray(Archive& ar) {
    uint32_t count = ar.ReadCount();
    ar.RequireBytes(count, 4);
    std::vector<int32_t> values(count);
    for (int32_t& v : values)
        v = ar.ReadInt32();
    return values;
}

ClipListCommand::ClipListCommand() : editRecords(new ClipList), fixRecords(new ClipList) {}

ClipListCommand::~ClipListCommand() = default;

Movie* ClipListCommand::GetMovie() {
    return Movie::Current();
}

ClipList* ClipListCommand::GetMovieList() {
    Movie* movie = Movie::Current();
    return movie ? movie->GetClipList() : nullptr;
}

bool ClipListCommand::TrackAccepts(int32_t track, const Asset* asset) {
    if (!asset)
        return false;
    switch (asset->GetKind()) {
    case Asset::kindTransition: {
        if (track == 0)
            return true;
        const Transition* effect = DynamicCast<Transition>(const_cast<Asset*>(asset));
        return track == 1 && (!effect || effect->IsAllowedOnTrack(1));
    }
    case Asset::kindScene:
        return track == 0;
    case Asset::kindGraphic:
        // Pictures stand on the title track, or between the scenes of the
        // storyboard.
        return track == 0 || track == 1;
    case Asset::kindSound:
        return track == 3 || track == 4;
    default:
        return track == asset->GetNaturalTrack();
    }
}

void ClipListCommand::RememberState() {
    PlayerHooks& player = EditorHooks::Player();
    stoppedPlayer_ = false;
    stoppedItem_ = PlayingItem::none;
    if (StopsPlayer()) {
        PlayingItem playing = player.Playing();
        if (playing != PlayingItem::none) {
            stoppedItem_ = playing;
            stopPosition_ = player.Stop();
            stoppedPlayer_ = true;
        }
    }
    playerState = player.GetState();
    TimelineHooks& timeline = EditorHooks::Timeline();
    viewStart = timeline.GetViewStart();
    viewSpan = timeline.GetViewSpan();
    if (Movie* movie = GetMovie()) {
        modified = movie->IsModified();
        moviePath = movie->GetPathName();
    }
    MovieWindowHooks& window = EditorHooks::MovieWindow();
    viewFirst = window.GetFirstVisible();
    viewPage = window.GetPage();
    AlbumHooks& album = EditorHooks::Album();
    albumPage = album.GetPage();
    albumItem = album.GetItem();
    albumSelection.clear();
    if (ClipList* albumList = album.GetList())
        albumList->GetSelectedIndices(albumSelection);
    movieSelection.clear();
    movieMarks.clear();
    if (ClipList* list = GetMovieList()) {
        list->GetSelectedIndices(movieSelection);
        list->GetMarkedIndices(movieMarks);
    }
    if (stoppedPlayer_)
        ShowAfterStop();
}

void ClipListCommand::SaveRestoreState(Archive& ar) {
    if (ar.IsStoring()) {
        Movie* movie = GetMovie();
        TimelineHooks& timeline = EditorHooks::Timeline();
        MovieWindowHooks& window = EditorHooks::MovieWindow();
        AlbumHooks& album = EditorHooks::Album();
        uint32_t flags = 0;
        if (!albumSelection.empty())
            flags |= albumSelectionSaved;
        if (!movieSelection.empty())
            flags |= movieSelectionSaved;
        if (fixRecords && !fixRecords->IsEmpty())
            flags |= fixRecordsSaved;
        if (editRecords && !editRecords->IsEmpty())
            flags |= editRecordsSaved;
        if (!(EditorHooks::Player().GetState() == playerState))
            flags |= playerChanged;
        if (timeline.GetViewStart() != viewStart || timeline.GetViewSpan() != viewSpan)
            flags |= timelineChanged;
        if (modified)
            flags |= wasModified;
        if (movie && movie->GetPathName() != moviePath)
            flags |= pathChanged;
        if (window.GetFirstVisible() != viewFirst)
            flags |= viewFirstChanged;
        if (window.GetPage() != viewPage)
            flags |= viewPageChanged;
        if (album.GetPage() != albumPage)
            flags |= albumPageChanged;
        if (album.GetItem() != albumItem)
            flags |= albumItemChanged;

        // Assets of the records that clips staying in the movie still use.
        sharedAssets_.clear();
        if (ClipList* list = GetMovieList();
            list && (flags & (fixRecordsSaved | editRecordsSaved))) {
            std::map<const Asset*, int32_t> firstUser;
            int32_t position = 0;
            for (const RefPtr<Clip>& c : list->GetClips()) {
                if (c->GetAsset())
                    firstUser.emplace(c->GetAsset(), position);
                ++position;
            }
            int32_t which = 0;
            for (ClipList* records : {fixRecords.get(), editRecords.get()}) {
                int32_t index = 0;
                for (const RefPtr<Clip>& r : records->GetClips()) {
                    bool holdsAsset = r->IsRemovedRecord() ||
                                      (r->IsChangedRecord() && r->HasFlag(Clip::hasAsset));
                    if (holdsAsset && r->GetAsset()) {
                        auto found = firstUser.find(r->GetAsset());
                        if (found != firstUser.end())
                            sharedAssets_.push_back({which, index, found->second});
                    }
                    ++index;
                }
                ++which;
            }
        }
        if (!sharedAssets_.empty())
            flags |= sharedAssetsSaved;
        if (movieMarks != movieSelection)
            flags |= movieMarksSaved;

        changeFlags = flags;
        ar.WriteDword(changeFlags);
        if (flags & timelineChanged) {
            ar.WriteDouble(viewStart);
            ar.WriteDouble(viewSpan);
        }
        if (flags & pathChanged)
            ar.WriteText(moviePath);
        if (flags & viewFirstChanged)
            ar.WriteInt32(viewFirst);
        if (flags & viewPageChanged)
            ar.WriteInt32(viewPage);
        if (flags & albumPageChanged)
            ar.WriteInt32(albumPage);
        if (flags & albumItemChanged)
            ar.WriteInt32(albumItem);
        if (flags & albumSelectionSaved)
            WriteIndexArray(ar, albumSelection);
        if (flags & movieSelectionSaved)
            WriteIndexArray(ar, movieSelection);
        if (flags & fixRecordsSaved)
            ar.WriteObject(fixRecords.get());
        if (flags & editRecordsSaved)
            editRecords->Serialize(ar);
        if (flags & playerChanged) {
            ar.WriteInt32(playerState.itemId);
            ar.WriteInt32(playerState.option);
            ar.WriteInt32(playerState.position);
            ar.WriteInt32(playerState.counter);
        }
        if (flags & sharedAssetsSaved)
            WriteSharedAssets(ar);
        if (flags & movieMarksSaved)
            WriteIndexArray(ar, movieMarks);
        return;
    }

    uint32_t flags = changeFlags = ar.ReadDword();
    if (flags & timelineChanged) {
        viewStart = ar.ReadDouble();
        viewSpan = ar.ReadDouble();
    }
    if (flags & pathChanged)
        moviePath = ar.ReadText();
    if (flags & viewFirstChanged)
        viewFirst = ar.ReadInt32();
    if (flags & viewPageChanged)
        viewPage = ar.ReadInt32();
    if (flags & albumPageChanged)
        albumPage = ar.ReadInt32();
    if (flags & albumItemChanged)
        albumItem = ar.ReadInt32();
    albumSelection = (flags & albumSelectionSaved) ? ReadIndexArray(ar) : std::vector<int32_t>();
    movieSelection = (flags & movieSelectionSaved) ? ReadIndexArray(ar) : std::vector<int32_t>();
    fixRecords = new ClipList;
    if (flags & fixRecordsSaved) {
        RefPtr<ClipList> read = ar.ReadObjectOf<ClipList>();
        if (read)
            fixRecords = read;
    }
    editRecords = new ClipList;
    if (flags & editRecordsSaved)
        editRecords->Serialize(ar);
    if (flags & playerChanged) {
        playerState.itemId = ar.ReadInt32();
        playerState.option = ar.ReadInt32();
        playerState.position = ar.ReadInt32();
        playerState.counter = ar.ReadInt32();
    }
    sharedAssets_.clear();
    if (flags & sharedAssetsSaved)
        ReadSharedAssets(ar);
    movieMarks = (flags & movieMarksSaved) ? ReadIndexArray(ar) : movieSelection;
    modified = (flags & wasModified) != 0;
}

void ClipListCommand::WriteSharedAssets(Archive& ar) {
    ar.WriteCount(static_cast<uint32_t>(sharedAssets_.size()));
    for (const SharedAsset& s : sharedAssets_) {
        ar.WriteInt32(s.list);
        ar.WriteInt32(s.record);
        ar.WriteInt32(s.position);
    }
}

void ClipListCommand::ReadSharedAssets(Archive& ar) {
    uint32_t count = ar.ReadCount();
    ar.RequireBytes(count, 12);
    sharedAssets_.resize(count);
    for (SharedAsset& s : sharedAssets_) {
        s.list = ar.ReadInt32();
        s.record = ar.ReadInt32();
        s.position = ar.ReadInt32();
    }
}

// The records read back from the undo data hold copies of their assets.
// Where a clip of the movie (still as the edit left it) used the same asset,
// the records take that clip's asset again, so that the clips they bring
// back share it as before.
void ClipListCommand::ApplySharedAssets() {
    ClipList* list = GetMovieList();
    if (!list || sharedAssets_.empty())
        return;
    std::vector<Clip*> clips;
    for (const RefPtr<Clip>& c : list->GetClips())
        clips.push_back(c.get());
    ClipList* records[2] = {fixRecords.get(), editRecords.get()};
    std::map<Asset*, Asset*> liveOf;
    for (const SharedAsset& s : sharedAssets_) {
        if (s.list < 0 || s.list > 1 || s.record < 0 || s.position < 0 ||
            s.position >= static_cast<int32_t>(clips.size()))
            continue;
        Clip* record = records[s.list]->GetNth(s.record);
        Asset* live = clips[static_cast<size_t>(s.position)]->GetAsset();
        if (record && record->GetAsset() && live &&
            record->GetAsset()->GetRuntimeClass() == live->GetRuntimeClass())
            liveOf.emplace(record->GetAsset(), live);
    }
    for (ClipList* r : records)
        for (const RefPtr<Clip>& c : r->GetClips()) {
            auto found = liveOf.find(c->GetAsset());
            if (found != liveOf.end())
                c->SetAsset(found->second);
        }
}

void ClipListCommand::Undo(Archive& undoData) {
    // A command that found nothing to do wrote nothing.
    if (undoData.BytesLeft() == 0)
        return;
    SaveRestoreState(undoData);
    RestoreClipsAndSelection();
    RestoreViews();
}

void ClipListCommand::RestoreClipsAndSelection() {
    ClipList* list = GetMovieList();
    if (!list)
        return;
    ApplySharedAssets();
    // The repacking is undone first, then the edit.
    list->RestoreClips(*fixRecords);
    list->RestoreClips(*editRecords);
    list->FixTimes(nullptr, true, false, false);
    list->SetSelected(movieSelection);
    list->MarkSelected();
    if (changeFlags & movieMarksSaved)
        list->SetMarked(movieMarks);
}

void ClipListCommand::RestoreViews() {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    AlbumHooks& album = EditorHooks::Album();
    if (ClipList* albumList = album.GetList()) {
        albumList->SetSelected(albumSelection);
        album.Refresh();
    }
    if (changeFlags & timelineChanged)
        EditorHooks::Timeline().SetView(viewStart, viewSpan);
    if (changeFlags & playerChanged) {
        PlayerHooks& player = EditorHooks::Player();
        std::lock_guard<std::recursive_mutex> hold(player.Lock());
        player.RestoreState(playerState);
    }
    if (movie) {
        movie->SetModifiedFlag(modified);
        if (changeFlags & pathChanged)
            movie->SetPath(moviePath, true);
    }
    MovieWindowHooks& window = EditorHooks::MovieWindow();
    if (changeFlags & viewFirstChanged)
        window.ScrollTo(viewFirst);
    if (changeFlags & viewPageChanged)
        window.SetPage(viewPage);
    if (changeFlags & albumPageChanged)
        album.SetPage(albumPage);
    if (changeFlags & albumItemChanged)
        album.SetItem(albumItem);
    if (list)
        list->Notify();
    window.Refresh(false);
    EditorHooks::Toolbox().Refresh();
}

void ClipListCommand::ShowAt(Time time, bool clamp, bool scroll) {
    PlayerHooks& player = EditorHooks::Player();
    {
        std::lock_guard<std::recursive_mutex> hold(player.Lock());
        ClipList* list = GetMovieList();
        Clip* clip = nullptr;
        if (list) {
            list->GetEnd(); // current neighbour links
            clip = list->FindAt(time, -1, 0, 2);
            if (!clip) {
                clip = list->GetFirstSelected(false);
                if (clip)
                    time = clip->GetStart();
            }
        }
        if (clamp && clip && (time == ClipList::ClearEnd(clip) || time == clip->GetStart()))
            time = ClipList::ClearStart(clip);
        player.ShowMovieAt(time);
    }
    EditorHooks::Toolbox().Refresh();
    EditorHooks::MovieWindow().Refresh(scroll);
}

void ClipListCommand::AlbumShowAt(Time time) {
    PlayerHooks& player = EditorHooks::Player();
    std::lock_guard<std::recursive_mutex> hold(player.Lock());
    EditorHooks::Album().ShowAt(time);
}

void ClipListCommand::ShowAfterStop() {
    Time position = stopPosition_;
    switch (stoppedItem_) {
    case PlayingItem::movie: {
        ClipList* list = GetMovieList();
        if (!list)
            return;
        list->GetEnd();
        int filter = EditorHooks::Toolbox().KindFilter();
        Clip* clip = list->FindAt(position, -1, filter, 2);
        if (!clip)
            clip = list->FindAt(position, -1, filter, 0);
        if (!clip)
            clip = list->FindAt(position, -1, 0, 0);
        std::vector<int32_t> selected;
        list->GetSelectedIndices(selected);
        if (!clip || (clip->IsTransition() && clip->IsSelected() && selected.size() == 1)) {
            PlayerHooks& player = EditorHooks::Player();
            std::lock_guard<std::recursive_mutex> hold(player.Lock());
            player.ShowMovieAt(position);
            return;
        }
        list->ClearSelected();
        clip->SetSelected(true);
        EditorHooks::MovieWindow().Refresh(false);
        ShowAt(position, false, false);
        break;
    }
    case PlayingItem::album:
        EditorHooks::Album().ShowAfterStop(position);
        break;
    case PlayingItem::tool:
        EditorHooks::Toolbox().ShowAfterStop(position);
        break;
    case PlayingItem::none:
        break;
    }
}

void ClipListCommand::ExtendSelection() {
    ClipList* list = GetMovieList();
    if (!list)
        return;
    list->Relink();
    std::vector<Clip*> transitions;
    for (const RefPtr<Clip>& c : list->GetClips()) {
        if (!c->IsSelected() || c->IsTransition())
            continue;
        if (Clip* t = ClipList::TransitionBefore(c.get()))
            transitions.push_back(t);
        if (Clip* t = ClipList::TransitionAfter(c.get()))
            transitions.push_back(t);
    }
    for (Clip* t : transitions)
        t->SetSelected(true);
}

void ClipListCommand::AssignTracks(ClipList& list, int32_t track) {
    bool several = list.HasSeveralTracks();
    bool moved = false;
    for (const RefPtr<Clip>& c : list.GetClips()) {
        const Asset* asset = c->GetAsset();
        int32_t old = c->GetTrack();
        if (track < 0 || several) {
            if (!TrackAccepts(old, asset) && asset && asset->GetNaturalTrack() >= 0)
                c->SetTrack(asset->GetNaturalTrack());
        } else if (TrackAccepts(track, asset)) {
            c->SetTrack(track);
        }
        moved = moved || c->GetTrack() != old;
    }
    // The insertion walks the list in movie order: by track, each track's
    // clips keeping their order.
    if (moved)
        list.GetClips().sort([](const RefPtr<Clip>& a, const RefPtr<Clip>& b) {
            return a->GetTrack() < b->GetTrack();
        });
}

void ClipListCommand::InsertList(ClipList& list, Time time, int32_t track, bool move) {
    Movie* movie = GetMovie();
    ClipList* movieList = GetMovieList();
    if (!movie || !movieList)
        return;
    if (AssetManager* manager = AssetManager::Instance())
        manager->MakeWorkingCopies(list);
    AssignTracks(list, track);
    Clip* first = list.IsEmpty() ? nullptr : list.GetClips().front().get();
    bool transition =
        first && (first->IsTransition() || (track == 1 && first->GetKind() == Asset::kindGraphic &&
                                            EditorHooks::MovieWindow().ShowsStoryboard()));
    movieList->InsertClips(list, time, move, transition, editRecords.get(), fixRecords.get());
    movie->SetModifiedFlag(true);
}

void ClipListCommand::InsertClip(Clip* clip, bool show) {
    ClipList* movieList = GetMovieList();
    if (!clip || !movieList)
        return;
    clip->SetSelected(true);
    clip->SetMarked(true);
    // The insertion places the list's clips from its start on: the clip
    // goes in at its own start.
    Time start = clip->GetStart();
    RefPtr<Clip> copy = clip->CloneClip();
    copy->SetStart(0);
    RefPtr<ClipList> one = new ClipList;
    one->Add(copy.get());
    movieList->ClearSelected();
    movieList->ClearMarked();
    InsertList(*one, start, -1, false);
    if (show)
        ShowAt(start, false, true);
    else
        EditorHooks::MovieWindow().Refresh(false);
}

void ClipListCommand::ReplaceClip(Clip* oldClip, Clip* newClip) {
    Movie* movie = GetMovie();
    ClipList* movieList = GetMovieList();
    if (!movie || !movieList || !oldClip || !newClip)
        return;
    RefPtr<Clip> keep = newClip;
    newClip->SetSelected(true);
    newClip->SetMarked(true);
    movieList->ClearSelected();
    movieList->ClearMarked();
    // The clone takes the old clip's place in the list: the old one goes,
    // the clone comes in where it stood.
    ClipIterator it(*movieList);
    Clip* c = it.First();
    while (c && c != oldClip)
        c = it.Next();
    if (!c) {
        LogMessage("ClipListCommand::ReplaceClip: clip not found\n");
        return;
    }
    movieList->RemoveClip(it, editRecords.get());
    it.Next();
    movieList->InsertClip(it, newClip, editRecords.get());
    movieList->FixTimes(fixRecords.get(), true, false, false);
    movieList->Notify();
    movie->SetModifiedFlag(true);
    ShowAt(newClip->GetStart(), false, true);
}

} // namespace orvik
