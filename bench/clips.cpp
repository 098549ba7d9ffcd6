// Clip-list edits on long movies: FixTimes, a ripple trim at the start of the
// movie and the selected list of half the clips, at 1 000, 10 000 and 100 000
// clips. Each is reported per clip (items per second) so that the three sizes
// show whether the time grows linearly with the movie; the last benchmark
// walks the same list with nothing but an iterator, the floor any pass over
// the clips has to pay.
#include "model/Clip.h"
#include "model/ClipIterator.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Scene.h"
#include "model/Transition.h"

#include <benchmark/benchmark.h>

namespace orvik {

namespace {

// A movie of `clips` clips: nine in ten are scenes of 30 frames on the video
// track with a transition after every fifth, one in ten a title pinned over
// the video. Every other clip is selected.
RefPtr<ClipList> MakeMovie(int clips) {
    RefPtr<ClipList> list = new ClipList;
    RefPtr<Scene> scene = new Scene("/videos/tape1.avi", 0, 100000);
    RefPtr<Transition> dissolve = new Transition(1, 6301);
    RefPtr<GraphicAsset> title = new GraphicAsset("/pictures/title.ttl", 0);
    int titles = clips / 10;
    int video = clips - titles;
    Time at = 0;
    for (int i = 0; i < video; ++i) {
        Clip* c;
        if (i % 6 == 5) {
            c = new Clip(dissolve.get(), at - 10, 0);
            c->SetDuration(10);
            at -= 10;
        } else {
            c = new Clip(scene.get(), at, 0);
            c->SetDuration(30);
            c->SetTrimStart((i * 7) % 1000);
            at += 30;
        }
        c->SetSelected(i % 2 == 0);
        list->Add(c);
    }
    Time step = titles > 0 ? at / titles : 0;
    for (int i = 0; i < titles; ++i) {
        Clip* c = new Clip(title.get(), i * step + 3, 1);
        c->SetDuration(std::max<Time>(step / 2, 1));
        c->SetPinned(true);
        c->SetSelected(i % 2 == 0);
        list->Add(c);
    }
    list->FixTimes(nullptr, true, false, false);
    return list;
}

void BM_FixTimes(benchmark::State& state) {
    RefPtr<ClipList> movie = MakeMovie(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RefPtr<ClipList> records = new ClipList;
        movie->FixTimes(records.get(), true, false, false);
        benchmark::DoNotOptimize(records.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_RippleTrimAtStart(benchmark::State& state) {
    RefPtr<ClipList> movie = MakeMovie(static_cast<int>(state.range(0)));
    Time amount = 1;
    for (auto _ : state) {
        RefPtr<ClipList> editRecords = new ClipList;
        RefPtr<ClipList> fixRecords = new ClipList;
        // Shorter, then longer again: the movie keeps its size.
        movie->TrimStart(0, amount, 0, editRecords.get(), fixRecords.get());
        amount = -amount;
        benchmark::DoNotOptimize(fixRecords.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CreateSelectedListOfHalf(benchmark::State& state) {
    RefPtr<ClipList> movie = MakeMovie(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        RefPtr<ClipList> selected = new ClipList;
        selected->CreateSelectedList(*movie, false, true);
        benchmark::DoNotOptimize(selected.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The reference: one walk over the clips, touching each.
void BM_WalkReference(benchmark::State& state) {
    RefPtr<ClipList> movie = MakeMovie(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        int64_t sum = 0;
        ClipIterator it(*movie);
        for (Clip* c = it.First(); c; c = it.Next())
            sum += c->GetStart();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_FixTimes)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RippleTrimAtStart)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CreateSelectedListOfHalf)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkReference)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Unit(benchmark::kMillisecond);

} // namespace orvik
