#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// Buffered RIFF output to a file: chunks and lists appended with their sizes
// filled in when they end, the pad byte after odd-sized chunks, and patches
// of bytes already written (headers completed when a file is closed).
//
// The first failing write is kept: every later operation does nothing, and
// Close reports it. The file is not removed; that is the caller's decision.
// Not thread-safe.
class RiffWriter {
public:
    static constexpr size_t kBufferBytes = 1u << 20;

    RiffWriter() = default;
    ~RiffWriter();
    RiffWriter(const RiffWriter&) = delete;
    RiffWriter& operator=(const RiffWriter&) = delete;

    // Creates (or empties) `path` for writing; false with the system's reason
    // in Error().
    bool Open(const std::string& path);
    // Writes what is buffered and closes; false when any write failed (the
    // reason stays in Error()).
    bool Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool Failed() const { return failed_; }
    const std::string& Error() const { return error_; }
    const std::string& Path() const { return path_; }

    // Offset at which the next appended byte lands.
    uint64_t Position() const { return position_; }

    void Write(const void* data, size_t size);
    void WriteZeros(size_t size);
    void WriteLE16(uint16_t v);
    void WriteLE32(uint32_t v);
    void WriteLE64(uint64_t v);

    // A chunk header with its size left open; returns the header's offset
    // for EndChunk.
    uint64_t BeginChunk(uint32_t id);
    // A "RIFF" or "LIST" header with its form type.
    uint64_t BeginList(uint32_t id, uint32_t form);
    // Fills in the size of the chunk begun at `headerOffset` (everything
    // appended since) and adds the pad byte of an odd size.
    void EndChunk(uint64_t headerOffset);
    // A whole chunk: header, `size` bytes of `data` and the pad byte. Large
    // chunks go to the file without passing through the buffer.
    void WriteChunk(uint32_t id, const void* data, size_t size);

    // Overwrites bytes already appended (or still buffered).
    void Patch(uint64_t offset, const void* data, size_t size);
    void PatchLE32(uint64_t offset, uint32_t v);

    // Makes a failure of the caller's own (a limit passed, a bad argument)
    // the writer's failure, so that Close reports it.
    void Fail(const std::string& reason);

private:
    bool Flush();
    bool WriteAll(const void* data, size_t size);
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    void FailWithErrno(const char* what);

    int fd_ = -1;
    std::string path_;
    std::vector<uint8_t> buffer_;
    uint64_t bufferStart_ = 0; // file offset of buffer_[0]
    uint64_t position_ = 0;
    bool failed_ = false;
    std::string error_;
};

} // namespace orvik
