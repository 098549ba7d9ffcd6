// Motion-JPEG decoding through the codec layer (file read, frame getter,
// TurboJPEG straight into bottom-up BGR rows) beside raw TurboJPEG decoding
// of the same frames in memory, in the same run. The "ratio" counter is the
// layer's time over TurboJPEG's: the aim is at most 1.15.
#include "platform/avi/AviFile.h"
#include "platform/codec/FrameGetter.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace orvik {
namespace {

// A capture-like file: 720 x 480 motion-JPEG 4:2:2, 50 frames, made once
// with ffmpeg in a temporary folder.
struct Clip {
    std::string folder, path;
    std::vector<std::vector<uint8_t>> frames;
    Clip() {
        char pattern[] = "/tmp/orvik-bench-XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        folder = pattern;
        path = folder + "/capture.avi";
        std::string command = "ffmpeg -nostdin -v error -y -f lavfi "
                              "-i testsrc2=size=720x480:rate=30 -frames:v 50 -c:v mjpeg -q:v 3 "
                              "-pix_fmt yuvj422p " +
                              path;
        if (std::system(command.c_str()) != 0)
            std::abort();
        AviFile file;
        if (!file.Open(path))
            std::abort();
        AviStream* s = file.FindStream(AviStream::kVideo, 0);
        for (int64_t n = 0; n < s->Length(); ++n) {
            uint32_t bytes = 0;
            s->SampleBytes(n, bytes);
            frames.emplace_back(bytes);
            s->Read(n, 1, frames.back().data(), bytes, nullptr, nullptr);
        }
    }
    ~Clip() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Clip& TheClip() {
    static Clip clip;
    return clip;
}

constexpr int kWidth = 720, kHeight = 480;

double RawTurboJpeg(tjhandle h, std::vector<uint8_t>& out) {
    auto t0 = std::chrono::steady_clock::now();
    for (auto& f : TheClip().frames)
        tjDecompress2(h, f.data(), static_cast<unsigned long>(f.size()), out.data(), kWidth,
                      kWidth * 3, kHeight, TJPF_BGR, TJFLAG_BOTTOMUP);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double CodecLayer(AviStream& stream, FrameGetter& getter) {
    auto t0 = std::chrono::steady_clock::now();
    for (int64_t n = 0; n < stream.Length(); ++n)
        benchmark::DoNotOptimize(getter.GetFrame(n));
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_MjpegFrameGetterVsTurboJpeg(benchmark::State& state) {
    Clip& clip = TheClip();
    AviFile file;
    file.Open(clip.path);
    AviStream* stream = file.FindStream(AviStream::kVideo, 0);
    FrameGetter getter;
    if (!stream || !getter.Open(*stream)) {
        state.SkipWithError("cannot open the clip");
        return;
    }
    tjhandle h = tjInitDecompress();
    std::vector<uint8_t> out(size_t(kWidth) * 3 * kHeight);
    double raw = 0, layer = 0;
    for (auto _ : state) {
        // Alternate, so both see the same machine load.
        raw += RawTurboJpeg(h, out);
        double t = CodecLayer(*stream, getter);
        layer += t;
        state.SetIterationTime(t);
    }
    tjDestroy(h);
    state.counters["ratio"] = layer / raw;
    state.counters["frames/s"] =
        benchmark::Counter(double(clip.frames.size()) * double(state.iterations()) / layer);
}
BENCHMARK(BM_MjpegFrameGetterVsTurboJpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvik
