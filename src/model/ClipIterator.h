#pragma once

#include "model/CListIterator.h"
#include "model/Clip.h"
#include "model/Time.h"

#include <cstdint>

namespace orvik {

class ClipList;

// Walks a clip list, optionally only the clips of one track (−1: all).
//
// Step() counts the steps of a walk from First: it goes up by one for every
// clip passed (of any track), down by one when the current clip is removed
// (the iterator steps back onto the clip before), and stays when a clip is
// inserted before the current one. The restore records of an edit hold these
// counts, and replaying the records with an iterator that counts the same way
// finds each record's clip again. (Index() stays the current clip's true
// position in the list.)
class ClipIterator : public CListIterator<RefList<Clip>, Clip> {
public:
    explicit ClipIterator(ClipList& list, int32_t track = -1);
    ClipIterator(RefList<Clip>& clips, int32_t track);

    Clip* First() override;
    Clip* Next() override;
    Clip* Last() override;
    Clip* Prev() override;

    int Step() const { return index_ + inserted_; }
    int32_t GetTrack() const { return track_; }
    void SetTrack(int32_t track) { track_ = track; }
    bool IsPastEnd() const { return current_ == list_->end() && index_ >= 0; }

    // The first clip from the current position on that overlaps
    // [from, to] (starts at or before `to`, ends after `from`) and passes the
    // kind and selection filters (see ClipList); with `startsInside` it must
    // also start at or after `from`. Repeated searches moving forward along
    // a track are cheap.
    Clip* FindAt(Time from, Time to, int kind, int selection, bool startsInside);

    // Removes the current clip and steps back onto the clip before it, so
    // that Next reaches the clip after it. Returns the removed clip (the
    // caller decides how long it lives).
    RefPtr<Clip> RemoveCurrent();
    // Inserts `clip` before the current clip, or appends it when the walk is
    // past the end (or the list is empty); the iterator stays where it was.
    // Returns the step count the inserted clip is recorded under.
    int InsertBeforeCurrent(Clip* clip);

private:
    bool Matches(const Clip* clip) const {
        return clip && (track_ < 0 || clip->GetTrack() == track_);
    }

    int32_t track_;
    // Minus the clips inserted before the walk's position since First.
    int inserted_ = 0;
};

// The filters shared by the list's searches. Kind: 0 any, 7 any but
// transitions, else exactly that kind. Selection: 1 not selected, 2 selected,
// 3 marked, 4 not marked, anything else no condition.
bool MatchesKind(const Clip* clip, int kind);
bool MatchesSelection(const Clip* clip, int selection);

} // namespace orvik
