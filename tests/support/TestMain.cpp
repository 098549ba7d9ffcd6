// Test main: every test runs in its own fresh ORVIK_HOME, removed afterwards.
#include "support/TestHome.h"

#include "app/DiagnosticsLog.h"
#include "model/RefObject.h"

#include <cstdio>

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
    void OnTestEnd(const testing::TestInfo& info) override {
        orvik::CloseLog();
        // Objects a test made and never adopted would spill into the next
        // test's counts: name the test and clear them.
        if (size_t n = orvik::RefObject::OrphanCount()) {
            fprintf(stderr, "note: %s.%s left %zu unadopted objects\n", info.test_suite_name(),
                    info.name(), n);
            orvik::RefObject::SweepOrphans();
        }
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
