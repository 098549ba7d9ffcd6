#include "platform/sys/DiskSpeed.h"

#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"
#include "support/TestHome.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

// The mount point as coreutils' stat sees it.
std::string MountPointByStat(const std::string& path) {
    std::string command = "stat -c %m '" + path + "' 2>/dev/null";
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return std::string();
    char line[4096] = {};
    std::string out = fgets(line, sizeof line, p) ? line : "";
    pclose(p);
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

TEST(DiskSpeed, DriveOfPathsWithoutAMountPoint) {
    struct Case {
        const char* path;
        const char* drive;
    } cases[] = {
        {"C:\\Videos\\tape.avi", "C:"}, {"d:/movies", "D:"},     {"\\\\server\\share\\x", ""},
        {"//server/share/x", ""},       {"relative/folder", ""}, {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DiskSpeed::DriveOf(c.path), c.drive) << c.path;
}

TEST(DiskSpeed, DriveIsTheMountPointStatReports) {
    std::string home = test::Home();
    std::string expected = MountPointByStat(home);
    ASSERT_FALSE(expected.empty()) << "coreutils stat is needed";
    EXPECT_EQ(DiskSpeed::DriveOf(home), expected);
    // A folder not made yet lies on the drive of its nearest parent.
    EXPECT_EQ(DiskSpeed::DriveOf(home + "/not/made/yet/"), expected);
    EXPECT_EQ(DiskSpeed::DriveOf(home + "/x/../y/./z"), expected);
    EXPECT_EQ(DiskSpeed::DriveOf("/"), "/");
    EXPECT_EQ(DiskSpeed::DriveOf("/proc/self"), MountPointByStat("/proc/self"));
}

TEST(DiskSpeed, MeasuresAndStoresBothSpeedsUnderTheDrive) {
    std::string folder = test::InHome("capture");
    ASSERT_TRUE(Places::EnsureFolder(folder));
    Registry registry(test::InHome("config"));
    DiskSpeed::Result result;
    std::string error;
    ASSERT_TRUE(DiskSpeed::MeasureAndStore(registry, folder, 2u << 20, &result, &error)) << error;
    EXPECT_GT(result.writeSpeed, 0u);
    EXPECT_GT(result.readSpeed, 0u);
    // The scratch file is gone.
    EXPECT_TRUE(std::filesystem::is_empty(folder));

    std::string drive = DiskSpeed::DriveOf(folder);
    uint32_t read = 0, write = 0;
    EXPECT_TRUE(registry.OpenKey(RegistryTree::localMachine, DiskSpeed::kReadSpeedKey, false)
                    .QueryNumber(drive, read));
    EXPECT_TRUE(registry.OpenKey(RegistryTree::localMachine, DiskSpeed::kWriteSpeedKey, false)
                    .QueryNumber(drive, write));
    EXPECT_EQ(read, result.readSpeed);
    EXPECT_EQ(write, result.writeSpeed);
}

TEST(DiskSpeed, AFolderThatIsNotThereFailsWithItsName) {
    std::string folder = test::InHome("missing");
    DiskSpeed::Result result;
    std::string error;
    EXPECT_FALSE(DiskSpeed::Measure(folder, 1, result, &error));
    EXPECT_NE(error.find(folder), std::string::npos) << error;
    Registry registry(test::InHome("config"));
    EXPECT_FALSE(DiskSpeed::MeasureAndStore(registry, "\\\\server\\share", 1, nullptr, &error));
    EXPECT_NE(error.find("not on a drive"), std::string::npos) << error;
    EXPECT_FALSE(
        registry.OpenKey(RegistryTree::localMachine, DiskSpeed::kReadSpeedKey, false).IsOpen());
}

} // namespace
} // namespace orvik
