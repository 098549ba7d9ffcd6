// Whether sound can be played, as the sound library answers it.
#include "platform/audio/SoundOutput.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace orvik {

namespace {

class DriverChoice {
public:
    explicit DriverChoice(const char* driver) {
        if (const char* was = getenv("SDL_AUDIODRIVER"))
            saved_ = was, hadOne_ = true;
        setenv("SDL_AUDIODRIVER", driver, 1);
    }
    ~DriverChoice() {
        if (hadOne_)
            setenv("SDL_AUDIODRIVER", saved_.c_str(), 1);
        else
            unsetenv("SDL_AUDIODRIVER");
    }

private:
    std::string saved_;
    bool hadOne_ = false;
};

} // namespace

TEST(SoundOutput, TheSilentDriverCountsAsADevice) {
    DriverChoice choice("dummy");
    std::string driver;
    EXPECT_TRUE(SoundOutputAvailable(&driver));
    EXPECT_EQ(driver, "dummy");
}

TEST(SoundOutput, ADriverThatDoesNotExistIsNoDevice) {
    DriverChoice choice("no-such-driver");
    std::string driver = "left over";
    EXPECT_FALSE(SoundOutputAvailable(&driver));
    EXPECT_EQ(driver, "");
}

} // namespace orvik
