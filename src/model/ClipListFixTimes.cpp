// ClipList::FixTimes: the pass that repacks every track after an edit.
#include "model/ClipList.h"

#include "app/DiagnosticsLog.h"
#include "app/SettingsBase.h"
#include "model/Asset.h"
#include "model/ClipIterator.h"
#include "model/Transition.h"

#include <algorithm>
#include <memory>

namespace orvik {

namespace {

// The make-tape options the pass follows.
struct TapeOptions {
    bool constraints = false;     // "Make tape constraints"
    bool constrainedTrim = false; // trims are adjusted between continuing scenes
    Time cutMargin = 0;           // how far those trims move
};

// "Make tape constraints" turns the constraints on; "Display auto-trim" is the
// option to adjust the trims between continuing scenes and "Auto-trim amount"
// the margin they move by. Without settings (tools, some tests) the movie is
// laid out without constraints.
TapeOptions ReadTapeOptions() {
    TapeOptions options;
    if (const SettingsBase* settings = SettingsBase::Current()) {
        options.constraints = settings->GetMakeTapeConstraints() != 0;
        options.constrainedTrim = settings->GetDisplayAutoTrim() != 0;
        options.cutMargin = settings->GetAutoTrimAmount();
    }
    return options;
}

// The shifts that the video track's clips moved by, as (position, shift):
// a pinned clip of any track moves by the sum of the shifts at or before its
// start, so it stays over the video it lay over.
class ShiftTable {
public:
    void Add(Time position, Time shift) {
        if (sorted_ && !entries_.empty() && position < entries_.back().position)
            sorted_ = false;
        entries_.push_back({position, shift, 0, 0});
        if (sorted_)
            Accumulate(entries_.size() - 1);
    }

    // The sum of the shifts at positions ≤ `position`; only those ≤ 0 with
    // `earlierOnly`.
    Time SumAt(Time position, bool earlierOnly) {
        if (entries_.empty())
            return 0;
        if (!sorted_) {
            std::stable_sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) {
                return a.position < b.position;
            });
            for (size_t i = 0; i < entries_.size(); ++i)
                Accumulate(i);
            sorted_ = true;
        }
        auto end = std::upper_bound(entries_.begin(), entries_.end(), position,
                                    [](Time p, const Entry& e) { return p < e.position; });
        if (end == entries_.begin())
            return 0;
        const Entry& last = *std::prev(end);
        return static_cast<Time>(earlierOnly ? last.sumEarlier : last.sum);
    }

private:
    struct Entry {
        Time position;
        Time shift;
        int64_t sum;        // of all shifts up to and including this one
        int64_t sumEarlier; // of the shifts ≤ 0
    };

    void Accumulate(size_t i) {
        Entry& e = entries_[i];
        int64_t sum = i ? entries_[i - 1].sum : 0;
        int64_t earlier = i ? entries_[i - 1].sumEarlier : 0;
        e.sum = sum + e.shift;
        e.sumEarlier = earlier + std::min<Time>(e.shift, 0);
    }

    std::vector<Entry> entries_;
    bool sorted_ = true;
};

bool IsKind(const Clip* clip, int kind) {
    return clip && clip->GetKind() == kind;
}

} // namespace

void ClipList::FixTimes(ClipList* records, bool tapeMode, bool selectedOnly, bool adjustTrims) {
    Relink();
    TapeOptions options = ReadTapeOptions();
    bool constraints = tapeMode && options.constraints;
    if (constraints && options.constrainedTrim)
        adjustTrims = true;

    std::unique_ptr<ClipIterator> videoTransitions; // made at the first clip of track 1
    std::unique_ptr<ClipIterator> videoGraphics;
    RefPtr<Transition> automaticFade; // one for all the places that need it
    ShiftTable shifts;
    Time cursor = 0;
    Time accumulated = 0;
    Time limit = 0;
    Time overlap = 0;
    bool afterTransition = false;
    bool firstClip = true;
    int32_t previousTrack = 0;

    ClipIterator it(*this);
    for (Clip* clip = it.First(); clip; clip = it.Next()) {
        int32_t track = clip->GetTrack();
        if (!firstClip && track != previousTrack) {
            // A new track starts from nothing: nothing of the last track's
            // final clip carries over.
            cursor = 0;
            limit = 0;
            overlap = 0;
            afterTransition = false;
        }
        firstClip = false;
        previousTrack = track;

        Clip* before = clip->GetPrevOnTrack();
        Clip* after = clip->GetNextOnTrack();
        bool pinned = clip->IsPinned();
        if (records) {
            pinned = track != 0 && !afterTransition &&
                     !(before && before->IsTransition() && before->IsPinned());
            afterTransition = false;
        }

        Time oldStart = clip->GetStart();
        Time start = oldStart;
        Time duration = clip->GetDuration();
        Time trim = clip->GetTrimStart();
        if (adjustTrims && constraints && options.cutMargin != 0 &&
            clip->GetKind() == Asset::kindScene) {
            if (!clip->IsStartTrimmed() && before && clip->IsContinuationOf(before)) {
                trim += options.cutMargin;
                duration -= options.cutMargin;
            }
            if (!clip->IsEndTrimmed() && after && after->IsContinuationOf(clip))
                duration -= options.cutMargin;
        }

        if (pinned) {
            bool earlierOnly = selectedOnly && clip->IsSelected();
            start += shifts.SumAt(oldStart, earlierOnly);
            if (start > cursor)
                cursor = start;
            if (track != 0 && adjustTrims) {
                Time end = oldStart + duration;
                end += shifts.SumAt(end, earlierOnly);
                duration = end - start;
            }
        }

        Time newStart = start;
        Asset* newAsset = nullptr;
        if (clip->IsTransition()) {
            Transition* effect = DynamicCast<Transition>(clip->GetAsset());
            if (records && constraints && track == 1 && effect && !effect->IsAllowedOnTrack(1)) {
                RemoveClip(it, records);
                continue;
            }
            if (records && !pinned && before && before->IsTransition()) {
                RemoveClip(it, records);
                continue;
            }
            if (constraints && effect)
                duration = std::min(duration, effect->GetTapeLimit());
            bool fade = clip->IsFade();
            bool tapeConstrained = constraints && !fade && !pinned &&
                                   IsKind(before, Asset::kindScene) &&
                                   IsKind(after, Asset::kindScene);
            if (constraints && track == 0 && !fade && IsKind(before, Asset::kindGraphic) &&
                IsKind(after, Asset::kindGraphic) && !after->IsPinned()) {
                if (!automaticFade)
                    automaticFade =
                        new Transition(Transition::kFadeEffect, Transition::kAutomaticFadeNumber);
                newAsset = automaticFade.get();
                fade = true;
            }
            if (!tapeConstrained && before)
                duration = std::min(duration, limit);
            if (before && after) {
                Time next = after->GetDuration();
                if (fade && duration > 2 * next)
                    duration = 2 * next;
                else if (duration > next)
                    duration = next;
            } else if (after) {
                duration = std::min(duration, after->GetDuration());
            }
            clip->SetFadeIn(fade && (pinned || !before));
            clip->SetFadeOut(fade && (!after || after->GetStart() > cursor));
            overlap = duration;
            if (tapeConstrained || pinned) {
                newStart = cursor;
            } else if (fade && after && !after->IsPinned()) {
                // The fade straddles the cut.
                newStart = cursor - duration / 2;
                overlap = duration / 2;
            } else {
                newStart = cursor - duration;
                if (after && !after->IsPinned())
                    cursor = newStart; // the next clip begins with the transition
            }
            if (constraints && track == 1) {
                if (!videoGraphics)
                    videoGraphics = std::make_unique<ClipIterator>(*this, 0);
                if (videoGraphics->FindAt(newStart, newStart + duration - 1, Asset::kindGraphic, 0,
                                          false)) {
                    RemoveClip(it, records);
                    continue;
                }
            }
        } else {
            if (clip->GetKind() == Asset::kindScene &&
                static_cast<int64_t>(clip->GetAssetStart()) + clip->GetAssetDuration() <
                    static_cast<int64_t>(trim) + duration)
                LogMessage("ClipList::FixTimes: scene duration too short\n");
            if (track == 0) {
                Time moved = cursor - oldStart - accumulated;
                if (moved != 0 && (records || adjustTrims)) {
                    shifts.Add(moved < 0 ? oldStart + moved : oldStart, moved);
                    accumulated += moved;
                }
            }
            newStart = cursor;
            cursor += duration;
            limit = duration - overlap;
            overlap = 0;
            Clip* afterThat = after && after->IsTransition() ? after->GetNextOnTrack() : nullptr;
            afterTransition =
                after && after->IsTransition() && !(afterThat && afterThat->IsPinned());
        }

        if (constraints && track == 1) {
            // Titles keep clear of the video track's transitions.
            if (!videoTransitions)
                videoTransitions = std::make_unique<ClipIterator>(*this, 0);
            Clip* t = videoTransitions->FindAt(newStart, newStart + duration - 1,
                                               Asset::kindTransition, 0, false);
            if (t) {
                if (t->GetStart() <= newStart) {
                    newStart = t->GetEnd();
                    pinned = true;
                } else {
                    duration = t->GetStart() - newStart;
                }
                // The clip after it packs against where this one now ends.
                if (!clip->IsTransition())
                    cursor = newStart + duration;
            }
        }

        if (newStart < 0)
            newStart = 0;
        if (cursor < 0)
            cursor = 0;
        if (newStart != clip->GetStart() || duration != clip->GetDuration() ||
            trim != clip->GetTrimStart() || pinned != clip->IsPinned() || newAsset) {
            dirty_ = true;
            UpdateClip(it, clip, records, newStart, newStart + duration, trim, pinned,
                       trim != clip->GetTrimStart(), newAsset);
        }
    }

    for (const RefPtr<Clip>& c : clips_) {
        if (!c->IsTransition())
            continue;
        Clip* next = c->GetNextOnTrack();
        c->SetTransitionAtEnd(!next || next->GetStart() >= c->GetEnd());
    }
    Relink();
    buried_.clear();
}

} // namespace orvik
