#pragma once

#include "platform/archive/MemFile.h"

#include <string>

namespace orvik {

// The memory file under clipboard transfers, undo checkpoints and scene-file
// snapshots, with a path a caller may attach and a way to trim the buffer.
class XMemFile : public MemFile {
public:
    using MemFile::MemFile;

    void SetFilePath(const std::string& path) { path_ = path; }
    const std::string& GetFilePath() const { return path_; }

    // Shrinks (or grows) the buffer to exactly the file length. Throws
    // std::bad_alloc when memory runs out.
    void Compact();

private:
    std::string path_;
};

} // namespace orvik
