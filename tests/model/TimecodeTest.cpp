#include "model/Timecode.h"

#include "app/DiagnosticsLog.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "support/TestHome.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace orvik {
namespace {

constexpr Time kMin = std::numeric_limits<Time>::min();
constexpr Time kMax = std::numeric_limits<Time>::max();

// The time base is process-wide: every test sets the one it needs.
struct TimecodeTest : testing::Test {
    ~TimecodeTest() override { Timecode::Reset(); }

    // 25 (standard 1) or 30 (standard 0) frames per second at full rate.
    static void Use(int fps) {
        Timecode::SetFramesPerSample(1);
        Timecode::SetStandard(fps == 25 ? 1 : 0);
        ASSERT_EQ(Timecode::GetFramesPerSecond(), fps);
    }

    static int CountInLog(const std::string& text) {
        std::string log = test::ReadFile(LogPath());
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
            ++n;
        return n;
    }
};

TEST_F(TimecodeTest, StartsWithTheInitialBase) {
    Timecode::SetStandard(1);
    Timecode::Reset();
    EXPECT_EQ(Timecode::GetFramesPerSecond(), 30);
    EXPECT_EQ(Timecode::GetFramesPerSample(), 2);
    EXPECT_DOUBLE_EQ(Timecode::GetVideoRate(), 14.985);
}

TEST_F(TimecodeTest, StandardKeepsTheVideoRateExact) {
    struct Case {
        int standard, framesPerSample;
        int fps;
        int64_t rate, scale;
    } cases[] = {
        {0, 1, 30, 30, 1}, {1, 1, 25, 25, 1}, {2, 1, 25, 25, 1},
        {7, 1, 30, 30, 1}, {1, 2, 25, 25, 2}, {0, 2, 30, 15, 1},
    };
    for (const Case& c : cases) {
        Timecode::SetFramesPerSample(c.framesPerSample);
        Timecode::SetStandard(c.standard);
        int64_t rate = 0, scale = 0;
        Timecode::GetVideoRate(rate, scale);
        EXPECT_EQ(Timecode::GetFramesPerSecond(), c.fps) << c.standard;
        EXPECT_EQ(rate, c.rate) << c.standard << "/" << c.framesPerSample;
        EXPECT_EQ(scale, c.scale) << c.standard << "/" << c.framesPerSample;
    }
    // Half-rate PAL is 12.5 samples per second, not 12.
    Timecode::SetFramesPerSample(2);
    Timecode::SetStandard(1);
    EXPECT_EQ(Timecode::GetVideoRate(), 12.5);
    EXPECT_EQ(Timecode::ToMediaTime(2), 800000); // one sample lasts 80 ms
    EXPECT_FALSE(Timecode::SetFramesPerSample(0));
    EXPECT_EQ(Timecode::GetFramesPerSample(), 2);
}

TEST_F(TimecodeTest, TextFormsAt25And30FramesPerSecond) {
    struct Case {
        int fps;
        Time t;
        const char* format;
        const char* shortForm;
    } cases[] = {
        {25, 0, "0:00:00.00", ".00"},
        {25, 24, "0:00:00.24", ".24"},
        {25, 30, "0:00:01.05", "1.05"},
        {25, -30, "-0:00:01.05", "-1.05"},
        {25, 137, "0:00:05.12", "5.12"},
        {25, 1637, "0:01:05.12", "1:05.12"},
        {25, 15000, "0:10:00.00", "10:00.00"},
        {25, 90061, "1:00:02.11", "1:00:02.11"},
        {25, kMax, "23860:55:45.22", "23860:55:45.22"},
        {25, kMin, "-23860:55:45.23", "-23860:55:45.23"},
        {30, 29, "0:00:00.29", ".29"},
        {30, 30, "0:00:01.00", "1.00"},
        {30, -1, "-0:00:00.01", "-.01"},
        {30, 1800, "0:01:00.00", "1:00.00"},
        {30, 107999, "0:59:59.29", "59:59.29"},
        {30, 108000, "1:00:00.00", "1:00:00.00"},
        {30, 3000000, "27:46:40.00", "27:46:40.00"},
        {30, kMin, "-19884:06:28.08", "-19884:06:28.08"},
    };
    for (const Case& c : cases) {
        Use(c.fps);
        EXPECT_EQ(Timecode::Format(c.t), c.format) << c.fps << " " << c.t;
        EXPECT_EQ(Timecode::FormatShort(c.t), c.shortForm) << c.fps << " " << c.t;
    }
}

TEST_F(TimecodeTest, SceneTimecodes) {
    Use(30);
    struct Case {
        int64_t frames;
        int fps;
        bool keep;
        const char* text;
    } cases[] = {
        {0, 25, false, "0"},
        {0, 25, true, "00:00:00:00"},
        {37, 25, false, "1:12"},
        {37, 25, true, "00:00:01:12"},
        {90061, 25, false, "1:00:02:11"},
        {10, 30, false, "10"},
        {30, 30, false, "1:00"},
        {108000, 30, false, "1:00:00:00"},
        {-37, 25, false, "-1:12"},
        {std::numeric_limits<int64_t>::min(), 30, false, "-85401592933840:31:00:08"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Timecode::FormatTimecode(c.frames, c.fps, c.keep), c.text) << c.frames;
}

TEST_F(TimecodeTest, SceneTimecodeWithoutARateIsLoggedAndUsesTheBase) {
    Use(25);
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    EXPECT_EQ(Timecode::FormatTimecode(37, 0, false), "1:12");
    EXPECT_EQ(CountInLog("Timecode::FormatTimecode: invalid frame rate 0\n"), 1);
}

TEST_F(TimecodeTest, SplitAndBuild) {
    struct Case {
        int fps;
        Time t;
        Timecode::Parts parts;
    } cases[] = {
        {30, 111694, {1, 2, 3, 4}},
        {25, 93079, {1, 2, 3, 4}},
        {25, -93079, {-1, -2, -3, -4}}, // fields of a negative time truncate toward zero
        {30, 0, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Use(c.fps);
        EXPECT_EQ(Timecode::Split(c.t), c.parts) << c.t;
        EXPECT_EQ(Timecode::Hours(c.t), c.parts.hours);
        EXPECT_EQ(Timecode::Minutes(c.t), c.parts.minutes);
        EXPECT_EQ(Timecode::Seconds(c.t), c.parts.seconds);
        EXPECT_EQ(Timecode::Frames(c.t), c.parts.frames);
        EXPECT_EQ(
            Timecode::FromParts(c.parts.hours, c.parts.minutes, c.parts.seconds, c.parts.frames),
            c.t);
    }
    Use(25);
    EXPECT_EQ(Timecode::FromSeconds(2, 5), 55);
    EXPECT_EQ(Timecode::FromSeconds(-2, 5), -45);
    // Beyond the range of a time: the nearest time, not a wrapped one.
    EXPECT_EQ(Timecode::FromParts(1000000, 0, 0, 0), kMax);
    EXPECT_EQ(Timecode::FromParts(-1000000, 0, 0, 0), kMin);
    EXPECT_EQ(Timecode::FromSeconds(0, int64_t{1} << 40), kMax);
}

TEST_F(TimecodeTest, SettingOneField) {
    Use(30);
    const Time t = Timecode::FromParts(0, 1, 5, 12); // 1962
    ASSERT_EQ(t, 1962);
    struct Case {
        Time (*set)(Time, int32_t);
        int32_t value;
        Timecode::Parts parts;
    } cases[] = {
        {&Timecode::SetFrames, 40, {0, 1, 5, 29}},   {&Timecode::SetFrames, 29, {0, 1, 5, 29}},
        {&Timecode::SetFrames, 0, {0, 1, 5, 0}},     {&Timecode::SetMinutes, 75, {0, 0, 5, 12}},
        {&Timecode::SetMinutes, 59, {0, 59, 5, 12}}, {&Timecode::SetSeconds, 60, {0, 1, 0, 12}},
        {&Timecode::SetSeconds, -3, {0, 1, 0, 12}},  {&Timecode::SetHours, 100, {0, 1, 5, 12}},
        {&Timecode::SetHours, 99, {99, 1, 5, 12}},
    };
    for (const Case& c : cases) {
        Time r = c.set(t, c.value);
        EXPECT_EQ(Timecode::Split(r), c.parts) << c.value;
        EXPECT_EQ(r, Timecode::FromParts(c.parts.hours, c.parts.minutes, c.parts.seconds,
                                         c.parts.frames));
    }
    Use(25);
    EXPECT_EQ(Timecode::Frames(Timecode::SetFrames(0, 40)), 24);
}

TEST_F(TimecodeTest, SamplesAndMilliseconds) {
    struct Case {
        int fps;
        Time t;
        int64_t ms;
    } toMs[] = {
        {30, 30, 1000}, {30, 1, 33},      {30, -1, -33},
        {25, 1, 40},    {25, -26, -1040}, {30, kMax, 71582788233},
    };
    for (const Case& c : toMs) {
        Use(c.fps);
        EXPECT_EQ(Timecode::ToMilliseconds(c.t), c.ms) << c.fps << " " << c.t;
    }
    struct Back {
        int fps;
        int64_t ms;
        Time t;
    } fromMs[] = {
        {30, 1000, 30}, {30, 999, 29}, {30, -999, -29}, {30, 34, 1},
        {25, 39, 0},    {25, 40, 1},   {25, -40, -1},   {25, int64_t{1} << 50, kMax},
    };
    for (const Back& c : fromMs) {
        Use(c.fps);
        EXPECT_EQ(Timecode::FromMilliseconds(c.ms), c.t) << c.fps << " " << c.ms;
    }

    Timecode::SetFramesPerSample(2);
    EXPECT_EQ(Timecode::ToSample(5), 2);
    EXPECT_EQ(Timecode::ToSample(-5), -2);
    EXPECT_EQ(Timecode::FromSample(3), 6);
    EXPECT_EQ(Timecode::FromSample(int64_t{1} << 31), kMax);
}

TEST_F(TimecodeTest, MediaTimeAndItsRoundingEdges) {
    struct Case {
        int fps;
        double rate; // 0: the standard's own rate
        Time t;
        int32_t nudge;
        MediaTime media;
    } to[] = {
        {30, 29.97, 30, 0, 10010010}, // 1.001 s
        {30, 29.97, 1, 0, 333667},    // 333 667.000 3
        {30, 29.97, 1, 1, 353667},    // + 2 ms
        {30, 29.97, 0, 1, 20000},
        {30, 29.97, -1, 0, -333667}, // truncated toward zero
        {30, 29.97, kMax, 0, 716544426760093},
        {30, 0, 3, 0, 1000000},
        {25, 0, 25, 0, 10000000},
        {25, 0, 1, 0, 400000},
        {25, 0, -25, 1, -9980000},
    };
    for (const Case& c : to) {
        Use(c.fps);
        if (c.rate) {
            ASSERT_TRUE(Timecode::SetVideoRate(c.rate));
        }
        ASSERT_EQ(Timecode::GetFramesPerSample(), 1);
        EXPECT_EQ(Timecode::ToMediaTime(c.t, c.nudge), c.media) << c.fps << " " << c.t;
    }

    struct Back {
        int fps;
        double rate;
        MediaTime media;
        Time t;
    } from[] = {
        {30, 29.97, 10010010, 30},
        {30, 29.97, 323667, 0}, // (323 667 + 10 000) × 29.97 / 10^7 = 0.999 999 999
        {30, 29.97, 323668, 1}, // the margin carries it to the frame
        {30, 29.97, -10000, 0},
        {30, 29.97, -343667, 0},
        {30, 29.97, -343668, -1},
        {25, 0, 389999, 0},
        {25, 0, 390000, 1},
        {25, 0, 400000, 1},
        {25, 0, std::numeric_limits<MediaTime>::max(), kMax},
        {25, 0, std::numeric_limits<MediaTime>::min(), kMin},
    };
    for (const Back& c : from) {
        Use(c.fps);
        if (c.rate) {
            ASSERT_TRUE(Timecode::SetVideoRate(c.rate));
        }
        EXPECT_EQ(Timecode::FromMediaTime(c.media), c.t) << c.fps << " " << c.media;
    }
}

TEST_F(TimecodeTest, VideoRateSetsFramesPerSampleAndLogsOnlyChanges) {
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    Use(25);
    EXPECT_TRUE(Timecode::SetVideoRate(12.5));
    EXPECT_EQ(Timecode::GetFramesPerSample(), 2);
    EXPECT_TRUE(Timecode::SetVideoRate(12.5));
    EXPECT_EQ(CountInLog("Timecode::SetVideoRate: frames_per_sample = 2\n"), 1);
    EXPECT_EQ(CountInLog("Timecode::SetVideoRate"), 1);

    EXPECT_TRUE(Timecode::SetVideoRate(30000, 1001));
    EXPECT_EQ(Timecode::GetFramesPerSample(), 1);
    int64_t rate = 0, scale = 0;
    Timecode::GetVideoRate(rate, scale);
    EXPECT_EQ(rate, 30000);
    EXPECT_EQ(scale, 1001);
    EXPECT_EQ(CountInLog("Timecode::SetVideoRate: frames_per_sample = 1\n"), 1);

    Use(30);
    EXPECT_TRUE(Timecode::SetVideoRate(29.97));
    Timecode::GetVideoRate(rate, scale);
    EXPECT_EQ(rate, 2997);
    EXPECT_EQ(scale, 100);
    EXPECT_TRUE(Timecode::SetVideoRate(int64_t{4000000000}, int64_t{133466667}));
    // Terms beyond 10^9 are kept to a millionth of a sample per second.
    EXPECT_NEAR(Timecode::GetVideoRate(), 4000000000.0 / 133466667.0, 1e-6);
}

TEST_F(TimecodeTest, RefusedRatesChangeNothing) {
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    Use(25);
    ASSERT_TRUE(Timecode::SetVideoRate(12.5));
    const double bad[] = {0.0, -12.5, 100.0, 51.0, std::nan(""), INFINITY, 1e-12, 1e6};
    for (double rate : bad) {
        EXPECT_FALSE(Timecode::SetVideoRate(rate)) << rate;
        EXPECT_EQ(Timecode::GetVideoRate(), 12.5) << rate;
        EXPECT_EQ(Timecode::GetFramesPerSample(), 2) << rate;
    }
    EXPECT_FALSE(Timecode::SetVideoRate(0, 1));
    EXPECT_FALSE(Timecode::SetVideoRate(25, 0));
    EXPECT_FALSE(Timecode::SetVideoRate(-25, -1));
    EXPECT_EQ(CountInLog("Timecode::SetVideoRate: Invalid video_rate\n"), 11);
    // 50.0 still gives half a frame per sample: 25 / 50 + 0.5 = 1.
    EXPECT_TRUE(Timecode::SetVideoRate(50.0));
    EXPECT_EQ(Timecode::GetFramesPerSample(), 1);
}

TEST_F(TimecodeTest, ArchiveFormIsFourLittleEndianBytes) {
    MemFile file;
    {
        Archive ar(file, Archive::store);
        Time t = -2;
        Timecode::Serialize(ar, t);
        t = 0x01020304;
        Timecode::Serialize(ar, t);
        ar.Close();
    }
    EXPECT_EQ(file.Bytes(), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0x04, 0x03, 0x02, 0x01}));
    file.SeekToBegin();
    Archive in(file, Archive::load);
    Time a = 0, b = 0;
    Timecode::Serialize(in, a);
    Timecode::Serialize(in, b);
    EXPECT_EQ(a, -2);
    EXPECT_EQ(b, 0x01020304);
}

} // namespace
} // namespace orvik
