#include "platform/registry/Registry.h"

#include "platform/fs/File.h"
#include "platform/fs/Places.h"
#include "support/TestHome.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace orvik {
namespace {

namespace fs = std::filesystem;

struct Fixture : testing::Test {
    std::string folder = test::InHome("store");
    std::vector<std::string> reports;
    Registry registry{folder};
    Fixture() {
        registry.SetReporter([this](const std::string& line) { reports.push_back(line); });
    }
    std::string UserFile() const { return registry.StorePath(RegistryTree::currentUser); }
};

using RegistryTest = Fixture;

TEST_F(RegistryTest, OpensWithOrWithoutCreating) {
    EXPECT_FALSE(registry.OpenKey(RegistryTree::currentUser, "Software\\Torvane", false).IsOpen());
    EXPECT_FALSE(fs::exists(UserFile()));
    RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "Software\\Torvane\\Orvik", true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_EQ(key.Path(), "Software/Torvane/Orvik");
    EXPECT_TRUE(fs::exists(UserFile()));
    // Parents were made; the other tree is untouched.
    EXPECT_TRUE(registry.OpenKey(RegistryTree::currentUser, "software/TORVANE", false).IsOpen());
    EXPECT_FALSE(registry.OpenKey(RegistryTree::localMachine, "Software", false).IsOpen());
    // The root names no key.
    EXPECT_FALSE(registry.OpenKey(RegistryTree::currentUser, "\\", true).IsOpen());
    EXPECT_TRUE(reports.empty());
}

TEST_F(RegistryTest, ReadsWritesAndDeletesValues) {
    RegistryKey key = registry.OpenKey(RegistryTree::localMachine, "S/Install", true);
    uint32_t n = 7;
    std::string t = "unchanged";
    EXPECT_EQ(key.QueryType("Video standard"), RegistryKey::ValueType::none);
    EXPECT_FALSE(key.QueryNumber("Video standard", n));
    EXPECT_EQ(n, 7u);

    ASSERT_TRUE(key.SetNumber("Video standard", 1));
    ASSERT_TRUE(key.SetText("Language", "US"));
    EXPECT_EQ(key.QueryType("video STANDARD"), RegistryKey::ValueType::number);
    EXPECT_TRUE(key.QueryNumber("Video standard", n));
    EXPECT_EQ(n, 1u);
    // A value of the other type is not read.
    EXPECT_FALSE(key.QueryText("Video standard", t));
    EXPECT_EQ(t, "unchanged");
    EXPECT_FALSE(key.QueryNumber("Language", n));
    EXPECT_TRUE(key.QueryText("language", t));
    EXPECT_EQ(t, "US");

    // A write replaces the type too.
    ASSERT_TRUE(key.SetText("Video standard", "PAL"));
    EXPECT_EQ(key.QueryType("Video standard"), RegistryKey::ValueType::text);

    EXPECT_TRUE(key.DeleteValue("Language"));
    EXPECT_FALSE(key.DeleteValue("Language"));
    EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"Video standard"});

    // Everything reached the file: a second registry on the folder reads it.
    Registry other(folder);
    RegistryKey again = other.OpenKey(RegistryTree::localMachine, "s/install", false);
    ASSERT_TRUE(again.IsOpen());
    EXPECT_TRUE(again.QueryText("Video standard", t));
    EXPECT_EQ(t, "PAL");
    EXPECT_EQ(again.QueryType("Language"), RegistryKey::ValueType::none);
}

TEST_F(RegistryTest, ListsSubkeysInAStableOrderAndDeletesThem) {
    RegistryKey titles = registry.OpenKey(RegistryTree::localMachine, "Cd titles", true);
    for (const char* id : {"3A0F", "10b2", "1A", "zz", "Ab"})
        ASSERT_TRUE(titles.OpenSubKey(id, true).SetText("Title", id));
    std::vector<std::string> expected{"10b2", "1A", "3A0F", "Ab", "zz"};
    EXPECT_EQ(titles.SubKeyNames(), expected);
    EXPECT_EQ(
        Registry(folder).OpenKey(RegistryTree::localMachine, "Cd titles", false).SubKeyNames(),
        expected);
    EXPECT_TRUE(titles.DeleteSubKey("1a"));
    EXPECT_FALSE(titles.DeleteSubKey("1a"));
    EXPECT_FALSE(titles.OpenSubKey("1A", false).IsOpen());
    EXPECT_EQ(titles.SubKeyNames().size(), 4u);
}

TEST_F(RegistryTest, SeesChangesMadeByAnotherWriter) {
    RegistryKey mine = registry.OpenKey(RegistryTree::currentUser, "K", true);
    ASSERT_TRUE(mine.SetNumber("v", 1));
    Registry other(folder);
    ASSERT_TRUE(other.OpenKey(RegistryTree::currentUser, "K", false).SetNumber("v", 2));
    uint32_t n = 0;
    EXPECT_TRUE(mine.QueryNumber("v", n));
    EXPECT_EQ(n, 2u);
}

TEST_F(RegistryTest, WritesAtomicallyAndLeavesNoWorkingFile) {
    RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "K", true);
    ASSERT_TRUE(key.SetText("v", "one"));
    struct stat before;
    ASSERT_EQ(stat(UserFile().c_str(), &before), 0);
    ASSERT_TRUE(key.SetText("v", "two"));
    struct stat after;
    ASSERT_EQ(stat(UserFile().c_str(), &after), 0);
    // A new file took the old one's place by rename.
    EXPECT_NE(before.st_ino, after.st_ino);
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{Registry::kUserFileName});
    EXPECT_NE(test::ReadFile(UserFile()).find("\"v\"=\"two\""), std::string::npos);
}

TEST_F(RegistryTest, BatchSavesOnceAtTheEnd) {
    {
        Registry::Batch batch(registry);
        RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "K", true);
        ASSERT_TRUE(key.SetNumber("a", 1));
        ASSERT_TRUE(key.SetNumber("b", 2));
        EXPECT_FALSE(fs::exists(UserFile()));
        uint32_t n = 0;
        EXPECT_TRUE(key.QueryNumber("b", n)); // unsaved changes read back
        EXPECT_EQ(n, 2u);
    }
    EXPECT_EQ(test::ReadFile(UserFile()),
              "; Orvik settings, per-user tree. Written by Orvik.\n\n[K]\n"
              "\"a\"=dword:00000001\n\"b\"=dword:00000002\n");
}

TEST_F(RegistryTest, KeepsADamagedStoreAsideAndSavesWhatWasReadable) {
    ASSERT_TRUE(Places::EnsureFolder(folder));
    const std::string damaged = "[Software/Torvane/Orvik/Preferences]\n"
                                "\"Maximized\"=dword:00000000\n"
                                "\"Window position\"=\"10 20 3\xff\n"
                                "\x01\x02 binary junk\n"
                                "\"Tool tips\"=dword:00000000\n";
    ASSERT_TRUE(SafeFile::WriteAll(UserFile(), damaged));

    RegistryKey key =
        registry.OpenKey(RegistryTree::currentUser, "Software/Torvane/Orvik/Preferences", false);
    ASSERT_TRUE(key.IsOpen());
    uint32_t n = 9;
    EXPECT_TRUE(key.QueryNumber("Maximized", n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(key.QueryNumber("Tool tips", n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(key.QueryType("Window position"), RegistryKey::ValueType::none);

    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("is damaged (2 unreadable lines, the first at line 3"),
              std::string::npos)
        << reports[0];
    EXPECT_EQ(reports[0].back(), '\n');
    // The damaged bytes are kept whole; the store holds the readable part.
    EXPECT_EQ(test::ReadFile(UserFile() + ".damaged"), damaged);
    RegistryStore reread;
    std::vector<RegistryStore::Problem> problems;
    reread.Parse(test::ReadFile(UserFile()), &problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_NE(reread.Find({"Software", "Torvane", "Orvik", "Preferences"}), nullptr);

    // A second damage keeps the first copy too.
    ASSERT_TRUE(SafeFile::WriteAll(UserFile(), "nonsense\n"));
    EXPECT_FALSE(key.QueryNumber("Maximized", n));
    EXPECT_EQ(reports.size(), 2u);
    EXPECT_EQ(test::ReadFile(UserFile() + ".damaged"), damaged);
    EXPECT_EQ(test::ReadFile(UserFile() + ".damaged.1"), "nonsense\n");
}

TEST_F(RegistryTest, AStoreTooLargeToBeOneIsKeptAside) {
    ASSERT_TRUE(Places::EnsureFolder(folder));
    {
        File f;
        ASSERT_TRUE(f.Open(UserFile(), File::createWrite));
    }
    fs::resize_file(UserFile(), RegistryFile::kMaxFileBytes + 1);
    RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "K", true);
    ASSERT_TRUE(key.SetNumber("v", 3));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("too large"), std::string::npos);
    EXPECT_EQ(fs::file_size(UserFile() + ".damaged"), RegistryFile::kMaxFileBytes + 1);
    EXPECT_LT(fs::file_size(UserFile()), 100u);
}

TEST_F(RegistryTest, AStoreThatCannotBeReadIsNeverOverwritten) {
    // A folder in the store's place cannot be read as a file.
    ASSERT_TRUE(Places::EnsureFolder(UserFile()));
    RegistryKey key = registry.OpenKey(RegistryTree::currentUser, "K", true);
    ASSERT_TRUE(key.IsOpen());
    EXPECT_FALSE(key.SetNumber("v", 1));
    uint32_t n = 0;
    EXPECT_TRUE(key.QueryNumber("v", n)); // the run goes on in memory
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(fs::is_directory(UserFile()));
    ASSERT_FALSE(reports.empty());
    EXPECT_NE(reports[0].find("cannot read"), std::string::npos);
    // The other tree is unaffected.
    EXPECT_TRUE(registry.OpenKey(RegistryTree::localMachine, "K", true).SetNumber("v", 1));
}

} // namespace
} // namespace orvik
