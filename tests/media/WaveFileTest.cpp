#include "media/WaveFile.h"

#include "media/MediaFiles.h"
#include "media/MediaReaderTestSupport.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::FfmpegOutput;
using test::Sox;

// ---------------------------------------------------------------------------
// Files made by sox and ffmpeg: frame counts as soxi counts them (it reads
// "fact"), samples as ffmpeg decodes them.

struct MadeWave {
    const char* name;
    bool bySox;         // sox: `args` are "<before> | <after>" around the file name
    const char* args;   // ffmpeg: the input and output options
    uint16_t tag;       // the format tag the file carries
    int pcmBits;        // bits of the PCM form the reader delivers
    const char* refFormat; // ffmpeg's raw format of the same PCM
    int tolerance;      // largest sample difference to ffmpeg's decoding
    bool dropFact = false; // the "fact" chunk renamed to an unknown chunk
};

const char kStereoTone[] = "-f lavfi -i aevalsrc='0.6*sin(440*2*PI*t)|0.4*sin(660*2*PI*t)"
                           ":s=44100:d=0.4' ";
const char kMonoTone[] = "-f lavfi -i aevalsrc='0.7*sin(300*2*PI*t)+0.2*sin(2100*2*PI*t)"
                         ":s=22050:d=0.45' ";

const MadeWave kMadeWaves[] = {
    // 3308 one-byte frames: an odd data chunk with its pad byte.
    {"u8_mono_odd", true, "-n -r 11025 -c 1 -e unsigned -b 8 | synth 0.3 sine 440", 1, 8, "u8", 0},
    {"s16_stereo", true, "-n -r 44100 -c 2 -b 16 | synth 0.4 sine 440 sine 550", 1, 16, "s16le", 0},
    {"s24_mono", true, "-n -r 48000 -c 1 -b 24 | synth 0.25 sine 1000", 0xFFFE, 24, "s24le", 0},
    {"s32_stereo", true, "-n -r 32000 -c 2 -b 32 | synth 0.25 sine 500 sine 800", 0xFFFE, 32,
     "s32le", 0},
    {"f32_stereo_ffmpeg", false, "-c:a pcm_f32le", 0xFFFE, 16, "s16le", 1},
    {"f32_mono_sox", true, "-n -r 8000 -c 1 -e floating-point -b 32 | synth 0.3 sine 300", 3, 16,
     "s16le", 1},
    {"mulaw_mono", true, "-n -r 8000 -c 1 -e mu-law | synth 0.5 sine 300", 7, 16, "s16le", 0},
    {"alaw_stereo", false, "-c:a pcm_alaw", 6, 16, "s16le", 0},
    {"ima_mono_sox", true, "-n -r 22050 -c 1 -e ima-adpcm | synth 0.5 sine 350", 0x11, 16, "s16le",
     0},
    {"ima_mono_sox_without_fact", true, "-n -r 22050 -c 1 -e ima-adpcm | synth 0.5 sine 350", 0x11,
     16, "s16le", 0, true},
    {"ima_stereo_ffmpeg", false, "-c:a adpcm_ima_wav", 0x11, 16, "s16le", 0},
    {"msadpcm_stereo_sox", true, "-n -r 22050 -c 2 -e ms-adpcm | synth 0.5 sine 350 sine 500", 2,
     16, "s16le", 0},
    {"msadpcm_stereo_sox_without_fact", true,
     "-n -r 22050 -c 2 -e ms-adpcm | synth 0.5 sine 350 sine 500", 2, 16, "s16le", 0, true},
    {"msadpcm_mono_ffmpeg", false, "MONO -c:a adpcm_ms", 2, 16, "s16le", 0},
    // A LIST chunk of text before the sound.
    {"s16_list_ffmpeg", false, "MONO -c:a pcm_s16le -metadata title=Oddly -metadata artist=abc",
     1, 16, "s16le", 0},
};

std::string MakeWave(const MadeWave& c) {
    std::string file = std::string(c.name) + ".wav";
    std::string args = c.args;
    if (c.bySox) {
        size_t bar = args.find(" | ");
        std::string path = Sox(file, args.substr(0, bar), args.substr(bar + 3));
        if (c.dropFact && !path.empty()) {
            std::vector<uint8_t> b = test::ReadBytes(path);
            size_t at = test::FindId(b, "fact");
            if (at == std::string::npos)
                return {};
            std::copy_n("junk", 4, b.begin() + ptrdiff_t(at));
            test::WriteBytes(path, b);
        }
        return path;
    }
    std::string input = kStereoTone;
    if (args.rfind("MONO ", 0) == 0) {
        input = kMonoTone;
        args = args.substr(5);
    }
    return Ffmpeg(file, input + args);
}

class MadeWaveCase : public testing::TestWithParam<MadeWave> {};

TEST_P(MadeWaveCase, FramesAndSamplesMatchTheTools) {
    const MadeWave& c = GetParam();
    std::string path = MakeWave(c);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    // With a "fact" chunk its count, which ffprobe reports; without one
    // whole blocks, as soxi counts them.
    const bool hasFact = test::FindId(test::ReadBytes(path), "fact") != std::string::npos;
    if (c.tag == WaveFormat::kPcm || c.dropFact) {
        EXPECT_FALSE(hasFact);
    } else if (c.tag == WaveFormat::kImaAdpcm || c.tag == WaveFormat::kMsAdpcm) {
        EXPECT_TRUE(hasFact);
    }
    const int64_t frames =
        hasFact ? std::stoll("0" + test::Capture("ffprobe -v error -show_entries "
                                                 "stream=duration_ts -of csv=p=0 " + path))
                : test::SoxFrames(path);
    ASSERT_GT(frames, 0) << test::ToolLog();

    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());
    ASSERT_NE(DynamicCast<WaveFile>(file.get()), nullptr);
    EXPECT_EQ(file->GetSampleCount(), frames);
    std::optional<WaveFormat> format = file->GetWaveFormat();
    ASSERT_TRUE(format);
    EXPECT_EQ(format->tag, c.tag);
    EXPECT_EQ(file->GetRate(), double(format->samplesPerSec));

    std::optional<WaveFormat> pcm = file->GetPcmWaveFormatEx();
    ASSERT_TRUE(pcm);
    EXPECT_EQ(pcm->tag, WaveFormat::kPcm);
    EXPECT_EQ(pcm->bitsPerSample, c.pcmBits);
    EXPECT_EQ(pcm->channels, format->channels);
    EXPECT_EQ(pcm->samplesPerSec, format->samplesPerSec);
    EXPECT_TRUE(file->HasPcmFormat());

    const uint32_t frameBytes = pcm->blockAlign;
    std::vector<uint8_t> ref = FfmpegOutput(path, std::string("-f ") + c.refFormat);
    ASSERT_GE(ref.size(), size_t(frames) * frameBytes) << test::ToolLog();

    // The whole file at once, then pieces from inside it (for ADPCM from
    // the middle of a block).
    std::vector<uint8_t> all(size_t(frames) * frameBytes + 64, 0xEE);
    uint32_t got = file->ReadPcm(0, uint32_t(frames) + 10, all.data(), uint32_t(all.size()), false);
    EXPECT_EQ(got, uint32_t(frames));
    EXPECT_LE(test::MaxSampleDifference(all.data(), ref.data(), size_t(frames) * frameBytes,
                                        c.pcmBits / 8),
              c.tolerance);
    for (int64_t from : {frames / 3, frames / 2 + 1, frames - 100}) {
        std::vector<uint8_t> piece(777 * frameBytes);
        uint32_t n = file->ReadPcm(from, 777, piece.data(), uint32_t(piece.size()), false);
        uint32_t expected = uint32_t(std::min<int64_t>(777, frames - from));
        EXPECT_EQ(n, expected) << from;
        EXPECT_LE(test::MaxSampleDifference(piece.data(), &ref[size_t(from) * frameBytes],
                                            size_t(n) * frameBytes, c.pcmBits / 8),
                  c.tolerance)
            << "from " << from;
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, MadeWaveCase, testing::ValuesIn(kMadeWaves),
                         [](const testing::TestParamInfo<MadeWave>& i) { return i.param.name; });

// ---------------------------------------------------------------------------
// Damaged and unusual files, built from the parts of a sox file.

struct Part {
    std::string id;
    std::vector<uint8_t> data;
    int64_t declared = -1; // the size the header gives; -1: the data's size
};

std::vector<uint8_t> Riff(const std::vector<Part>& parts, int64_t riffSize = -1) {
    std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Part& p : parts) {
        b.insert(b.end(), p.id.begin(), p.id.end());
        b.resize(b.size() + 4);
        test::SetLE32(b, b.size() - 4,
                      uint32_t(p.declared >= 0 ? p.declared : int64_t(p.data.size())));
        b.insert(b.end(), p.data.begin(), p.data.end());
        if (p.data.size() & 1)
            b.push_back(0);
    }
    test::SetLE32(b, 4, uint32_t(riffSize >= 0 ? riffSize : int64_t(b.size() - 8)));
    return b;
}

std::vector<uint8_t> Le32Bytes(uint32_t v) {
    std::vector<uint8_t> b(4);
    test::SetLE32(b, 0, v);
    return b;
}

// A 16-bit mono 8000 Hz format chunk of `size` bytes (16: the plain form).
std::vector<uint8_t> PcmFormat(size_t size = 16) {
    std::vector<uint8_t> f(std::max<size_t>(size, 16), 0);
    test::SetLE16(f, 0, 1);
    test::SetLE16(f, 2, 1);
    test::SetLE32(f, 4, 8000);
    test::SetLE32(f, 8, 16000);
    test::SetLE16(f, 12, 2);
    test::SetLE16(f, 14, 16);
    f.resize(size);
    return f;
}

// 1000 frames of 16-bit mono sound that sox made.
std::vector<uint8_t> SoxSound() {
    std::string path = Sox("base.raw", "-n -r 8000 -c 1 -b 16 -e signed -t raw",
                           "synth 0.125 sine 440");
    return test::ReadBytes(path);
}

struct Damage {
    const char* name;
    std::vector<uint8_t> (*build)(const std::vector<uint8_t>& sound);
    int64_t frames;       // 0: does not open
    const char* message;  // the log line that says why (with "%s" the file)
};

std::vector<uint8_t> Slice(const std::vector<uint8_t>& s, size_t frames) {
    return std::vector<uint8_t>(s.begin(), s.begin() + ptrdiff_t(frames * 2));
}

std::vector<uint8_t> WithFormat(std::vector<uint8_t> f, const std::vector<uint8_t>& s) {
    return Riff({{"fmt ", std::move(f)}, {"data", s}});
}

std::vector<uint8_t> SetField16(size_t at, uint16_t v) {
    std::vector<uint8_t> f = PcmFormat();
    test::SetLE16(f, at, v);
    return f;
}

std::vector<uint8_t> SetField32(size_t at, uint32_t v) {
    std::vector<uint8_t> f = PcmFormat();
    test::SetLE32(f, at, v);
    return f;
}

const Damage kDamages[] = {
    {"plain", [](auto& s) { return WithFormat(PcmFormat(), s); }, 1000, nullptr},
    {"fact_more_than_data",
     [](auto& s) {
         return Riff({{"fmt ", PcmFormat()}, {"fact", Le32Bytes(1000)}, {"data", Slice(s, 800)}});
     },
     800, nullptr},
    {"fact_fewer_than_data",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"data", s}, {"fact", Le32Bytes(600)}}); },
     600, nullptr},
    {"odd_chunks_and_list",
     [](auto& s) {
         std::vector<uint8_t> info = {'I', 'N', 'F', 'O', 'I', 'N', 'A', 'M', 3, 0, 0, 0, 'a', 'b', 0, 0};
         return Riff({{"junk", {1, 2, 3}}, {"fmt ", PcmFormat()}, {"LIST", info},
                      {"abcd", {9}}, {"data", s}, {"zzzz", {1, 2, 3, 4, 5}}});
     },
     1000, nullptr},
    {"format_18_bytes", [](auto& s) { return WithFormat(PcmFormat(18), s); }, 1000, nullptr},
    // A recording cut off: the data chunk passes the end of the file but
    // not the RIFF chunk; what is there is read.
    {"cut_off",
     [](auto& s) {
         std::vector<uint8_t> b = WithFormat(PcmFormat(), s);
         b.erase(b.end() - 1000, b.end());
         return b;
     },
     500, nullptr},
    {"format_12_bytes", [](auto& s) { return WithFormat(PcmFormat(12), s); }, 0,
     "WaveFile: %s has format chunk of incorrect size\n"},
    {"format_120_bytes", [](auto& s) { return WithFormat(PcmFormat(120), s); }, 0,
     "WaveFile: %s has format chunk larger than expected\n"},
    {"two_formats",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"fmt ", PcmFormat()}, {"data", s}}); }, 0,
     "WaveFile: %s has multiple format chunks?\n"},
    {"two_data",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"data", s}, {"data", s}}); }, 0,
     "WaveFile: %s has multiple data chunks?\n"},
    {"two_facts",
     [](auto& s) {
         return Riff({{"fmt ", PcmFormat()}, {"fact", Le32Bytes(10)}, {"fact", Le32Bytes(10)},
                      {"data", s}});
     },
     0, "WaveFile: %s has multiple fact chunks?\n"},
    {"no_format", [](auto& s) { return Riff({{"data", s}}); }, 0,
     "WaveFile: %s has no format chunk?\n"},
    {"no_data", [](auto&) { return Riff({{"fmt ", PcmFormat()}, {"fact", Le32Bytes(1000)}}); }, 0,
     "WaveFile: %s has no data chunk?\n"},
    {"empty_data", [](auto&) { return Riff({{"fmt ", PcmFormat()}, {"data", {}}}); }, 0,
     "WaveFile: %s could not determine size\n"},
    {"data_past_riff",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"data", s, int64_t(s.size()) + 2}}); }, 0,
     "File: %s might be corrupt!\n"},
    // 44 + 0xFFFFFFF0 wraps round to 28 in 32 bits.
    {"data_size_wraps_32_bits",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"data", s, 0xFFFFFFF0}}); }, 0,
     "The RIFF chunk ID '%.081x' specifies a size greater than RIFF header allows\n"},
    {"riff_smaller_than_its_chunks",
     [](auto& s) { return Riff({{"fmt ", PcmFormat()}, {"data", s}}, 100); }, 0,
     "File: %s might be corrupt!\n"},
    {"channels_0", [](auto& s) { return WithFormat(SetField16(2, 0), s); }, 0,
     "WaveFile: %s has an unusable format chunk: sound format channel count out of range\n"},
    {"rate_0", [](auto& s) { return WithFormat(SetField32(4, 0), s); }, 0,
     "WaveFile: %s has an unusable format chunk: sound format sample rate is 0\n"},
    {"byte_rate_0", [](auto& s) { return WithFormat(SetField32(8, 0), s); }, 0,
     "WaveFile: %s has an unusable format chunk: sound format byte rate is 0\n"},
    {"block_align_0", [](auto& s) { return WithFormat(SetField16(12, 0), s); }, 0,
     "WaveFile: %s has an unusable format chunk: sound format block align is 0\n"},
    {"bits_0", [](auto& s) { return WithFormat(SetField16(14, 0), s); }, 0,
     "WaveFile: %s has an unusable format chunk: sound format bit count is 0\n"},
    {"extra_bytes_past_chunk",
     [](auto& s) {
         std::vector<uint8_t> f = PcmFormat(20);
         test::SetLE16(f, 16, 4); // says 4 extra bytes, the chunk holds 2
         return WithFormat(f, s);
     },
     0, "WaveFile: %s has format extra bytes past the end of its chunk\n"},
};

std::string Expand(const char* format, const std::string& path) {
    std::string m = format;
    size_t at = m.find("%s");
    if (at != std::string::npos)
        m.replace(at, 2, path);
    return m;
}

TEST(WaveFileTest, DamagedAndUnusualFiles) {
    test::OpenTestLog();
    std::vector<uint8_t> sound = SoxSound();
    ASSERT_EQ(sound.size(), 2000u) << test::ToolLog();
    for (const Damage& d : kDamages) {
        SCOPED_TRACE(d.name);
        std::string path = test::InHome(std::string(d.name) + ".wav");
        ASSERT_TRUE(test::WriteBytes(path, d.build(sound)));
        RefPtr<WaveFile> file(new WaveFile(path, MediaFile::kindAudio, 0));
        if (d.frames == 0) {
            EXPECT_FALSE(file->IsOpen());
            EXPECT_EQ(file->GetSampleCount(), 0);
            EXPECT_FALSE(file->GetWaveFormat());
            std::string log = test::Log();
            std::string message = Expand(d.message, path);
            if (message.find("%.081x") != std::string::npos) {
                char id[100];
                snprintf(id, sizeof id, "%.081x", 0x61746164u);
                message.replace(message.find("%.081x"), 6, id);
            }
            EXPECT_NE(log.find(message), std::string::npos) << log;
            EXPECT_EQ(GetMediaFile(path, MediaFile::kindAudio, 0), nullptr);
            continue;
        }
        ASSERT_TRUE(file->IsOpen());
        EXPECT_EQ(file->GetSampleCount(), d.frames);
        std::vector<uint8_t> got(2 * size_t(d.frames));
        EXPECT_EQ(file->ReadPcm(0, uint32_t(d.frames), got.data(), uint32_t(got.size()), false),
                  uint32_t(d.frames));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), sound.begin()));
    }
}

// The bounds message carries the offsets and sizes of both chunks.
TEST(WaveFileTest, CorruptChunkMessageGivesBothChunks) {
    test::OpenTestLog();
    std::string path = test::InHome("corrupt.wav");
    ASSERT_TRUE(test::WriteBytes(path, Riff({{"fmt ", PcmFormat()}, {"data", {1, 2, 3, 4}, 50}})));
    RefPtr<WaveFile> file(new WaveFile(path, MediaFile::kindAudio, 0));
    EXPECT_FALSE(file->IsOpen());
    std::string log = test::Log();
    for (const char* line : {"    parent.dwDataOffset: 8\n", "          parent.cksize: 40\n",
                             "  subchunk.dwDataOffset: 44\n", "        subchunk.cksize: 50\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

TEST(WaveFileTest, OnlySoundStreamZeroOfANamedFileOpens) {
    std::string path = Sox("a.wav", "-n -r 8000 -c 1 -b 16", "synth 0.1 sine 440");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    struct Case {
        std::string name;
        int32_t kind, stream;
        bool opens;
    };
    for (const Case& c : {Case{path, 1, 0, true}, Case{path, 0, 0, false}, Case{path, 1, 1, false},
                          Case{"", 1, 0, false}, Case{test::InHome("none.wav"), 1, 0, false}}) {
        RefPtr<WaveFile> file(new WaveFile(c.name, c.kind, c.stream));
        EXPECT_EQ(file->IsOpen(), c.opens ? 1 : 0) << c.name << " " << c.kind << " " << c.stream;
        EXPECT_EQ(file->GetFileName(), c.name);
        EXPECT_EQ(file->GetKind(), c.kind);
        EXPECT_EQ(file->GetStreamIndex(), c.stream);
    }
}

// Reads are cut at the end of the data chunk and start at whole frames; big
// files go through the read-ahead buffer and read the same bytes.
TEST(WaveFileTest, ReadSourceStaysInsideTheDataChunk) {
    std::string path = Sox("big.wav", "-n -r 44100 -c 2 -b 16", "synth 1.3 sine 440 sine 700");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> data = FfmpegOutput(path, "-c:a copy -f s16le");
    RefPtr<WaveFile> file(new WaveFile(path, MediaFile::kindAudio, 0));
    ASSERT_TRUE(file->IsOpen());
    ASSERT_EQ(file->GetDataSize(), data.size());
    ASSERT_GT(data.size(), 65536u * 3);
    // The bytes after the data chunk are not sound.
    std::vector<uint8_t> whole = test::ReadBytes(path);
    EXPECT_EQ(file->GetDataOffset() + data.size(), whole.size());

    struct Case {
        uint64_t offset;
        uint32_t bytes;
        uint64_t from;     // where the bytes come from
        uint32_t expected; // how many
    };
    const uint64_t size = data.size();
    const Case cases[] = {
        {0, 4000, 0, 4000},
        {6, 100, 4, 100},             // rounded down to a whole frame
        {70000, 65536, 70000, 65536}, // just fits the buffer
        {70100, 30000, 70100, 30000}, // inside the buffered range
        {1000, 200000, 1000, 200000}, // more than the buffer
        {size - 10, 100, size - 12, 12},
        {size - 4, 4, size - 4, 4},
        {size, 100, 0, 0},
        {size + 4000, 100, 0, 0},
        {UINT64_MAX - 3, 100, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> got(c.bytes + 8, 0xA5);
        uint32_t n = file->ReadSource(c.offset, got.data(), c.bytes);
        ASSERT_EQ(n, c.expected) << c.offset;
        EXPECT_TRUE(std::equal(got.begin(), got.begin() + n, data.begin() + ptrdiff_t(c.from)))
            << c.offset;
        EXPECT_EQ(got[n], 0xA5) << c.offset;
    }
    file->Close();
    EXPECT_EQ(file->ReadSource(0, whole.data(), 10), 0u);
    EXPECT_EQ(file->GetDataSize(), 0u);
    EXPECT_EQ(file->GetSampleCount(), 0);
    // A closed reader opens itself again when asked.
    EXPECT_EQ(file->IsValid(), 1);
    EXPECT_EQ(file->GetDataSize(), data.size());
}

} // namespace
} // namespace orvik
