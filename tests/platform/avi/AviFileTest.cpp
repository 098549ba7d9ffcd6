#include "platform/avi/AviFile.h"

#include "platform/avi/FourCC.h"
#include "platform/avi/MediaTestTools.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::FfmpegOutput;
using test::FfprobePackets;

struct AviCase {
    const char* name;
    const char* args;
    const char* handler;
    int width;
    int height;
    bool sound;
};

const char kSource[] = "-f lavfi -i testsrc2=size=320x240:rate=25 ";
const char kTone[] = "-f lavfi -i sine=f=440:sample_rate=44100 ";

const AviCase kCases[] = {
    {"mjpeg_pcm", "-c:v mjpeg -q:v 3 -pix_fmt yuvj420p -c:a pcm_s16le", "MJPG", 320, 240, true},
    {"mjpeg422", "-c:v mjpeg -q:v 3 -pix_fmt yuvj422p -an", "MJPG", 320, 240, false},
    {"dv", "-s 720x576 -c:v dvvideo -pix_fmt yuv420p -an", "dvsd", 720, 576, false},
    {"mpeg4", "-c:v mpeg4 -g 6 -q:v 4 -an", "FMP4", 320, 240, false},
    {"h264", "-c:v libx264 -preset veryfast -g 8 -bf 2 -an", "H264", 320, 240, false},
};

class AviFileCase : public testing::TestWithParam<AviCase> {};

std::string MakeCase(const AviCase& c) {
    return Ffmpeg(std::string(c.name) + ".avi",
                  std::string(kSource) + (c.sound ? kTone : "") + "-t 1 " + c.args);
}

TEST_P(AviFileCase, StreamInformationAndSamplesMatchFfmpeg) {
    const AviCase& c = GetParam();
    std::string path = MakeCase(c);
    ASSERT_FALSE(path.empty()) << test::ToolLog();

    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(video, nullptr) << file.Error();

    const AviStreamInfo& info = video->Info();
    EXPECT_EQ(info.fccType, MakeFourCC("vids"));
    EXPECT_EQ(FourCCText(info.fccHandler), c.handler);
    EXPECT_DOUBLE_EQ(video->Rate(), 25.0);
    EXPECT_EQ(info.rcFrame.right - info.rcFrame.left, c.width);
    EXPECT_EQ(info.rcFrame.bottom - info.rcFrame.top, c.height);
    EXPECT_EQ(info.dwSampleSize, 0u);
    ASSERT_NE(video->Video(), nullptr);
    EXPECT_EQ(video->Video()->width, c.width);
    EXPECT_EQ(video->Video()->AbsHeight(), c.height);
    std::vector<uint8_t> format;
    ASSERT_TRUE(video->ReadFormat(video->Start(), format));
    EXPECT_EQ(format, video->Format());

    // Every chunk where ffprobe finds it, with its size and key flag.
    auto packets = FfprobePackets(path, "v:0");
    ASSERT_EQ(video->Length(), static_cast<int64_t>(packets.size()));
    ASSERT_EQ(info.dwLength, packets.size());
    EXPECT_EQ(video->Length(), 25);
    for (size_t i = 0; i < packets.size(); ++i) {
        const AviStream::Entry& e = video->Entries()[i];
        EXPECT_EQ(e.offset, std::stoull(packets[i]["pos"])) << "frame " << i;
        EXPECT_EQ(e.size, std::stoul(packets[i]["size"])) << "frame " << i;
        EXPECT_EQ(e.key, packets[i]["flags"].find('K') != std::string::npos) << "frame " << i;
        EXPECT_EQ(video->IsKeyFrame(video->Start() + int64_t(i)), e.key);
    }
    EXPECT_TRUE(video->IsKeyFrame(video->Start()));

    // The samples' bytes are the packets ffmpeg copies out.
    std::vector<uint8_t> expected = FfmpegOutput(path, "-map 0:v -c copy -f data");
    std::vector<uint8_t> all, sample;
    for (int64_t s = video->Start(); s < video->Start() + video->Length(); ++s) {
        uint32_t bytes = 0;
        ASSERT_TRUE(video->SampleBytes(s, bytes));
        sample.resize(bytes);
        size_t got = 0;
        int64_t samples = 0;
        ASSERT_TRUE(video->Read(s, 1, sample.data(), sample.size(), &got, &samples));
        EXPECT_EQ(samples, 1);
        all.insert(all.end(), sample.begin(), sample.begin() + static_cast<ptrdiff_t>(got));
    }
    EXPECT_EQ(all, expected);

    if (c.sound) {
        AviStream* sound = file.FindStream(AviStream::kAudio, 0);
        ASSERT_NE(sound, nullptr) << file.Error();
        ASSERT_NE(sound->Sound(), nullptr);
        EXPECT_EQ(sound->Sound()->samplesPerSec, 44100u);
        EXPECT_EQ(sound->Info().dwSampleSize, sound->Sound()->blockAlign);
        EXPECT_DOUBLE_EQ(sound->Rate(), 44100.0);
        std::vector<uint8_t> pcm = FfmpegOutput(path, "-map 0:a -c copy -f data");
        ASSERT_EQ(static_cast<size_t>(sound->Length()) * sound->Sound()->blockAlign, pcm.size());
        // Read in pieces that do not line up with the chunks.
        std::vector<uint8_t> got(pcm.size());
        int64_t pos = 0;
        while (pos < sound->Length()) {
            size_t bytes = 0;
            int64_t samples = 0;
            size_t room = 997 * sound->Sound()->blockAlign;
            room = std::min(room, got.size() - size_t(pos) * sound->Sound()->blockAlign);
            ASSERT_TRUE(sound->Read(sound->Start() + pos, 997,
                                    got.data() + pos * sound->Sound()->blockAlign, room, &bytes,
                                    &samples));
            ASSERT_GT(samples, 0);
            EXPECT_EQ(bytes, size_t(samples) * sound->Sound()->blockAlign);
            pos += samples;
        }
        EXPECT_EQ(got, pcm);
        EXPECT_EQ(sound->Read(sound->Start() + sound->Length(), 1, got.data(), got.size(), nullptr,
                              nullptr),
                  false);
    }

    // The walk of the "movi" list finds the same chunks as the index.
    AviFile scanned;
    ASSERT_TRUE(scanned.Open(path, AviFile::IndexUse::scanOnly)) << scanned.Error();
    EXPECT_EQ(video->IndexKind(), "idx1");
    AviStream* scannedVideo = scanned.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(scannedVideo, nullptr);
    EXPECT_EQ(scannedVideo->IndexKind(), "scan");
    ASSERT_EQ(scannedVideo->Entries().size(), video->Entries().size());
    for (size_t i = 0; i < video->Entries().size(); ++i) {
        EXPECT_EQ(scannedVideo->Entries()[i].offset, video->Entries()[i].offset);
        EXPECT_EQ(scannedVideo->Entries()[i].size, video->Entries()[i].size);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, AviFileCase, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<AviCase>& i) { return i.param.name; });

TEST(AviFileTest, KeyFramesOfInterFrameVideo) {
    std::string path = Ffmpeg("gop.avi", std::string(kSource) + "-t 1 -c:v mpeg4 -g 6 -an");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    AviStream* v = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(v, nullptr);
    // Key frames every 6 frames: 0, 6, 12, 18, 24.
    struct Case {
        int64_t sample, prev, next;
    };
    for (Case c : {Case{0, 0, 6}, Case{5, 0, 6}, Case{6, 6, 12}, Case{23, 18, 24}, Case{24, 24, -1},
                   Case{99, 24, -1}}) {
        EXPECT_EQ(v->PrevKeyFrame(c.sample), c.prev) << c.sample;
        EXPECT_EQ(v->NextKeyFrame(c.sample), c.next) << c.sample;
    }
    EXPECT_EQ(v->PrevKeyFrame(-1), -1);
}

// ffmpeg starts an "AVIX" continuation form past 1 GiB and then indexes the
// whole file with OpenDML indexes: 41 frames of 4096 x 2160 raw pictures
// fill the first form.
TEST(AviFileTest, OpenDmlIndexReachesTheContinuationForm) {
    struct statvfs fs {};
    ASSERT_EQ(statvfs(test::Home().c_str(), &fs), 0);
    if (static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize < (3ull << 30))
        GTEST_SKIP() << "less than 3 GiB free for the 1.1 GB test file";
    std::string path =
        Ffmpeg("big.avi", "-f lavfi -i color=c=red:size=4096x2160:rate=25 "
                          "-f lavfi -i sine=f=440:sample_rate=8000 -frames:v 42 -t 1.68 "
                          "-c:v rawvideo -pix_fmt bgr24 -c:a pcm_s16le");
    ASSERT_FALSE(path.empty()) << test::ToolLog();

    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    EXPECT_TRUE(file.HasContinuation());
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(video->IndexKind(), "indx");
    EXPECT_EQ(sound->IndexKind(), "indx");
    ASSERT_EQ(video->Length(), 42);
    std::vector<uint8_t> pcm = FfmpegOutput(path, "-map 0:a -c copy -f data");
    ASSERT_GT(pcm.size(), 13000u);
    EXPECT_EQ(sound->Length(), static_cast<int64_t>(pcm.size() / 2));
    const uint32_t frameBytes = 4096u * 2160u * 3u;
    EXPECT_GT(video->Entries().back().offset, 1ull << 30);
    for (const AviStream::Entry& e : video->Entries())
        EXPECT_EQ(e.size, frameBytes);

    // The last frame lies in the continuation form and is red (B, G, R)
    // like the first.
    std::vector<uint8_t> first(frameBytes), last(frameBytes);
    ASSERT_TRUE(video->Read(0, 1, first.data(), first.size(), nullptr, nullptr));
    ASSERT_TRUE(video->Read(41, 1, last.data(), last.size(), nullptr, nullptr));
    EXPECT_TRUE(first == last);
    for (size_t at : {size_t(0), size_t(frameBytes / 2), size_t(frameBytes - 3)}) {
        EXPECT_EQ(last[at], 0);
        EXPECT_EQ(last[at + 1], 0);
        EXPECT_GT(last[at + 2], 250);
    }

    // "idx1" with a walk of the continuation agrees with the OpenDML index.
    AviFile old;
    ASSERT_TRUE(old.Open(path, AviFile::IndexUse::idx1Only)) << old.Error();
    AviStream* oldVideo = old.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(oldVideo, nullptr);
    EXPECT_EQ(oldVideo->IndexKind(), "idx1");
    ASSERT_EQ(oldVideo->Entries().size(), video->Entries().size());
    for (size_t i = 0; i < video->Entries().size(); ++i)
        EXPECT_EQ(oldVideo->Entries()[i].offset, video->Entries()[i].offset) << i;
    EXPECT_EQ(old.FindStream(AviStream::kAudio, 0)->Length(), sound->Length());
}

// Damaged files: each change to an ffmpeg file either leaves a usable,
// bounded reader or a refusal with a reason, never a crash.
struct Damage {
    const char* name;
    void (*apply)(std::vector<uint8_t>& file);
    bool soundUsable;
    int64_t videoFrames; // expected, -1 for "fewer than 25"
};

size_t SoundFormat(const std::vector<uint8_t>& b) {
    // The second "strf" belongs to the sound stream.
    return test::FindId(b, "strf", test::FindId(b, "strf") + 4) + 8;
}

const Damage kDamages[] = {
    {"block_align_0", [](auto& b) { test::SetLE16(b, SoundFormat(b) + 12, 0); }, false, 25},
    {"channels_0", [](auto& b) { test::SetLE16(b, SoundFormat(b) + 2, 0); }, false, 25},
    {"byte_rate_0", [](auto& b) { test::SetLE32(b, SoundFormat(b) + 8, 0); }, false, 25},
    {"bits_0", [](auto& b) { test::SetLE16(b, SoundFormat(b) + 14, 0); }, false, 25},
    {"video_scale_0", [](auto& b) { test::SetLE32(b, test::FindId(b, "strh") + 8 + 20, 0); }, true,
     25},
    {"index_past_end",
     [](auto& b) {
         size_t idx1 = test::FindId(b, "idx1");
         test::SetLE32(b, idx1 + 8 + 8, 0xFFFFFF00u); // first entry's offset
     },
     true, 24},
    {"movi_size_huge",
     [](auto& b) {
         size_t movi = test::FindId(b, "movi") - 8;
         test::SetLE32(b, movi + 4, 0xFFFFFFF0u);
         size_t idx1 = test::FindId(b, "idx1");
         b[idx1] = 'J'; // no index: the walk has to stop at the end of the file
     },
     true, 25},
    {"cut_in_half", [](auto& b) { b.resize(b.size() / 2); }, true, -1},
};

class AviDamage : public testing::TestWithParam<Damage> {};

TEST_P(AviDamage, IsReadSafely) {
    std::string path =
        Ffmpeg("ok.avi", std::string(kSource) + kTone + "-t 1 -c:v mjpeg -q:v 5 -c:a pcm_s16le");
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    GetParam().apply(bytes);

    AviFile file;
    ASSERT_TRUE(file.OpenMemory(bytes.data(), bytes.size())) << file.Error();
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(video, nullptr) << file.Error();
    EXPECT_DOUBLE_EQ(video->Rate(), 25.0);
    if (GetParam().videoFrames >= 0) {
        EXPECT_EQ(video->Length(), GetParam().videoFrames);
    } else {
        EXPECT_LT(video->Length(), 25);
    }
    for (const AviStream::Entry& e : video->Entries())
        EXPECT_LE(e.offset + e.size, bytes.size());
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    EXPECT_EQ(sound != nullptr, GetParam().soundUsable) << file.Error();
    if (!sound) {
        EXPECT_FALSE(file.Error().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Files, AviDamage, testing::ValuesIn(kDamages),
                         [](const testing::TestParamInfo<Damage>& i) { return i.param.name; });

TEST(AviFileTest, RefusesWhatIsNotAnAviFile) {
    AviFile file;
    EXPECT_FALSE(file.Open(test::InHome("missing.avi")));
    EXPECT_FALSE(file.Error().empty());
    const char wave[] = "RIFF\x04\x00\x00\x00WAVE";
    EXPECT_FALSE(file.OpenMemory(wave, sizeof wave - 1));
    EXPECT_EQ(file.Error(), "not an AVI file");
    EXPECT_FALSE(file.OpenMemory(nullptr, 0));
}

} // namespace
} // namespace orvik
