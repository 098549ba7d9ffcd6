#pragma once

#include "model/CListIterator.h"
#include "model/Clip.h"
#include "model/Notifier.h"
#include "model/RefObject.h"
#include "model/Time.h"
#include "platform/gui/Clipboard.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orvik {

class Asset;
class ClipIterator;

// An ordered list of clips: the movie's clips of every track (ordered by
// track, then by start, a transition before the clip that starts with it),
// an album page (ordered by file name), clipboard contents, the copies an
// edit works on, and the restore records of undo.
//
// Every edit changes the list through RemoveClip, InsertClip and UpdateClip,
// which append restore records when given a record list; RestoreClips plays
// such records back to undo the edit. Used on the user-interface thread only.
class ClipList : public RefObject, public Notifier {
    ORVIK_DECLARE_SERIAL(ClipList)
public:
    using Position = RefList<Clip>::iterator;

    // Clipboard format names.
    static constexpr const char* kMovieClipListFormat = "OrvikMovieClipList";
    static constexpr const char* kLibraryClipListFormat = "OrvikLibraryClipList";

    ClipList();
    ClipList(const ClipList& other); // clones every clip
    ~ClipList() override;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;
    ClipList* CloneList() const { return static_cast<ClipList*>(Clone()); }

    RefList<Clip>& GetClips() { return clips_; }
    const RefList<Clip>& GetClips() const { return clips_; }
    int GetCount() const { return static_cast<int>(clips_.size()); }
    bool IsEmpty() const { return clips_.empty(); }
    bool IsDirty() const { return dirty_; }
    void SetDirty() { dirty_ = true; }

    // Plain list changes (no records).
    void Add(Clip* clip);
    Position InsertBefore(Position position, Clip* clip);
    void Remove(Position position);
    // Releases every clip and notifies the subscribers.
    void RemoveAll();
    // Album pages: before the first clip whose file title sorts at or after
    // the new clip's (case-insensitive).
    void AddSorted(Clip* clip);

    // Neighbour links and positions (0, 1, 2 …).
    void Relink();
    // The latest end of any clip: the movie's duration.
    Time GetEnd();

    bool IsSameAs(const ClipList* other) const;
    bool HasSeveralTracks() const;

    // Queries; see ClipIterator for the kind and selection filters.
    Clip* GetNth(int n, bool selectedOnly = false) const;
    Clip* FindFirst(int track, int kind, int selection) const;
    Clip* FindLast(int track, int kind, int selection) const;
    Clip* FindAt(Time from, Time to, int track, int kind, int selection, bool startsInside);
    Clip* FindAt(Time time, int track = -1, int kind = 0, int selection = 0) {
        return FindAt(time, time, track, kind, selection, false);
    }
    Clip* FindByFileName(const std::string& name, int track = -1) const;
    Clip* GetFirstByStart(int selection = 0) const;
    Clip* GetFirstSelected(bool marked) const { return FindFirst(-1, 0, marked ? 3 : 2); }
    // From the first selected clip of the track along the selected clips
    // after it: the last one's end minus the first one's start.
    std::optional<Time> GetSelectedRunLength(int track, int kind) const;

    // Selection.
    void SetTrackOfAll(int32_t track);
    void SelectAt(Time time);
    void MarkSelected();
    int CountMarked() const;
    bool HasMarked() const { return CountMarked() > 0; }
    void ClearSelected(std::vector<int32_t>* indices = nullptr);
    void ClearMarked(std::vector<int32_t>* indices = nullptr);
    void SetSelected(const std::vector<int32_t>& indices);
    void SetMarked(const std::vector<int32_t>& indices);
    void GetSelectedIndices(std::vector<int32_t>& indices) const;
    void GetMarkedIndices(std::vector<int32_t>& indices) const;

    // The menus' tests.
    bool IsSingleTransition() const;
    bool IsSingleGraphic() const;
    bool IsSingleSound() const;
    bool HasSceneOrGraphic() const;

    // The table of the list, to the diagnostics log.
    void Dump() const;
    // The same table as text.
    std::string DumpText() const;

    // Clipboard: plain text (format 1) or the archived list.
    bool CopyToDataSource(Clipboard::DataSource& dataSource, uint32_t format) const;
    bool CopyToClipboard(uint32_t format, bool alsoText) const;
    // Replaces the clips with those offered on the clipboard under `format`;
    // false (logged) when there are none or they cannot be read.
    bool ReadFromClipboard(uint32_t format);
    static uint32_t MovieClipListFormat();
    static uint32_t LibraryClipListFormat();

    // The transition that overlaps `clip` at its start or end, when it
    // belongs to it.
    static Clip* TransitionBefore(const Clip* clip);
    static Clip* TransitionAfter(const Clip* clip);
    // The first and last frame at which the clip plays alone.
    static Time ClearStart(const Clip* clip);
    static Time ClearEnd(const Clip* clip);

    // Recomputes starts and durations so that each track is consistent.
    void FixTimes(ClipList* records, bool tapeMode, bool selectedOnly, bool adjustTrims);
    // Plays restore records back (in their order).
    void RestoreClips(const ClipList& records);

    // Record-keeping primitives at an iterator position.
    void RemoveClip(ClipIterator& position, ClipList* records);
    void InsertClip(ClipIterator& position, Clip* clip, ClipList* records);
    void UpdateClip(ClipIterator& position, Clip* clip, ClipList* records, Time newStart,
                    Time newEnd, Time newTrim, bool newPinned, bool atStart, Asset* newAsset);

    // Editing operations.
    void DeleteSelected(ClipList* editRecords, ClipList* fixRecords);
    void InsertClips(ClipList& source, Time offset, bool move, bool replaceSame,
                     ClipList* editRecords, ClipList* fixRecords);
    void TrimStart(Time time, Time amount, int32_t track, ClipList* editRecords,
                   ClipList* fixRecords);
    void TrimEnd(Time time, Time amount, int32_t track, ClipList* editRecords,
                 ClipList* fixRecords);
    void DoTransitionDuration(Time time, Time amount, int32_t track, ClipList* editRecords,
                              ClipList* fixRecords);
    void OverlapTrim(Time time, Time amount, int32_t track, ClipList* editRecords,
                     ClipList* fixRecords);
    void SplitClip(Time time, Time splitPoint, int32_t track, ClipList* editRecords,
                   ClipList* fixRecords);
    // The ripple trim: `edge` 0 moves the start, 1 the end.
    void Trim(Clip* clip, int edge, Time amount, ClipList* editRecords, ClipList* fixRecords);
    void CreateSelectedList(ClipList& source, bool useMarked, bool placeRelative);
    void CopySelection(ClipList& source, bool selectedOnly, bool mergeContinuations);

private:
    void AppendRecord(ClipList* records, Clip* record);
    // Keeps clips removed during one operation alive until it ends (raw
    // links may still point at them).
    void Bury(RefPtr<Clip> clip) { buried_.push_back(std::move(clip)); }
    Clip* FindNonTransitionAt(ClipIterator& it, Time time, bool byEnd);

    RefList<Clip> clips_;
    Time cachedEnd_ = 0;
    bool dirty_ = false;
    RefList<Clip> buried_;
};

} // namespace orvik
