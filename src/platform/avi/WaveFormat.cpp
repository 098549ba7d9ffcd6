#include "platform/avi/WaveFormat.h"

#include "platform/avi/LittleEndian.h"

#include <algorithm>

namespace orvik {

namespace {

// The standard subformat GUIDs end with these 12 bytes; their first two bytes
// are the tag of the plain format.
const uint8_t kGuidTail[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                               0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool CountsBits(uint16_t tag) {
    switch (tag) {
    case WaveFormat::kPcm:
    case WaveFormat::kFloat:
    case WaveFormat::kALaw:
    case WaveFormat::kMuLaw:
    case WaveFormat::kMsAdpcm:
    case WaveFormat::kImaAdpcm:
        return true;
    default:
        return false;
    }
}

} // namespace

bool WaveFormat::Parse(const uint8_t* data, size_t size, WaveFormat& out, std::string* error) {
    if (!data || size < 14) {
        if (error)
            *error = "sound format shorter than 14 bytes";
        return false;
    }
    WaveFormat f;
    f.tag = GetLE16(data);
    f.channels = GetLE16(data + 2);
    f.samplesPerSec = GetLE32(data + 4);
    f.avgBytesPerSec = GetLE32(data + 8);
    f.blockAlign = GetLE16(data + 12);
    if (size >= 16)
        f.bitsPerSample = GetLE16(data + 14);
    if (size >= kBaseSize) {
        size_t extra = std::min<size_t>(GetLE16(data + 16), size - kBaseSize);
        f.extra.assign(data + kBaseSize, data + kBaseSize + extra);
    }
    if (!f.Validate(error))
        return false;
    out = std::move(f);
    return true;
}

bool WaveFormat::Validate(std::string* error) const {
    const char* why = nullptr;
    if (channels == 0 || channels > kMaxChannels)
        why = "sound format channel count out of range";
    else if (samplesPerSec == 0)
        why = "sound format sample rate is 0";
    else if (blockAlign == 0)
        why = "sound format block align is 0";
    else if (avgBytesPerSec == 0)
        why = "sound format byte rate is 0";
    else if (bitsPerSample == 0 && CountsBits(EffectiveTag()))
        why = "sound format bit count is 0";
    else if (tag == kExtensible && extra.size() < 22)
        why = "extensible sound format without its subformat";
    if (why && error)
        *error = why;
    return !why;
}

uint16_t WaveFormat::EffectiveTag() const {
    if (tag != kExtensible || extra.size() < 22)
        return tag;
    const uint8_t* guid = extra.data() + 6;
    if (!std::equal(kGuidTail, kGuidTail + 12, guid + 4))
        return tag;
    if (guid[2] != 0 || guid[3] != 0)
        return tag;
    return GetLE16(guid);
}

uint32_t WaveFormat::SamplesPerBlock() const {
    switch (EffectiveTag()) {
    case kPcm:
    case kFloat:
    case kALaw:
    case kMuLaw:
        return 1;
    case kImaAdpcm: {
        // 4 header bytes per channel, then 4 bits per sample; the header
        // holds the first sample.
        if (blockAlign < 4u * channels)
            return 0;
        uint32_t computed = (blockAlign - 4u * channels) * 8u / (4u * channels) + 1;
        if (extra.size() >= 2 && GetLE16(extra.data()) != 0)
            return std::min<uint32_t>(GetLE16(extra.data()), computed);
        return computed;
    }
    case kMsAdpcm: {
        // 7 header bytes per channel holding two samples, then 4 bits each.
        if (blockAlign < 7u * channels)
            return 0;
        uint32_t computed = (blockAlign - 7u * channels) * 2u / channels + 2;
        if (extra.size() >= 2 && GetLE16(extra.data()) != 0)
            return std::min<uint32_t>(GetLE16(extra.data()), computed);
        return computed;
    }
    default:
        return 0;
    }
}

std::vector<uint8_t> WaveFormat::Bytes() const {
    size_t extraSize = std::min<size_t>(extra.size(), 0xFFFF);
    std::vector<uint8_t> b(kBaseSize + extraSize);
    PutLE16(&b[0], tag);
    PutLE16(&b[2], channels);
    PutLE32(&b[4], samplesPerSec);
    PutLE32(&b[8], avgBytesPerSec);
    PutLE16(&b[12], blockAlign);
    PutLE16(&b[14], bitsPerSample);
    PutLE16(&b[16], static_cast<uint16_t>(extraSize));
    std::copy(extra.begin(), extra.begin() + static_cast<ptrdiff_t>(extraSize), b.begin() + 18);
    return b;
}

WaveFormat WaveFormat::MakePcm(uint32_t rate, uint16_t channels, uint16_t bits) {
    WaveFormat f;
    f.tag = kPcm;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    f.blockAlign = static_cast<uint16_t>(channels * ((bits + 7) / 8));
    f.avgBytesPerSec = rate * f.blockAlign;
    return f;
}

WaveFormat WaveFormat::MakeFloat(uint32_t rate, uint16_t channels) {
    WaveFormat f = MakePcm(rate, channels, 32);
    f.tag = kFloat;
    return f;
}

} // namespace orvik
