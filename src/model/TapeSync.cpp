#include "model/TapeSync.h"

#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(TapeSync, PersistentObject, kVersionableSchema | 3)

void TapeSync::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<uint32_t>(words.size()));
        for (uint16_t w : words)
            ar.WriteWord(w);
        ar.WriteCount(static_cast<uint32_t>(dwords.size()));
        for (uint32_t d : dwords)
            ar.WriteDword(d);
        return;
    }
    // Tapes written before the second table existed hold only the first.
    uint32_t schema = ar.GetObjectSchema();
    uint32_t n = ar.ReadCount();
    ar.RequireBytes(n, 2);
    words.resize(n);
    for (uint16_t& w : words)
        w = ar.ReadWord();
    dwords.clear();
    if (schema != 0xFFFFFFFFu && schema < 3)
        return;
    uint32_t m = ar.ReadCount();
    ar.RequireBytes(m, 4);
    dwords.resize(m);
    for (uint32_t& d : dwords)
        d = ar.ReadDword();
}

} // namespace orvik
