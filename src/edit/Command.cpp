#include "edit/Command.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "edit/Checkpoint.h"
#include "edit/Undoer.h"
#include "model/RefPtr.h"
#include "platform/archive/Archive.h"

#include <cctype>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Command, PersistentObject, kVersionableSchema | 1)

namespace {
std::function<void()> focusHook;
}

void Command::SetFocusHook(std::function<void()> hook) {
    focusHook = std::move(hook);
}

void Command::Do(Archive&) {}
void Command::Undo(Archive&) {}

void Command::Execute(bool record) {
    if (focusHook)
        focusHook();
    Prepare();
    RefPtr<Checkpoint> checkpoint = new Checkpoint;
    {
        Archive ar(checkpoint->GetFile(), Archive::store);
        ar.SetPurpose(Archive::ownMemory);
        ar.WriteObject(this);
        Do(ar);
        ar.Close();
    }
    Undoer* undoer = Undoer::Instance();
    if (record && undoer) {
        checkpoint->GetFile().Compact();
        undoer->Push(checkpoint);
        undoer->ClearRedo();
    }
    if (undoer)
        undoer->Changed();
}

std::string Command::DerivedName(const std::string& className) {
    std::string base = className.substr(0, className.find("Command"));
    std::string name;
    for (size_t i = 0; i < base.size(); ++i) {
        if (i > 0 && isupper(static_cast<unsigned char>(base[i])))
            name += ' ';
        name += base[i];
    }
    return name;
}

std::string Command::GetName() const {
    if (uint32_t id = GetNameId())
        return ResourceText(id);
    std::string name = DerivedName(GetRuntimeClass()->className);
    if (!name.empty())
        LogMessage("%s: using default name\n", name.c_str());
    return name;
}

std::unique_ptr<Command> Command::ReadFrom(Archive& ar) {
    try {
        return std::unique_ptr<Command>(ar.ReadObjectOf<Command>());
    } catch (const ArchiveException& e) {
        LogMessage("Command: cannot read a checkpoint: %s\n", e.what());
        return nullptr;
    }
}

} // namespace orvik
