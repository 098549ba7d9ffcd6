// The editing operations of ClipList: delete, insert, the trims, transition
// durations, the overlap trim, splits, and the selected and output copies.
#include "model/ClipList.h"

#include "app/DiagnosticsLog.h"
#include "edit/VolumeList.h"
#include "model/Asset.h"
#include "model/ClipIterator.h"

#include <algorithm>
#include <climits>

namespace orvik {

namespace {

// Which of the source clip S and the list's clip E goes first when a list is
// merged in.
bool Before(const Clip* s, const Clip* e) {
    if (!s)
        return false;
    if (!e)
        return true;
    if (s->GetTrack() != e->GetTrack())
        return s->GetTrack() < e->GetTrack();
    if (s->GetStart() > ClipList::ClearStart(e))
        return false;
    if (s->GetStart() < e->GetStart())
        return true;
    // S starts where E plays alone: after E only when E is a pinned
    // transition that belongs to the clip starting with it.
    const Clip* after = e->GetNextOnTrack();
    return !(e->IsTransition() && e->IsPinned() && !s->IsTransition() && after &&
             after->GetStart() == e->GetStart());
}

// A single dropped clip never runs into the clip it is dropped before. `s` is
// the copy going in of the source clip `original`.
void CutToNext(const ClipList& source, const Clip* original, Clip* s, bool move, const Clip* e) {
    if (s->IsTransition() || !e || e->GetTrack() != s->GetTrack() || (move && e->IsSelected()))
        return;
    for (const RefPtr<Clip>& c : source.GetClips())
        if (c.get() != original && !c->IsTransition())
            return;
    if (s->GetStart() < e->GetStart() && s->GetEnd() > e->GetStart())
        s->SetEnd(e->GetStart());
}

} // namespace

Clip* ClipList::FindNonTransitionAt(ClipIterator& it, Time time, bool byEnd) {
    for (Clip* c = it.First(); c; c = it.Next())
        if (!c->IsTransition() && (byEnd ? c->GetEnd() : c->GetStart()) == time)
            return c;
    return nullptr;
}

void ClipList::DeleteSelected(ClipList* editRecords, ClipList* fixRecords) {
    dirty_ = true;
    Relink();
    ClipIterator it(*this);
    for (Clip* c = it.First(); c; c = it.Next())
        if (c->IsSelected())
            RemoveClip(it, editRecords);
    FixTimes(fixRecords, true, false, false);
    Notify();
}

void ClipList::InsertClips(ClipList& source, Time offset, bool move, bool replaceSame,
                           ClipList* editRecords, ClipList* fixRecords) {
    dirty_ = true;
    if (source.IsEmpty()) {
        FixTimes(fixRecords, true, false, false);
        return;
    }
    Relink();
    // The movie gets copies of the source clips: the caller's list is left
    // as it was (it may be inserted again, by a redo for example), and no
    // clip object belongs to two lists.
    RefList<Clip>& sourceClips = source.GetClips();
    auto sourceAt = sourceClips.begin();
    const Clip* original = nullptr;
    RefPtr<Clip> copy;
    auto takeSource = [&]() -> Clip* {
        if (sourceAt == sourceClips.end()) {
            original = nullptr;
            copy = nullptr;
            return nullptr;
        }
        original = (sourceAt++)->get();
        copy = original->CloneClip();
        copy->SetStart(copy->GetStart() + offset);
        return copy.get();
    };
    Clip* s = takeSource();
    ClipIterator it(*this);
    Clip* e = it.First();
    while (s || e) {
        if (Before(s, e)) {
            if (replaceSame && e && s->GetKind() == e->GetKind() &&
                s->GetTrack() == e->GetTrack() && s->GetStart() == e->GetStart()) {
                s->SetDuration(e->GetDuration(), false);
                if (e->IsPinned())
                    s->SetPinned(true);
                RemoveClip(it, editRecords);
                e = it.Next();
                continue;
            }
            CutToNext(source, original, s, move, e);
            int32_t track = s->GetTrack();
            while (s && s->GetTrack() == track) {
                if (track != 0 && !s->IsTransition())
                    s->SetPinned(true);
                InsertClip(it, s, editRecords);
                s = takeSource();
            }
            continue;
        }
        if (e->IsSelected() && move)
            RemoveClip(it, editRecords);
        else if (e->IsSelected())
            e->SetSelected(false);
        e = it.Next();
    }
    FixTimes(fixRecords, true, true, false);
    Notify();
}

void ClipList::Trim(Clip* clip, int edge, Time amount, ClipList* editRecords,
                    ClipList* fixRecords) {
    if (amount == 0 || !clip)
        return;
    dirty_ = true;
    Relink();
    Time oldStart = clip->GetStart();
    Time oldEnd = clip->GetEnd();
    Time clearEnd = ClearEnd(clip);
    Time newStart = oldStart;
    Time newEnd = oldEnd;
    int32_t trimmedTrack = clip->GetTrack();
    bool isTransition = clip->IsTransition();
    if (isTransition) {
        if (trimmedTrack != 0 && (clip->IsPinned() || !clip->GetPrevOnTrack())) {
            newEnd += amount;
        } else {
            newStart -= amount; // a transition grows toward earlier
            oldEnd = oldStart;
            clearEnd = oldStart;
        }
        amount = -amount;
    } else if (clip->IsPinned() && edge == 0) {
        newStart -= amount;
    } else {
        newEnd += amount;
    }

    Time ref = edge == 0 ? oldStart : clearEnd;
    Time lo = ref;
    Time hi = ref;
    if (edge == 0 && amount < 0)
        lo = ref - amount;
    if (edge != 0 && amount < 0)
        hi = ref + amount;

    ClipIterator it(*this, trimmedTrack == 0 ? -1 : trimmedTrack);
    Clip* prev = nullptr;
    Time shift = amount;
    int32_t walkTrack = INT32_MIN;
    auto walkOne = [&](Clip* c) {
        if (c == clip) {
            UpdateClip(it, c, editRecords, newStart, newEnd,
                       edge == 0 ? c->GetTrimStart() - amount : c->GetTrimStart(), c->IsPinned(),
                       edge == 0, nullptr);
            return;
        }
        Time s = c->GetStart();
        Time e = c->GetEnd();
        if (s > lo || (s == lo && lo == clearEnd)) {
            // After the edit: it moves with it, up to a pinned clip of the
            // trimmed clip's track, which stops the ripple there.
            if (c->IsPinned() && c->GetTrack() == trimmedTrack)
                shift = prev && prev->GetEnd() > s ? prev->GetEnd() - s : 0;
            UpdateClip(it, c, editRecords, s + shift, e + shift, c->GetTrimStart(), c->IsPinned(),
                       false, nullptr);
            return;
        }
        if (isTransition || trimmedTrack != 0 || c->GetTrack() == 0 ||
            c->GetKind() == Asset::kindMusic || e < hi)
            return;
        // A sound or title lying over the trimmed video clip stays in step
        // with its picture: over removed frames it is cut (its trim start
        // advancing), over added frames it grows.
        Time t = c->GetTrimStart();
        Time delta = 0;
        if (edge != 0 && amount >= 0) {
            if (e >= oldEnd)
                e += amount;
        } else if (edge != 0) {
            if (newEnd <= s && s <= oldEnd) {
                // Its material at the old end now plays at the new end.
                delta = oldEnd - s;
                s = newEnd;
            }
            if (e >= newEnd)
                e = std::max(e + amount, newEnd);
        } else if (amount >= 0) {
            if (s > oldStart)
                s += amount;
            else if (s == oldStart)
                delta = -amount;
            if (e > oldStart)
                e += amount;
        } else {
            if (s >= oldStart) {
                s += amount;
                if (s < oldStart) {
                    delta = oldStart - s;
                    s = oldStart;
                }
            }
            if (e >= oldStart)
                e = std::max(e + amount, oldStart);
        }
        if (c->GetAssetDuration() != 0) {
            Time limit = c->GetAssetStart() - t;
            if (delta < limit) {
                s += limit - delta;
                delta = limit;
            }
            t += delta;
            Time room = c->GetAssetStart() + c->GetAssetDuration() - c->GetTrimEnd();
            e = std::min(e, c->GetEnd() + std::max<Time>(room, 0));
        }
        UpdateClip(it, c, editRecords, s, e, t, c->IsPinned(), false, nullptr);
    };
    for (Clip* c = it.First(); c; c = it.Next()) {
        if (c->GetTrack() != walkTrack) {
            walkTrack = c->GetTrack();
            shift = amount;
        }
        walkOne(c);
        // The clip walked before, as updated; one removed for having nothing
        // left is no neighbour.
        if (it.Current() == c)
            prev = c;
    }
    buried_.clear();
    if (fixRecords)
        FixTimes(fixRecords, true, false, false);
    Notify();
}

void ClipList::TrimStart(Time time, Time amount, int32_t track, ClipList* editRecords,
                         ClipList* fixRecords) {
    ClipIterator it(*this, track);
    Clip* clip = FindNonTransitionAt(it, time, false);
    if (!clip) {
        LogMessage("ClipList::TrimStart: clip not found\n");
        return;
    }
    Trim(clip, 0, -amount, editRecords, fixRecords);
}

void ClipList::TrimEnd(Time time, Time amount, int32_t track, ClipList* editRecords,
                       ClipList* fixRecords) {
    ClipIterator it(*this, track);
    Clip* clip = FindNonTransitionAt(it, time, true);
    if (!clip) {
        LogMessage("ClipList::TrimEnd: clip not found\n");
        return;
    }
    Trim(clip, 1, amount, editRecords, fixRecords);
}

void ClipList::DoTransitionDuration(Time time, Time amount, int32_t track, ClipList* editRecords,
                                    ClipList* fixRecords) {
    if (amount == 0)
        return;
    ClipIterator it(*this, track);
    for (Clip* c = it.First(); c; c = it.Next()) {
        if (c->IsTransition() && c->GetStart() == time) {
            Trim(c, 0, amount, editRecords, fixRecords);
            return;
        }
    }
    LogMessage("DoTransitionDuration: clip not found\n");
}

void ClipList::OverlapTrim(Time time, Time amount, int32_t track, ClipList* editRecords,
                           ClipList*) {
    if (amount == 0)
        return;
    dirty_ = true;
    Relink();
    ClipIterator it(*this);
    Clip* x = nullptr;
    for (Clip* c = it.First(); c; c = it.Next()) {
        if (c->GetTrack() == track && !c->IsTransition() &&
            (amount < 0 ? c->GetStart() : c->GetEnd()) == time) {
            x = c;
            break;
        }
    }
    if (!x) {
        LogMessage("TrimEnd: clip not found\n");
        return;
    }
    if (amount < 0) {
        // X begins earlier: the clips before it on its track give way. No
        // clip begins before the movie does.
        Time newStart = std::max<Time>(x->GetStart() + amount, 0);
        amount = newStart - x->GetStart();
        ClipIterator walk(*this, track);
        for (Clip* c = walk.First(); c && c != x; c = walk.Next())
            if (c->GetEnd() >= newStart)
                UpdateClip(walk, c, editRecords, c->GetStart(), newStart, c->GetTrimStart(),
                           c->IsPinned(), false, nullptr);
        UpdateClip(walk, x, editRecords, newStart, x->GetEnd(), x->GetTrimStart() + amount,
                   x->IsPinned(), true, nullptr);
    } else {
        // X ends later: the clips after it on its track start later.
        Time newEnd = x->GetEnd() + amount;
        UpdateClip(it, x, editRecords, x->GetStart(), newEnd, x->GetTrimStart(), x->IsPinned(),
                   false, nullptr);
        for (Clip* c = it.Next(); c && c->GetStart() < newEnd; c = it.Next()) {
            if (c->GetTrack() != track)
                continue;
            Time d = newEnd - c->GetStart();
            UpdateClip(it, c, editRecords, c->GetStart() + d, c->GetEnd(), c->GetTrimStart() + d,
                       c->IsPinned(), true, nullptr);
        }
    }
    buried_.clear();
    Notify();
    SelectAt(time + amount);
}

void ClipList::SplitClip(Time time, Time splitPoint, int32_t track, ClipList* editRecords,
                         ClipList* fixRecords) {
    Relink();
    ClipIterator it(*this, track);
    Clip* x = FindNonTransitionAt(it, time, false);
    if (!x)
        return;
    if (splitPoint <= x->GetStart() || splitPoint >= x->GetEnd()) {
        // Either part would be empty.
        LogMessage("ClipList::SplitClip: split point outside the clip\n");
        return;
    }
    dirty_ = true;
    RefPtr<Clip> first = x->CloneClip();
    first->SetEnd(splitPoint);
    first->SetEndTrimmed(true);
    first->SetSelected(false);
    first->SetMarked(false);
    InsertClip(it, first.get(), editRecords);
    Time d = splitPoint - time;
    UpdateClip(it, x, editRecords, x->GetStart() + d, x->GetEnd(), x->GetTrimStart() + d, false,
               true, nullptr);
    FixTimes(fixRecords, true, false, false);
    Notify();
}

void ClipList::CreateSelectedList(ClipList& source, bool useMarked, bool placeRelative) {
    clips_.clear();
    dirty_ = true;
    source.Relink();
    for (const RefPtr<Clip>& q : source.GetClips()) {
        q->SetPartner(nullptr);
        if (useMarked ? q->IsMarked() : q->IsSelected()) {
            Clip* k = q->CloneClip();
            k->SetSelected(true);
            k->SetPinned(false);
            k->SetPartner(q.get());
            q->SetPartner(k);
            Add(k);
        }
    }
    Clip* fallback = nullptr;
    if (placeRelative)
        if (Clip* firstCopy = GetFirstByStart(0))
            fallback = firstCopy->GetPartner();
    FixTimes(nullptr, true, false, false);
    if (!placeRelative)
        return;
    ClipIterator video(source, 0);
    int selection = useMarked ? 3 : 2;
    int32_t lastTrack = INT32_MIN;
    Clip* anchor = fallback;
    for (const RefPtr<Clip>& k : clips_) {
        if (k->GetTrack() == 0 || k->GetTrack() == -1)
            continue;
        if (k->GetTrack() != lastTrack) {
            lastTrack = k->GetTrack();
            anchor = fallback;
        }
        Clip* o = k->GetPartner();
        if (!o)
            continue;
        Clip* before = o->GetPrevOnTrack();
        if (!o->IsPinned() && before && before->IsMarked())
            continue;
        Clip* v = video.FindAt(o->GetStart(), o->GetStart(), Asset::kindAnyButTransition, selection,
                               false);
        if (!v)
            v = anchor;
        if (!v)
            continue;
        if (!v->GetPartner()) {
            LogMessage("CreateSelectedList:: missing partner!\n");
            continue;
        }
        // A title or sound keeps its distance from the video clip it lay over.
        k->SetStart(v->GetPartner()->GetStart() + (o->GetStart() - v->GetStart()));
        k->SetPinned(true);
    }
    FixTimes(nullptr, true, false, false);
}

void ClipList::CopySelection(ClipList& source, bool selectedOnly, bool mergeContinuations) {
    clips_.clear();
    dirty_ = true;
    source.Relink();
    Clip* last = nullptr;
    for (const RefPtr<Clip>& ref : source.GetClips()) {
        Clip* q = ref.get();
        if (selectedOnly && !q->IsSelected()) {
            // Only the material under a selected transition next to it.
            Clip* next = q->GetNextOnTrack();
            Clip* prev = q->GetPrevOnTrack();
            RefPtr<Clip> part;
            if (next && next->IsTransition() && next->IsSelected() &&
                q->GetEnd() >= next->GetStart()) {
                part = q->CloneClip();
                part->SetStartKeepEnd(next->GetStart());
                part->SetTrimStart(q->GetTrimStart() + (next->GetStart() - q->GetStart()));
                part->SetStartTrimmed(true);
            } else if (prev && prev->IsTransition() && prev->IsSelected() &&
                       prev->GetEnd() > q->GetStart()) {
                part = q->CloneClip();
                part->SetStart(prev->GetStart());
                part->SetEnd(prev->GetEnd());
                part->SetStartTrimmed(true);
                part->SetEndTrimmed(true);
            }
            if (part) {
                part->SetSelected(false);
                part->SetPinned(false);
                part->SetOriginalSequence(q->GetSequence());
                Add(part.get());
                last = part.get();
            }
            continue;
        }
        if (mergeContinuations && last && last->GetTrack() == q->GetTrack() &&
            last->GetKind() == Asset::kindScene && last->GetFileName() == q->GetFileName() &&
            q->GetTrimStart() == last->GetTrimStart() + last->GetDuration()) {
            // One continuous piece of a scene that was split.
            if (const VolumeList* joined = q->GetVolumeList()) {
                if (!last->GetVolumeList())
                    last->SetVolumeList(new VolumeList(last->GetDuration()));
                last->GetVolumeList()->Append(*joined);
            }
            last->SetDuration(last->GetDuration() + q->GetDuration(), false);
            RefPtr<Asset> grown = static_cast<Asset*>(last->GetAsset()->Clone());
            grown->SetDuration(grown->GetDuration() + q->GetDuration());
            last->SetAsset(grown.get());
            continue;
        }
        Clip* k = q->CloneClip();
        k->SetOriginalSequence(q->GetSequence());
        if (selectedOnly)
            k->SetPinned(false);
        Add(k);
        last = k;
    }
    Relink();
}

} // namespace orvik
