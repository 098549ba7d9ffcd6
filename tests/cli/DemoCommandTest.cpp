// `orvik demo`, run as the program: its material opens with outside tools and
// its movie opens again.
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "support/RunOrvik.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace orvik {

namespace {
std::string Capture(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buffer[512];
    size_t n;
    while (p && (n = fread(buffer, 1, sizeof buffer, p)) > 0)
        out.append(buffer, n);
    if (p)
        pclose(p);
    return out;
}
} // namespace

TEST(DemoCommand, MakesMaterialAndAMovieThatOpensAgain) {
    std::string dir = test::InHome("demo");
    test::ProgramResult r = test::RunOrvik({"demo", dir});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Movie saved: " + dir + "/demo.orv"), std::string::npos) << r.out;

    // ffprobe sees the tape as four scenes' worth of motion-JPEG with sound.
    std::string probe = Capture("ffprobe -v error -show_entries stream=codec_name,nb_frames -of "
                                "compact=p=0:nk=1 '" + dir + "/tape1.avi'");
    EXPECT_NE(probe.find("mjpeg|180"), std::string::npos) << probe;
    EXPECT_NE(probe.find("pcm_s16le|"), std::string::npos) << probe;

    RefPtr<Movie> movie = new Movie;
    ASSERT_TRUE(movie->OpenFromFile(dir + "/demo.orv")) << movie->LastError();
    int scenes = 0, transitions = 0, tracks[5] = {};
    for (auto& clip : movie->GetClipList()->GetClips()) {
        scenes += clip->GetKind() == 2;
        transitions += clip->GetKind() == 1;
        ++tracks[clip->GetTrack()];
    }
    EXPECT_EQ(scenes, 4);
    EXPECT_EQ(transitions, 1);
    EXPECT_EQ(tracks[1], 1); // the picture over the video
    EXPECT_EQ(tracks[3], 1); // the sound effect
    EXPECT_EQ(tracks[4], 1); // the music
    // The demo's clip table is the one `orvik dump` prints.
    test::ProgramResult dump = test::RunOrvik({"dump", dir + "/demo.orv"});
    ASSERT_EQ(dump.status, 0) << dump.err;
    EXPECT_NE(r.out.find(movie->GetClipList()->DumpText()), std::string::npos);
}

} // namespace orvik
