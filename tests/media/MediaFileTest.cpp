#include "media/MediaFile.h"

#include "media/MediaFiles.h"
#include "media/MediaReaderTestSupport.h"
#include "media/WaveFile.h"

#include <gtest/gtest.h>
#include <numeric>

namespace orvik {
namespace {

using test::FfmpegOutput;
using test::Sox;

// A WAVE file that sox makes of raw unsigned 8-bit or signed 16-bit samples.
std::string WaveOf(const std::string& name, const std::vector<uint8_t>& raw, const char* type,
                   int rate, int channels) {
    std::string rawPath = test::InHome(name + ".raw");
    if (!test::WriteBytes(rawPath, raw))
        return {};
    return Sox(name + ".wav",
               std::string("-t ") + type + " -r " + std::to_string(rate) + " -c " +
                   std::to_string(channels) + " " + rawPath,
               "");
}

std::vector<uint8_t> Int16Bytes(const std::vector<int16_t>& v) {
    std::vector<uint8_t> b(v.size() * 2);
    std::memcpy(b.data(), v.data(), b.size());
    return b;
}

// ---------------------------------------------------------------------------
// Conversions against what sox and ffmpeg make of the same file.

struct Conversion {
    const char* name;
    const char* soxMake;   // sox options before and after the file name: "<before> | <after>"
    uint32_t rate;         // target
    uint16_t channels, bits;
    bool allowDirect;
    const char* reference; // sox options for the same conversion (empty: ffmpeg's decoding)
    double minSnr;         // against the reference; 0: sample by sample
    int maxDifference;     // sample by sample: the largest difference (sox rounds
                           // where the manager cuts low bits off)
};

const Conversion kConversions[] = {
    {"mulaw_to_s16", "-n -r 8000 -c 1 -e mu-law | synth 0.6 sine 300", 8000, 1, 16, false, "", 0,
     0},
    {"mulaw_to_u8", "-n -r 8000 -c 1 -e mu-law | synth 0.6 sine 300", 8000, 1, 8, false, "", 0, 1},
    {"alaw_to_s16", "-n -r 8000 -c 2 -e a-law | synth 0.6 sine 300 sine 450", 8000, 2, 16, false,
     "", 0, 0},
    {"ima_to_s16", "-n -r 22050 -c 1 -e ima-adpcm | synth 0.6 sine 300", 22050, 1, 16, false, "",
     0, 0},
    // Two steps: decoding to PCM of the file's own rate, then the shape.
    {"mulaw_to_s16_stereo_22k", "-n -r 8000 -c 1 -e mu-law | synth 0.6 sine 300", 22050, 2, 16,
     false, "-r 22050 -c 2 -b 16 -e signed", 25, 0},
    {"mulaw_to_s16_stereo_22k_direct", "-n -r 8000 -c 1 -e mu-law | synth 0.6 sine 300", 22050, 2,
     16, true, "-r 22050 -c 2 -b 16 -e signed", 25, 0},
    {"ima_to_u8_stereo_44k", "-n -r 22050 -c 1 -e ima-adpcm | synth 0.6 sine 300", 44100, 2, 8,
     false, "-r 44100 -c 2 -b 8 -e unsigned", 25, 0},
    {"msadpcm_to_s16_mono_11k", "-n -r 22050 -c 2 -e ms-adpcm | synth 0.6 sine 300 sine 300",
     11025, 1, 16, false, "-r 11025 -c 1 -b 16 -e signed", 25, 0},
    // PCM shapes: the compression manager and the direct resampler.
    {"s16_48k_to_44k", "-n -r 48000 -c 2 -b 16 | synth 0.6 sine 440 sine 620", 44100, 2, 16, false,
     "-r 44100 -c 2 -b 16 -e signed", 35, 0},
    {"s16_48k_to_44k_direct", "-n -r 48000 -c 2 -b 16 | synth 0.6 sine 440 sine 620", 44100, 2,
     16, true, "-r 44100 -c 2 -b 16 -e signed", 35, 0},
    {"u8_mono_to_s16_stereo_direct", "-n -r 11025 -c 1 -b 8 -e unsigned | synth 0.6 sine 200",
     22050, 2, 16, true, "-r 22050 -c 2 -b 16 -e signed", 30, 0},
    {"s24_to_s16", "-n -r 32000 -c 2 -b 24 | synth 0.6 sine 440 sine 620", 32000, 2, 16, false,
     "-b 16 -e signed", 0, 1},
};

class ConversionCase : public testing::TestWithParam<Conversion> {};

TEST_P(ConversionCase, MatchesTheTools) {
    const Conversion& c = GetParam();
    std::string make = c.soxMake;
    size_t bar = make.find(" | ");
    std::string path = Sox(std::string(c.name) + ".wav", make.substr(0, bar), make.substr(bar + 3));
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    const int bytesPerSample = c.bits / 8;

    std::vector<uint8_t> ref;
    if (*c.reference) {
        std::string refPath = test::InHome(std::string(c.name) + "-ref.raw");
        ASSERT_TRUE(test::Run("sox -D " + path + " " + c.reference + " -t raw " + refPath))
            << test::ToolLog();
        ref = test::ReadBytes(refPath);
    } else {
        std::string fmt = c.bits == 8 ? "u8" : "s16le";
        ref = FfmpegOutput(path, "-ac " + std::to_string(c.channels) + " -f " + fmt);
    }
    ASSERT_FALSE(ref.empty()) << test::ToolLog();

    RefPtr<MediaFile> file = GetMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file);
    WaveFormat target = WaveFormat::MakePcm(c.rate, c.channels, c.bits);
    const double duration = double(file->GetSampleCount()) / file->GetRate();
    const uint32_t frames = uint32_t(duration * c.rate) - 8;
    std::vector<uint8_t> got(size_t(frames) * target.blockAlign + 16, 0x5A);
    uint32_t n = file->ReadConverted(target, frames * target.blockAlign, got.data(), 0,
                                     c.allowDirect);
    // Linear interpolation stops one source frame before the end.
    EXPECT_GE(n, frames - uint32_t(c.rate / file->GetRate()) - 2);
    EXPECT_LE(n, frames);
    EXPECT_EQ(got[size_t(n) * target.blockAlign], 0x5A) << "wrote past what it delivered";
    ASSERT_LE(size_t(n) * target.blockAlign, ref.size());

    auto compare = [&](const uint8_t* mine, const uint8_t* theirs, size_t bytes, const char* what) {
        if (c.minSnr == 0) {
            EXPECT_LE(test::MaxSampleDifference(mine, theirs, bytes, bytesPerSample),
                      c.maxDifference)
                << what;
            return;
        }
        std::vector<int16_t> a, b;
        for (size_t i = 0; i + bytesPerSample <= bytes; i += bytesPerSample) {
            if (bytesPerSample == 1) {
                a.push_back(int16_t((mine[i] - 128) * 256));
                b.push_back(int16_t((theirs[i] - 128) * 256));
            } else {
                a.push_back(int16_t(mine[i] | mine[i + 1] << 8));
                b.push_back(int16_t(theirs[i] | theirs[i + 1] << 8));
            }
        }
        EXPECT_GE(test::SnrDb(b, a), c.minSnr) << what;
    };
    compare(got.data(), ref.data(), size_t(n) * target.blockAlign, "from the start");

    // From inside the file: the same sound as the reference there.
    // A frame where the two rates meet, so the reference has a frame there.
    const int64_t sourceRate = int64_t(file->GetRate());
    const int64_t step = sourceRate / std::gcd(sourceRate, int64_t(c.rate));
    const int64_t from = (file->GetSampleCount() / 3 / step + 1) * step;
    const uint64_t targetFrom = uint64_t(from * c.rate / sourceRate);
    std::vector<uint8_t> piece(4000u * target.blockAlign);
    uint32_t m = file->ReadConverted(target, uint32_t(piece.size()), piece.data(), from,
                                     c.allowDirect);
    ASSERT_GT(m, 3000u);
    ASSERT_LE((targetFrom + m) * target.blockAlign, ref.size());
    compare(piece.data(), &ref[targetFrom * target.blockAlign], size_t(m) * target.blockAlign,
            "from inside");
    ReleaseMediaFiles();
}

INSTANTIATE_TEST_SUITE_P(Tools, ConversionCase, testing::ValuesIn(kConversions),
                         [](const testing::TestParamInfo<Conversion>& i) { return i.param.name; });

// ---------------------------------------------------------------------------
// The direct resampler, by its definition: mono 8-bit 11025 Hz into 16-bit
// stereo 22050 Hz gives two frames per frame read, both channels equal;
// 128 becomes 0 and 255 becomes 32512, and the frame between two source
// frames lies halfway.
TEST(MediaFileTest, DirectResamplerDoublesMono8BitIntoStereo16Bit) {
    const std::vector<uint8_t> values = {128, 255, 0, 64, 200, 128, 129, 127, 1, 254};
    std::string path = WaveOf("ramp", values, "u8", 11025, 1);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());
    ASSERT_EQ(file->GetSampleCount(), 10);

    WaveFormat target = WaveFormat::MakePcm(22050, 2, 16);
    std::vector<int16_t> out(2 * 20 + 2, 0x1234);
    uint32_t n = file->ReadConverted(target, 4 * 20, out.data(), 0, true);
    ASSERT_EQ(n, 20u);
    for (uint32_t i = 0; i < n; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(out[2 * i], out[2 * i + 1]);
        int a = (values[i / 2] - 128) * 256;
        int b = (values[std::min<size_t>(i / 2 + 1, 9)] - 128) * 256;
        int expected = i % 2 == 0 ? a : int(0.5 * a + 0.5 * b);
        EXPECT_EQ(out[2 * i], expected);
    }
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[4], 32512);
    EXPECT_EQ(out[40], 0x1234);

    // From frame 4 on: room for 5 frames reads 2.5, that is 2 source frames,
    // which make 4.
    std::vector<int16_t> part(2 * 5, 0x1234);
    ASSERT_EQ(file->ReadConverted(target, 4 * 5, part.data(), 4, true), 4u);
    EXPECT_EQ(part[0], (200 - 128) * 256);
    EXPECT_EQ(part[2], int(0.5 * (200 - 128) * 256));
    EXPECT_EQ(part[4], (128 - 128) * 256);
    EXPECT_EQ(part[8], 0x1234);

    // Without the direct path the compression manager makes as many frames.
    std::vector<int16_t> managed(2 * 20);
    uint32_t m = file->ReadConverted(target, 4 * 20, managed.data(), 0, false);
    EXPECT_GE(m, 19u);
    EXPECT_EQ(managed[4], 32512);
}

// Shapes the direct resampler does not take go to the compression manager.
TEST(MediaFileTest, DirectResamplerDeclinesOtherShapes) {
    std::string path = Sox("s24.wav", "-n -r 11025 -c 1 -b 24", "synth 0.2 sine 300");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());
    std::vector<int16_t> ref = test::AsInt16(FfmpegOutput(path, "-f s16le"));
    ASSERT_GE(ref.size(), 1000u);
    // Same rate: no interpolation, so the result is the 24-bit sound cut to
    // 16 bits, as ffmpeg makes it, in both channels.
    WaveFormat target = WaveFormat::MakePcm(11025, 2, 16);
    std::vector<int16_t> got(2 * 1000);
    ASSERT_EQ(file->ReadConverted(target, 4 * 1000, got.data(), 0, true), 1000u);
    int worst = 0;
    for (size_t i = 0; i < 1000; ++i) {
        worst = std::max(worst, std::abs(got[2 * i] - ref[i]));
        EXPECT_EQ(got[2 * i], got[2 * i + 1]);
    }
    EXPECT_LE(worst, 1);
}

// ---------------------------------------------------------------------------

TEST(MediaFileTest, GetPeakLooksAtFiftyFramesAtMost) {
    std::vector<int16_t> samples(200, 0);
    samples[3] = 100;
    samples[10] = -700;
    samples[20] = 900;
    samples[49] = 50;
    samples[60] = 30000;
    samples[70] = -30000;
    samples[199] = -5;
    std::string path = WaveOf("peaks", Int16Bytes(samples), "s16", 8000, 1);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());

    struct Case {
        int64_t from, to;
        int32_t min, max;
    };
    for (Case c : {Case{0, 200, -700, 900}, Case{11, 60, 0, 900}, Case{21, 60, 0, 50},
                   Case{55, 200, -30000, 30000}, Case{150, 1000, -5, 0}, Case{190, 150, 0, 0},
                   Case{200, 300, 0, 0}}) {
        int32_t min = 1, max = -1;
        file->GetPeak(c.from, c.to, min, max);
        EXPECT_EQ(min, c.min) << c.from << ".." << c.to;
        EXPECT_EQ(max, c.max) << c.from << ".." << c.to;
    }

    // 8-bit values count as (v - 128) x 256.
    std::string path8 = WaveOf("peaks8", {128, 130, 120, 255, 0, 128}, "u8", 8000, 1);
    ASSERT_FALSE(path8.empty()) << test::ToolLog();
    RefPtr<MediaFile> file8 = OpenMediaFile(path8, MediaFile::kindAudio, 0);
    int32_t min = 0, max = 0;
    file8->GetPeak(0, 3, min, max);
    EXPECT_EQ(min, -8 * 256);
    EXPECT_EQ(max, 2 * 256);
    file8->GetPeak(0, 6, min, max);
    EXPECT_EQ(min, -128 * 256);
    EXPECT_EQ(max, 127 * 256);
}

// A media time becomes the frame (rate x time + 0.5 s) / 1 s.
TEST(MediaFileTest, ReadAudioAtRoundsTheMediaTimeToAFrame) {
    std::vector<int16_t> samples(16000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(i);
    std::string path = WaveOf("count", Int16Bytes(samples), "s16", 8000, 1);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());
    WaveFormat pcm = *file->GetWaveFormat();
    struct Case {
        MediaTime time;
        int first; // -1: nothing
    };
    for (Case c : {Case{0, 0}, Case{624, 0}, Case{625, 1}, Case{10000000, 8000},
                   Case{19987500, 15990}, Case{19993750, 15995}, Case{20000000, -1},
                   Case{-10000000, -1}, Case{INT64_MAX / 2, -1}}) {
        std::vector<int16_t> got(4, -1);
        uint32_t n = file->ReadAudioAt(pcm, 8, got.data(), c.time, false);
        if (c.first < 0) {
            EXPECT_EQ(n, 0u) << c.time;
            continue;
        }
        EXPECT_EQ(n, uint32_t(std::min(4, 16000 - c.first))) << c.time;
        EXPECT_EQ(got[0], c.first) << c.time;
    }
}

TEST(MediaFileTest, ReadPcmWritesNoMoreThanCountFrames) {
    std::string path = Sox("s.wav", "-n -r 8000 -c 2 -b 16", "synth 0.2 sine 300 sine 400");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    std::vector<uint8_t> buffer(1000, 0x77);
    EXPECT_EQ(file->ReadPcm(0, 10, buffer.data(), uint32_t(buffer.size()), false), 10u);
    EXPECT_EQ(buffer[40], 0x77);
    EXPECT_NE(buffer[39], 0x77);
    // A buffer smaller than the frames asked for is the limit.
    EXPECT_EQ(file->ReadPcm(0, 100, buffer.data(), 18, false), 4u);
    EXPECT_EQ(file->ReadPcm(0, 0, buffer.data(), 18, false), 0u);
    EXPECT_EQ(file->ReadPcm(1600, 10, buffer.data(), 40, false), 0u);
}

TEST(MediaFileTest, FailedConversionsDeliverNothingAndSayWhy) {
    test::OpenTestLog();
    std::string path = Sox("s.wav", "-n -r 8000 -c 1 -b 16", "synth 0.2 sine 300");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    std::vector<uint8_t> buffer(1000);

    // The manager makes no mu-law: neither step reaches it.
    WaveFormat mulaw = WaveFormat::MakePcm(8000, 1, 8);
    mulaw.tag = WaveFormat::kMuLaw;
    EXPECT_EQ(file->ReadConverted(mulaw, 100, buffer.data(), 0, true), 0u);
    EXPECT_NE(test::Log().find("ConvertSamples: acmStreamOpen failed, 512\n"), std::string::npos)
        << test::Log();

    WaveFormat broken = WaveFormat::MakePcm(8000, 1, 16);
    broken.blockAlign = 0;
    EXPECT_EQ(file->ReadConverted(broken, 100, buffer.data(), 0, false), 0u);
    EXPECT_NE(test::Log().find("ConvertSamples: acmStreamOpen failed, 11\n"), std::string::npos)
        << test::Log();
    EXPECT_EQ(file->ReadConverted(*file->GetWaveFormat(), 0, buffer.data(), 0, false), 0u);
    EXPECT_EQ(file->ReadConverted(*file->GetWaveFormat(), 10, buffer.data(), -1, false), 0u);

    EXPECT_EQ(MediaFile::ConvertSamples(0, "acmStreamSize"), 1);
    EXPECT_EQ(MediaFile::ConvertSamples(1, "acmStreamConvert"), 0);
    EXPECT_NE(test::Log().find("ConvertSamples: acmStreamConvert failed, 1\n"), std::string::npos);
    EXPECT_EQ(test::Log().find("acmStreamSize failed"), std::string::npos);
}

// Sound the converter makes nothing of (here MPEG audio whose frames were
// wiped out) is delivered as silence of the target's kind: 0x80 bytes for
// 8 bits, zeros otherwise.
TEST(MediaFileTest, ConversionThatMakesNothingDeliversSilence) {
    std::string path = test::Ffmpeg("mp2.wav", "-f lavfi -i sine=sample_rate=22050 -t 0.5 "
                                               "-c:a mp2 -b:a 64k");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    size_t data = test::FindId(bytes, "data");
    ASSERT_NE(data, std::string::npos);
    std::fill(bytes.begin() + ptrdiff_t(data) + 8, bytes.end(), 0);
    ASSERT_TRUE(test::WriteBytes(path, bytes));
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(file->IsOpen());
    ASSERT_EQ(file->GetWaveFormat()->tag, 0x50);
    struct Case {
        uint16_t bits;
        uint8_t silence;
    };
    for (Case c : {Case{8, 0x80}, Case{16, 0}}) {
        WaveFormat target = WaveFormat::MakePcm(22050, 1, c.bits);
        std::vector<uint8_t> out(1000, 0x33);
        EXPECT_EQ(file->ReadConverted(target, 1000, out.data(), 0, false), 1000u / target.blockAlign);
        EXPECT_EQ(std::count(out.begin(), out.end(), c.silence), 1000) << c.bits;
    }
}

// A reader that could not open answers 0 or null to everything.
TEST(MediaFileTest, PlainReaderAnswersNothing) {
    RefPtr<MediaFile> file(new MediaFile("x.avi", MediaFile::kindVideo, 3));
    EXPECT_EQ(file->GetFileName(), "x.avi");
    EXPECT_EQ(file->GetKind(), MediaFile::kindVideo);
    EXPECT_EQ(file->GetStreamIndex(), 3);
    EXPECT_EQ(file->IsOpen(), 0);
    EXPECT_EQ(file->IsValid(), 0);
    EXPECT_EQ(file->GetCompression(), 0u);
    EXPECT_TRUE(file->GetFrameRect().IsEmpty());
    EXPECT_EQ(file->GetSampleCount(), 0);
    EXPECT_EQ(file->GetRate(), 0.0);
    EXPECT_EQ(file->GetFirstSample(), 0);
    EXPECT_EQ(file->GetDataRate(), 0);
    EXPECT_FALSE(file->GetFrame(0));
    EXPECT_FALSE(file->GetFrameAt(10));
    int64_t index = 5;
    EXPECT_FALSE(file->GetNearestFrame(index));
    EXPECT_EQ(index, 5);
    EXPECT_FALSE(file->GetRawFrame(0));
    EXPECT_TRUE(file->GetFormat(0).empty());
    EXPECT_FALSE(file->GetWaveFormat());
    EXPECT_FALSE(file->GetPcmWaveFormatEx());
    EXPECT_EQ(file->HasPcmFormat(), 0);
    EXPECT_EQ(file->GetBytesPerFrame(), 0u);
    uint8_t buffer[64];
    EXPECT_EQ(file->Read(0, 1, buffer, sizeof buffer), 0);
    EXPECT_EQ(file->ReadSource(0, buffer, sizeof buffer), 0u);
    EXPECT_EQ(file->ReadPcm(0, 4, buffer, sizeof buffer, true), 0u);
    EXPECT_EQ(file->ReadAudioAt(WaveFormat::MakePcm(8000, 2, 16), 16, buffer, 0, true), 0u);
    int32_t min = 7, max = 7;
    file->GetPeak(0, 100, min, max);
    EXPECT_EQ(min, 0);
    EXPECT_EQ(max, 0);
    EXPECT_EQ(file->GetOutputMode(), 2);
    EXPECT_EQ(file->GetPlayHint(), 2);
    file->SetOutputMode(5);
    file->SetPlayHint(7);
    EXPECT_EQ(file->GetOutputMode(), 5);
    EXPECT_EQ(file->GetPlayHint(), 7);
    RefPtr<RefObject> copy(file->Clone());
    auto* clone = DynamicCast<MediaFile>(copy.get());
    ASSERT_NE(clone, nullptr);
    EXPECT_EQ(clone->GetFileName(), "x.avi");
    EXPECT_EQ(clone->GetStreamIndex(), 3);
    EXPECT_STREQ(file->GetRuntimeClass()->className, "MediaFile");
    EXPECT_EQ(file->GetRuntimeClass()->schema, 0x80000001u);
}

} // namespace
} // namespace orvik
