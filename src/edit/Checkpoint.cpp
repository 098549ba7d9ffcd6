#include "edit/Checkpoint.h"

#include "edit/Command.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Checkpoint, RefObject, kVersionableSchema | 1)

Checkpoint::Checkpoint() : file_(1024) {}

XMemFile& Checkpoint::GetFile() {
    file_.SeekToBegin();
    return file_;
}

std::string Checkpoint::GetName() {
    Archive ar(GetFile(), Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    std::unique_ptr<Command> command = Command::ReadFrom(ar);
    return command ? command->GetName() : std::string();
}

const RuntimeClass* Checkpoint::GetCommandClass() {
    Archive ar(GetFile(), Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    std::unique_ptr<Command> command = Command::ReadFrom(ar);
    return command ? command->GetRuntimeClass() : nullptr;
}

} // namespace orvik
