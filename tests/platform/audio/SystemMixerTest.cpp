// The system mixer: the in-memory one that headless machines get, the
// choice between it and ALSA's, and ALSA's own when this machine has a card.
#include "platform/audio/SystemMixer.h"

#include <gtest/gtest.h>

namespace orvik {

namespace {

using Destination = SystemMixer::Destination;

TEST(MemoryMixer, HasTheLinesOfACommonCardAtHalfVolume) {
    MemoryMixer mixer;
    for (const char* line : {"CD", "Line", "Mic", "MIDI", "Wave"})
        EXPECT_TRUE(mixer.HasLine(Destination::playback, line)) << line;
    for (const char* line : {"CD", "Line", "Mic", "MIDI"})
        EXPECT_TRUE(mixer.HasLine(Destination::recording, line)) << line;
    EXPECT_FALSE(mixer.HasLine(Destination::recording, "Wave"));
    int32_t left = 0, right = 0, master = 0;
    ASSERT_TRUE(mixer.GetVolume(Destination::recording, "Mic", left, right));
    EXPECT_EQ(left, 50);
    EXPECT_EQ(right, 50);
    ASSERT_TRUE(mixer.GetMasterVolume(master));
    EXPECT_EQ(master, 50);
}

TEST(MemoryMixer, KeepsEachLineAndTakesPercentagesOutsideTheScaleAsItsEnds) {
    MemoryMixer mixer;
    struct Set {
        Destination destination;
        const char* line;
        int32_t left, right;
        bool found;
        int32_t readLeft, readRight;
    } sets[] = {
        {Destination::recording, "Mic", 30, 70, true, 30, 70},
        {Destination::playback, "Mic", 120, -5, true, 100, 0},
        {Destination::recording, "Wave", 10, 10, false, 0, 0},
        {Destination::playback, "Speaker", 10, 10, false, 0, 0},
    };
    for (const Set& s : sets) {
        EXPECT_EQ(mixer.SetVolume(s.destination, s.line, s.left, s.right), s.found) << s.line;
        int32_t left = 0, right = 0;
        EXPECT_EQ(mixer.GetVolume(s.destination, s.line, left, right), s.found) << s.line;
        EXPECT_EQ(left, s.readLeft) << s.line;
        EXPECT_EQ(right, s.readRight) << s.line;
    }
    // The recording side of a line is its own.
    int32_t left = 0, right = 0;
    ASSERT_TRUE(mixer.GetVolume(Destination::recording, "Mic", left, right));
    EXPECT_EQ(left, 30);
    int32_t master = 0;
    ASSERT_TRUE(mixer.SetMasterVolume(140));
    ASSERT_TRUE(mixer.GetMasterVolume(master));
    EXPECT_EQ(master, 100);
    mixer.RemoveLine(Destination::recording, "Mic");
    EXPECT_FALSE(mixer.HasLine(Destination::recording, "Mic"));
    mixer.AddLine(Destination::recording, "Mike", 20);
    ASSERT_TRUE(mixer.GetVolume(Destination::recording, "Mike", left, right));
    EXPECT_EQ(right, 20);
}

TEST(SystemMixer, AnInstalledMixerStandsInForTheMachines) {
    MemoryMixer mine;
    SystemMixer::Install(&mine);
    EXPECT_EQ(&SystemMixer::Get(), &mine);
    SystemMixer::Install(nullptr);
    EXPECT_NE(&SystemMixer::Get(), &mine);
    SystemMixer::Close();
}

TEST(SystemMixer, AMachineWithoutACardGetsTheMemoryMixer) {
    EXPECT_EQ(SystemMixer::OpenAlsa("hw:97"), nullptr);
    std::unique_ptr<SystemMixer> alsa = SystemMixer::OpenAlsa();
    SystemMixer::Close();
    if (alsa)
        EXPECT_NE(SystemMixer::Get().GetName(), "Memory mixer");
    else
        EXPECT_EQ(SystemMixer::Get().GetName(), "Memory mixer");
    SystemMixer::Close();
}

// Only on a machine with a sound card: the main output volume goes to the
// card and reads back, and is then put back as it was.
TEST(AlsaMixer, SetsAndReadsTheMainOutputVolume) {
    std::unique_ptr<SystemMixer> alsa = SystemMixer::OpenAlsa();
    if (!alsa)
        GTEST_SKIP() << "no sound card with a mixer";
    int32_t was = 0;
    if (!alsa->GetMasterVolume(was))
        GTEST_SKIP() << "the card has no main output volume";
    ASSERT_TRUE(alsa->SetMasterVolume(40));
    int32_t now = 0;
    ASSERT_TRUE(alsa->GetMasterVolume(now));
    // Cards have coarse steps; percent maps onto them to the nearest.
    EXPECT_NEAR(now, 40, 3);
    EXPECT_TRUE(alsa->SetMasterVolume(was));
}

} // namespace

} // namespace orvik
