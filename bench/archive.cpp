// Object archive throughput: writing and reading 100 000 small objects, as
// objects per second, beside a memcpy of the same bytes in the same run.
#include "model/RefObject.h"
#include "model/RefPtr.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace orvik {

class BenchItem : public RefObject {
    ORVIK_DECLARE_SERIAL(BenchItem)
public:
    int32_t start = 0, duration = 0;
    std::string name;
    void Serialize(Archive& ar) override {
        if (ar.IsStoring()) {
            ar.WriteInt32(start);
            ar.WriteInt32(duration);
            ar.WriteText(name);
        } else {
            start = ar.ReadInt32();
            duration = ar.ReadInt32();
            name = ar.ReadText();
        }
    }
};
ORVIK_IMPLEMENT_SERIAL(BenchItem, RefObject, kVersionableSchema | 1)

namespace {

constexpr int kObjects = 100000;

std::vector<RefPtr<BenchItem>> MakeItems() {
    std::vector<RefPtr<BenchItem>> items;
    for (int i = 0; i < kObjects; ++i) {
        RefPtr<BenchItem> it = new BenchItem;
        it->start = i * 30;
        it->duration = 90;
        it->name = "clip";
        items.push_back(it);
    }
    return items;
}

void BM_ArchiveWrite(benchmark::State& state) {
    auto items = MakeItems();
    for (auto _ : state) {
        MemFile f(1 << 20);
        Archive ar(f, Archive::store);
        ar.WriteCount(kObjects);
        for (auto& it : items)
            ar.WriteObject(it.get());
        ar.Close();
        benchmark::DoNotOptimize(f.Data());
    }
    state.counters["objects/s"] =
        benchmark::Counter(double(kObjects) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArchiveWrite)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> StoredItems() {
    auto items = MakeItems();
    MemFile f(1 << 20);
    Archive ar(f, Archive::store);
    ar.WriteCount(kObjects);
    for (auto& it : items)
        ar.WriteObject(it.get());
    ar.Close();
    return f.Bytes();
}

void BM_ArchiveRead(benchmark::State& state) {
    std::vector<uint8_t> bytes = StoredItems();
    for (auto _ : state) {
        MemFile f(bytes.data(), bytes.size());
        Archive ar(f, Archive::load);
        uint32_t n = ar.ReadCount();
        std::vector<RefPtr<BenchItem>> items;
        items.reserve(n);
        for (uint32_t i = 0; i < n; ++i)
            items.push_back(ar.ReadObjectOf<BenchItem>());
        benchmark::DoNotOptimize(items.data());
    }
    state.counters["objects/s"] =
        benchmark::Counter(double(kObjects) * state.iterations(), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArchiveRead)->Unit(benchmark::kMillisecond);

// The reference: copying the same stored bytes.
void BM_MemcpySameBytes(benchmark::State& state) {
    std::vector<uint8_t> bytes = StoredItems();
    std::vector<uint8_t> out(bytes.size());
    for (auto _ : state) {
        memcpy(out.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(bytes.size()) * state.iterations());
}
BENCHMARK(BM_MemcpySameBytes)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace orvik
