// The media readers at work, each beside a reference measured in the same
// run:
// - motion-JPEG frames through VfwFile::GetFrame into a 24-bit picture (the
//   caller's, as the engine's source passes it, and the reader's own) as a
//   ratio to raw TurboJPEG decoding of the same frames from memory: the
//   "ratio" counter, aim at most 1.15;
// - ReadConverted of 16-bit stereo 48 kHz to 44.1 kHz (compression manager
//   and direct resampler) and of mu-law to 16-bit PCM: the "x_realtime"
//   counter is seconds of sound made per second of work.
#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "platform/avi/AviFile.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvik {
namespace {

// Test material, made once with ffmpeg and sox in a temporary folder: a
// capture-like 720 x 480 motion-JPEG 4:2:2 clip of 50 frames, 20 s of 16-bit
// stereo 48 kHz sound and 20 s of mu-law.
struct Material {
    std::string folder, clip, stereo48k, mulaw;
    std::vector<std::vector<uint8_t>> frames;

    Material() {
        char pattern[] = "/tmp/orvik-bench-XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        folder = pattern;
        clip = folder + "/capture.avi";
        stereo48k = folder + "/stereo48k.wav";
        mulaw = folder + "/mulaw.wav";
        Run("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=720x480:rate=30 -frames:v 50 "
            "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p " + clip);
        Run("sox -n -r 48000 -c 2 -b 16 " + stereo48k + " synth 20 sine 440 sine 660 vol 0.5");
        Run("sox -n -r 8000 -c 1 -e mu-law " + mulaw + " synth 20 sine 300");
        AviFile file;
        if (!file.Open(clip))
            std::abort();
        AviStream* s = file.FindStream(AviStream::kVideo, 0);
        for (int64_t n = 0; n < s->Length(); ++n) {
            uint32_t bytes = 0;
            s->SampleBytes(n, bytes);
            frames.emplace_back(bytes);
            s->Read(n, 1, frames.back().data(), bytes, nullptr, nullptr);
        }
    }
    ~Material() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    static void Run(const std::string& command) {
        if (std::system(command.c_str()) != 0)
            std::abort();
    }
};

Material& TheMaterial() {
    static Material material;
    return material;
}

constexpr int kWidth = 720, kHeight = 480;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double RawTurboJpeg(tjhandle h, std::vector<uint8_t>& out) {
    auto t0 = Clock::now();
    for (auto& f : TheMaterial().frames)
        tjDecompress2(h, f.data(), static_cast<unsigned long>(f.size()), out.data(), kWidth,
                      kWidth * 3, kHeight, TJPF_BGR, TJFLAG_BOTTOMUP);
    return Seconds(t0);
}

void MjpegFrames(benchmark::State& state, bool callersPicture) {
    Material& m = TheMaterial();
    RefPtr<MediaFile> file = OpenMediaFile(m.clip, MediaFile::kindVideo, 0);
    if (!file->IsOpen()) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    RefPtr<Dib> picture(new Dib);
    picture->Create(kWidth, kHeight, 24);
    tjhandle h = tjInitDecompress();
    std::vector<uint8_t> out(size_t(kWidth) * 3 * kHeight);
    const int64_t count = file->GetSampleCount();
    double raw = 0, reader = 0;
    for (auto _ : state) {
        // Alternate, so both see the same machine load.
        raw += RawTurboJpeg(h, out);
        auto t0 = Clock::now();
        for (int64_t n = 0; n < count; ++n) {
            RefPtr<Dib> frame = callersPicture
                                    ? file->GetFrame(n, picture->Header(), picture->Bits())
                                    : file->GetFrame(n);
            benchmark::DoNotOptimize(frame.get());
        }
        double t = Seconds(t0);
        reader += t;
        state.SetIterationTime(t);
    }
    tjDestroy(h);
    state.counters["ratio"] = reader / raw;
    state.counters["frames/s"] =
        benchmark::Counter(double(count) * double(state.iterations()) / reader);
}

void BM_MjpegGetFrameIntoCallersDibVsTurboJpeg(benchmark::State& state) {
    MjpegFrames(state, true);
}
BENCHMARK(BM_MjpegGetFrameIntoCallersDibVsTurboJpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MjpegGetFrameOwnDibVsTurboJpeg(benchmark::State& state) { MjpegFrames(state, false); }
BENCHMARK(BM_MjpegGetFrameOwnDibVsTurboJpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

// Reads the whole file as the engine's audio source does: blocks of 4096
// target frames, each at the file position of the sound delivered so far.
void ConvertWhole(benchmark::State& state, const std::string& path, const WaveFormat& target,
                  bool allowDirect) {
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    if (!file->IsOpen()) {
        state.SkipWithError("cannot open the sound");
        return;
    }
    const double sourceRate = file->GetRate();
    const double seconds = double(file->GetSampleCount()) / sourceRate;
    std::vector<uint8_t> buffer(4096u * target.blockAlign);
    double work = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        uint64_t made = 0;
        for (;;) {
            int64_t at = int64_t(double(made) * sourceRate / target.samplesPerSec);
            uint32_t n = file->ReadConverted(target, uint32_t(buffer.size()), buffer.data(), at,
                                             allowDirect);
            if (n == 0)
                break;
            made += n;
        }
        benchmark::DoNotOptimize(made);
        double t = Seconds(t0);
        work += t;
        state.SetIterationTime(t);
    }
    state.counters["x_realtime"] = seconds * double(state.iterations()) / work;
}

void BM_ReadConverted48kTo44kStereo(benchmark::State& state) {
    ConvertWhole(state, TheMaterial().stereo48k, WaveFormat::MakePcm(44100, 2, 16), false);
}
BENCHMARK(BM_ReadConverted48kTo44kStereo)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReadConverted48kTo44kStereoDirect(benchmark::State& state) {
    ConvertWhole(state, TheMaterial().stereo48k, WaveFormat::MakePcm(44100, 2, 16), true);
}
BENCHMARK(BM_ReadConverted48kTo44kStereoDirect)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ReadConvertedMuLawToPcm(benchmark::State& state) {
    ConvertWhole(state, TheMaterial().mulaw, WaveFormat::MakePcm(8000, 1, 16), false);
}
BENCHMARK(BM_ReadConvertedMuLawToPcm)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvik
