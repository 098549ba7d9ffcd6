#pragma once

#include "platform/archive/RuntimeClass.h"

#include <cstdint>
#include <vector>

namespace orvik {

// Synchronisation data carried with a captured tape in its scene file. The
// program keeps it with the tape and writes it back unchanged.
class TapeSync : public PersistentObject {
    ORVIK_DECLARE_SERIAL(TapeSync)
public:
    void Serialize(Archive& ar) override;

    std::vector<uint16_t> words;
    std::vector<uint32_t> dwords;
};

} // namespace orvik
