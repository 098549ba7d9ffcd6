#include "model/ClipIterator.h"

#include "model/Asset.h"
#include "model/ClipList.h"

namespace orvik {

bool MatchesKind(const Clip* clip, int kind) {
    if (kind == 0)
        return true;
    if (kind == Asset::kindAnyButTransition)
        return !clip->IsTransition();
    return clip->GetKind() == kind;
}

bool MatchesSelection(const Clip* clip, int selection) {
    switch (selection) {
    case 1:
        return !clip->IsSelected();
    case 2:
        return clip->IsSelected();
    case 3:
        return clip->IsMarked();
    case 4:
        return !clip->IsMarked();
    default:
        return true;
    }
}

ClipIterator::ClipIterator(ClipList& list, int32_t track)
    : CListIterator(list.GetClips()), track_(track) {}

ClipIterator::ClipIterator(RefList<Clip>& clips, int32_t track)
    : CListIterator(clips), track_(track) {}

Clip* ClipIterator::First() {
    inserted_ = 0;
    Clip* c = CListIterator::First();
    while (c && !Matches(c))
        c = CListIterator::Next();
    return c;
}

Clip* ClipIterator::Next() {
    Clip* c = CListIterator::Next();
    while (c && !Matches(c))
        c = CListIterator::Next();
    return c;
}

Clip* ClipIterator::Last() {
    inserted_ = 0;
    Clip* c = CListIterator::Last();
    while (c && !Matches(c))
        c = CListIterator::Prev();
    return c;
}

Clip* ClipIterator::Prev() {
    Clip* c = CListIterator::Prev();
    while (c && !Matches(c))
        c = CListIterator::Prev();
    return c;
}

Clip* ClipIterator::FindAt(Time from, Time to, int kind, int selection, bool startsInside) {
    Clip* c = nullptr;
    if (track_ < 0) {
        // Clips of all tracks are not sorted by start: search them all.
        c = First();
    } else {
        c = Current();
        if (!Matches(c))
            c = IsPastEnd() ? Last() : First();
        // Back to the first clip that could still overlap `from`.
        while (c) {
            if (c->GetStart() > from) {
                Clip* p = Prev();
                if (!p) {
                    c = First();
                    break;
                }
                c = p;
                continue;
            }
            Clip* p = Prev();
            if (p && p->GetEnd() >= from) {
                c = p;
                continue;
            }
            c = p ? Next() : First();
            break;
        }
    }
    for (; c; c = Next()) {
        if (c->GetStart() > to) {
            if (track_ >= 0)
                return nullptr; // the track is sorted by start
            continue;
        }
        if (startsInside && c->GetStart() < from)
            continue;
        if (!MatchesSelection(c, selection) || !MatchesKind(c, kind))
            continue;
        if (c->GetEnd() > from)
            return c;
    }
    return nullptr;
}

RefPtr<Clip> ClipIterator::RemoveCurrent() {
    if (current_ == list_->end() || index_ < 0)
        return nullptr;
    Position removed = current_;
    Position before = removed == list_->begin() ? list_->end() : std::prev(removed);
    RefPtr<Clip> clip = *removed;
    Clip* prevClip = clip->GetPrev();
    Clip* nextClip = clip->GetNext();
    list_->erase(removed);
    // The neighbours' links stay right while an edit goes on.
    if (prevClip && prevClip->GetNext() == clip.get())
        prevClip->SetLinks(prevClip->GetPrev(), nextClip);
    if (nextClip && nextClip->GetPrev() == clip.get())
        nextClip->SetLinks(prevClip, nextClip->GetNext());
    clip->SetLinks(nullptr, nullptr);
    direction_ = 0;
    Reposition(before, before == list_->end() ? -1 : index_ - 1);
    return clip;
}

int ClipIterator::InsertBeforeCurrent(Clip* clip) {
    Clip* before = nullptr;
    Clip* after = nullptr;
    int step = Step();
    if (current_ == list_->end() && index_ < 0 && !list_->empty()) {
        // Before the first clip: it goes in front.
        after = list_->front().get();
        list_->push_front(clip);
        step = 0;
    } else {
        if (current_ == list_->end()) {
            before = list_->empty() ? nullptr : list_->back().get();
            list_->push_back(clip);
            if (index_ < 0) {
                // The list was empty: the walk is past its end now.
                index_ = 0;
                step = 0;
            }
        } else {
            after = current_->get();
            before = after->GetPrev();
            list_->insert(current_, clip);
        }
        // The current clip (or the end) moved one place on; the walk has
        // not taken a step.
        ++index_;
        --inserted_;
    }
    clip->SetLinks(before, after);
    if (before)
        before->SetLinks(before->GetPrev(), clip);
    if (after)
        after->SetLinks(clip, after->GetNext());
    SetNext();
    return step;
}

} // namespace orvik
