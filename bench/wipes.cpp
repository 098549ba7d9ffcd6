// Transitions at 720 x 480, 24 bits: a dissolve and a pattern wipe through
// Transition::Mix, in place as the video mixer mixes, each beside a memcpy
// of one frame (the bytes the mix writes) in the same run. The "ratio"
// counter is the mix's time over memcpy's: the aim is at most 3. Then the
// pattern of every wipe kind, made afresh, in milliseconds.
#include "app/ResourceLibraries.h"
#include "imaging/Dib.h"
#include "imaging/wipes/CircleWipe.h"
#include "imaging/wipes/MatrixWipe.h"
#include "imaging/wipes/WipePresets.h"
#include "model/Clip.h"
#include "model/Transition.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace orvik {
namespace {

constexpr int kWidth = 720, kHeight = 480;
constexpr int kRounds = 20;

RefPtr<Dib> Picture(uint32_t seed) {
    RefPtr<Dib> d = new Dib;
    d->Create(kWidth, kHeight, 24);
    std::mt19937 rng(seed);
    for (uint32_t i = 0; i < d->ImageSize(); i += 4) {
        uint32_t v = rng();
        std::memcpy(d->Bits() + i, &v, std::min<uint32_t>(4, d->ImageSize() - i));
    }
    return d;
}

double Seconds(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double MemcpyFrames(const Dib& from, Dib& to) {
    auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kRounds; ++i) {
        std::memcpy(to.Bits(), from.Bits(), from.ImageSize());
        benchmark::ClobberMemory();
    }
    return Seconds(t0);
}

// Mixes a into b in place at a progress that moves each round.
void MixVsMemcpy(benchmark::State& state, Transition& effect) {
    RefPtr<Dib> a = Picture(1), b = Picture(2), scratch = Picture(3);
    RefPtr<Clip> clip = new Clip(&effect, 0, 0);
    effect.GetPattern(kWidth, kHeight, 4.0 * kHeight / (3.0 * kWidth));
    double reference = 0, mixing = 0;
    for (auto _ : state) {
        reference += MemcpyFrames(*a, *scratch);
        auto t0 = std::chrono::steady_clock::now();
        for (int i = 0; i < kRounds; ++i) {
            double p = (i + 0.5) / kRounds;
            effect.Mix(clip.get(), b.get(), a.get(), b.get(), 0, p, p);
            benchmark::ClobberMemory();
        }
        double t = Seconds(t0);
        mixing += t;
        state.SetIterationTime(t / kRounds);
    }
    state.counters["ratio"] = mixing / reference;
    state.counters["frames/s"] = benchmark::Counter(kRounds * double(state.iterations()) / mixing);
}

void BM_DissolveVsMemcpy(benchmark::State& state) {
    RefPtr<Transition> dissolve = new Transition(Transition::effectDissolve, 6301);
    MixVsMemcpy(state, *dissolve);
}
BENCHMARK(BM_DissolveVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_AlphaWipeVsMemcpy(benchmark::State& state) {
    RefPtr<CircleWipe> wipe = new CircleWipe(6343, 0.6, 0.62);
    MixVsMemcpy(state, *wipe);
}
BENCHMARK(BM_AlphaWipeVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The hardest case for the blend: fine random cells put the wipe's edge in
// almost every stretch of a row.
void BM_DustWipeVsMemcpy(benchmark::State& state) {
    RefPtr<MatrixWipe> wipe = new MatrixWipe(6361, 0.6, 0.75, 180, 120);
    MixVsMemcpy(state, *wipe);
}
BENCHMARK(BM_DustWipeVsMemcpy)->UseManualTime()->Unit(benchmark::kMicrosecond);

// The drawings of the pattern wipes come from the resource libraries.
ResourceLibraries& Libraries() {
    static ResourceLibraries libraries;
    static bool loaded = [] {
        bool ok = libraries.Load("US", 1, 800, 600);
        ResourceLibraries::SetCurrent(&libraries);
        Dib::SetResourceLibraries(&libraries);
        return ok;
    }();
    (void)loaded;
    return libraries;
}

void PatternOf(benchmark::State& state, RefPtr<Wipe> wipe) {
    Libraries();
    for (auto _ : state)
        benchmark::DoNotOptimize(wipe->MakePattern(kWidth, kHeight, 4.0 * kHeight / (3.0 * kWidth)));
}

// One benchmark per wipe kind: its first preset.
const bool registered = [] {
    std::set<std::string> seen;
    for (const RefPtr<Wipe>& w : WipePresets::Presets()) {
        std::string name = w->GetRuntimeClass()->className;
        if (!seen.insert(name).second)
            continue;
        benchmark::RegisterBenchmark(("BM_Pattern/" + name).c_str(), PatternOf, w)
            ->Unit(benchmark::kMillisecond);
    }
    return true;
}();

} // namespace
} // namespace orvik
