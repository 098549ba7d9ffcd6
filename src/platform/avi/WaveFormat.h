#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// A sound format record: tag, channels, samples per second, average bytes
// per second, block align, bits per sample, then the size of the extra bytes
// and the extra bytes themselves (18 bytes + extra in a file).
struct WaveFormat {
    static constexpr uint16_t kPcm = 0x0001;
    static constexpr uint16_t kMsAdpcm = 0x0002;
    static constexpr uint16_t kFloat = 0x0003;
    static constexpr uint16_t kALaw = 0x0006;
    static constexpr uint16_t kMuLaw = 0x0007;
    static constexpr uint16_t kImaAdpcm = 0x0011;
    static constexpr uint16_t kExtensible = 0xFFFE;
    static constexpr size_t kBaseSize = 18;
    static constexpr uint16_t kMaxChannels = 64;

    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    std::vector<uint8_t> extra; // codec-specific bytes after the 18-byte record

    // Reads a format block of `size` bytes: 14 bytes at least (the bits field
    // then reads 0), the extra-bytes count only when the block holds it, and
    // never more extra bytes than the block holds. The record is checked
    // (Validate) before it is accepted.
    static bool Parse(const uint8_t* data, size_t size, WaveFormat& out,
                      std::string* error = nullptr);
    // Refuses what would break arithmetic on the format: no channels (or
    // more than 64), a sample rate, block align or byte rate of 0, and a bit
    // count of 0 for formats whose frames are counted by their bits (PCM,
    // float, mu-law, A-law and the ADPCM kinds).
    bool Validate(std::string* error = nullptr) const;

    // The tag in effect: for an extensible record, the tag of its subformat.
    uint16_t EffectiveTag() const;
    bool IsPcm() const { return EffectiveTag() == kPcm; }
    bool IsFloat() const { return EffectiveTag() == kFloat; }
    // Whole-block byte size of one frame for PCM-like formats (block align).
    uint32_t BytesPerFrame() const { return blockAlign; }
    // Frames in one block: 1 for PCM, float, mu-law and A-law; from the extra
    // bytes (or the block size) for IMA and MS ADPCM; 0 when unknown.
    uint32_t SamplesPerBlock() const;

    // The record as stored in a file: 18 bytes and the extra bytes.
    std::vector<uint8_t> Bytes() const;
    // A plain PCM record with consistent block align and byte rate.
    static WaveFormat MakePcm(uint32_t rate, uint16_t channels, uint16_t bits);
    static WaveFormat MakeFloat(uint32_t rate, uint16_t channels);

    bool operator==(const WaveFormat&) const = default;
};

} // namespace orvik
