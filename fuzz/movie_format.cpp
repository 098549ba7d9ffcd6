// Reads arbitrary bytes as an archived movie format, by itself and as an
// object, and runs the format's rules on what was read.
#include "model/MovieFormat.h"

#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <cstdint>
#include <memory>

namespace {

void Exercise(const orvik::MovieFormat& f) {
    using orvik::MovieFormat;
    f.EstimateBytesPerSecond();
    f.GetAudioFormat();
    f.IsPal();
    f.IsHalfWidth();
    f.IsHalfHeight();
    MovieFormat copy = f;
    copy.UpdateInterleave();
    MovieFormat::RateText(f.rate, f.scale);
    MovieFormat::ParseRate(f.path);
    MovieFormat::AudioFormatText(f.audioChannels, f.audioBits);
    MovieFormat::AudioRateText(f.audioRate);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    {
        MemFile file(data, size);
        Archive ar(file, Archive::load);
        MovieFormat f(nullptr);
        try {
            f.Serialize(ar);
        } catch (const ArchiveException&) {
        }
        Exercise(f);
    }
    {
        MemFile file(data, size);
        Archive ar(file, Archive::load);
        try {
            std::unique_ptr<MovieFormat> f(ar.ReadObjectOf<MovieFormat>());
            if (f)
                Exercise(*f);
        } catch (const ArchiveException&) {
        }
    }
    return 0;
}
