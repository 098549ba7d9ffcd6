#include "platform/acm/PcmSamples.h"

#include <cmath>
#include <cstring>

namespace orvik {

uint32_t PcmSamples::ContainerBytes(const WaveFormat& f) {
    if (f.channels == 0 || f.blockAlign % f.channels != 0)
        return 0;
    uint32_t bytes = f.blockAlign / f.channels;
    if (f.IsFloat())
        return (bytes == 4 || bytes == 8) && f.bitsPerSample == bytes * 8 ? bytes : 0;
    if (!f.IsPcm() || bytes < 1 || bytes > 4 || f.bitsPerSample == 0 || f.bitsPerSample > bytes * 8)
        return 0;
    return bytes;
}

int32_t PcmSamples::FromFloat(double v) {
    double scaled = std::nearbyint(v * 2147483648.0);
    if (scaled >= 2147483647.0)
        return INT32_MAX;
    if (scaled <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(scaled);
}

void PcmSamples::Read(const uint8_t* src, size_t count, uint32_t containerBytes, bool isFloat,
                      int32_t* out) {
    if (isFloat) {
        for (size_t i = 0; i < count; ++i) {
            if (containerBytes == 4) {
                float f;
                std::memcpy(&f, src + i * 4, 4);
                out[i] = FromFloat(std::isfinite(f) ? f : 0.0f);
            } else {
                double d;
                std::memcpy(&d, src + i * 8, 8);
                out[i] = FromFloat(std::isfinite(d) ? d : 0.0);
            }
        }
        return;
    }
    switch (containerBytes) {
    case 1:
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(src[i] ^ 0x80) << 24);
        break;
    case 2:
        for (size_t i = 0; i < count; ++i)
            out[i] =
                static_cast<int32_t>(static_cast<uint32_t>(src[2 * i] | src[2 * i + 1] << 8) << 16);
        break;
    case 3:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = src + 3 * i;
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16) |
                                          static_cast<uint32_t>(p[2]) << 24);
        }
        break;
    default:
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = src + 4 * i;
            out[i] = static_cast<int32_t>(static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) |
                                          static_cast<uint32_t>(p[3]) << 24);
        }
        break;
    }
}

void PcmSamples::Write(const int32_t* in, size_t count, uint32_t containerBytes, bool isFloat,
                       uint8_t* dst) {
    if (isFloat) {
        for (size_t i = 0; i < count; ++i) {
            if (containerBytes == 4) {
                float f = static_cast<float>(in[i] / 2147483648.0);
                std::memcpy(dst + i * 4, &f, 4);
            } else {
                double d = in[i] / 2147483648.0;
                std::memcpy(dst + i * 8, &d, 8);
            }
        }
        return;
    }
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = static_cast<uint32_t>(in[i]);
        uint8_t* p = dst + i * containerBytes;
        switch (containerBytes) {
        case 1:
            p[0] = static_cast<uint8_t>((v >> 24) ^ 0x80);
            break;
        case 2:
            p[0] = static_cast<uint8_t>(v >> 16);
            p[1] = static_cast<uint8_t>(v >> 24);
            break;
        case 3:
            p[0] = static_cast<uint8_t>(v >> 8);
            p[1] = static_cast<uint8_t>(v >> 16);
            p[2] = static_cast<uint8_t>(v >> 24);
            break;
        default:
            p[0] = static_cast<uint8_t>(v);
            p[1] = static_cast<uint8_t>(v >> 8);
            p[2] = static_cast<uint8_t>(v >> 16);
            p[3] = static_cast<uint8_t>(v >> 24);
            break;
        }
    }
}

} // namespace orvik
