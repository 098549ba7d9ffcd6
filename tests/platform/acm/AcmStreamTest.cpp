#include "platform/acm/AcmStream.h"

#include "platform/avi/MediaTestTools.h"
#include "platform/avi/WaveReader.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::Sox;

struct SoundCase {
    const char* name;
    bool viaSox;
    const char* options;
    int tolerance; // in 16-bit steps against ffmpeg's own conversion
};

const SoundCase kSounds[] = {
    {"sox_u8_mono", true, "-e unsigned -b 8 -c 1", 0},
    {"sox_s16_stereo", true, "-e signed -b 16 -c 2", 0},
    {"sox_s24_mono", true, "-e signed -b 24 -c 1", 1},
    {"sox_s32_stereo", true, "-e signed -b 32 -c 2", 1},
    {"sox_float_mono", true, "-e floating-point -b 32 -c 1", 1},
    {"sox_mulaw_mono", true, "-e u-law -c 1", 0},
    {"sox_alaw_stereo", true, "-e a-law -c 2", 0},
    {"sox_ima_mono", true, "-e ima-adpcm -c 1", 0},
    {"sox_msadpcm_stereo", true, "-e ms-adpcm -c 2", 0},
    {"ff_f32_stereo", false, "-ac 2 -c:a pcm_f32le", 1},
    {"ff_mulaw_stereo", false, "-ac 2 -c:a pcm_mulaw", 0},
    {"ff_ima_stereo", false, "-ac 2 -c:a adpcm_ima_wav", 0},
    {"ff_msadpcm_mono", false, "-ac 1 -c:a adpcm_ms", 0},
};

std::string MakeSound(const SoundCase& c) {
    std::string name = std::string(c.name) + ".wav";
    if (c.viaSox)
        return Sox(name, std::string("-n -r 8000 ") + c.options, "synth 0.2501 sine 300");
    return Ffmpeg(name,
                  std::string("-f lavfi -i sine=f=300:sample_rate=8000 -t 0.2501 ") + c.options);
}

std::vector<int16_t> AsShorts(const std::vector<uint8_t>& b) {
    std::vector<int16_t> s(b.size() / 2);
    std::memcpy(s.data(), b.data(), s.size() * 2);
    return s;
}

class AcmDecode : public testing::TestWithParam<SoundCase> {};

// Every kind of sound becomes the 16-bit PCM ffmpeg makes of it, frame for
// frame, converted a few blocks at a time.
TEST_P(AcmDecode, ToSixteenBitsLikeFfmpeg) {
    const SoundCase& c = GetParam();
    std::string path = MakeSound(c);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    WaveReader wave;
    ASSERT_TRUE(wave.Open(path)) << wave.Error();
    const WaveFormat& source = wave.Format();

    WaveFormat pcm;
    ASSERT_EQ(AcmStream::SuggestPcm(source, pcm), AcmStream::ok);
    EXPECT_EQ(pcm.channels, source.channels);
    EXPECT_EQ(pcm.samplesPerSec, source.samplesPerSec);
    WaveFormat target = WaveFormat::MakePcm(source.samplesPerSec, source.channels, 16);

    AcmStream stream;
    ASSERT_EQ(stream.Open(source, target), AcmStream::ok) << stream.Error();
    std::vector<uint8_t> data(wave.DataSize());
    ASSERT_EQ(wave.ReadData(0, data.data(), data.size()), data.size());

    uint32_t expectedBytes = 0;
    ASSERT_EQ(stream.SizeForSource(uint32_t(data.size()), expectedBytes), AcmStream::ok);
    std::vector<uint8_t> out;
    size_t piece = size_t(source.blockAlign) * 3 + 1; // not whole blocks: the rest waits
    size_t pos = 0;
    bool start = true;
    while (pos < data.size()) {
        size_t take = std::min(piece, data.size() - pos);
        uint32_t room = 0;
        ASSERT_EQ(stream.SizeForSource(uint32_t(take), room), AcmStream::ok);
        std::vector<uint8_t> buffer(room);
        uint32_t used = 0, made = 0;
        ASSERT_EQ(stream.Convert(data.data() + pos, uint32_t(take), buffer.data(), room, used, made,
                                 start),
                  AcmStream::ok);
        start = false;
        EXPECT_EQ(made, room);
        if (used == 0)
            break; // a partial block at the end
        out.insert(out.end(), buffer.begin(), buffer.begin() + made);
        pos += used;
    }
    EXPECT_EQ(out.size(), expectedBytes - (expectedBytes % target.blockAlign));

    std::vector<int16_t> ours = AsShorts(out);
    std::vector<int16_t> theirs = AsShorts(test::FfmpegOutput(path, "-f s16le -c:a pcm_s16le"));
    size_t frames = size_t(wave.FrameCount());
    ASSERT_GE(ours.size(), frames * source.channels);
    ASSERT_GE(theirs.size(), frames * source.channels);
    int worst = 0;
    for (size_t i = 0; i < frames * source.channels; ++i)
        worst = std::max(worst, std::abs(int(ours[i]) - int(theirs[i])));
    EXPECT_LE(worst, c.tolerance);
    // The sound is really there: the sine (ffmpeg's at 1/8 of full scale)
    // reaches well above silence, also when ffmpeg spreads it over two
    // channels.
    EXPECT_GT(*std::max_element(ours.begin(), ours.end()), 2000);
}

INSTANTIATE_TEST_SUITE_P(Files, AcmDecode, testing::ValuesIn(kSounds),
                         [](const testing::TestParamInfo<SoundCase>& i) { return i.param.name; });

struct Shape {
    uint32_t rate;
    uint16_t channels, bits;
    bool isFloat;
    WaveFormat Format() const {
        return isFloat ? WaveFormat::MakeFloat(rate, channels)
                       : WaveFormat::MakePcm(rate, channels, bits);
    }
};

// Shape changes, compared with sox's conversion of the same sine (sox
// resamples with a better filter: close, not equal).
TEST(AcmStreamTest, ShapeChangesMatchSox) {
    struct Case {
        Shape from, to;
        double minSnr; // dB, against sox
    };
    const Case cases[] = {
        {{8000, 1, 16, false}, {8000, 2, 8, false}, 30}, // sox dithers 8-bit results
        {{8000, 2, 16, false}, {8000, 1, 24, false}, 80},
        {{8000, 1, 8, false}, {8000, 1, 32, true}, 80},
        {{8000, 2, 16, false}, {11025, 2, 16, false}, 30},
        {{11025, 1, 16, false}, {22050, 2, 16, false}, 30},
        {{22050, 2, 32, true}, {8000, 1, 16, false}, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from.rate) + "/" + std::to_string(c.from.channels) + "/" +
                     std::to_string(c.from.bits) + " -> " + std::to_string(c.to.rate) + "/" +
                     std::to_string(c.to.channels) + "/" + std::to_string(c.to.bits));
        auto encoding = [](const Shape& s) {
            return std::string(s.isFloat     ? "-e floating-point"
                               : s.bits == 8 ? "-e unsigned"
                                             : "-e signed") +
                   " -b " + std::to_string(s.bits) + " -c " + std::to_string(s.channels) + " -r " +
                   std::to_string(s.rate);
        };
        std::string in = Sox("in.wav", "-n " + encoding(c.from), "synth 0.5 sine 300 vol 0.5");
        ASSERT_FALSE(in.empty()) << test::ToolLog();
        std::string ref = Sox("ref.wav", in + " " + encoding(c.to), "");
        ASSERT_FALSE(ref.empty()) << test::ToolLog();
        WaveReader src, dst;
        ASSERT_TRUE(src.Open(in));
        ASSERT_TRUE(dst.Open(ref));

        AcmStream stream;
        WaveFormat target = c.to.Format();
        ASSERT_EQ(stream.Open(src.Format(), target), AcmStream::ok) << stream.Error();
        std::vector<uint8_t> data(src.DataSize());
        src.ReadData(0, data.data(), data.size());
        uint32_t bytes = 0;
        ASSERT_EQ(stream.SizeForSource(uint32_t(data.size()), bytes), AcmStream::ok);
        // Frame-exact: ceil(frames x target rate / source rate).
        uint64_t frames = data.size() / src.Format().blockAlign;
        uint64_t expected = (frames * c.to.rate + c.from.rate - 1) / c.from.rate;
        EXPECT_EQ(bytes, expected * target.blockAlign);
        std::vector<uint8_t> out(bytes);
        uint32_t used = 0, made = 0;
        ASSERT_EQ(
            stream.Convert(data.data(), uint32_t(data.size()), out.data(), bytes, used, made, true),
            AcmStream::ok);
        EXPECT_EQ(used, data.size());
        EXPECT_EQ(made, bytes);

        // Compare both as 16-bit through our own reader of the sox file.
        std::vector<uint8_t> theirs(dst.DataSize());
        dst.ReadData(0, theirs.data(), theirs.size());
        WaveFormat s16 = WaveFormat::MakePcm(c.to.rate, c.to.channels, 16);
        auto to16 = [&](const std::vector<uint8_t>& b) {
            AcmStream s;
            EXPECT_EQ(s.Open(target, s16), AcmStream::ok);
            std::vector<uint8_t> o(b.size() / target.blockAlign * s16.blockAlign);
            uint32_t u = 0, m = 0;
            s.Convert(b.data(), uint32_t(b.size()), o.data(), uint32_t(o.size()), u, m, true);
            return AsShorts(o);
        };
        std::vector<int16_t> a = to16(out), b = to16(theirs);
        size_t n = std::min(a.size(), b.size());
        ASSERT_GT(n, 1000u);
        double signal = 0, noise = 0;
        // Skip the ends, where resampling filters start and stop.
        for (size_t i = 100; i + 100 < n; ++i) {
            signal += double(b[i]) * b[i];
            noise += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
        }
        double snr = noise == 0 ? 99 : 10 * std::log10(signal / noise);
        EXPECT_GE(snr, c.minSnr);
    }
}

TEST(AcmStreamTest, SizesAreExactBothWays) {
    const Shape shapes[] = {{8000, 1, 8, false},
                            {11025, 2, 16, false},
                            {22050, 1, 24, false},
                            {44100, 2, 32, true},
                            {48000, 2, 16, false}};
    for (const Shape& a : shapes)
        for (const Shape& b : shapes) {
            AcmStream s;
            WaveFormat from = a.Format(), to = b.Format();
            ASSERT_EQ(s.Open(from, to), AcmStream::ok);
            for (uint32_t want : {0u, 1u, 4u, 1000u, 4096u, 17641u}) {
                uint32_t source = 0, made = 0;
                ASSERT_EQ(s.SizeForDestination(want, source), AcmStream::ok);
                EXPECT_EQ(source % from.blockAlign, 0u);
                ASSERT_EQ(s.SizeForSource(source, made), AcmStream::ok);
                uint32_t wholeWant = want - want % to.blockAlign;
                EXPECT_GE(made, wholeWant) << from.samplesPerSec << "->" << to.samplesPerSec;
                if (source > 0) { // and it is the least that does
                    uint32_t less = 0;
                    s.SizeForSource(source - from.blockAlign, less);
                    EXPECT_LT(less, wholeWant);
                }
            }
        }
}

TEST(AcmStreamTest, PiecesGiveWhatOneConversionGives) {
    WaveFormat from = WaveFormat::MakePcm(11025, 1, 16), to = WaveFormat::MakePcm(44100, 2, 16);
    std::vector<uint8_t> data(2 * 5000);
    for (size_t i = 0; i < 5000; ++i) {
        int16_t v = int16_t(10000 * std::sin(i * 0.05));
        std::memcpy(&data[2 * i], &v, 2);
    }
    auto convert = [&](size_t piece) {
        AcmStream s;
        EXPECT_EQ(s.Open(from, to), AcmStream::ok);
        std::vector<uint8_t> out;
        for (size_t pos = 0; pos < data.size();) {
            uint32_t take = uint32_t(std::min(piece, data.size() - pos)), room = 0, used = 0,
                     made = 0;
            s.SizeForSource(take, room);
            std::vector<uint8_t> buffer(room);
            s.Convert(&data[pos], take, buffer.data(), room, used, made, pos == 0);
            out.insert(out.end(), buffer.begin(), buffer.begin() + made);
            pos += used;
        }
        return out;
    };
    std::vector<uint8_t> whole = convert(data.size()), pieces = convert(2 * 333);
    EXPECT_EQ(whole.size(), 20000u * 4);
    ASSERT_EQ(pieces.size(), whole.size());
    // Only the last frame of each piece may differ (it cannot see ahead).
    size_t differing = 0;
    for (size_t i = 0; i < whole.size(); i += 4)
        differing += std::memcmp(&whole[i], &pieces[i], 4) != 0;
    EXPECT_LE(differing, 4 * (data.size() / (2 * 333) + 1));
}

TEST(AcmStreamTest, RefusalsAndSuggestions) {
    WaveFormat ima;
    ima.tag = WaveFormat::kImaAdpcm;
    ima.channels = 1;
    ima.samplesPerSec = 8000;
    ima.avgBytesPerSec = 4055;
    ima.blockAlign = 256;
    ima.bitsPerSample = 4;
    ima.extra = {0xF9, 0x01};
    AcmStream s;
    // Compressed sound changes to PCM of its own rate and channels only.
    EXPECT_EQ(s.Open(ima, WaveFormat::MakePcm(22050, 2, 16)), AcmStream::notPossible);
    EXPECT_EQ(s.Open(ima, WaveFormat::MakePcm(8000, 1, 8)), AcmStream::ok);
    uint32_t bytes = 0;
    s.SizeForSource(256 * 3 + 10, bytes);
    EXPECT_EQ(bytes, 3u * 505);
    // Nothing is compressed.
    EXPECT_EQ(s.Open(WaveFormat::MakePcm(8000, 1, 16), ima), AcmStream::notPossible);

    WaveFormat broken = WaveFormat::MakePcm(8000, 2, 16);
    broken.blockAlign = 0;
    EXPECT_EQ(s.Open(broken, WaveFormat::MakePcm(8000, 2, 16)), AcmStream::badFormat);
    broken = WaveFormat::MakePcm(8000, 2, 16);
    broken.blockAlign = 3; // not a whole sample per channel
    EXPECT_EQ(s.Open(broken, WaveFormat::MakePcm(8000, 2, 16)), AcmStream::badFormat);
    WaveFormat out;
    EXPECT_EQ(AcmStream::SuggestPcm(broken, out), AcmStream::badFormat);

    struct Case {
        WaveFormat in;
        uint16_t bits;
    };
    WaveFormat mulaw = WaveFormat::MakePcm(8000, 1, 8);
    mulaw.tag = WaveFormat::kMuLaw;
    for (Case c : {Case{ima, 16}, Case{mulaw, 16}, Case{WaveFormat::MakePcm(44100, 2, 24), 24},
                   Case{WaveFormat::MakeFloat(48000, 2), 16}}) {
        ASSERT_EQ(AcmStream::SuggestPcm(c.in, out), AcmStream::ok);
        EXPECT_EQ(out, WaveFormat::MakePcm(c.in.samplesPerSec, c.in.channels, c.bits));
    }

    // The 8-bit extremes in 16 bits, as the readers expect them.
    AcmStream widen;
    ASSERT_EQ(widen.Open(WaveFormat::MakePcm(11025, 1, 8), WaveFormat::MakePcm(11025, 2, 16)),
              AcmStream::ok);
    const uint8_t in[] = {128, 255, 0};
    int16_t o[6] = {};
    uint32_t used = 0, made = 0;
    ASSERT_EQ(widen.Convert(in, 3, reinterpret_cast<uint8_t*>(o), sizeof o, used, made),
              AcmStream::ok);
    EXPECT_EQ(made, sizeof o);
    const int16_t expected[] = {0, 0, 32512, 32512, -32768, -32768};
    EXPECT_TRUE(std::equal(std::begin(o), std::end(o), std::begin(expected)));
}

} // namespace
} // namespace orvik
