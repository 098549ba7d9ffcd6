#pragma once

#include "model/RefObject.h"
#include "model/XMemFile.h"

#include <string>

namespace orvik {

// One entry of the undo history: a memory file holding a serialised command
// followed by the undo data it wrote.
class Checkpoint : public RefObject {
    ORVIK_DECLARE_SERIAL(Checkpoint)
public:
    Checkpoint();

    // The file, positioned at its start.
    XMemFile& GetFile();
    // Bytes counted against the history's budget.
    size_t GetSize() const { return file_.GetLength() + label_.size() + 20; }

    // The name of the command held (read into a temporary instance).
    std::string GetName();
    // The class of the command held, or null.
    const RuntimeClass* GetCommandClass();

    std::string label_;

private:
    XMemFile file_;
};

} // namespace orvik
