#include "app/ResourceLibraries.h"
#include "platform/resources/ResourceLibrary.h"

#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace orvik {

TEST(ResourceLibrary, WrittenLibrariesReadBack) {
    ResourceLibraryWriter w;
    w.AddText(50299, ".scn");
    w.AddText(50100, "PRODUCT_TOKEN failed");
    w.Add(ResourceLibrary::bitmap, "ALBUM_BGD", {1, 2, 3});
    w.Add(ResourceLibrary::bitmap, 50500, {4});
    w.Add(ResourceLibrary::data, 117, {5, 6});
    std::vector<uint8_t> bytes = w.Bytes();

    ResourceLibrary lib;
    std::string error;
    ASSERT_TRUE(lib.Parse(bytes.data(), bytes.size(), &error)) << error;
    ASSERT_NE(lib.Text(50299), nullptr);
    EXPECT_EQ(*lib.Text(50299), ".scn");
    EXPECT_EQ(lib.Text(1), nullptr);
    EXPECT_EQ(*lib.Find(ResourceLibrary::bitmap, "ALBUM_BGD"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(*lib.Find(ResourceLibrary::bitmap, 50500), (std::vector<uint8_t>{4}));
    EXPECT_EQ(lib.Find(ResourceLibrary::data, 50500), nullptr); // types are separate
    EXPECT_EQ(lib.Count(ResourceLibrary::text), 2u);
}

TEST(ResourceLibrary, DamagedFilesAreRefusedWithAReason) {
    ResourceLibraryWriter w;
    w.AddText(1, "one");
    w.Add(ResourceLibrary::bitmap, "B", std::vector<uint8_t>(100, 7));
    std::vector<uint8_t> good = w.Bytes();

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}});
    std::vector<uint8_t> magic = good;
    magic[0] = 'X';
    cases.push_back({"wrong magic", magic});
    for (size_t cut : {9ul, 12ul, 20ul, good.size() - 1})
        cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + cut)});
    std::vector<uint8_t> count = good;
    count[8] = 0xFF, count[9] = 0xFF, count[10] = 0xFF, count[11] = 0x7F;
    cases.push_back({"huge count", count});
    std::vector<uint8_t> type = good;
    type[12] = 99;
    cases.push_back({"unknown type", type});
    std::vector<uint8_t> trailing = good;
    trailing.push_back(0);
    cases.push_back({"trailing bytes", trailing});

    for (const Case& c : cases) {
        ResourceLibrary lib;
        std::string error;
        EXPECT_FALSE(lib.Parse(c.bytes.data(), c.bytes.size(), &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(lib.Count(), 0u) << c.what;
    }
}

TEST(ResourceLibraries, LoadsTheFourLibrariesOfTheLanguage) {
    struct Case {
        int force, screenW, screenH;
        const char* layoutFile;
        int layoutW;
    } cases[] = {
        {0, 1280, 1024, "ResCom1024.orl", 1280},
        {0, 640, 480, "ResCom800.orl", 800},
        {1, 1280, 1024, "ResCom800.orl", 800},
        {2, 800, 600, "ResCom1024.orl", 1024},
        {0, 800, 600, "ResCom800.orl", 800},
    };
    for (const Case& c : cases) {
        ResourceLibraries r;
        ASSERT_TRUE(r.Load("US", c.force, c.screenW, c.screenH));
        std::vector<std::string> files = r.LoadedFiles();
        ASSERT_EQ(files.size(), 4u);
        EXPECT_EQ(std::filesystem::path(files[0]).filename(), "ResComUS.orl");
        EXPECT_EQ(std::filesystem::path(files[1]).filename(), "ResQxUS.orl");
        EXPECT_EQ(std::filesystem::path(files[2]).filename(), "ResComBmp.orl");
        EXPECT_EQ(std::filesystem::path(files[3]).filename(), c.layoutFile) << c.force;
        EXPECT_EQ(r.LayoutWidth(), c.layoutW);
    }
    ResourceLibraries r;
    ASSERT_TRUE(r.Load("US", 0, 1024, 768));
    EXPECT_EQ(r.GetText(50299), ".scn");
    EXPECT_EQ(r.GetText(1), "");
    EXPECT_EQ(r.GetProductText(50101), "Orvik cannot start");
    ASSERT_NE(r.FindPalette(), nullptr);
    EXPECT_EQ(r.FindPalette()->size(), 1024u);
    EXPECT_EQ(r.FindBitmap("NO_SUCH_BITMAP"), nullptr);
}

TEST(ResourceLibraries, MissingLanguageWarnsOnceNamingTheFirstFile) {
    ResourceLibraries r;
    int warnings = 0;
    std::string text;
    r.SetWarningHandler([&](const std::string& t, const std::string&) {
        ++warnings;
        text = t;
    });
    EXPECT_FALSE(r.Load("XX", 0, 1024, 768));
    EXPECT_FALSE(r.Load("YY", 0, 1024, 768));
    EXPECT_EQ(warnings, 1);
    EXPECT_NE(text.find("ResComXX.orl"), std::string::npos) << text;
}

TEST(ResourceLibraries, BoardLibraryMissingIsAFailureToo) {
    // A folder holding only the common library of a language.
    std::string folder = test::InHome("res");
    std::filesystem::create_directories(folder);
    ResourceLibraryWriter w;
    w.AddText(50100, "Cannot load");
    ASSERT_TRUE(w.Save(folder + "/ResComZZ.orl"));
    setenv("ORVIK_RESOURCE_PATH", folder.c_str(), 1);
    ResourceLibraries r;
    std::string text;
    r.SetWarningHandler([&](const std::string& t, const std::string&) { text = t; });
    EXPECT_FALSE(r.Load("ZZ", 0, 1024, 768));
    unsetenv("ORVIK_RESOURCE_PATH");
    EXPECT_EQ(text, "Cannot load ResQxZZ.orl");
}

TEST(ResourceLibraries, ProductTokenIsReplacedEverywhere) {
    EXPECT_EQ(SubstituteProductName("PRODUCT_TOKEN and PRODUCT_TOKEN"), "Orvik and Orvik");
    EXPECT_EQ(SubstituteProductName("none"), "none");
}

} // namespace orvik
