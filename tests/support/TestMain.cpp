// Test main: every test runs in its own fresh ORVIK_HOME, removed afterwards.
#include "support/TestHome.h"

#include "app/DiagnosticsLog.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace orvik::test::detail {
extern std::string home;
}

namespace {

class FreshHome : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        char pattern[] = "/tmp/orvik-test-XXXXXX";
        char* dir = mkdtemp(pattern);
        if (!dir)
            abort();
        orvik::test::detail::home = dir;
        setenv("ORVIK_HOME", dir, 1);
    }
    void OnTestEnd(const testing::TestInfo&) override {
        orvik::CloseLog();
        std::error_code ec;
        std::filesystem::remove_all(orvik::test::detail::home, ec);
        unsetenv("ORVIK_HOME");
    }
};

} // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    testing::UnitTest::GetInstance()->listeners().Append(new FreshHome);
    return RUN_ALL_TESTS();
}
