#pragma once

#include "edit/Command.h"
#include "edit/EditorHooks.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

class Asset;
class Clip;
class ClipList;
class Movie;

// The base of the commands that edit the movie's clip list or move about in
// it. Before a change it remembers the selections, the view positions and
// the player's state; the clip-list operation that makes the change writes
// its restore records into editRecords (the edit) and fixRecords (the
// repacking after it); at the end the command writes into its undo data only
// the parts of that state the change altered, with the records. Undo puts
// everything back, selections and view included, so that a redo acts on the
// same clips as the first run.
//
// A command that finds nothing to do writes no undo data at all; its undo
// then does nothing.
class ClipListCommand : public Command {
    ORVIK_DECLARE_SERIAL(ClipListCommand)
public:
    // What the undo data holds (changeFlags).
    enum ChangeFlags : uint32_t {
        albumSelectionSaved = 0x1,
        movieSelectionSaved = 0x2,
        fixRecordsSaved = 0x4,
        editRecordsSaved = 0x8,
        // The movie's marks where they differ from its selection (the marks
        // otherwise follow the selection on undo).
        movieMarksSaved = 0x10,
        // Records' assets that clips staying in the movie share: undo gives
        // the restored clips those very assets again.
        sharedAssetsSaved = 0x40,
        playerChanged = 0x20,
        timelineChanged = 0x80,
        wasModified = 0x100,
        pathChanged = 0x200,
        viewFirstChanged = 0x400,
        viewPageChanged = 0x800,
        albumPageChanged = 0x1000,
        albumItemChanged = 0x2000,
    };

    ClipListCommand();
    ~ClipListCommand() override;

    void Undo(Archive& undoData) override;

    // Stops the player when this command stops it and remembers the state
    // that undo gives back.
    virtual void RememberState();
    // Storing: compares the remembered state with the current one and
    // writes the undo data. Loading: reads it back into the fields.
    virtual void SaveRestoreState(Archive& ar);
    // Whether the command stops playback before it acts.
    virtual bool StopsPlayer() const { return true; }

    // Operations the commands build on.

    // Shows `time` after an edit: the selected clip playing there (or the
    // first selected clip) decides where the movie's preview item goes; with
    // `clamp` a time at a clip's edge moves to where the clip plays alone;
    // with `scroll` the movie window scrolls to the position.
    void ShowAt(Time time, bool clamp, bool scroll);
    // Inserts `list` into the movie at `time` on `track` (−1: the clips'
    // own tracks); with `move` the selected clips of the movie are the
    // originals and leave their places.
    void InsertList(ClipList& list, Time time, int32_t track, bool move);
    // Inserts one new clip at its own start, selected and marked.
    void InsertClip(Clip* clip, bool show);
    // Puts `newClip` (a clone of `oldClip` with one property changed) in the
    // place of `oldClip`.
    void ReplaceClip(Clip* oldClip, Clip* newClip);
    // Selects the transitions before and after every selected clip, so that
    // a clip never leaves its transitions behind.
    void ExtendSelection();
    // Puts the clips of `list` on the tracks that take them.
    void AssignTracks(ClipList& list, int32_t track);
    // Shows `time` in the album's preview item.
    void AlbumShowAt(Time time);

    // Whether `track` takes clips of `asset` (a track view may still refuse
    // a place on it).
    static bool TrackAccepts(int32_t track, const Asset* asset);
    // The movie being edited (may be null in a tool without a document).
    static Movie* GetMovie();
    // The movie's clip list, or null.
    static ClipList* GetMovieList();

    // The state remembered before the change.
    uint32_t changeFlags = 0;
    PlayerSnapshot playerState;
    double viewStart = 0;
    double viewSpan = 0;
    int32_t albumPage = 0;
    int32_t albumItem = 0;
    int32_t viewFirst = 0;
    int32_t viewPage = 0;
    bool modified = false;
    std::string moviePath;
    std::vector<int32_t> albumSelection;
    std::vector<int32_t> movieSelection;
    std::vector<int32_t> movieMarks;
    RefPtr<ClipList> editRecords;
    RefPtr<ClipList> fixRecords;

protected:
    // The two halves of Undo after the undo data is read: the clips and the
    // movie's selection (records played back, repacked, selection and marks
    // set), then the album's selection, the views, the player, the modified
    // flag and the path, with the redraws.
    void RestoreClipsAndSelection();
    void RestoreViews();

    // Selects the clip under the position where RememberState stopped the
    // player (the album or a tool takes the position when they played).
    void ShowAfterStop();

    // Set by RememberState when it stopped the player (not saved).
    bool stoppedPlayer_ = false;
    PlayingItem stoppedItem_ = PlayingItem::none;
    Time stopPosition_ = 0;

private:
    void WriteSharedAssets(Archive& ar);
    void ReadSharedAssets(Archive& ar);
    void ApplySharedAssets();

    // Read by Undo: (records list 0 fix / 1 edit, record index, movie list
    // position of a clip that shares the record's asset).
    struct SharedAsset {
        int32_t list;
        int32_t record;
        int32_t position;
    };
    std::vector<SharedAsset> sharedAssets_;
};

// Writes and reads a list of 32-bit values as the class library's arrays do:
// a count, then the values.
void WriteIndexArray(Archive& ar, const std::vector<int32_t>& values);
std::vector<int32_t> ReadIndexArray(Archive& ar);

} // namespace orvik
