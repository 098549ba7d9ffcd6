// Reads arbitrary bytes as a media file through the shared opener, the way
// the program does: the sound as PCM and converted (compression manager,
// direct resampler, two-step conversions), peaks, and decoded and stored
// frames of the video.
#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// One file per process, rewritten for every input.
const std::string& InputPath() {
    static const std::string path =
        "/tmp/orvik-fuzz-media-" + std::to_string(static_cast<long>(getpid())) + ".avi";
    return path;
}

bool WriteInput(const uint8_t* data, size_t size) {
    FILE* f = fopen(InputPath().c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

void ReadSound(orvik::MediaFile& file) {
    using namespace orvik;
    std::optional<WaveFormat> format = file.GetWaveFormat();
    if (!format)
        return;
    std::vector<uint8_t> buffer(1 << 16);
    file.ReadSource(0, buffer.data(), 4096);
    file.ReadPcm(0, 1000, buffer.data(), uint32_t(buffer.size()), false);
    file.ReadPcm(file.GetSampleCount() / 2 + 1, 300, buffer.data(), uint32_t(buffer.size()), true);
    for (const WaveFormat& target :
         {WaveFormat::MakePcm(22050, 2, 16), WaveFormat::MakePcm(8000, 1, 8),
          WaveFormat::MakePcm(format->samplesPerSec, format->channels, 16)}) {
        file.ReadConverted(target, 4096, buffer.data(), 0, true);
        file.ReadConverted(target, 2000, buffer.data(), 777, false);
    }
    file.ReadAudioAt(WaveFormat::MakePcm(44100, 2, 16), 4000, buffer.data(), 12345678, true);
    int32_t min = 0, max = 0;
    file.GetPeak(0, 200, min, max);
    file.GetPeak(file.GetSampleCount() - 10, file.GetSampleCount(), min, max);
}

void ReadVideo(orvik::MediaFile& file) {
    using namespace orvik;
    file.GetDataRate();
    file.GetFormat(0);
    file.GetRawFrame(0);
    // Pictures are decoded at the stream's size: keep them small enough
    // for a fuzzer's memory.
    Rect r = file.GetFrameRect();
    if (int64_t(r.Width()) * r.Height() > 1024 * 1024 || r.Width() <= 0 || r.Height() <= 0)
        return;
    for (int64_t n : {int64_t(0), int64_t(1), file.GetSampleCount() - 1, int64_t(0)})
        file.GetFrame(n);
    BitmapInfoHeader wanted;
    wanted.width = 32;
    wanted.height = 24;
    wanted.bitCount = 24;
    std::vector<uint8_t> bits(32 * 3 * 24);
    file.GetFrame(1, &wanted, bits.data());
    file.GetFrame(0, &wanted);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    // A file that may be open is replaced: release the shared readers first.
    ReleaseMediaFiles();
    if (!WriteInput(data, size))
        return 0;
    if (RefPtr<MediaFile> sound = GetMediaFile(InputPath(), MediaFile::kindAudio, 0))
        ReadSound(*sound);
    if (RefPtr<MediaFile> video = GetMediaFile(InputPath(), MediaFile::kindVideo, 0))
        ReadVideo(*video);
    ReleaseMediaFiles();
    unlink(InputPath().c_str());
    return 0;
}
