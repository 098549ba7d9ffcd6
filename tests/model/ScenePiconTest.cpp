// A scene's picon: the frame of its tape at the clip's trim start plus the
// picon offset, the whole frame scaled to the picon, checked against
// ffmpeg's decoding and scaling of the same motion-JPEG file; and what a
// scene whose tape is missing, damaged or too short shows instead.
#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/DibSection.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "model/Clip.h"
#include "model/Scene.h"
#include "model/Timecode.h"
#include "platform/avi/MediaTestTools.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace orvik {

namespace {

constexpr int kFrames = 12;

// A motion-JPEG AVI of 320 x 240 whose frames are smooth gradients (red
// across, green down) with blue at 20 x the frame number, so that every
// frame is told from its neighbours by its blue alone.
std::string MakeTape(const std::string& name) {
    return test::Ffmpeg(name, "-f lavfi -i nullsrc=s=320x240:r=15 -vf "
                              "\"format=gbrp,geq=r='X*255/W':g='Y*255/H':b='N*20'\" -frames:v " +
                                  std::to_string(kFrames) + " -c:v mjpeg -q:v 2 -pix_fmt yuvj422p");
}

// Every frame as ffmpeg decodes and scales it: packed top-down BGR rows.
std::vector<std::vector<uint8_t>> FfmpegFrames(const std::string& tape, int w, int h) {
    std::vector<uint8_t> all =
        test::FfmpegOutput(tape, "-vf scale=" + std::to_string(w) + ":" + std::to_string(h) +
                                     " -fps_mode passthrough -f rawvideo -pix_fmt bgr24");
    const size_t bytes = size_t(w) * h * 3;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + bytes <= all.size(); at += bytes)
        frames.emplace_back(all.begin() + long(at), all.begin() + long(at + bytes));
    return frames;
}

// The picture's pixels as packed top-down BGR rows.
std::vector<uint8_t> TopDownBgr(const Dib& d) {
    std::vector<uint8_t> out;
    for (int y = 0; y < d.AbsHeight(); ++y) {
        const uint8_t* row = d.PixelAddress(0, y);
        out.insert(out.end(), row, row + size_t(d.Width()) * 3);
    }
    return out;
}

double MeanDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

std::string LogText() {
    return test::ReadFile(LogPath());
}

} // namespace

TEST(ScenePicon, IsTheFrameAtTheTrimStartPlusTheOffsetScaledToThePicon) {
    Timecode::Reset(); // two timecode frames per video frame of the tape
    ASSERT_EQ(Timecode::GetFramesPerSample(), 2);
    std::string tape = MakeTape("tape.avi");
    ASSERT_FALSE(tape.empty()) << test::ToolLog();

    struct Case {
        Time trimStart, offset;
        int width, height;
        int frame; // of the tape
    };
    const Case cases[] = {
        {0, 0, 80, 60, 0},   {6, 4, 80, 60, 5}, {7, 0, 80, 60, 3},
        {0, 23, 80, 60, 11}, {9, 2, 75, 57, 5}, // rows padded to 4 bytes
        {4, 0, 100, 50, 2},                     // another shape: the whole frame stretched
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("trim " + std::to_string(c.trimStart) + " + " + std::to_string(c.offset) +
                     " at " + std::to_string(c.width) + "x" + std::to_string(c.height));
        std::vector<std::vector<uint8_t>> ref = FfmpegFrames(tape, c.width, c.height);
        ASSERT_EQ(ref.size(), size_t(kFrames)) << test::ToolLog();

        RefPtr<Scene> scene = new Scene(tape, 0, 2 * kFrames);
        RefPtr<Clip> clip = new Clip(scene.get(), 0, 0);
        clip->SetTrimStart(c.trimStart);
        clip->SetPiconOffset(c.offset);
        Rect rect(0, 0, c.width, c.height);
        Dib* picon = clip->GetPicon(&rect);
        ASSERT_TRUE(picon);
        ASSERT_EQ(picon->Width(), c.width);
        ASSERT_EQ(picon->AbsHeight(), c.height);
        ASSERT_EQ(picon->BitCount(), 24);

        std::vector<uint8_t> got = TopDownBgr(*picon);
        // Motion-JPEG decoded and scaled by two scalers (a quarter size is
        // scaled while decoding): close, not equal, about 2 at most.
        EXPECT_LT(MeanDifference(got, ref[size_t(c.frame)]), 3.5);
        // Neighbouring frames differ by 20 in blue, a third of the bytes:
        // about 7 on average.
        for (int n : {c.frame - 1, c.frame + 1}) {
            if (n >= 0 && n < kFrames) {
                EXPECT_GT(MeanDifference(got, ref[size_t(n)]), 5.5) << "frame " << n;
            }
        }
    }
    ReleaseMediaFiles();
}

TEST(ScenePicon, ALoadedSurfaceHoldsTheFrameTheReaderGives) {
    Timecode::Reset();
    std::string tape = MakeTape("tape.avi");
    ASSERT_FALSE(tape.empty()) << test::ToolLog();
    std::vector<std::vector<uint8_t>> ref = FfmpegFrames(tape, 64, 48);
    ASSERT_EQ(ref.size(), size_t(kFrames));
    RefPtr<MediaFile> video = OpenMediaFile(tape, 0, 0);
    ASSERT_TRUE(video->IsOpen());

    RefPtr<DibSection> section = new DibSection;
    // Only the rectangle's size counts.
    ASSERT_EQ(section->LoadFromMediaFile(*video, 7, Rect(10, 20, 74, 68)), 1);
    EXPECT_EQ(section->Width(), 64);
    EXPECT_EQ(section->AbsHeight(), 48);
    EXPECT_EQ(section->BitCount(), 24);
    EXPECT_TRUE(section->Surface());
    EXPECT_LT(MeanDifference(TopDownBgr(*section), ref[7]), 3.5);

    ASSERT_TRUE(OpenLog(test::Home(), 0));
    EXPECT_EQ(section->LoadFromMediaFile(*video, kFrames + 5, Rect(0, 0, 64, 48)), 0);
    EXPECT_TRUE(section->IsEmpty());
    EXPECT_EQ(section->LoadFromMediaFile(*video, 0, Rect(0, 0, 0, 48)), 0);
    std::string log = LogText();
    CloseLog();
    EXPECT_NE(log.find("DibSection::LoadFromMediaFile: can't get frame 17 of " + tape + "\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("DibSection::LoadFromMediaFile can't allocate storage\n"), std::string::npos)
        << log;
}

TEST(ScenePicon, ATapeThatCannotBeReadLeavesABlackPiconAndALogLine) {
    Timecode::Reset();
    std::string junk = test::InHome("junk.avi");
    ASSERT_TRUE(test::WriteBytes(junk, std::vector<uint8_t>(4000, 0x5A)));
    std::string tape = MakeTape("short.avi");
    ASSERT_FALSE(tape.empty()) << test::ToolLog();

    struct Case {
        const char* what;
        std::string file;
        Time trimStart;
        const char* logLine; // empty: nothing to find
    };
    const Case cases[] = {
        {"missing", test::InHome("gone.avi"), 0, "Scene::CreatePicon: no video in '"},
        {"not a video", junk, 0, "Scene::CreatePicon: no video in '"},
        {"past its end", tape, 2 * kFrames + 10, "DibSection::LoadFromMediaFile: can't get frame"},
    };
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RefPtr<Scene> scene = new Scene(c.file, 0, 100);
        RefPtr<Clip> clip = new Clip(scene.get(), 0, 0);
        clip->SetTrimStart(c.trimStart);

        RefPtr<Dib> picture = new Dib;
        ASSERT_TRUE(picture->Create(40, 30, 24));
        picture->Set(0x123456);
        EXPECT_EQ(scene->CreatePicon(picture.get(), clip.get(), 0), 0);
        EXPECT_EQ(picture->GetPixel(5, 5), 0x123456u); // left as it was

        // The clip shows its fallback, a black picon.
        Rect rect(0, 0, 40, 30);
        Dib* picon = clip->GetPicon(&rect);
        ASSERT_TRUE(picon);
        EXPECT_EQ(picon->GetPixel(0, 0), 0u);
        EXPECT_EQ(picon->GetPixel(39, 29), 0u);
    }
    // A scene without a tape has no picture to show.
    RefPtr<Scene> none = new Scene(std::string(), 0, 10);
    RefPtr<Dib> picture = new Dib;
    ASSERT_TRUE(picture->Create(8, 6, 24));
    EXPECT_EQ(none->CreatePicon(picture.get(), nullptr, 0), 0);
    // Times out of movie range are no frame at all.
    RefPtr<Scene> far = new Scene(tape, 10, 100);
    EXPECT_EQ(far->CreatePicon(picture.get(), nullptr, INT32_MAX), 0);

    std::string log = LogText();
    CloseLog();
    for (const Case& c : cases)
        EXPECT_NE(log.find(c.logLine), std::string::npos) << c.what << "\n" << log;
    EXPECT_NE(log.find("Scene::CreatePicon: no video in '" + test::InHome("gone.avi") + "'\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Scene::CreatePicon: no frame at "), std::string::npos) << log;
    ReleaseMediaFiles();
}

} // namespace orvik
