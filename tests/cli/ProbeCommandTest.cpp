// `orvik probe`, run as a program the way scripts run it.
#include "imaging/Dib.h"
#include "platform/avi/MediaTestTools.h"
#include "support/TestHome.h"

#include <cmath>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sys/wait.h>

namespace orvik {
namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

Result Probe(const std::string& args) {
    std::string out = test::InHome("probe.out"), err = test::InHome("probe.err");
    std::string command = std::string(ORVIK_BIN_DIR) + "/orvik probe " + args + " >" + out +
                          " 2>" + err;
    Result r;
    int raw = std::system(command.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = test::ReadFile(out);
    r.err = test::ReadFile(err);
    return r;
}

std::string MakeClip() {
    return test::Ffmpeg("clip.avi", "-f lavfi -i testsrc2=size=320x240:rate=25 "
                                    "-f lavfi -i sine=sample_rate=22050 -t 1 "
                                    "-c:v mjpeg -q:v 3 -c:a pcm_s16le");
}

TEST(ProbeCommandTest, ShowsTheStreamsAsTextAndJson) {
    std::string path = MakeClip();
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    Result text = Probe(path);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_TRUE(text.err.empty()) << text.err;
    for (const char* line : {"video stream 0\n", "  compression:   MJPG\n",
                             "  frame rect:    0 0 320 240\n", "  rate:          25 per second\n",
                             "  sample count:  25\n", "sound stream 0\n",
                             "  sample count:  22050\n",
                             "  wave format:   tag 1 (PCM), 1 channels, 22050 Hz, 44100 bytes per "
                             "second, block align 2, 16 bits, 0 extra bytes\n"})
        EXPECT_NE(text.out.find(line), std::string::npos) << line << text.out;

    Result json = Probe(path + " --json");
    ASSERT_EQ(json.status, 0) << json.err;
    nlohmann::json doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["file"], path);
    ASSERT_EQ(doc["streams"].size(), 2u);
    const auto& v = doc["streams"][0];
    EXPECT_EQ(v["kind"], "video");
    EXPECT_EQ(v["compression"], "MJPG");
    EXPECT_EQ(v["frameRect"], nlohmann::json({0, 0, 320, 240}));
    EXPECT_EQ(v["rate"], 25.0);
    EXPECT_EQ(v["firstSample"], 0);
    EXPECT_EQ(v["sampleCount"], 25);
    std::vector<uint8_t> sound = test::FfmpegOutput(path, "-map 0:a -c copy -f data");
    double fileBytes = double(test::ReadBytes(path).size());
    EXPECT_EQ(v["dataRate"], int64_t((fileBytes - double(sound.size())) / 25 * 25));
    EXPECT_TRUE(v["waveFormat"].is_null());
    const auto& a = doc["streams"][1];
    EXPECT_EQ(a["kind"], "sound");
    EXPECT_EQ(a["sampleCount"], int64_t(sound.size() / 2));
    EXPECT_EQ(a["waveFormat"]["tag"], 1);
    EXPECT_EQ(a["waveFormat"]["samplesPerSec"], 22050);
    EXPECT_EQ(a["waveFormat"]["blockAlign"], 2);
}

TEST(ProbeCommandTest, WritesADecodedFrame) {
    std::string path = MakeClip();
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::string bmp = test::InHome("frame.bmp");
    Result r = Probe(path + " --frame 7 --out " + bmp);
    ASSERT_EQ(r.status, 0) << r.err;
    RefPtr<Dib> picture(new Dib);
    ASSERT_TRUE(picture->LoadFromFile(bmp));
    ASSERT_EQ(picture->Width(), 320);
    ASSERT_EQ(picture->AbsHeight(), 240);
    ASSERT_EQ(picture->BitCount(), 24);
    std::vector<uint8_t> ref = test::FfmpegOutput(
        path, "-sws_flags bicubic+accurate_rnd+full_chroma_int -f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = 320 * 240 * 3;
    ASSERT_EQ(ref.size(), 25 * frameBytes);
    auto psnr = [&](int n) {
        double sum = 0;
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320 * 3; ++x) {
                double d = double(picture->PixelAddress(0, y)[x]) -
                           double(ref[n * frameBytes + size_t(y) * 960 + x]);
                sum += d * d;
            }
        return sum == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 * double(frameBytes) / sum);
    };
    EXPECT_GE(psnr(7), 35);
    EXPECT_GT(psnr(7), psnr(12) + 3);
}

TEST(ProbeCommandTest, FailuresAreOneLineAndNonZero) {
    std::string path = MakeClip();
    ASSERT_FALSE(path.empty()) << test::ToolLog();
    std::string text = test::InHome("notes.txt");
    ASSERT_TRUE(test::WriteBytes(text, {'h', 'e', 'l', 'l', 'o'}));
    std::string wav = test::Sox("s.wav", "-n -r 8000 -c 1 -b 16", "synth 0.1 sine 440");
    const std::string cases[] = {
        text,
        test::InHome("missing.avi"),
        path + " --frame 25 --out " + test::InHome("x.bmp"),
        path + " --frame 1",
        path + " --frame x --out y.bmp",
        wav + " --frame 0 --out " + test::InHome("x.bmp"),
        path + " --bogus",
        "",
    };
    for (const std::string& args : cases) {
        Result r = Probe(args);
        EXPECT_NE(r.status, 0) << args;
        EXPECT_EQ(r.err.rfind("orvik: ", 0), 0u) << args << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args << ": " << r.err;
    }
    Result help = Probe("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* word : {"--json", "--frame N", "--out", "exit status"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

} // namespace
} // namespace orvik
