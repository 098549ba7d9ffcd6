#pragma once

#include <cstdint>
#include <cstring>

namespace orvik {

// Little-endian field access in byte buffers; callers check the bounds.
inline uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t GetLE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetLE32(p)) | static_cast<uint64_t>(GetLE32(p + 4)) << 32;
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace orvik
