#pragma once

#include <cstdint>

namespace orvik {

// One chunk of a RIFF file as found by a walk. Offsets are 64-bit and every
// end is computed in 64 bits, so a 32-bit size near 4 GiB cannot wrap.
struct RiffChunk {
    uint32_t id = 0;         // chunk identifier ("RIFF", "LIST", "fmt ", "00dc", ...)
    uint32_t form = 0;       // form or list type of "RIFF" and "LIST" chunks, else 0
    uint64_t offset = 0;     // file offset of the 8-byte chunk header
    uint64_t dataOffset = 0; // file offset of the data (for lists: of the form type)
    uint32_t size = 0;       // size the header declares
    uint64_t available = 0;  // bytes of data actually inside the parent (<= size)
    bool overruns = false;   // the declared size passes the end of the parent

    bool IsList() const;
    // End of the chunk including its pad byte (may lie past the parent when
    // the chunk overruns).
    uint64_t End() const { return dataOffset + size + (size & 1u); }
    // Where the children of a list start and end (within the available bytes).
    uint64_t ListBegin() const { return dataOffset + 4; }
    uint64_t ListEnd() const { return dataOffset + available; }
};

} // namespace orvik
