#include "media/VfwFile.h"

#include "media/MediaFiles.h"
#include "media/MediaReaderTestSupport.h"
#include "media/RawFrameDib.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/statvfs.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::FfmpegOutput;

// key=value lines that ffprobe prints for the first stream `select` picks.
std::map<std::string, std::string> StreamFacts(const std::string& path, const char* select) {
    std::string text = test::Capture(std::string("ffprobe -v error -count_packets -select_streams ") +
                                     select +
                                     " -show_entries stream=codec_tag_string,width,height,"
                                     "r_frame_rate,nb_read_packets,sample_rate,channels,"
                                     "codec_tag -of default=nw=1 " +
                                     path);
    std::map<std::string, std::string> facts;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        size_t eq = line.find('=');
        if (eq != std::string::npos)
            facts[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return facts;
}

uint32_t FourCC(const std::string& s) {
    return s.size() == 4 ? uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 |
                               uint32_t(uint8_t(s[2])) << 16 | uint32_t(uint8_t(s[3])) << 24
                         : 0;
}

struct AviCase {
    const char* name;
    const char* args; // codec options; the inputs are a test picture and a tone
    int width, height;
    double minPsnr;       // against ffmpeg's own decoding of the same frame
    bool jpegLike;        // ffmpeg's reference needs full chroma interpolation
    const char* soundRef; // ffmpeg's raw format of the sound's PCM form, or empty
};

const AviCase kAviCases[] = {
    {"mjpeg_pcm", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p -c:a pcm_s16le -ac 2", 320, 240, 35, true,
     "s16le"},
    {"mjpeg422", "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p -an", 320, 240, 35, true, ""},
    {"dv_pcm", "-s 720x576 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -ar 48000 -ac 2", 720, 576,
     40, false, "s16le"},
    {"mpeg4_ima", "-c:v mpeg4 -g 6 -q:v 4 -c:a adpcm_ima_wav", 320, 240, 40, false, "s16le"},
    {"h264_mulaw", "-c:v libx264 -preset veryfast -g 8 -bf 2 -c:a pcm_mulaw", 320, 240, 40, false,
     "s16le"},
};

std::string MakeAvi(const AviCase& c) {
    return Ffmpeg(std::string(c.name) + ".avi",
                  "-f lavfi -i testsrc2=size=320x240:rate=25 "
                  "-f lavfi -i sine=frequency=440:sample_rate=22050 -t 1 " +
                      std::string(c.args));
}

class AviFileCase : public testing::TestWithParam<AviCase> {};

TEST_P(AviFileCase, StreamsAndFramesMatchFfmpeg) {
    const AviCase& c = GetParam();
    test::OpenTestLog();
    std::string path = MakeAvi(c);
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    auto facts = StreamFacts(path, "v:0");
    const int64_t frames = std::stoll(facts["nb_read_packets"]);
    ASSERT_EQ(frames, 25) << test::ToolLog();

    RefPtr<MediaFile> video = OpenMediaFile(path, MediaFile::kindVideo, 0);
    ASSERT_TRUE(video->IsOpen()) << test::Log();
    ASSERT_NE(DynamicCast<VfwFile>(video.get()), nullptr);
    EXPECT_EQ(video->GetCompression(), FourCC(facts["codec_tag_string"]));
    EXPECT_EQ(video->GetFrameRect(), Rect(0, 0, c.width, c.height));
    EXPECT_EQ(video->GetRate(), 25.0);
    EXPECT_EQ(video->GetFirstSample(), 0);
    EXPECT_EQ(video->GetSampleCount(), frames);
    EXPECT_FALSE(video->GetWaveFormat());

    // Bytes per second of video: the file less its sound.
    std::vector<uint8_t> sound = *c.soundRef ? FfmpegOutput(path, "-map 0:a -c copy -f data")
                                             : std::vector<uint8_t>();
    const double fileBytes = double(test::ReadBytes(path).size());
    EXPECT_EQ(video->GetDataRate(),
              int64_t((fileBytes - double(sound.size())) / double(frames) * 25.0));

    // Frames in any order, against ffmpeg's decoding.
    std::vector<uint8_t> ref = FfmpegOutput(
        path, std::string(c.jpegLike ? test::JpegLikeScaling() : "") +
                  "-map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = size_t(c.width) * c.height * 3;
    ASSERT_EQ(ref.size(), frameBytes * frames) << test::ToolLog();
    auto check = [&](const uint8_t* bottomUp, int n, const char* how) {
        std::vector<uint8_t> got = test::TopDown(bottomUp, c.width, c.height, 3);
        double right = test::Psnr(got.data(), &ref[n * frameBytes], frameBytes);
        double wrong = test::Psnr(got.data(), &ref[((n + 5) % 25) * frameBytes], frameBytes);
        EXPECT_GE(right, c.minPsnr) << how << " frame " << n;
        EXPECT_GT(right, wrong + 3) << how << " frame " << n;
    };
    std::vector<RefPtr<Dib>> kept;
    for (int n : {0, 1, 13, 7, 24, 3, 12, 11, 11, 24, 0, 5}) {
        RefPtr<Dib> frame = video->GetFrame(n);
        ASSERT_TRUE(frame) << "frame " << n << "\n" << test::Log();
        ASSERT_EQ(frame->Width(), c.width);
        ASSERT_EQ(frame->AbsHeight(), c.height);
        ASSERT_EQ(frame->BitCount(), 24);
        check(frame->Bits(), n, "own");
        kept.push_back(frame);
    }
    // Frames handed out earlier are pictures of their own: still right.
    int order[] = {0, 1, 13, 7, 24, 3, 12, 11, 11, 24, 0, 5};
    for (size_t i = 0; i < kept.size(); ++i)
        check(kept[i]->Bits(), order[i], "kept");

    // Into the caller's memory, 24 and 32 bits.
    BitmapInfoHeader header;
    header.width = c.width;
    header.height = c.height;
    header.bitCount = 24;
    std::vector<uint8_t> bits(size_t(c.width) * 3 * c.height);
    for (int n : {2, 20, 19}) {
        RefPtr<Dib> frame = video->GetFrame(n, &header, bits.data());
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->Bits(), bits.data());
        EXPECT_EQ(frame->Header(), &header);
        check(bits.data(), n, "caller's 24 bits");
    }
    header.bitCount = 32;
    std::vector<uint8_t> bits32(size_t(c.width) * 4 * c.height);
    RefPtr<Dib> frame32 = video->GetFrame(9, &header, bits32.data());
    ASSERT_TRUE(frame32);
    std::vector<uint8_t> as24;
    for (size_t i = 0; i < bits32.size(); i += 4)
        as24.insert(as24.end(), {bits32[i], bits32[i + 1], bits32[i + 2]});
    check(as24.data(), 9, "caller's 32 bits");

    // Half the size, in the reader's own picture.
    BitmapInfoHeader half;
    half.width = c.width / 2;
    half.height = c.height / 2;
    half.bitCount = 24;
    std::vector<uint8_t> halfRef =
        FfmpegOutput(path, "-vf scale=" + std::to_string(half.width) + ":" +
                               std::to_string(half.height) +
                               " -map 0:v -fps_mode passthrough -f rawvideo -pix_fmt bgr24");
    const size_t halfBytes = size_t(half.width) * half.height * 3;
    ASSERT_EQ(halfRef.size(), halfBytes * frames);
    RefPtr<Dib> small = video->GetFrame(6, &half);
    ASSERT_TRUE(small);
    ASSERT_EQ(small->Width(), half.width);
    std::vector<uint8_t> smallTop = test::TopDown(small->Bits(), half.width, half.height, 3);
    // Scaled decoding (TurboJPEG's) and ffmpeg's scaler differ more.
    EXPECT_GE(test::Psnr(smallTop.data(), &halfRef[6 * halfBytes], halfBytes), 23);

    // Frames as stored: the packets ffmpeg copies out.
    std::vector<uint8_t> packets = FfmpegOutput(path, "-map 0:v -c copy -f data");
    auto sizes = test::FfprobePackets(path, "v:0");
    ASSERT_EQ(sizes.size(), size_t(frames));
    size_t at = 0;
    for (int64_t n = 0; n < frames; ++n) {
        size_t size = std::stoul(sizes[n]["size"]);
        if (n == 4 || n == 17) {
            RefPtr<Dib> raw = video->GetRawFrame(n);
            ASSERT_TRUE(raw);
            auto* stored = static_cast<RawFrameDib*>(raw.get());
            ASSERT_EQ(stored->Bytes().size(), size);
            EXPECT_TRUE(std::equal(stored->Bytes().begin(), stored->Bytes().end(),
                                   packets.begin() + ptrdiff_t(at)));
            EXPECT_EQ(raw->Width(), c.width);
            EXPECT_EQ(raw->GetCompression(), raw->Header()->compression);
            EXPECT_EQ(raw->Header()->sizeImage, size);
        }
        at += size;
    }
    std::vector<uint8_t> format = video->GetFormat(0);
    ASSERT_GE(format.size(), 40u);
    EXPECT_EQ(test::LE32(format, 4), uint32_t(c.width));

    // Outside the stream.
    EXPECT_FALSE(video->GetFrame(frames));
    EXPECT_FALSE(video->GetFrame(-1));
    EXPECT_NE(test::Log().find("VfwFile::GetFrame failed\n"), std::string::npos);
    EXPECT_FALSE(video->GetRawFrame(frames));
    EXPECT_NE(test::Log().find("VfwFile::AVIStreamSampleSize failed\n"), std::string::npos);

    // The sound stream, read as PCM, is what ffmpeg decodes.
    RefPtr<MediaFile> audio = OpenMediaFile(path, MediaFile::kindAudio, 0);
    if (!*c.soundRef) {
        EXPECT_FALSE(audio->IsOpen());
        return;
    }
    ASSERT_TRUE(audio->IsOpen());
    ASSERT_NE(DynamicCast<VfwFile>(audio.get()), nullptr);
    EXPECT_EQ(audio->GetDataRate(), 0);
    EXPECT_FALSE(audio->GetFrame(0));
    auto soundFacts = StreamFacts(path, "a:0");
    std::optional<WaveFormat> wave = audio->GetWaveFormat();
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->samplesPerSec, std::stoul(soundFacts["sample_rate"]));
    EXPECT_EQ(wave->channels, std::stoul(soundFacts["channels"]));
    EXPECT_EQ(wave->tag, std::stoul(soundFacts["codec_tag"], nullptr, 16));
    // The stream counts blocks.
    EXPECT_EQ(audio->GetSampleCount(), int64_t(sound.size() / wave->blockAlign));
    std::optional<WaveFormat> pcm = audio->GetPcmWaveFormatEx();
    ASSERT_TRUE(pcm);
    std::vector<uint8_t> pcmRef = FfmpegOutput(path, std::string("-map 0:a -f ") + c.soundRef);
    const uint32_t total = uint32_t(pcmRef.size() / pcm->blockAlign);
    std::vector<uint8_t> all(pcmRef.size());
    uint32_t got = audio->ReadPcm(0, total, all.data(), uint32_t(all.size()), false);
    EXPECT_GE(got, total - 2100) << "at most one block short";
    EXPECT_EQ(test::MaxSampleDifference(all.data(), pcmRef.data(), size_t(got) * pcm->blockAlign, 2),
              0);
    const uint32_t from = total / 2 + 3;
    std::vector<uint8_t> piece(500 * pcm->blockAlign);
    uint32_t n = audio->ReadPcm(from, 500, piece.data(), uint32_t(piece.size()), false);
    EXPECT_EQ(n, 500u);
    EXPECT_EQ(test::MaxSampleDifference(piece.data(), &pcmRef[size_t(from) * pcm->blockAlign],
                                        size_t(n) * pcm->blockAlign, 2),
              0);
}

INSTANTIATE_TEST_SUITE_P(Ffmpeg, AviFileCase, testing::ValuesIn(kAviCases),
                         [](const testing::TestParamInfo<AviCase>& i) { return i.param.name; });

// ---------------------------------------------------------------------------

struct SoundDamage {
    const char* name;
    size_t field; // offset in the sound format
    int bytes;    // 2 or 4
    uint32_t value;
    const char* reason;
};

// A sound format whose counts would divide by zero, or whose extra bytes
// pass the end of its chunk: the sound stream does not open, the video does.
TEST(VfwFileTest, DamagedSoundFormatsDoNotOpen) {
    std::string path = Ffmpeg("base.avi", "-f lavfi -i testsrc2=size=160x120:rate=10 "
                                          "-f lavfi -i sine=sample_rate=22050 -t 0.5 "
                                          "-c:v mjpeg -c:a adpcm_ima_wav");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    const std::vector<uint8_t> base = test::ReadBytes(path);
    size_t strf = test::FindId(base, "strf", test::FindId(base, "auds"));
    ASSERT_NE(strf, std::string::npos);
    const size_t fmt = strf + 8;
    ASSERT_EQ(test::LE32(base, strf + 4), 20u); // 18 bytes and 2 extra bytes
    const SoundDamage damages[] = {
        {"channels_0", 2, 2, 0, "sound format channel count out of range"},
        {"rate_0", 4, 4, 0, "sound format sample rate is 0"},
        {"byte_rate_0", 8, 4, 0, "sound format byte rate is 0"},
        {"block_align_0", 12, 2, 0, "sound format block align is 0"},
        {"bits_0", 14, 2, 0, "sound format bit count is 0"},
        {"extra_past_chunk", 16, 2, 10, "sound format extra bytes pass the end of its chunk"},
    };
    test::OpenTestLog();
    for (const SoundDamage& d : damages) {
        SCOPED_TRACE(d.name);
        std::vector<uint8_t> b = base;
        if (d.bytes == 2)
            test::SetLE16(b, fmt + d.field, uint16_t(d.value));
        else
            test::SetLE32(b, fmt + d.field, d.value);
        std::string damaged = test::InHome(std::string(d.name) + ".avi");
        ASSERT_TRUE(test::WriteBytes(damaged, b));
        RefPtr<VfwFile> sound(new VfwFile(damaged, MediaFile::kindAudio, 0));
        EXPECT_FALSE(sound->IsOpen());
        EXPECT_FALSE(sound->GetWaveFormat());
        EXPECT_EQ(sound->GetSampleCount(), 0);
        std::string log = test::Log();
        EXPECT_NE(log.find("VfwFile::Open " + damaged + ": " + d.reason + "\n"), std::string::npos)
            << log;
        EXPECT_FALSE(OpenMediaFile(damaged, MediaFile::kindAudio, 0)->IsOpen());
        RefPtr<VfwFile> video(new VfwFile(damaged, MediaFile::kindVideo, 0));
        EXPECT_TRUE(video->IsOpen());
        EXPECT_TRUE(video->GetFrame(2));
    }
}

TEST(VfwFileTest, MissingStreamsAndFilesDoNotOpen) {
    test::OpenTestLog();
    std::string path = Ffmpeg("v.avi", "-f lavfi -i testsrc2=size=160x120:rate=10 -t 0.3 -c:v mjpeg");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::string wave = test::Sox("s.wav", "-n -r 8000 -c 1 -b 16", "synth 0.1 sine 440");
    struct Case {
        std::string name;
        int32_t kind, stream;
        bool opens;
        std::string message;
    };
    const Case cases[] = {
        {path, 0, 0, true, ""},
        {path, 0, 1, false, "VfwFile: can't get stream info " + path + "\n"},
        {path, 1, 0, false, "VfwFile: can't get stream info " + path + "\n"},
        {path, 2, 0, false, "VfwFile::Open " + path + ": no stream kind 2\n"},
        {wave, 1, 0, false, "VfwFile::Open " + wave + ": not an AVI file\n"},
        {"", 0, 0, false, ""},
    };
    for (const Case& c : cases) {
        RefPtr<VfwFile> file(new VfwFile(c.name, c.kind, c.stream));
        EXPECT_EQ(file->IsOpen(), c.opens ? 1 : 0) << c.name << " " << c.kind << " " << c.stream;
        if (!c.message.empty()) {
            EXPECT_NE(test::Log().find(c.message), std::string::npos) << c.message << test::Log();
        }
    }
    // Reads of a closed reader: nothing, with the reason.
    RefPtr<VfwFile> closed(new VfwFile(path, MediaFile::kindAudio, 0));
    uint8_t buffer[16];
    EXPECT_EQ(closed->ReadSource(0, buffer, sizeof buffer), 0u);
    EXPECT_NE(test::Log().find("VfwFile::ReadSource _pstream is NULL\n"), std::string::npos);
}

// ffmpeg starts an "AVIX" continuation form past 1 GiB and indexes the whole
// file with OpenDML indexes; the last frames and sound lie past 1 GiB.
TEST(VfwFileTest, OpenDmlFileReadsPastOneGigabyte) {
    struct statvfs fs {};
    ASSERT_EQ(statvfs(test::Home().c_str(), &fs), 0);
    if (static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < (3ull << 30))
        GTEST_SKIP() << "less than 3 GiB free for the 1.1 GB test file";
    std::string path =
        Ffmpeg("big.avi", "-f lavfi -i color=c=red:size=4096x2160:rate=25 "
                          "-f lavfi -i sine=f=440:sample_rate=8000 -frames:v 42 -t 1.68 "
                          "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    ASSERT_GT(std::filesystem::file_size(path), uintmax_t(1) << 30);

    RefPtr<MediaFile> video = OpenMediaFile(path, MediaFile::kindVideo, 0);
    ASSERT_TRUE(video->IsOpen());
    EXPECT_EQ(video->GetSampleCount(), 42);
    EXPECT_EQ(video->GetFrameRect(), Rect(0, 0, 4096, 2160));
    for (int n : {0, 41}) {
        RefPtr<Dib> frame = video->GetFrame(n);
        ASSERT_TRUE(frame) << n;
        for (int y : {0, 1080, 2159}) {
            const uint8_t* p = frame->PixelAddress(4095, y);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p[0], 0);
            EXPECT_EQ(p[1], 0);
            EXPECT_GT(p[2], 250) << n << " " << y;
        }
    }
    RefPtr<MediaFile> sound = OpenMediaFile(path, MediaFile::kindAudio, 0);
    ASSERT_TRUE(sound->IsOpen());
    std::vector<uint8_t> pcm = FfmpegOutput(path, "-map 0:a -f s16le");
    ASSERT_EQ(sound->GetSampleCount(), int64_t(pcm.size() / 2));
    const uint32_t from = uint32_t(pcm.size() / 2) - 1000;
    std::vector<uint8_t> tail(2000);
    ASSERT_EQ(sound->ReadPcm(from, 1000, tail.data(), 2000, false), 1000u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), pcm.begin() + 2 * ptrdiff_t(from)));
    video = nullptr;
    sound = nullptr;
    std::remove(path.c_str());
}

} // namespace
} // namespace orvik
