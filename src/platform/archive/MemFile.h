#pragma once

#include "platform/archive/ArchiveStream.h"

#include <cstdint>
#include <vector>

namespace orvik {

// A growable file in memory: the stream under clipboard transfers, undo
// checkpoints and scene-file snapshots.
class MemFile : public ArchiveStream {
public:
    explicit MemFile(size_t growBytes = 1024);
    // Reads from (a copy of) existing bytes.
    MemFile(const void* data, size_t size);
    ~MemFile() override;
    MemFile(const MemFile&) = delete;
    MemFile& operator=(const MemFile&) = delete;

    size_t Read(void* buffer, size_t count) override;
    void Write(const void* buffer, size_t count) override;
    uint64_t GetPosition() const override { return position_; }
    uint64_t GetLength() const override { return fileSize_; }

    enum SeekFrom { begin, current, end };
    // Returns the new position; a position before the start is refused (-1).
    int64_t Seek(int64_t offset, SeekFrom from);
    void SeekToBegin() { position_ = 0; }
    void SetLength(size_t length);

    const uint8_t* Data() const { return buffer_; }
    size_t BufferSize() const { return bufferSize_; }
    std::vector<uint8_t> Bytes() const { return {buffer_, buffer_ + fileSize_}; }

protected:
    // The allocation hooks a subclass may use to manage the buffer.
    virtual uint8_t* Alloc(size_t bytes);
    virtual uint8_t* Realloc(uint8_t* block, size_t bytes);
    virtual void Free(uint8_t* block);
    void GrowFile(size_t newLength);

    uint8_t* buffer_ = nullptr;
    size_t bufferSize_ = 0;
    size_t fileSize_ = 0;
    size_t position_ = 0;
    size_t growBytes_;
};

} // namespace orvik
