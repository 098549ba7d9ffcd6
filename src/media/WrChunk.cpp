#include "media/WrChunk.h"

#include "platform/archive/Archive.h"
#include "platform/archive/ArchiveException.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(WrChunk, RefObject, 1)

WrChunk::WrChunk(int32_t count) : slots(count > 0 ? static_cast<size_t>(count) : 0) {}

void WrChunk::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteInt32(GetCount());
        for (const Slot& s : slots) {
            ar.WriteWord(static_cast<uint16_t>(s.min));
            ar.WriteWord(static_cast<uint16_t>(s.max));
        }
        return;
    }
    int32_t count = ar.ReadInt32();
    if (count < 0)
        throw ArchiveException(ArchiveException::generic, "WrChunk: negative count");
    ar.RequireBytes(static_cast<uint64_t>(count), 4);
    std::vector<Slot> read(static_cast<size_t>(count));
    for (Slot& s : read) {
        s.min = static_cast<int16_t>(ar.ReadWord());
        s.max = static_cast<int16_t>(ar.ReadWord());
    }
    slots = std::move(read);
}

} // namespace orvik
