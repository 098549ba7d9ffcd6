#pragma once

#include <cstddef>
#include <cstdint>

namespace orvik {

// A byte stream an archive reads or writes: a file or a memory file.
class ArchiveStream {
public:
    virtual ~ArchiveStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual size_t Read(void* buffer, size_t count) = 0;
    // Writes all `count` bytes or throws FileException.
    virtual void Write(const void* buffer, size_t count) = 0;
    virtual uint64_t GetPosition() const = 0;
    virtual uint64_t GetLength() const = 0;
    virtual void Flush() {}
};

} // namespace orvik
