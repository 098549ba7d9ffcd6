// Scene detection: the decision rules on frames of known levels, and whole
// files made by ffmpeg, through the detector and through `orvik
// detect-scenes`.
#include "capture/AviSceneDetect.h"

#include "imaging/Dib.h"

#include "platform/avi/MediaTestTools.h"
#include "support/RunOrvik.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstring>
#include <vector>

namespace orvik {

namespace {

// Feeds frames of one even level each; returns the cuts.
std::vector<int32_t> Cuts(const std::vector<int>& levels) {
    SceneDetect detect;
    std::vector<int32_t> cuts;
    for (int level : levels) {
        int32_t cut = detect.Process([&](uint8_t* signature) {
            std::memset(signature, level, static_cast<size_t>(detect.GetSignatureSize()));
        });
        if (cut >= 0)
            cuts.push_back(cut);
    }
    return cuts;
}

// Steady footage: a level that wobbles by one.
void Steady(std::vector<int>& levels, int level, int frames) {
    for (int i = 0; i < frames; ++i)
        levels.push_back(level + (i & 1));
}

// A smooth change from the last level to `to` over `frames` frames.
void Ramp(std::vector<int>& levels, int to, int frames) {
    int from = levels.back();
    for (int i = 1; i <= frames; ++i)
        levels.push_back(from + (to - from) * i / frames);
}

} // namespace

TEST(SceneDetect, AHardCutIsReportedOnceAtItsFirstFrame) {
    std::vector<int> levels;
    Steady(levels, 100, 100);
    Steady(levels, 180, 100);
    EXPECT_EQ(Cuts(levels), std::vector<int32_t>({0, 100}));
}

TEST(SceneDetect, AFadeThroughBlackIsOneCutAtTheDarkestFrame) {
    std::vector<int> levels;
    Steady(levels, 150, 50);
    Ramp(levels, 0, 20);   // frames 50..69, black from frame 69
    Steady(levels, 0, 6);  // black to frame 75 (the wobble stays dark)
    Ramp(levels, 30, 10);  // not bright enough to count as a new picture
    Ramp(levels, 0, 10);   // so this second dip is no new cut
    Ramp(levels, 150, 20); // bright again
    Steady(levels, 150, 20);
    Ramp(levels, 0, 20); // a dip after the picture came back: a cut
    Steady(levels, 0, 10);
    std::vector<int32_t> cuts = Cuts(levels);
    ASSERT_EQ(cuts.size(), 3u);
    EXPECT_EQ(cuts[0], 0);
    EXPECT_EQ(levels[static_cast<size_t>(cuts[1])], 0);
    EXPECT_EQ(cuts[1], 69);
    EXPECT_EQ(levels[static_cast<size_t>(cuts[2])], 0);
    EXPECT_GT(cuts[2], 150);
}

TEST(SceneDetect, TwoJumpsInARowReportOnlyTheFirst) {
    std::vector<int> levels;
    Steady(levels, 100, 100);
    levels.push_back(200);  // frame 100
    Steady(levels, 60, 50); // frame 101 on
    EXPECT_EQ(Cuts(levels), std::vector<int32_t>({0, 100}));
}

TEST(SceneDetect, ARepeatedFrameDuringAPanIsNoCut) {
    // A pan changes every frame by about 12; one frame is captured twice
    // (no change) and the next catches up with 27, followed by 20. Counted
    // against the repeated frame's zero that catch-up would be a third
    // jump; the repeated frame takes the mean of its neighbours instead.
    std::vector<int> diffs = {12, 12, 12, 12, 12, 12, 12, 12, 0, 27, 12, 20, 12, 12, 12, 12, 12};
    std::vector<int> levels = {100};
    int sign = 1;
    for (int d : diffs) {
        levels.push_back(levels.back() + sign * d);
        sign = -sign;
    }
    Steady(levels, levels.back(), 10);
    EXPECT_EQ(Cuts(levels), std::vector<int32_t>({0}));
}

TEST(SceneDetect, SignaturesAreBlockMeansOfEveryDepth) {
    SceneDetect detect;
    detect.SetGrid(2, 1);
    uint8_t signature[2] = {7, 7};

    RefPtr<Dib> rgb = new Dib;
    ASSERT_TRUE(rgb->Create(16, 8, 24));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = rgb->PixelAddress(x, y);
            p[0] = x < 8 ? 30 : 200; // blue
            p[1] = x < 8 ? 60 : 100; // green
            p[2] = x < 8 ? 90 : 0;   // red
        }
    detect.SignatureOf(*rgb, signature);
    EXPECT_EQ(signature[0], (30 + 60 + 90) * 64 / 192);
    EXPECT_EQ(signature[1], (200 + 100) * 64 / 192);

    // 5-6-5: full green alone is 63 × 4.
    RefPtr<Dib> wide = new Dib;
    ASSERT_TRUE(wide->CreateBitFields(16, 8, 16, 0xF800, 0x07E0, 0x001F));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) {
            uint8_t* p = wide->PixelAddress(x, y);
            p[0] = 0xE0;
            p[1] = 0x07;
        }
    detect.SignatureOf(*wide, signature);
    EXPECT_EQ(signature[0], 63 * 4 * 64 / 192);

    // A picture smaller than the grid reads no further than itself.
    RefPtr<Dib> small = new Dib;
    ASSERT_TRUE(small->Create(8, 8, 24));
    std::memset(small->Bits(), 255, small->ImageSize());
    detect.SignatureOf(*small, signature);
    EXPECT_EQ(signature[0], 255);
    EXPECT_EQ(signature[1], 0);
}

namespace {

// Three scenes of 30 frames at 15 frames a second, motion-JPEG.
std::string ThreeScenes() {
    std::string path = test::InHome("scenes.avi");
    std::string cmd =
        "ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=15:duration=2 "
        "-f lavfi -i smptebars=size=160x120:rate=15:duration=2 "
        "-f lavfi -i mandelbrot=size=160x120:rate=15 "
        "-filter_complex '[2]trim=end_frame=30,setpts=PTS-STARTPTS[m];[0][1][m]concat=n=3' "
        "-c:v mjpeg -q:v 3 " +
        path;
    return test::Run(cmd) ? path : std::string();
}

} // namespace

TEST(AviSceneDetect, FindsTheScenesOfAFile) {
    std::string path = ThreeScenes();
    ASSERT_FALSE(path.empty());
    AviSceneDetect detect(path);
    ASSERT_TRUE(detect.IsOpen());
    EXPECT_EQ(detect.GetFrameCount(), 90);
    EXPECT_EQ(detect.framesPerSecond, 15);
    EXPECT_EQ(detect.GetColumns(), 20);
    EXPECT_EQ(detect.GetRows(), 15);

    struct Recorder : Progress {
        void SetRange(int64_t l, int64_t h) override { low = l, high = h; }
        void SetPosition(int64_t p) override { last = p; }
        void Finished() override { finished = true; }
        int64_t low = -1, high = -1, last = -1;
        bool finished = false;
    } progress;
    detect.Run(progress);
    EXPECT_EQ(detect.GetCuts(), std::vector<int32_t>({0, 30, 60}));
    EXPECT_EQ(progress.low, 0);
    EXPECT_EQ(progress.high, 90);
    EXPECT_EQ(progress.last, 89);
    EXPECT_TRUE(progress.finished);

    // From frame 20 on, up to frame 50: cuts count in the file's frames.
    AviSceneDetect part(path);
    part.SetFirstFrame(20);
    part.SetLastFrame(50);
    EXPECT_EQ(part.GetFrameCount(), 30);
    part.Run(progress);
    EXPECT_EQ(part.GetCuts(), std::vector<int32_t>({20, 30}));

    // Cancelled before it starts: nothing looked at.
    AviSceneDetect cancelled(path);
    cancelled.Cancel();
    cancelled.Run(progress);
    EXPECT_TRUE(cancelled.GetCuts().empty());
}

TEST(AviSceneDetect, AFileThatCannotBeReadHasNoFrames) {
    std::string path = test::InHome("junk.avi");
    ASSERT_TRUE(test::WriteBytes(path, std::vector<uint8_t>(100, 'x')));
    AviSceneDetect detect(path);
    EXPECT_FALSE(detect.IsOpen());
    EXPECT_EQ(detect.GetFrameCount(), 0);
    EXPECT_FALSE(detect.ProcessNextFrame());
}

TEST(DetectScenesCommand, PrintsTheCutsAndFailsOnJunk) {
    std::string path = ThreeScenes();
    ASSERT_FALSE(path.empty());
    test::ProgramResult r = test::RunOrvik({"detect-scenes", "--json", "--quiet", path});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json out = nlohmann::json::parse(r.out);
    EXPECT_EQ(out["cuts"], nlohmann::json({0, 30, 60}));
    EXPECT_EQ(out["frames"], 90);

    r = test::RunOrvik({"detect-scenes", "--first", "45", path});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("  1       45  "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  2       60  "), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("detecting scenes: done"), std::string::npos) << r.err;

    r = test::RunOrvik({"detect-scenes", test::InHome("missing.avi")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot read video"), std::string::npos) << r.err;
}

} // namespace orvik
