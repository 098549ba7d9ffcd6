#pragma once

#include "platform/archive/ArchiveStream.h"

#include <cstdint>
#include <string>

namespace orvik {

// A file on disk as an archive stream. Write and read errors throw
// FileException with the path and the system's error text.
class File : public ArchiveStream {
public:
    enum OpenMode { readOnly, createWrite, readWrite };

    File() = default;
    ~File() override;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Opens `path`; on failure returns false and `error` (if given) receives
    // the system's reason.
    bool Open(const std::string& path, OpenMode mode, std::string* error = nullptr);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t GetPosition() const override;
    uint64_t GetLength() const override;
    void Seek(uint64_t position);
    // Makes the written bytes durable.
    void Sync();

    // Whole-file helpers; false with `error` on failure.
    static bool ReadAll(const std::string& path, std::string& out, std::string* error = nullptr);

protected:
    int fd_ = -1;
    std::string path_;
};

// Writes a file beside its final place and renames it over the old one only
// when the whole content is written, so a failed save never destroys the
// previous good file. Without Commit the new file is removed.
class SafeFile : public File {
public:
    SafeFile() = default;
    ~SafeFile() override;

    bool Open(const std::string& finalPath, std::string* error = nullptr);
    // Syncs, closes and renames onto the final path.
    bool Commit(std::string* error = nullptr);
    void Abort();

    static bool WriteAll(const std::string& path, const std::string& content,
                         std::string* error = nullptr);

private:
    std::string finalPath_;
};

} // namespace orvik
