// Pixel operations and scaling at the movie frame size, each as a ratio to a
// reference measured in the same run and the same loop: memcpy of the same
// bytes for the pixel operations, libswscale on the same sizes for DibScale.
// The counter "ratio" is the figure to read (operation time / reference
// time); the goals are ratio <= 3 for the pixel operations, <= 1 for mode 0
// and <= 2 for mode 1.
#include "imaging/Dib.h"
#include "imaging/DibScale.h"
#include "imaging/PixelKernels.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace {

using orvik::Dib;
using orvik::RefPtr;
using Clock = std::chrono::steady_clock;

constexpr int kW = 720, kH = 480;

RefPtr<Dib> Picture(int w, int h, int bits, uint32_t seed) {
    RefPtr<Dib> d = new Dib;
    d->Create(w, h, bits);
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < d->ImageSize(); ++i)
        d->Bits()[i] = static_cast<uint8_t>(rng());
    return d;
}

// Runs `op` and `reference` alternately and reports their time ratio.
void Compare(benchmark::State& state, const std::function<void()>& op,
             const std::function<void()>& reference) {
    op();
    reference();
    double opTime = 0, refTime = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        op();
        auto t1 = Clock::now();
        reference();
        auto t2 = Clock::now();
        opTime += std::chrono::duration<double>(t1 - t0).count();
        refTime += std::chrono::duration<double>(t2 - t1).count();
    }
    double n = static_cast<double>(state.iterations());
    state.counters["op_us"] = opTime / n * 1e6;
    state.counters["ref_us"] = refTime / n * 1e6;
    state.counters["ratio"] = refTime > 0 ? opTime / refTime : 0;
}

// memcpy of `bytes` between two buffers of their own.
std::function<void()> Memcpy(size_t bytes) {
    auto from = std::make_shared<std::vector<uint8_t>>(bytes, 1);
    auto to = std::make_shared<std::vector<uint8_t>>(bytes, 2);
    return [from, to, bytes] {
        std::memcpy(to->data(), from->data(), bytes);
        benchmark::DoNotOptimize(to->data());
        benchmark::ClobberMemory();
    };
}

void BM_Copy24To32(benchmark::State& state) {
    RefPtr<Dib> s = Picture(kW, kH, 24, 1), t = Picture(kW, kH, 32, 2);
    Compare(
        state, [&] { t->Copy(*s); }, Memcpy(t->ImageSize()));
}

void BM_Copy32To24(benchmark::State& state) {
    RefPtr<Dib> s = Picture(kW, kH, 32, 1), t = Picture(kW, kH, 24, 2);
    Compare(
        state, [&] { t->Copy(*s); }, Memcpy(s->ImageSize()));
}

// Alpha of every value, varying along each row: no block is skipped or
// copied whole, the worst case.
void BM_CompositeMixedAlpha(benchmark::State& state) {
    RefPtr<Dib> t = Picture(kW, kH, 24, 1), s = Picture(kW, kH, state.range(0), 2);
    RefPtr<Dib> a = Picture(kW, kH, 8, 3);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            *a->PixelAddress(x, y) = static_cast<uint8_t>((x + y) % 256);
    Compare(
        state, [&] { t->Composite(*s, *a); }, Memcpy(t->ImageSize()));
}

// The same on each build of the compositing rows (0 per-pixel loop, 1 SSE2,
// 2 AVX2, 3 AVX-512); the plain benchmarks run the widest the processor has.
void BM_CompositeMixedAlphaBuild(benchmark::State& state) {
    using orvik::PixelKernels;
    const auto isa = static_cast<PixelKernels::Isa>(state.range(1));
    if (isa > PixelKernels::CompositeIsas().back()) {
        state.SkipWithError("the processor lacks this build");
        return;
    }
    PixelKernels::LimitCompositeIsa(isa);
    state.SetLabel(PixelKernels::IsaName(isa));
    BM_CompositeMixedAlpha(state);
    PixelKernels::LimitCompositeIsa(PixelKernels::Isa::avx512);
}

// A title over video: mostly transparent, a band of opaque text with soft
// edges.
void BM_CompositeTitle(benchmark::State& state) {
    RefPtr<Dib> t = Picture(kW, kH, 24, 1), s = Picture(kW, kH, 32, 2);
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            uint8_t* p = s->PixelAddress(x, y);
            p[3] = (y > 360 && y < 420) ? ((x % 40) < 30 ? 255 : (x % 40) * 6) : 0;
        }
    Compare(
        state, [&] { t->Composite(*s, *s); }, Memcpy(t->ImageSize()));
}

void BM_ColourKey(benchmark::State& state) {
    RefPtr<Dib> s = Picture(kW, kH, 24, 1), mask = Picture(kW, kH, 8, 2);
    Compare(
        state, [&] { mask->SelfKey(*s); }, Memcpy(s->ImageSize()));
}

void BM_Fill(benchmark::State& state) {
    RefPtr<Dib> t = Picture(kW, kH, 24, 1);
    Compare(
        state, [&] { t->Set(orvik::Rgb(10, 20, 30)); }, Memcpy(t->ImageSize()));
}

// DibScale against libswscale, both blue-green-red 24-bit.
void BM_Scale(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const int dw = static_cast<int>(state.range(1)), dh = static_cast<int>(state.range(2));
    RefPtr<Dib> s = Picture(kW, kH, 24, 1), d = Picture(dw, dh, 24, 2);
    // The swscale reference works on the same top-down rows.
    std::vector<uint8_t> src(static_cast<size_t>(kW) * 3 * kH),
        dst(static_cast<size_t>(dw) * 3 * dh);
    std::memcpy(src.data(), s->Bits(), src.size());
    SwsContext* sws =
        sws_getContext(kW, kH, AV_PIX_FMT_BGR24, dw, dh, AV_PIX_FMT_BGR24,
                       mode == 0 ? SWS_POINT : SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws) {
        state.SkipWithError("swscale context");
        return;
    }
    const uint8_t* srcPlanes[1] = {src.data()};
    int srcStride[1] = {kW * 3};
    uint8_t* dstPlanes[1] = {dst.data()};
    int dstStride[1] = {dw * 3};
    Compare(
        state, [&] { orvik::DibScale(*d, *s, mode); },
        [&] {
            sws_scale(sws, srcPlanes, srcStride, 0, kH, dstPlanes, dstStride);
            benchmark::DoNotOptimize(dst.data());
        });
    sws_freeContext(sws);
}

} // namespace

BENCHMARK(BM_Copy24To32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Copy32To24)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompositeMixedAlpha)->Arg(24)->Arg(32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompositeMixedAlphaBuild)
    ->ArgsProduct({{24, 32}, {0, 1, 2, 3}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CompositeTitle)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColourKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Fill)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Scale)
    ->Args({0, 352, 240})
    ->Args({0, 1440, 960})
    ->Args({1, 352, 240})
    ->Args({1, 1440, 960})
    ->Unit(benchmark::kMicrosecond);
