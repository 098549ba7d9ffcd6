#pragma once

#include "platform/avi/ByteSource.h"
#include "platform/avi/RiffChunk.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// Buffered-free RIFF input: walks the chunks of a file or of a list, with the
// pad byte after odd-sized chunks, and reads chunk data. A chunk whose size
// passes the end of its parent (a truncated capture, a streamed file with an
// unknown size) is reported with `overruns` set and only its bytes inside the
// parent available; what to make of that is the caller's decision.
class RiffFile {
public:
    static constexpr uint32_t kRiff = 0x46464952; // "RIFF"
    static constexpr uint32_t kList = 0x5453494C; // "LIST"

    bool Open(const std::string& path, std::string* error = nullptr);
    void OpenMemory(const void* data, size_t size);
    void Close() { source_.Close(); }
    bool IsOpen() const { return source_.IsOpen(); }

    const ByteSource& Source() const { return source_; }
    uint64_t Size() const { return source_.Size(); }

    // The chunks at the top of the file ("RIFF" forms, trailing junk chunks).
    std::vector<RiffChunk> TopChunks() const { return Walk(0, source_.Size()); }
    // The chunks of a "RIFF" or "LIST" chunk.
    std::vector<RiffChunk> Children(const RiffChunk& list) const;
    // The chunks between two file offsets.
    std::vector<RiffChunk> Walk(uint64_t begin, uint64_t end) const;
    // Reads the chunk header at `offset` (within `end`); false when fewer
    // than 8 bytes are there.
    bool ReadChunkAt(uint64_t offset, uint64_t end, RiffChunk& chunk) const;

    // Reads at most `maxBytes` of the chunk's available data.
    bool ReadData(const RiffChunk& chunk, std::vector<uint8_t>& out,
                  uint64_t maxBytes = UINT32_MAX) const;
    bool ReadAt(uint64_t offset, void* buffer, size_t count) const {
        return source_.ReadAt(offset, buffer, count);
    }

    // The first chunk with `id` (and `form`, when not 0) in `chunks`, or null.
    static const RiffChunk* Find(const std::vector<RiffChunk>& chunks, uint32_t id,
                                 uint32_t form = 0);

private:
    ByteSource source_;
};

} // namespace orvik
