// The waveform cache: what it asks for as the timeline scrolls and zooms,
// which samples each column reads, how it draws, and the background thread
// that fills it from a WAVE file made by sox.
#include "media/WaveformData.h"

#include "imaging/DibSection.h"
#include "imaging/DibSectionDC.h"
#include "media/MediaFile.h"
#include "media/MediaReaderTestSupport.h"
#include "media/WaveformManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/Timecode.h"
#include "model/WaveAsset.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <random>

namespace orvik {

namespace {

// A sound that answers each peak request with the request itself: the
// smallest value is −from and the largest `to`, so a slot tells which
// samples its column asked for.
class RequestEcho : public MediaFile {
public:
    explicit RequestEcho(uint32_t rate) : MediaFile("echo.wav", kindAudio, 0), rate_(rate) {}
    std::optional<WaveFormat> GetWaveFormat() override { return WaveFormat::MakePcm(rate_, 1, 16); }
    void GetPeak(int64_t from, int64_t to, int32_t& min, int32_t& max) override {
        min = static_cast<int32_t>(-from);
        max = static_cast<int32_t>(to);
    }

private:
    uint32_t rate_;
};

// 100 columns a second of view: one column is 0.01 s.
constexpr int32_t kRow = 100;
constexpr double kView = 1.0;

int PrepareAt(WaveformData& w, int left, double view = kView, double source = 10, double trim = 0) {
    return w.Prepare(Rect(left, 0, left + 2000, 40), kRow, view, source, trim);
}

} // namespace

TEST(WaveformData, ClipsOutsideTheRowWantNothing) {
    WaveformData w;
    EXPECT_EQ(w.Prepare(Rect(kRow, 0, kRow + 50, 40), kRow, kView, 10, 0), 0);
    EXPECT_EQ(w.Prepare(Rect(-50, 0, 0, 40), kRow, kView, 10, 0), 0);
    EXPECT_EQ(w.GetState(), WaveformData::idle);
    // A row of no width, or a view of no time, shows no columns.
    EXPECT_EQ(w.Prepare(Rect(0, 0, 50, 40), 0, kView, 10, 0), 0);
    EXPECT_EQ(w.Prepare(Rect(-10, 0, 50, 40), 1, 0.0, 10, 0), 0);
    EXPECT_EQ(w.ChunkCount(), 0);
}

TEST(WaveformData, ScrollingGrowsTheCacheAWidthAtATimeAndZoomingDropsIt) {
    WaveformData w;
    RequestEcho sound(8000);
    ASSERT_EQ(PrepareAt(w, 0), 1); // nothing made for this zoom yet
    EXPECT_EQ(w.GetScale(), kView / kRow);
    EXPECT_EQ(w.GetState(), WaveformData::wanted);
    w.Compute(sound);
    EXPECT_EQ(w.GetFirstColumn(), 0);
    EXPECT_EQ(w.CachedColumns(), 100);
    EXPECT_EQ(PrepareAt(w, 0), 0);

    // Scrolled right by 150 columns: one row width is added per
    // computation, after what is there.
    ASSERT_EQ(PrepareAt(w, -150), 1);
    EXPECT_EQ(w.GetNeededFirst(), 150);
    w.Compute(sound);
    EXPECT_EQ(w.ChunkCount(), 2);
    EXPECT_EQ(w.CachedColumns(), 200);
    ASSERT_EQ(PrepareAt(w, -150), 1);
    w.Compute(sound);
    EXPECT_EQ(w.CachedColumns(), 300); // a whole width again, past what is visible
    EXPECT_EQ(PrepareAt(w, -150), 0);

    // The trim start counts as scrolled: 3 s in is column 300.
    ASSERT_EQ(PrepareAt(w, 0, kView, 10, 3.0), 1);
    EXPECT_EQ(w.GetNeededFirst(), 300);

    // Zoomed: everything goes.
    ASSERT_EQ(PrepareAt(w, -150, 2.0), 1);
    EXPECT_EQ(w.ChunkCount(), 0);
    EXPECT_EQ(w.GetScale(), 2.0 / kRow);
}

TEST(WaveformData, ScrollingLeftOfTheCachePutsAChunkInFront) {
    WaveformData w;
    RequestEcho sound(8000);
    ASSERT_EQ(PrepareAt(w, -230), 1);
    w.Compute(sound);
    EXPECT_EQ(w.GetFirstColumn(), 230);
    ASSERT_EQ(PrepareAt(w, -20), 1);
    w.Compute(sound);
    EXPECT_EQ(w.GetFirstColumn(), 130);
    EXPECT_EQ(w.ChunkCount(), 2);
    ASSERT_EQ(PrepareAt(w, -20), 1);
    w.Compute(sound);
    EXPECT_EQ(w.GetFirstColumn(), 30);
    ASSERT_EQ(PrepareAt(w, -20), 1);
    w.Compute(sound);
    EXPECT_EQ(w.GetFirstColumn(), 0); // never before the source's start
    EXPECT_EQ(w.CachedColumns(), 330);
    EXPECT_EQ(PrepareAt(w, -20), 0);
}

TEST(WaveformData, EachColumnReadsTheSamplesItCovers) {
    // 300 columns a second at 8000 Hz: 26.67 samples a column, rounded to
    // the nearest sample at both ends.
    WaveformData w;
    RequestEcho sound(8000);
    ASSERT_EQ(w.Prepare(Rect(0, 0, 300, 40), 300, 1.0, 1.0, 0), 1);
    w.Compute(sound);
    struct Case {
        int32_t column, from, to;
    } cases[] = {{0, 0, 26}, {1, 27, 52}, {2, 53, 79}, {3, 80, 106}, {299, 7973, 7999}};
    for (const Case& c : cases) {
        WrChunk::Slot slot;
        ASSERT_TRUE(w.GetSlot(c.column, slot)) << c.column;
        EXPECT_EQ(-slot.min, c.from) << c.column;
        EXPECT_EQ(slot.max, c.to) << c.column;
    }
}

TEST(WaveformData, AShortSoundIsLoggedAndCoveredUpToItsEnd) {
    test::OpenTestLog();
    WaveformData w;
    RequestEcho sound(8000);
    // 0.2 s of sound under a clip 50 columns wide: 21 columns.
    ASSERT_EQ(w.Prepare(Rect(0, 0, 50, 40), kRow, kView, 0.2, 0), 1);
    EXPECT_EQ(w.GetTotalColumns(), 21);
    w.Compute(sound);
    EXPECT_EQ(w.CachedColumns(), 21);
    EXPECT_EQ(w.Prepare(Rect(0, 0, 50, 40), kRow, kView, 0.2, 0), 0);
    EXPECT_NE(test::Log().find("WaveformData::DataExists needed: 50 total: 21\n"),
              std::string::npos);
}

TEST(WaveformData, DrawsOneLinePerColumnInsideTheRowUpToTheSoundsEnd) {
    WaveformData w;
    ASSERT_EQ(w.Prepare(Rect(0, 0, 50, 41), kRow, kView, 0.2, 0), 1);
    int32_t first = 0, count = w.GetTotalColumns();
    WrChunk* chunk = w.CreateDataSlots(first, count, kRow);
    ASSERT_TRUE(chunk);
    ASSERT_EQ(count, 21);
    // Silence, full scale, and a quiet stretch.
    for (int i = 0; i < count; ++i)
        chunk->slots[static_cast<size_t>(i)] = i == 0   ? WrChunk::Slot{0, 0}
                                               : i == 1 ? WrChunk::Slot{-32768, 32767}
                                                        : WrChunk::Slot{-1000, 1000};

    RefPtr<DibSection> row = new DibSection;
    ASSERT_TRUE(row->CreateDIBSection(kRow, 41, 24, false, nullptr));
    std::memset(row->Bits(), 0, row->ImageSize());
    {
        DibSectionDC dc(*row);
        dc.SetPen(Rgb(255, 255, 255));
        w.Draw(dc, Rect(0, 0, 50, 41), Rect(0, 0, kRow, 41));
    }
    auto lit = [&](int x) {
        std::vector<int> ys;
        for (int y = 0; y < 41; ++y)
            if (row->GetPixel(x, y) != 0)
                ys.push_back(y);
        return ys;
    };
    // h = 40: y(v) = 40 − 40 (v + 32768) / 69632.
    EXPECT_EQ(lit(0), std::vector<int>({22})); // silence: a dot at the middle
    std::vector<int> full = lit(1);
    ASSERT_FALSE(full.empty());
    EXPECT_EQ(full.front(), 3); // the loudest stays below the top
    EXPECT_EQ(full.back(), 40);
    EXPECT_EQ(lit(2).front(), WaveformData::RowY(1000, 40));
    EXPECT_EQ(lit(2).back(), WaveformData::RowY(-1000, 40));
    EXPECT_FALSE(lit(20).empty());
    // Past the 21 columns of sound, and past the clip, nothing.
    EXPECT_TRUE(lit(21).empty());
    EXPECT_TRUE(lit(60).empty());
}

namespace {

class FakeRows : public WaveformRows {
public:
    bool Locate(const Clip& clip, Rect& visible, int32_t& rowWidth) override {
        rowWidth = width;
        visible = Rect(clip.GetStart() * 4 - scroll, 0, clip.GetEnd() * 4 - scroll, 40);
        return true;
    }
    double ViewSpanFrames() const override { return span; }
    void RedrawClip(const Clip&) override { ++redraws; }

    int32_t width = 400;
    int scroll = 0;
    double span = 100; // frames: 4 pixels a frame
    std::atomic<int> redraws{0};
};

} // namespace

TEST(WaveformManager, FillsTheCacheOfASoundClipFromItsFile) {
    // 2 s of noise at 8000 Hz, made into a WAVE file by sox.
    std::vector<int16_t> samples(16000);
    std::mt19937 rng(7);
    for (int16_t& s : samples)
        s = static_cast<int16_t>(std::uniform_int_distribution<int>(-30000, 30000)(rng));
    std::vector<uint8_t> raw(samples.size() * 2);
    std::memcpy(raw.data(), samples.data(), raw.size());
    ASSERT_TRUE(test::WriteBytes(test::InHome("noise.raw"), raw));
    std::string wav =
        test::Sox("noise.wav", "-t s16 -r 8000 -c 1 " + test::InHome("noise.raw"), "");
    ASSERT_FALSE(wav.empty());

    RefPtr<Movie> movie = new Movie;
    RefPtr<WaveAsset> asset = new WaveAsset(wav);
    ASSERT_TRUE(asset->HasWaveform());
    RefPtr<Clip> clip = new Clip(asset.get(), 10, 3);
    movie->GetClipList()->Add(clip.get());
    RefPtr<Clip> away = new Clip(asset.get(), 500, 3); // far right of the row
    movie->GetClipList()->Add(away.get());

    FakeRows rows;
    {
        WaveformManager manager(rows);
        manager.Queue(*movie);
        ASSERT_TRUE(test::WaitFor([&] { return rows.redraws.load() == 1 && !manager.IsBusy(); }));
        EXPECT_EQ(clip->GetWaveform()->GetState(), WaveformData::idle);
        EXPECT_EQ(away->GetWaveform()->ChunkCount(), 0); // not queued

        // Each column: at most 50 samples from its first, peaks taken from 0.
        const double fps = Timecode::GetFramesPerSecond();
        const double f = (rows.span / fps / rows.width) * 8000;
        std::shared_ptr<WaveformData> cache = clip->GetWaveform();
        ASSERT_GT(cache->CachedColumns(), 100);
        for (int32_t c = 0; c < cache->CachedColumns(); c += 7) {
            int64_t from = static_cast<int64_t>(c * f + 0.5);
            int64_t to = static_cast<int64_t>((c + 1) * f + 0.5) - 1;
            int64_t n = std::min<int64_t>(std::min<int64_t>(to, 16000) - from, 50);
            int32_t lo = 0, hi = 0;
            for (int64_t i = 0; i < n; ++i) {
                lo = std::min<int32_t>(lo, samples[static_cast<size_t>(from + i)]);
                hi = std::max<int32_t>(hi, samples[static_cast<size_t>(from + i)]);
            }
            WrChunk::Slot slot;
            ASSERT_TRUE(cache->GetSlot(c, slot));
            EXPECT_EQ(slot.min, lo) << c;
            EXPECT_EQ(slot.max, hi) << c;
        }

        // Nothing new wanted: nothing queued, nothing redrawn.
        manager.Queue(*movie);
        EXPECT_EQ(manager.QueuedCount(), 0);
        // A new file name drops the cache.
        clip->SetFileName(wav);
        EXPECT_EQ(clip->GetWaveform()->ChunkCount(), 0);
    }
    EXPECT_EQ(rows.redraws.load(), 1);
}

} // namespace orvik
