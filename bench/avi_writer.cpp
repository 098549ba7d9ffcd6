// Motion-JPEG compression through the codec layer (VideoCompressor, straight
// from bottom-up BGR rows) beside raw TurboJPEG compression of the same
// pictures with the same settings, in the same run; and the same again with
// every sample written into an AVI file with sound. The "ratio" counter is
// the layer's time over TurboJPEG's: the aim is at most 1.05 for the
// compressor alone and 1.15 with the file writing.
#include "platform/avi/AviWriter.h"
#include "platform/codec/MjpegCompressor.h"
#include "platform/codec/VideoCompressor.h"

#include <benchmark/benchmark.h>
#include <turbojpeg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace orvik {
namespace {

constexpr int kWidth = 720, kHeight = 480, kFrames = 30;
constexpr size_t kStride = kWidth * 3; // 720 x 3 is a multiple of 4

// Camera-like pictures: smooth colour fields with fine texture and a moving
// edge, different in every frame; rows bottom-up as the engine hands them.
const std::vector<std::vector<uint8_t>>& Pictures() {
    static const std::vector<std::vector<uint8_t>> pictures = [] {
        std::vector<std::vector<uint8_t>> all;
        uint32_t noise = 12345;
        for (int f = 0; f < kFrames; ++f) {
            std::vector<uint8_t> bits(kStride * kHeight);
            for (int y = 0; y < kHeight; ++y) {
                uint8_t* row = bits.data() + size_t(kHeight - 1 - y) * kStride;
                for (int x = 0; x < kWidth; ++x) {
                    noise = noise * 1664525u + 1013904223u;
                    int grain = int(noise >> 28) - 8;
                    int edge = x > (f * 23) % kWidth ? 60 : 0;
                    row[x * 3] = uint8_t(std::clamp(x * 255 / kWidth + grain, 0, 255));
                    row[x * 3 + 1] = uint8_t(std::clamp(y * 255 / kHeight + grain + edge, 0, 255));
                    row[x * 3 + 2] = uint8_t(std::clamp(
                        128 + int(100 * std::sin((x + y + f * 9) * 0.02)) + grain, 0, 255));
                }
            }
            all.push_back(std::move(bits));
        }
        return all;
    }();
    return pictures;
}

double RawTurboJpeg(tjhandle h, int quality, unsigned char* buffer, unsigned long bufferBytes) {
    auto t0 = std::chrono::steady_clock::now();
    for (const auto& bits : Pictures()) {
        unsigned char* dst = buffer;
        unsigned long size = bufferBytes;
        tjCompress2(h, bits.data(), kWidth, int(kStride), kHeight, TJPF_BGR, &dst, &size,
                    TJSAMP_422, quality, TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC);
        benchmark::DoNotOptimize(size);
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

struct RawReference {
    tjhandle handle = tjInitCompress();
    unsigned long bytes = tjBufSize(kWidth, kHeight, TJSAMP_422);
    unsigned char* buffer = tjAlloc(int(bytes));
    ~RawReference() {
        tjFree(buffer);
        tjDestroy(handle);
    }
};

void BM_MjpegCompressorVsTurboJpeg(benchmark::State& state) {
    auto compressor = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    if (!compressor || !compressor->Begin(kWidth, kHeight, 30000, 1001)) {
        state.SkipWithError("no motion-JPEG compressor");
        return;
    }
    RawReference raw;
    int quality = MjpegCompressor::JpegQuality(compressor->Quality());
    double rawTime = 0, layerTime = 0;
    size_t bytes = 0;
    for (auto _ : state) {
        // Alternate, so both see the same machine load.
        rawTime += RawTurboJpeg(raw.handle, quality, raw.buffer, raw.bytes);
        auto t0 = std::chrono::steady_clock::now();
        for (auto& bits : Pictures()) {
            VideoCompressor::Sample sample;
            compressor->Compress({kWidth, kHeight, 24, kStride, const_cast<uint8_t*>(bits.data())},
                                 sample);
            bytes += sample.size;
        }
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        layerTime += t;
        state.SetIterationTime(t);
    }
    state.counters["ratio"] = layerTime / rawTime;
    state.counters["frames/s"] = double(kFrames) * double(state.iterations()) / layerTime;
    state.counters["bytes/frame"] = double(bytes) / (double(kFrames) * double(state.iterations()));
}
BENCHMARK(BM_MjpegCompressorVsTurboJpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_MjpegAviWritingVsTurboJpeg(benchmark::State& state) {
    auto compressor = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    if (!compressor || !compressor->Begin(kWidth, kHeight, 30000, 1001)) {
        state.SkipWithError("no motion-JPEG compressor");
        return;
    }
    char pattern[] = "/tmp/orvik-bench-XXXXXX";
    if (!mkdtemp(pattern)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    std::string folder = pattern;
    RawReference raw;
    int quality = MjpegCompressor::JpegQuality(compressor->Quality());
    // One frame's sound at 48 kHz stereo (1601.6 sample frames a frame).
    std::vector<uint8_t> sound(1602 * 4, 0);
    double rawTime = 0, layerTime = 0;
    for (auto _ : state) {
        rawTime += RawTurboJpeg(raw.handle, quality, raw.buffer, raw.bytes);
        auto t0 = std::chrono::steady_clock::now();
        AviWriter writer;
        writer.Open(folder + "/movie.avi");
        writer.SetVideoStream(compressor->GetInfo().fccHandler, compressor->Output(), 30000, 1001);
        writer.SetSoundStream(WaveFormat::MakePcm(48000, 2, 16));
        for (auto& bits : Pictures()) {
            VideoCompressor::Sample sample;
            compressor->Compress({kWidth, kHeight, 24, kStride, const_cast<uint8_t*>(bits.data())},
                                 sample);
            writer.WriteVideo(sample.data, sample.size, sample.keyFrame);
            writer.WriteSound(sound.data(), sound.size());
        }
        if (!writer.Close())
            state.SkipWithError(writer.Error().c_str());
        double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        layerTime += t;
        state.SetIterationTime(t);
    }
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    state.counters["ratio"] = layerTime / rawTime;
    state.counters["frames/s"] = double(kFrames) * double(state.iterations()) / layerTime;
}
BENCHMARK(BM_MjpegAviWritingVsTurboJpeg)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvik
