// Reads arbitrary bytes as a WAVE file: chunk walk, format, fact and data.
#include "platform/avi/WaveReader.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    WaveReader wave;
    if (!wave.OpenMemory(data, size))
        return 0;
    const WaveFormat& f = wave.Format();
    f.SamplesPerBlock();
    f.EffectiveTag();
    WaveFormat copy;
    std::vector<uint8_t> bytes = f.Bytes();
    WaveFormat::Parse(bytes.data(), bytes.size(), copy);
    std::vector<uint8_t> buffer(4096);
    for (uint64_t at = 0; at < wave.DataSize() && at < (1u << 16); at += 3000)
        wave.ReadData(at, buffer.data(), buffer.size());
    wave.ReadData(wave.DataSize() - 1, buffer.data(), buffer.size());
    return 0;
}
