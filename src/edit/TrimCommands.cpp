#include "edit/TrimCommands.h"

#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"

#include <algorithm>
#include <limits>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(TrimCommand, ClipListCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(TrimStartCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(TrimEndCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(OverlapTrimCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(TransitionDurationCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(ResetTrimStartCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(ResetTrimEndCommand, TrimCommand, kVersionableSchema | 1)
ORVIK_IMPLEMENT_SERIAL(SplitClipCommand, TrimCommand, kVersionableSchema | 1)

namespace {

constexpr Time kNoLimit = std::numeric_limits<Time>::min() / 2;
constexpr Time kNoEnd = std::numeric_limits<Time>::max() / 2;

enum class By { start, end };

// The first clip of `track` that is (or is not) a transition and starts or
// ends at `time`.
Clip* FindOnTrack(Time time, int32_t track, By by, bool transition) {
    ClipList* list = ClipListCommand::GetMovieList();
    if (!list)
        return nullptr;
    ClipIterator it(*list, track);
    for (Clip* c = it.First(); c; c = it.Next()) {
        if (c->IsTransition() != transition)
            continue;
        if ((by == By::start ? c->GetStart() : c->GetEnd()) == time)
            return c;
    }
    return nullptr;
}

bool HasOwnDuration(const Clip* clip) {
    return clip->GetAssetDuration() != 0;
}

// How far back the clip's start may go: the asset's first frame, and for a
// clip that keeps its own start, the start of the movie.
Time EarliestStart(const Clip* clip) {
    Time earliest = kNoLimit;
    if (HasOwnDuration(clip))
        earliest = clip->GetStart() - (clip->GetTrimStart() - clip->GetAssetStart());
    if (clip->IsPinned())
        earliest = std::max<Time>(earliest, 0);
    return earliest;
}

// How far the clip's end may go: the asset's last frame.
Time LatestEnd(const Clip* clip) {
    if (!HasOwnDuration(clip))
        return kNoEnd;
    return clip->GetEnd() + (clip->GetAssetStart() + clip->GetAssetDuration() - clip->GetTrimEnd());
}

} // namespace

Time TrimCommand::MinimumDuration(const Clip* clip) {
    return clip && clip->GetKind() == Asset::kindMusic ? Timecode::GetFramesPerSecond() : 1;
}

void TrimCommand::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(clipTime);
        ar.WriteInt32(amount);
        ar.WriteInt32(track);
    } else {
        clipTime = ar.ReadInt32();
        amount = ar.ReadInt32();
        track = ar.ReadInt32();
    }
}

Clip* TrimCommand::FindClip() const {
    return FindOnTrack(clipTime, track, By::start, false);
}

bool TrimCommand::CanExecute() const {
    return amount != 0 && FindClip();
}

void TrimCommand::AfterTrim(Archive& undoData, bool atStart) {
    Movie* movie = GetMovie();
    ClipList* list = GetMovieList();
    ToolboxHooks& tools = EditorHooks::Toolbox();
    list->GetEnd(); // current neighbour links after an overlap trim
    Clip* first = list->GetFirstSelected(false);
    bool stays = tools.IsTrimmerActive() && list->FindAt(movie->GetPosition(), track, 0, 2);
    if (!stays && first) {
        PlayerHooks& player = EditorHooks::Player();
        std::lock_guard<std::recursive_mutex> hold(player.Lock());
        movie->SetPosition(atStart ? first->GetStart() : first->GetEnd() - 1);
    }
    if (tools.IsTrimmerActive())
        tools.RefreshTrimmer();
    movie->SetModifiedFlag(true);
    EditorHooks::MovieWindow().Refresh(false);
    SaveRestoreState(undoData);
}

bool TrimStartCommand::CanExecute() const {
    const Clip* clip = FindClip();
    if (!clip || amount == 0)
        return false;
    Time newStart = clip->GetStart() + amount;
    return newStart >= EarliestStart(clip) && newStart <= clip->GetEnd() - MinimumDuration(clip);
}

void TrimStartCommand::Do(Archive& undoData) {
    if (!GetMovie() || !CanExecute())
        return;
    RememberState();
    GetMovieList()->TrimStart(clipTime, amount, track, editRecords.get(), fixRecords.get());
    AfterTrim(undoData, true);
}

Clip* TrimEndCommand::FindClip() const {
    return FindOnTrack(clipTime, track, By::end, false);
}

bool TrimEndCommand::CanExecute() const {
    const Clip* clip = FindClip();
    if (!clip || amount == 0)
        return false;
    Time newEnd = clip->GetEnd() + amount;
    return newEnd >= clip->GetStart() + MinimumDuration(clip) && newEnd <= LatestEnd(clip);
}

void TrimEndCommand::Do(Archive& undoData) {
    if (!GetMovie() || !CanExecute())
        return;
    RememberState();
    GetMovieList()->TrimEnd(clipTime, amount, track, editRecords.get(), fixRecords.get());
    AfterTrim(undoData, false);
}

Clip* OverlapTrimCommand::FindClip() const {
    return FindOnTrack(clipTime, track, amount > 0 ? By::end : By::start, false);
}

void OverlapTrimCommand::Do(Archive& undoData) {
    if (!GetMovie() || !CanExecute())
        return;
    RememberState();
    GetMovieList()->OverlapTrim(clipTime, amount, track, editRecords.get(), fixRecords.get());
    AfterTrim(undoData, false);
}

Clip* TransitionDurationCommand::FindClip() const {
    return FindOnTrack(clipTime, track, By::start, true);
}

void TransitionDurationCommand::Do(Archive& undoData) {
    if (!GetMovie() || !CanExecute())
        return;
    RememberState();
    GetMovieList()->DoTransitionDuration(clipTime, amount, track, editRecords.get(),
                                         fixRecords.get());
    AfterTrim(undoData, true);
}

namespace {

// The start trim that takes the clip back to the earliest start its asset
// allows; 0 when there is none.
Time ResetStartAmount(const Clip* clip) {
    if (!clip || !HasOwnDuration(clip))
        return 0;
    return std::min<Time>(EarliestStart(clip) - clip->GetStart(), 0);
}

// The end trim that takes the clip to the latest end its asset allows.
Time ResetEndAmount(const Clip* clip) {
    if (!clip || !HasOwnDuration(clip))
        return 0;
    return std::max<Time>(LatestEnd(clip) - clip->GetEnd(), 0);
}

} // namespace

bool ResetTrimStartCommand::CanExecute() const {
    return ResetStartAmount(FindClip()) != 0;
}

void ResetTrimStartCommand::Do(Archive& undoData) {
    Clip* clip = FindClip();
    Time by = ResetStartAmount(clip);
    if (!GetMovie() || by == 0)
        return;
    RememberState();
    GetMovieList()->TrimStart(clip->GetStart(), by, track, editRecords.get(), fixRecords.get());
    AfterTrim(undoData, true);
}

bool ResetTrimEndCommand::CanExecute() const {
    return ResetEndAmount(FindClip()) != 0;
}

void ResetTrimEndCommand::Do(Archive& undoData) {
    Clip* clip = FindClip();
    Time by = ResetEndAmount(clip);
    if (!GetMovie() || by == 0)
        return;
    RememberState();
    GetMovieList()->TrimEnd(clip->GetEnd(), by, track, editRecords.get(), fixRecords.get());
    AfterTrim(undoData, false);
}

bool SplitClipCommand::CanExecute() const {
    const Clip* clip = FindClip();
    if (!clip)
        return false;
    Time splitPoint = clip->GetStart() + amount;
    return splitPoint > clip->GetStart() && splitPoint < clip->GetEnd() - 2;
}

void SplitClipCommand::Do(Archive& undoData) {
    if (!GetMovie() || !CanExecute())
        return;
    RememberState();
    GetMovieList()->SplitClip(clipTime, clipTime + amount, track, editRecords.get(),
                              fixRecords.get());
    AfterTrim(undoData, true);
}

} // namespace orvik
