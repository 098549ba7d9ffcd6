#include "platform/avi/RiffFile.h"

#include "platform/avi/LittleEndian.h"

#include <algorithm>

namespace orvik {

bool RiffChunk::IsList() const {
    return id == RiffFile::kRiff || id == RiffFile::kList;
}

bool RiffFile::Open(const std::string& path, std::string* error) {
    return source_.OpenFile(path, error);
}

void RiffFile::OpenMemory(const void* data, size_t size) {
    source_.OpenMemory(data, size);
}

bool RiffFile::ReadChunkAt(uint64_t offset, uint64_t end, RiffChunk& chunk) const {
    end = std::min(end, source_.Size());
    if (offset > end || end - offset < 8)
        return false;
    uint8_t header[12];
    size_t want = end - offset >= 12 ? 12 : 8;
    if (!source_.ReadAt(offset, header, want))
        return false;
    chunk = RiffChunk{};
    chunk.id = GetLE32(header);
    chunk.size = GetLE32(header + 4);
    chunk.offset = offset;
    chunk.dataOffset = offset + 8;
    uint64_t room = end - chunk.dataOffset;
    chunk.available = std::min<uint64_t>(chunk.size, room);
    chunk.overruns = chunk.size > room;
    if (chunk.IsList() && chunk.available >= 4 && want == 12)
        chunk.form = GetLE32(header + 8);
    return true;
}

std::vector<RiffChunk> RiffFile::Walk(uint64_t begin, uint64_t end) const {
    std::vector<RiffChunk> chunks;
    end = std::min(end, source_.Size());
    uint64_t pos = begin;
    RiffChunk chunk;
    while (ReadChunkAt(pos, end, chunk)) {
        chunks.push_back(chunk);
        if (chunk.overruns)
            break;
        pos = chunk.End();
    }
    return chunks;
}

std::vector<RiffChunk> RiffFile::Children(const RiffChunk& list) const {
    if (!list.IsList() || list.available < 4)
        return {};
    return Walk(list.ListBegin(), list.ListEnd());
}

bool RiffFile::ReadData(const RiffChunk& chunk, std::vector<uint8_t>& out,
                        uint64_t maxBytes) const {
    uint64_t n = std::min(chunk.available, maxBytes);
    out.resize(static_cast<size_t>(n));
    return source_.ReadAt(chunk.dataOffset, out.data(), out.size());
}

const RiffChunk* RiffFile::Find(const std::vector<RiffChunk>& chunks, uint32_t id, uint32_t form) {
    for (const RiffChunk& c : chunks)
        if (c.id == id && (form == 0 || c.form == form))
            return &c;
    return nullptr;
}

} // namespace orvik
