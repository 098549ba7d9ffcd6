#pragma once

#include "model/RefObject.h"

#include <cstdint>
#include <vector>

namespace orvik {

// One piece of a clip's waveform cache: a run of pixel columns, each the
// lowest and the highest sample value of the sound the column covers.
class WrChunk : public RefObject {
    ORVIK_DECLARE_SERIAL(WrChunk)
public:
    struct Slot {
        int16_t min = 0;
        int16_t max = 0;
    };

    explicit WrChunk(int32_t count = 0);

    void Serialize(Archive& ar) override;

    int32_t GetCount() const { return static_cast<int32_t>(slots.size()); }

    std::vector<Slot> slots;
};

} // namespace orvik
