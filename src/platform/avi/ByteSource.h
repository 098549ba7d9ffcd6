#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// Random-access bytes of a media file: a file on disk (read with pread, so
// one open source may serve several readers) or a block in memory (fuzzing,
// tests). Reads never go past the end; a short read is a failure.
class ByteSource {
public:
    ByteSource() = default;
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    // Opens `path` for reading; false with the system's reason in `error`.
    bool OpenFile(const std::string& path, std::string* error = nullptr);
    // Reads from a copy of `size` bytes at `data`.
    void OpenMemory(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return fd_ >= 0 || memory_; }

    uint64_t Size() const { return size_; }
    const std::string& Path() const { return path_; }

    // Reads exactly `count` bytes at `offset`; false when any byte lies past
    // the end or the system read fails.
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const;
    // Reads up to `count` bytes at `offset`; returns how many were read.
    size_t ReadSomeAt(uint64_t offset, void* buffer, size_t count) const;

private:
    int fd_ = -1;
    bool memory_ = false;
    std::vector<uint8_t> bytes_;
    uint64_t size_ = 0;
    std::string path_;
};

} // namespace orvik
