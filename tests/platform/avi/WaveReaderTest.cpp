#include "platform/avi/WaveReader.h"

#include "platform/avi/FourCC.h"
#include "platform/avi/MediaTestTools.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::Sox;

struct WaveCase {
    const char* name;
    bool viaSox;
    const char* options; // sox output options, or ffmpeg codec options
    uint16_t tag;        // effective tag
    uint16_t channels;
    uint16_t bits;
    bool fact;
    int64_t frames; // ffmpeg's ADPCM encoder counts its padded last block
};

// 0.2501 s at 8000 Hz: 2001 frames, an odd count, so 8-bit mono data needs a
// pad byte.
const WaveCase kWaves[] = {
    {"sox_u8_mono", true, "-e unsigned -b 8 -c 1", 1, 1, 8, false, 2001},
    {"sox_s16_stereo", true, "-e signed -b 16 -c 2", 1, 2, 16, false, 2001},
    {"sox_s24_mono", true, "-e signed -b 24 -c 1", 1, 1, 24, true, 2001},
    {"sox_s32_stereo", true, "-e signed -b 32 -c 2", 1, 2, 32, true, 2001},
    {"sox_float_mono", true, "-e floating-point -b 32 -c 1", 3, 1, 32, true, 2001},
    {"sox_mulaw_mono", true, "-e u-law -c 1", 7, 1, 8, true, 2001},
    {"sox_alaw_stereo", true, "-e a-law -c 2", 6, 2, 8, true, 2001},
    {"sox_ima_mono", true, "-e ima-adpcm -c 1", 0x11, 1, 4, true, 2001},
    {"sox_msadpcm_stereo", true, "-e ms-adpcm -c 2", 2, 2, 4, true, 2001},
    {"ff_u8_stereo", false, "-ac 2 -c:a pcm_u8", 1, 2, 8, false, 2001},
    {"ff_s16_mono", false, "-ac 1 -c:a pcm_s16le", 1, 1, 16, false, 2001},
    {"ff_s24_stereo", false, "-ac 2 -c:a pcm_s24le", 1, 2, 24, false, 2001},
    {"ff_s32_mono", false, "-ac 1 -c:a pcm_s32le", 1, 1, 32, false, 2001},
    {"ff_f32_stereo", false, "-ac 2 -c:a pcm_f32le", 3, 2, 32, true, 2001},
    {"ff_mulaw_stereo", false, "-ac 2 -c:a pcm_mulaw", 7, 2, 8, true, 2001},
    {"ff_alaw_mono", false, "-ac 1 -c:a pcm_alaw", 6, 1, 8, true, 2001},
    {"ff_ima_stereo", false, "-ac 2 -c:a adpcm_ima_wav", 0x11, 2, 4, true, 2034},
    {"ff_msadpcm_mono", false, "-ac 1 -c:a adpcm_ms", 2, 1, 4, true, 2036},
};

std::string MakeWave(const WaveCase& c) {
    std::string name = std::string(c.name) + ".wav";
    if (c.viaSox)
        return Sox(name, std::string("-n -r 8000 ") + c.options, "synth 0.2501 sine 300");
    return Ffmpeg(name, std::string("-f lavfi -i sine=f=300:sample_rate=8000 -t 0.2501 ") +
                            "-metadata title=Orvik " + c.options);
}

class WaveReaderCase : public testing::TestWithParam<WaveCase> {};

TEST_P(WaveReaderCase, FormatFramesAndDataMatchTheTools) {
    const WaveCase& c = GetParam();
    std::string path = MakeWave(c);
    ASSERT_FALSE(path.empty()) << test::ToolLog();

    WaveReader wave;
    ASSERT_TRUE(wave.Open(path)) << wave.Error();
    const WaveFormat& f = wave.Format();
    EXPECT_EQ(f.EffectiveTag(), c.tag);
    EXPECT_EQ(f.channels, c.channels);
    EXPECT_EQ(f.bitsPerSample, c.bits);
    EXPECT_EQ(f.samplesPerSec, 8000u);
    EXPECT_EQ(wave.HasFact(), c.fact);
    EXPECT_EQ(wave.FrameCount(), c.frames);
    if (c.fact) {
        EXPECT_EQ(wave.FactFrames(), uint32_t(c.frames));
    }

    // The data chunk holds what ffmpeg copies out of the file.
    std::vector<uint8_t> expected = test::FfmpegOutput(path, "-map 0:a -c copy -f data");
    ASSERT_FALSE(expected.empty());
    ASSERT_EQ(wave.DataSize(), expected.size());
    std::vector<uint8_t> got(expected.size() + 100);
    EXPECT_EQ(wave.ReadData(0, got.data(), got.size()), expected.size());
    got.resize(expected.size());
    EXPECT_EQ(got, expected);
    // Reading past the end of the data delivers only the bytes up to it.
    EXPECT_EQ(wave.ReadData(expected.size() - 3, got.data(), 100), 3u);
    EXPECT_EQ(wave.ReadData(expected.size(), got.data(), 100), 0u);

    // Every chunk lies inside the form, each after the previous one's pad.
    uint64_t next = wave.Form().ListBegin();
    for (const RiffChunk& chunk : wave.Chunks()) {
        EXPECT_EQ(chunk.offset, next);
        EXPECT_FALSE(chunk.overruns);
        next = chunk.End();
    }
}

INSTANTIATE_TEST_SUITE_P(Files, WaveReaderCase, testing::ValuesIn(kWaves),
                         [](const testing::TestParamInfo<WaveCase>& i) { return i.param.name; });

// Inserts a chunk of `size` bytes (odd sizes get their pad byte) before the
// data chunk of a WAVE file, fixing the RIFF size.
std::vector<uint8_t> InsertChunk(std::vector<uint8_t> b, const char* id, uint32_t size) {
    size_t data = test::FindId(b, "data");
    std::vector<uint8_t> chunk(8 + size + (size & 1), 0x5A);
    std::copy(id, id + 4, chunk.begin());
    test::SetLE32(chunk, 4, size);
    b.insert(b.begin() + static_cast<ptrdiff_t>(data), chunk.begin(), chunk.end());
    test::SetLE32(b, 4, static_cast<uint32_t>(b.size() - 8));
    return b;
}

TEST(WaveReaderTest, OddChunksListChunksAndUnknownChunksAreSkipped) {
    std::string path = MakeWave(kWaves[10]);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> original = test::ReadBytes(path);
    WaveReader plain;
    ASSERT_TRUE(plain.OpenMemory(original.data(), original.size()));
    ASSERT_TRUE(RiffFile::Find(plain.Chunks(), RiffFile::kList)) << "ffmpeg wrote no LIST";

    std::vector<uint8_t> odd = InsertChunk(InsertChunk(original, "abcd", 3), "LIST", 5);
    WaveReader wave;
    ASSERT_TRUE(wave.OpenMemory(odd.data(), odd.size())) << wave.Error();
    EXPECT_EQ(wave.FrameCount(), 2001);
    EXPECT_EQ(wave.DataSize(), plain.DataSize());
    EXPECT_EQ(wave.DataOffset(), plain.DataOffset() + 12 + 14);
    std::vector<uint8_t> a(plain.DataSize()), b(plain.DataSize());
    plain.ReadData(0, a.data(), a.size());
    wave.ReadData(0, b.data(), b.size());
    EXPECT_EQ(a, b);
}

TEST(WaveReaderTest, FrameCountFromFactAndFromBlocks) {
    // IMA ADPCM mono, 256-byte blocks of 505 frames: 2001 frames need 4
    // blocks (2020 frames); "fact" says how many of those are real.
    std::string path = MakeWave(kWaves[7]);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> b = test::ReadBytes(path);
    size_t fact = test::FindId(b, "fact");
    ASSERT_NE(fact, std::string::npos);

    struct Case {
        const char* name;
        uint32_t factFrames;
        bool keepFact;
        int64_t frames;
    };
    for (Case c : {Case{"fact", 2001, true, 2001}, Case{"fact_more_than_data", 5000, true, 2020},
                   Case{"fact_less", 1000, true, 1000}, Case{"no_fact", 0, false, 2020}}) {
        std::vector<uint8_t> v = b;
        test::SetLE32(v, fact + 8, c.factFrames);
        if (!c.keepFact)
            v[fact] = 'j';
        WaveReader wave;
        ASSERT_TRUE(wave.OpenMemory(v.data(), v.size())) << c.name << ": " << wave.Error();
        EXPECT_EQ(wave.FrameCount(), c.frames) << c.name;
    }
}

TEST(WaveReaderTest, DamagedFilesAreRefusedOrBounded) {
    std::string path = MakeWave(kWaves[1]);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    const std::vector<uint8_t> b = test::ReadBytes(path);
    size_t fmt = test::FindId(b, "fmt ");
    size_t data = test::FindId(b, "data");

    struct Case {
        const char* name;
        void (*apply)(std::vector<uint8_t>&, size_t fmt, size_t data);
        bool opens;
        uint64_t dataSize; // when it opens
    };
    const Case cases[] = {
        {"block_align_0", [](auto& v, size_t f, size_t) { test::SetLE16(v, f + 8 + 12, 0); }, false,
         0},
        {"channels_0", [](auto& v, size_t f, size_t) { test::SetLE16(v, f + 8 + 2, 0); }, false, 0},
        {"bits_0", [](auto& v, size_t f, size_t) { test::SetLE16(v, f + 8 + 14, 0); }, false, 0},
        {"rate_0", [](auto& v, size_t f, size_t) { test::SetLE32(v, f + 8 + 4, 0); }, false, 0},
        {"no_fmt", [](auto& v, size_t f, size_t) { v[f] = 'x'; }, false, 0},
        {"no_data", [](auto& v, size_t, size_t d) { v[d] = 'x'; }, false, 0},
        {"data_size_huge", [](auto& v, size_t, size_t d) { test::SetLE32(v, d + 4, 0xFFFFFFFFu); },
         true, 8004},
        {"riff_size_huge", [](auto& v, size_t, size_t) { test::SetLE32(v, 4, 0xFFFFFFF8u); }, true,
         8004},
        {"cut", [](auto& v, size_t, size_t) { v.erase(v.end() - 1000, v.end()); }, true, 7004},
        {"fmt_size_12", [](auto& v, size_t f, size_t) { test::SetLE32(v, f + 4, 12); }, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> v = b;
        c.apply(v, fmt, data);
        WaveReader wave;
        EXPECT_EQ(wave.OpenMemory(v.data(), v.size()), c.opens) << c.name;
        if (c.opens) {
            EXPECT_EQ(wave.DataSize(), c.dataSize) << c.name;
        } else {
            EXPECT_FALSE(wave.Error().empty()) << c.name;
        }
    }
}

TEST(WaveFormatTest, ParseIsBoundedByTheBlock) {
    // tag 2 (MS ADPCM), 1 channel, 8000 Hz, 4096 B/s, align 256, 4 bits,
    // extra size 32 but only 2 extra bytes present.
    const uint8_t adpcm[] = {2, 0, 1, 0, 0x40, 0x1F, 0,  0, 0,    0x10,
                             0, 0, 0, 1, 4,    0,    32, 0, 0xF4, 1};
    struct Case {
        const char* name;
        size_t size;
        bool ok;
        uint16_t bits;
        size_t extra;
    };
    for (Case c : {Case{"full", 20, true, 4, 2}, Case{"no_extra", 18, true, 4, 0},
                   Case{"no_cbsize", 16, true, 4, 0}, Case{"no_bits", 14, false, 0, 0},
                   Case{"short", 13, false, 0, 0}}) {
        WaveFormat f;
        std::string why;
        EXPECT_EQ(WaveFormat::Parse(adpcm, c.size, f, &why), c.ok) << c.name << " " << why;
        if (c.ok) {
            EXPECT_EQ(f.bitsPerSample, c.bits) << c.name;
            EXPECT_EQ(f.extra.size(), c.extra) << c.name;
        }
    }
    WaveFormat f;
    ASSERT_TRUE(WaveFormat::Parse(adpcm, 20, f));
    EXPECT_EQ(f.SamplesPerBlock(), 500u);
    EXPECT_EQ(f.Bytes().size(), 20u);
}

TEST(RiffFileTest, SizesNearFourGigabytesDoNotWrap) {
    // A chunk declaring 0xFFFFFFFF bytes after a small one: the walk marks
    // it as overrunning and stops, instead of wrapping to an earlier offset.
    std::vector<uint8_t> b(40, 0);
    std::copy_n("abcd", 4, b.begin());
    test::SetLE32(b, 4, 3); // odd: pad byte, next chunk at 12
    std::copy_n("huge", 4, b.begin() + 12);
    test::SetLE32(b, 16, 0xFFFFFFFFu);
    RiffFile riff;
    riff.OpenMemory(b.data(), b.size());
    auto chunks = riff.TopChunks();
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].End(), 12u);
    EXPECT_EQ(chunks[1].offset, 12u);
    EXPECT_TRUE(chunks[1].overruns);
    EXPECT_EQ(chunks[1].available, 20u);
    EXPECT_EQ(chunks[1].End(), 20ull + 0xFFFFFFFFull + 1);
}

} // namespace
} // namespace orvik
