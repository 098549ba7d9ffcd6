#pragma once

#include "edit/ClipListCommand.h"
#include "model/RefPtr.h"
#include "model/Time.h"

#include <cstdint>
#include <string>

namespace orvik {

class ClipList;

// The clip editing commands that delete, move, copy, insert and paste clips,
// and those that change one property of a clip. Each acts on the movie's
// current selection (or on its own fields) and is undone by ClipListCommand.

// Deletes the selected clips with their transitions.
class DeleteClipsCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(DeleteClipsCommand)
public:
    uint32_t GetNameId() const override { return 50140; }
    void Do(Archive& undoData) override;
};

// Puts the selected clips on the clipboard and deletes them.
class CutClipsCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(CutClipsCommand)
public:
    uint32_t GetNameId() const override { return 50141; }
    void Do(Archive& undoData) override;
};

// Moves the selected clips to `time` on `track` (−1: their own tracks).
class MoveSelectedClipsCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MoveSelectedClipsCommand)
public:
    MoveSelectedClipsCommand() = default;
    MoveSelectedClipsCommand(Time time, int32_t track) : time(time), track(track) {}
    uint32_t GetNameId() const override { return 50142; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    Time time = 0;
    int32_t track = -1;
};

// Inserts a copy of the selected clips at `time` on `track`.
class CopySelectedClipsCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(CopySelectedClipsCommand)
public:
    CopySelectedClipsCommand() = default;
    CopySelectedClipsCommand(Time time, int32_t track) : time(time), track(track) {}
    uint32_t GetNameId() const override { return 50143; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    Time time = 0;
    int32_t track = -1;
};

// Inserts the clips of `clipList` (from the album, a tool or the clipboard)
// at `time` on `track` (−1: each clip on a track that takes it).
class InsertClipsCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(InsertClipsCommand)
public:
    InsertClipsCommand();
    InsertClipsCommand(ClipList* list, Time time, int32_t track);
    ~InsertClipsCommand() override;

    uint32_t GetNameId() const override { return 50144; }
    // Whether the movie takes the first clip at `time` on `track`; the
    // reason for a refusal goes to the hint line.
    bool CanExecute() const override;
    // Pictures get their private working copies before the command enters
    // its checkpoint, so that a redo places the same files again.
    void Prepare() override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    RefPtr<ClipList> clipList;
    Time time = 0;
    int32_t track = -1;
};

// Pastes the clips the clipboard holds in the movie's clip-list format. The
// clips are taken when the command is first executed and kept in it, so a
// redo pastes the same clips whatever the clipboard holds by then.
class PasteClipsCommand : public InsertClipsCommand {
    ORVIK_DECLARE_SERIAL(PasteClipsCommand)
public:
    PasteClipsCommand() = default;
    PasteClipsCommand(Time time, int32_t track) : InsertClipsCommand(nullptr, time, track) {}
    uint32_t GetNameId() const override { return 50145; }
    bool CanExecute() const override;
    void Prepare() override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

protected:
    // The clipboard format read and the class name its log line begins with.
    virtual uint32_t Format() const;
    virtual const char* LogName() const { return "PasteClipsCommand"; }
    // Reads the clipboard into clipList (an empty list when it holds none).
    void TakeClipboard();

    bool taken_ = false; // clipList holds what is to be pasted
};

// Pastes album clips (the album's clip-list format).
class PasteAlbumClipsCommand : public PasteClipsCommand {
    ORVIK_DECLARE_SERIAL(PasteAlbumClipsCommand)
public:
    PasteAlbumClipsCommand() = default;
    PasteAlbumClipsCommand(Time time, int32_t track) : PasteClipsCommand(time, track) {}
    uint32_t GetNameId() const override { return 50146; }

protected:
    uint32_t Format() const override;
    const char* LogName() const override { return "PasteAlbumClipsCommand"; }
};

// Reverses (direction 1) or restores (0) the selected transition playing at
// the movie's position.
class ReverseTransitionCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(ReverseTransitionCommand)
public:
    ReverseTransitionCommand() = default;
    explicit ReverseTransitionCommand(int32_t direction) : direction(direction) {}
    uint32_t GetNameId() const override { return 50155; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    int32_t direction = 0;
};

// Gives the first selected clip a comment (its label in the views).
class CommentClipCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(CommentClipCommand)
public:
    CommentClipCommand() = default;
    explicit CommentClipCommand(const std::string& comment) : comment(comment) {}
    uint32_t GetNameId() const override { return 50156; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    std::string comment;
};

// Places a frame the frame grabber saved as a picture file.
class InsertGrabbedFrameCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(InsertGrabbedFrameCommand)
public:
    InsertGrabbedFrameCommand() = default;
    InsertGrabbedFrameCommand(const std::string& path, Time start, Time duration, int32_t track)
        : path(path), start(start), duration(duration), track(track) {}
    uint32_t GetNameId() const override { return 50157; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    std::string path;
    Time start = 0;
    Time duration = 0;
    int32_t track = 1;
};

} // namespace orvik
