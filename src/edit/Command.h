#pragma once

#include "platform/archive/RuntimeClass.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace orvik {

class Archive;

// A change the user makes (or a step of navigation), as an object. Executing
// it writes a checkpoint: the command itself, serialised, followed by the
// undo data it writes while it acts. Undo recreates the command from the
// checkpoint by class name and lets it undo from that data, so everything a
// command needs to be redone must be among the fields its Serialize writes.
//
// Commands are short-lived: built, executed and destroyed by the user
// interface on its own thread.
class Command : public PersistentObject {
    ORVIK_DECLARE_SERIAL(Command)
public:
    Command() = default;
    ~Command() override = default;

    // Runs the command; with `record` the change enters the undo history,
    // without it the change is made and forgotten.
    void Execute(bool record = true);

    virtual std::string GetName() const;
    virtual uint32_t GetNameId() const { return 0; }
    virtual bool CanMerge() const { return false; }
    // Asked of a merging command before its checkpoint takes over the undo
    // data of `older`, the newest entry, which is of the same class.
    virtual bool MergesWith(const Command& /*older*/) const { return true; }
    virtual bool CanExecute() const { return true; }
    // `undoData` stores after the serialised command (Do, Redo) or loads from
    // there (Undo).
    virtual void Do(Archive& undoData);
    virtual void Undo(Archive& undoData);
    virtual void Redo(Archive& undoData) { Do(undoData); }
    // Called by Execute before the command is written into its checkpoint:
    // a command whose parameters come from outside (the clipboard) takes
    // them here, so that the checkpoint holds them and a redo uses them
    // again.
    virtual void Prepare() {}

    // The name made from a class name: "AlbumOpenCommand" gives "Album Open".
    static std::string DerivedName(const std::string& className);

    // Reads a command object from a checkpoint's stream; null (and a log line)
    // when the stream holds none.
    static std::unique_ptr<Command> ReadFrom(Archive& ar);

    // Called first by Execute so the focused window can give up the keyboard
    // focus (the desktop application installs it).
    static void SetFocusHook(std::function<void()> hook);
};

} // namespace orvik
