// DibScale on hand-worked lines and pictures.
#include "imaging/DibScale.h"

#include "ImagingTestSupport.h"
#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "support/TestHome.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Bytes8;
using test::LogHas;
using test::Make24;
using test::MakeGrey8;
using test::OpenTestLog;
using test::PixelsOf;

using Grid = std::vector<std::vector<int>>;

Grid Scale(const Grid& source, int w, int h, int mode, int* used = nullptr) {
    RefPtr<Dib> s = MakeGrey8(source);
    RefPtr<Dib> d = MakeGrey8(Grid(h, std::vector<int>(w, 0)));
    DibScale scale(*d, *s, mode);
    if (used)
        *used = scale.ModeUsed();
    return Bytes8(*d);
}

TEST(DibScale, NearestNeighbour) {
    EXPECT_EQ(Scale({{10, 20, 30, 40}}, 2, 1, 0), (Grid{{10, 30}}));
    EXPECT_EQ(Scale({{10, 20, 30, 40}}, 8, 1, 0), (Grid{{10, 10, 20, 20, 30, 30, 40, 40}}));
    EXPECT_EQ(Scale({{1, 2}, {3, 4}}, 3, 3, 0), (Grid{{1, 1, 2}, {1, 1, 2}, {3, 3, 4}}));
    // 24 bits: whole pixels are copied.
    RefPtr<Dib> s = Make24({{Rgb(1, 2, 3), Rgb(4, 5, 6)}});
    RefPtr<Dib> d = Make24({{0, 0, 0, 0}});
    DibScale(*d, *s, 0);
    EXPECT_EQ(PixelsOf(*d)[0],
              (std::vector<uint32_t>{Rgb(1, 2, 3), Rgb(1, 2, 3), Rgb(4, 5, 6), Rgb(4, 5, 6)}));
}

TEST(DibScale, Bilinear) {
    EXPECT_EQ(Scale({{0, 100}}, 4, 1, 1), (Grid{{0, 50, 100, 100}}));
    // Worked by hand from the fixed-point rules.
    EXPECT_EQ(Scale({{0, 100}, {200, 50}}, 4, 4, 1),
              (Grid{{0, 50, 100, 100}, {100, 88, 75, 75}, {200, 125, 50, 50}, {200, 125, 50, 50}}));
    // Four equal neighbours give their value exactly.
    EXPECT_EQ(Scale({{77, 77}, {77, 77}}, 5, 3, 1), Grid(3, std::vector<int>(5, 77)));
    // Every channel of a 24-bit picture on its own.
    RefPtr<Dib> s = Make24({{Rgb(0, 200, 10), Rgb(100, 0, 30)}});
    RefPtr<Dib> d = Make24({{0, 0, 0, 0}});
    DibScale(*d, *s, 1);
    EXPECT_EQ(PixelsOf(*d)[0][1], Rgb(50, 100, 20));
}

TEST(DibScale, ModeTwoChoosesByRatio) {
    Grid src(10, std::vector<int>(10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            src[y][x] = (x * 25 + y * 7) % 256;
    int used = -1;
    Scale(src, 8, 8, 2, &used);
    EXPECT_EQ(used, 1);
    Scale(src, 7, 10, 2, &used);
    EXPECT_EQ(used, 2);
    Scale(src, 10, 7, 2, &used);
    EXPECT_EQ(used, 2);
    Scale(src, 20, 20, 2, &used);
    EXPECT_EQ(used, 1);
    Scale(src, 4, 4, 9, &used);
    EXPECT_EQ(used, -1);
}

TEST(DibScale, FilteredLines) {
    RefPtr<Dib> a = MakeGrey8({{0}}), b = MakeGrey8({{0}});
    DibScale line(*a, *b, 4);
    std::vector<int32_t> out(16);
    // Shrinking by exactly 2: the halved line.
    std::vector<int32_t> step = {0, 0, 0, 0, 0, 0, 0, 0, 64, 64, 64, 64, 64, 64, 64, 64};
    line.ResampleLine(step.data(), 16, 8, out.data());
    EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + 8),
              (std::vector<int32_t>{0, 0, 0, 0, 44, 72, 64, 64}));
    // By 3: half way between the once- and twice-halved lines.
    std::vector<int32_t> edge = {0, 0, 0, 0, 0, 0, 96, 96, 96, 96, 96, 96};
    line.ResampleLine(edge.data(), 12, 4, out.data());
    EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + 4),
              (std::vector<int32_t>{0, 13, 66, 96}));
    // Equal values are copied without filtering.
    std::vector<int32_t> flat(9, 42);
    line.ResampleLine(flat.data(), 9, 2, out.data());
    EXPECT_EQ(out[0], 42);
    EXPECT_EQ(out[1], 42);
    // At the same length the 8 taps answer an impulse with their phase-0
    // weights: 65536 (255), 905 (4), 129 (1), 323 (1), negatives 0.
    std::vector<int32_t> impulse = {0, 0, 0, 0, 255, 0, 0, 0};
    line.ResampleLine(impulse.data(), 8, 8, out.data());
    EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + 8),
              (std::vector<int32_t>{0, 1, 0, 4, 255, 0, 1, 0}));
}

TEST(DibScale, TapTables) {
    const auto& t8 = DibScale::Table8();
    const auto& t4 = DibScale::Table4();
    for (int c = 0; c < 32; ++c) {
        int sum8 = 0, sum4 = 0;
        for (int t = 0; t < 8; ++t)
            sum8 += t8[t][c];
        for (int t = 0; t < 4; ++t)
            sum4 += t4[t][c];
        // Each truncated weight is off by less than one unit.
        EXPECT_NEAR(sum8, 65536, 8);
        EXPECT_EQ(sum4, 65536);
        for (int t = 0; t < 8; ++t)
            EXPECT_EQ(t8[t][c], t8[7 - t][31 - c]);
    }
    EXPECT_EQ(t8[3][31], 65536);
    EXPECT_EQ(t8[0][31], -129); // -2 * 65536 / 1013, truncated
}

TEST(DibScale, NormalisationIsLoggedOncePerProcess) {
    // A fresh process, so that this is the first use of the table; it keeps
    // its log in a folder of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            char folder[] = "/tmp/orvik-scale-XXXXXX";
            if (!mkdtemp(folder) || !OpenLog(folder, 0))
                std::exit(2);
            RefPtr<Dib> s = MakeGrey8({{0, 10, 20, 30, 40, 50, 60, 70}});
            RefPtr<Dib> d = MakeGrey8({{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}});
            DibScale(*d, *s, 4);
            DibScale(*d, *s, 4);
            std::string log = test::ReadFile(LogPath());
            CloseLog();
            std::filesystem::remove_all(folder);
            bool ok = log.find("Phase 31:    -129    323   -905  65536    905   -323    129      0 "
                               "(sum = 65536)\n") != std::string::npos &&
                      log.find("Phase  0: ") != std::string::npos &&
                      log.find("Phase  0: ") == log.rfind("Phase  0: ");
            if (!ok)
                fprintf(stderr, "%s", log.c_str());
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(DibScale, FilteredPictures) {
    // A flat picture stays flat through both passes.
    EXPECT_EQ(Scale(Grid(9, std::vector<int>(9, 90)), 4, 3, 4), Grid(3, std::vector<int>(4, 90)));
    // Equal sizes: a plain copy.
    Grid g = {{1, 2, 3}, {4, 5, 6}};
    EXPECT_EQ(Scale(g, 3, 2, 3), g);
    // Equal heights: one pass across, here halving each row.
    Grid rows = {{0, 0, 0, 0, 0, 0, 0, 0, 64, 64, 64, 64, 64, 64, 64, 64}};
    EXPECT_EQ(Scale(rows, 8, 1, 2), (Grid{{0, 0, 0, 0, 44, 72, 64, 64}}));
    // The vertical pass the same way down a column.
    Grid column;
    for (int v : rows[0])
        column.push_back({v});
    EXPECT_EQ(Scale(column, 1, 8, 2), (Grid{{0}, {0}, {0}, {0}, {44}, {72}, {64}, {64}}));
}

TEST(DibScale, ConvertsSourcesFirst) {
    // A 24-bit source into an 8-bit destination is mapped to grey.
    RefPtr<Dib> c = Make24({{Rgb(30, 60, 90), Rgb(255, 255, 255)}});
    RefPtr<Dib> g = MakeGrey8({{0, 0}});
    DibScale(*g, *c, 0);
    EXPECT_EQ(Bytes8(*g)[0], (std::vector<int>{60, 255}));
    // A coloured 8-bit source is mapped to grey even for an 8-bit
    // destination.
    RefPtr<Dib> idx = new Dib;
    ASSERT_TRUE(idx->Create(2, 1, 8));
    idx->SetColorRamp(256, Rgb(0, 0, 0), Rgb(255, 0, 0)); // reds
    idx->Bits()[0] = 255, idx->Bits()[1] = 30;
    DibScale(*g, *idx, 0);
    EXPECT_EQ(Bytes8(*g)[0], (std::vector<int>{85, 10}));
    // An 8-bit source into a 24-bit destination goes through its colours.
    RefPtr<Dib> d = Make24({{0, 0}});
    DibScale(*d, *idx, 1);
    EXPECT_EQ(PixelsOf(*d)[0], (std::vector<uint32_t>{Rgb(255, 0, 0), Rgb(30, 0, 0)}));
}

TEST(DibScale, RefusesSizesAndDepthsItCannotScale) {
    OpenTestLog();
    // A header claiming 40000 pixels: refused before any pixel is read.
    std::vector<uint8_t> block(40 + 1024 + 64, 0);
    BitmapInfoHeader h;
    h.width = 40000;
    h.height = 1;
    h.bitCount = 8;
    std::memcpy(block.data(), &h, 40);
    RefPtr<Dib> wide = new Dib;
    ASSERT_TRUE(wide->Attach(reinterpret_cast<BitmapInfoHeader*>(block.data()), nullptr));
    RefPtr<Dib> d = MakeGrey8({{5, 5}});
    DibScale a(*d, *wide, 0);
    EXPECT_TRUE(LogHas("DibScale: size out of range\n"));
    EXPECT_EQ(a.ModeUsed(), -1);
    DibScale b(*wide, *d, 1);
    EXPECT_EQ(b.ModeUsed(), -1);
    EXPECT_EQ(Bytes8(*d)[0], (std::vector<int>{5, 5}));
    // Destinations of 1, 4 or 16 bits are not scaled into.
    RefPtr<Dib> d16 = new Dib;
    ASSERT_TRUE(d16->Create(2, 2, 16));
    DibScale c(*d16, *d, 0);
    EXPECT_EQ(c.ModeUsed(), -1);
    EXPECT_TRUE(LogHas("DibScale: invalid pixel size\n"));
}

TEST(DibScale, ProgressAndCancel) {
    Grid src(4, std::vector<int>(4, 0));
    src[0][0] = 200;
    for (int mode : {0, 1, 4}) {
        SCOPED_TRACE(mode);
        RefPtr<Dib> s = MakeGrey8(src);
        RefPtr<Dib> d = MakeGrey8(Grid(8, std::vector<int>(3, 7)));
        std::vector<double> seen;
        DibScale scale(*d, *s, mode, [&](double f) {
            seen.push_back(f);
            return 1;
        });
        EXPECT_FALSE(scale.Cancelled());
        // One step per destination row; the filtered path adds one per
        // source row and destination column.
        size_t steps = mode == 4 ? 4 + 3 : 8;
        ASSERT_EQ(seen.size(), steps);
        for (size_t i = 0; i < steps; ++i)
            EXPECT_DOUBLE_EQ(seen[i], static_cast<double>(i + 1) / steps);
    }
    RefPtr<Dib> s = MakeGrey8(src);
    RefPtr<Dib> d = MakeGrey8(Grid(8, std::vector<int>(3, 7)));
    int calls = 0;
    DibScale cancelled(*d, *s, 0, [&](double) { return ++calls < 3 ? 1 : 0; });
    EXPECT_TRUE(cancelled.Cancelled());
    EXPECT_EQ(calls, 3);
    Grid out = Bytes8(*d);
    EXPECT_EQ(out[0][0], 200);                      // written before the cancel
    EXPECT_EQ(out[2], (std::vector<int>{7, 7, 7})); // the third row was not
    EXPECT_EQ(out[7], (std::vector<int>{7, 7, 7}));
}

} // namespace
} // namespace orvik
