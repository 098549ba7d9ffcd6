#pragma once

#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>

namespace orvik {

// Reading and writing PCM sample shapes through one working form: signed
// 32-bit samples at full scale (8-bit unsigned, 16, 24 and 32-bit signed
// integers and 32 or 64-bit float). Narrowing drops the low bits, as the
// sound card's own converters do; float is rounded and clipped.
class PcmSamples {
public:
    // Bytes of one sample of one channel in a PCM or float format, or 0 when
    // the shape is not one of those above (or the bits do not fit).
    static uint32_t ContainerBytes(const WaveFormat& f);
    static bool IsSupported(const WaveFormat& f) { return ContainerBytes(f) != 0; }

    // `count` samples of `containerBytes` each (float when `isFloat`) to the
    // working form.
    static void Read(const uint8_t* src, size_t count, uint32_t containerBytes, bool isFloat,
                     int32_t* out);
    static void Write(const int32_t* in, size_t count, uint32_t containerBytes, bool isFloat,
                      uint8_t* dst);
    static int32_t FromFloat(double v);
};

} // namespace orvik
