// The application owns the background-music service: while it runs,
// generated-music clips get their sound; after it ends they stay silent.
#include "app/OrvikApp.h"

#include "OrvikAppTestSupport.h"
#include "audio/SonicDesktop.h"
#include "model/SonicAsset.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

TEST(OrvikAppMusic, GeneratedMusicSoundsWhileTheApplicationRuns) {
    test::AppHarness h;
    RefPtr<SonicAsset> during;
    {
        OrvikApp app(test::AppHarness::Desktop());
        ASSERT_TRUE(app.InitInstance());
        ASSERT_NE(app.GetSonicDesktop(), nullptr);
        during = new SonicAsset({"Ambient", "Slow Tide", "Full", "HardDisk", ""}, 30);
        EXPECT_NE(during->GetAudioFile(), nullptr);
        EXPECT_FALSE(during->HasFailed());
        during = nullptr;
        app.ExitInstance();
    }
    RefPtr<SonicAsset> after = new SonicAsset({"Ambient", "Slow Tide", "Full", "HardDisk", ""}, 30);
    EXPECT_EQ(after->GetAudioFile(), nullptr);
    EXPECT_TRUE(after->HasFailed());
}

} // namespace
} // namespace orvik
