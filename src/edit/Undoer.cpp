#include "edit/Undoer.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "edit/Command.h"
#include "platform/archive/Archive.h"

#include <memory>
#include <vector>

namespace orvik {

namespace {

Undoer* theUndoer = nullptr;

// Length of the serialised command at the start of a checkpoint (its undo
// data follows), and the command itself.
std::unique_ptr<Command> ReadCommand(Checkpoint& c, uint64_t* commandLength) {
    XMemFile& f = c.GetFile();
    Archive ar(f, Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    std::unique_ptr<Command> command = Command::ReadFrom(ar);
    if (commandLength)
        *commandLength = f.GetLength() - ar.BytesLeft();
    return command;
}

} // namespace

Undoer::Undoer() { theUndoer = this; }

Undoer::~Undoer() {
    Clear();
    if (theUndoer == this)
        theUndoer = nullptr;
}

Undoer* Undoer::Instance() { return theUndoer; }

void Undoer::Changed() {
    if (changed_)
        changed_();
}

void Undoer::Clear() {
    undoList_.clear();
    redoList_.clear();
    undoBytes_ = redoBytes_ = 0;
}

void Undoer::ClearRedo() {
    redoList_.clear();
    redoBytes_ = 0;
}

void Undoer::Push(const RefPtr<Checkpoint>& checkpoint) {
    bool merged = false;
    if (!undoList_.empty()) {
        Checkpoint& newest = *undoList_.front();
        uint64_t newestCommandLength = 0;
        std::unique_ptr<Command> older = ReadCommand(newest, &newestCommandLength);
        if (older && older->CanMerge()) {
            uint64_t newCommandLength = 0;
            std::unique_ptr<Command> newer = ReadCommand(*checkpoint, &newCommandLength);
            if (newer && newer->GetRuntimeClass() == older->GetRuntimeClass() &&
                newer->MergesWith(*older)) {
                // The new command keeps the undo data of the older one, so
                // one undo returns to the state before the first of them.
                XMemFile& from = newest.GetFile();
                std::vector<uint8_t> undoData(from.Data() + newestCommandLength,
                                              from.Data() + from.GetLength());
                XMemFile& to = checkpoint->GetFile();
                to.SetLength(newCommandLength);
                to.Seek(0, MemFile::end);
                to.Write(undoData.data(), undoData.size());
                to.Compact();
                merged = true;
            }
        }
    }
    if (merged) {
        undoBytes_ -= static_cast<int64_t>(undoList_.front()->GetSize());
        undoList_.pop_front();
    }
    undoList_.push_front(checkpoint);
    undoBytes_ += static_cast<int64_t>(checkpoint->GetSize());
    while (undoBytes_ > kBudget && !undoList_.empty()) {
        undoBytes_ -= static_cast<int64_t>(undoList_.back()->GetSize());
        undoList_.pop_back();
    }
}

void Undoer::Undo() {
    if (undoList_.empty())
        return;
    RefPtr<Checkpoint> c = undoList_.front();
    undoList_.pop_front();
    undoBytes_ -= static_cast<int64_t>(c->GetSize());
    {
        Archive ar(c->GetFile(), Archive::load);
        ar.SetPurpose(Archive::ownMemory);
        std::unique_ptr<Command> command = Command::ReadFrom(ar);
        if (command) {
            try {
                command->Undo(ar);
            } catch (const ArchiveException& e) {
                LogMessage("Undoer::Undo: %s\n", e.what());
            }
        }
    }
    redoList_.push_front(c);
    redoBytes_ += static_cast<int64_t>(c->GetSize());
    Changed();
}

void Undoer::Redo() {
    if (redoList_.empty())
        return;
    RefPtr<Checkpoint> c = redoList_.front();
    redoList_.pop_front();
    redoBytes_ -= static_cast<int64_t>(c->GetSize());
    std::unique_ptr<Command> command;
    {
        Archive ar(c->GetFile(), Archive::load);
        ar.SetPurpose(Archive::ownMemory);
        command = Command::ReadFrom(ar);
    }
    if (!command) {
        Changed();
        return;
    }
    {
        // Written again from the start; the fresh undo data replaces the old.
        XMemFile& f = c->GetFile();
        Archive ar(f, Archive::store);
        ar.SetPurpose(Archive::ownMemory);
        ar.WriteObject(command.get());
        command->Redo(ar);
        ar.Close();
        // Bytes past the new end would never be read: drop them.
        f.SetLength(f.GetPosition());
    }
    c->GetFile().Compact();
    Push(c);
    Changed();
}

std::string Undoer::UndoMenuText() const {
    if (undoList_.empty())
        return ResourceText(kTextNothingToUndo) + "\tCtrl+Z";
    return ResourceText(kTextUndo) + " " + undoList_.front()->GetName() + "\tCtrl+Z";
}

std::string Undoer::RedoMenuText() const {
    if (redoList_.empty())
        return ResourceText(kTextNothingToRedo) + "\tCtrl+Y";
    return ResourceText(kTextRedo) + " " + redoList_.front()->GetName() + "\tCtrl+Y";
}

} // namespace orvik
