// The music library: its library files, queries at each level, pieces
// written at an exact length (checked with sox), previews on the dummy
// sound driver.
#include "platform/music/MusicComposer.h"
#include "platform/music/MusicLibraryFile.h"
#include "platform/music/SPresto.h"

#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace orvik {

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

// The 16-bit samples of a canonical 44-byte-header WAV file.
std::vector<int16_t> Samples(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::vector<int16_t> s;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2)
        s.push_back(static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                         static_cast<uint8_t>(bytes[i + 1]) << 8));
    return s;
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(s[i]) * s[i];
    return to > from ? std::sqrt(sum / static_cast<double>(to - from)) : 0;
}

class MusicLibraryTest : public testing::Test {
public:
    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        folder = test::InHome("SmartSound");
        ASSERT_EQ(library.Initialize(nullptr, folder, folder, ""), 0);
    }
    std::vector<std::string> Query(const std::string& style, const std::string& song) {
        SRequestStruct r;
        r.mode = "Select By Style";
        r.style = style;
        r.song = song;
        EXPECT_EQ(library.QueryLibrary(r), 0) << style << "/" << song;
        std::vector<std::string> names;
        for (uint16_t i = 0; i < library.GetReply().GetCount(); ++i)
            names.push_back(library.GetReply().GetName(i));
        return names;
    }
    std::string Generate(const std::string& style, const std::string& song,
                         const std::string& version, uint32_t length, const std::string& name) {
        SRequestStruct r;
        r.style = style;
        r.song = song;
        r.version = version;
        r.length = length;
        std::string path = test::InHome(name);
        EXPECT_EQ(library.GenerateFile(path, r, nullptr), 0);
        return path;
    }

    std::string folder;
    SPresto library;
};

TEST_F(MusicLibraryTest, StartingPutsTheProgramsLibraryIntoAnEmptyFolderAndReadsIt) {
    EXPECT_TRUE(std::filesystem::exists(folder + "/Caderna QX5.sdi"));
    ASSERT_EQ(library.Libraries().size(), 1u);
    EXPECT_EQ(library.Libraries()[0].title, "Caderna QX5");
}

TEST_F(MusicLibraryTest, QueriesListStylesSongsAndVersionsInTheLibrarysOrder) {
    EXPECT_EQ(Query("", ""),
              (std::vector<std::string>{"Easy Rock", "Ambient", "Upbeat", "Acoustic"}));
    EXPECT_EQ(Query("Ambient", ""), (std::vector<std::string>{"Slow Tide", "Glass Garden"}));
    EXPECT_EQ(Query("Easy Rock", "Open Road"),
              (std::vector<std::string>{"Full", "Unplugged", "Rhythm"}));
    SRequestStruct unknown;
    unknown.style = "Polka";
    EXPECT_NE(library.QueryLibrary(unknown), 0);
    unknown.style = "Ambient";
    unknown.song = "Open Road";
    EXPECT_NE(library.QueryLibrary(unknown), 0);
}

TEST_F(MusicLibraryTest, APieceHasExactlyTheRequestedLengthAndIsMusic) {
    struct Case {
        uint32_t length;
    } cases[] = {{441000}, {44100 * 3 + 17}, {1000}, {1}};
    for (const Case& c : cases) {
        std::string path = Generate("Easy Rock", "Open Road", "Full", c.length, "piece.wav");
        std::string quoted = "'" + path + "'";
        EXPECT_EQ(Shell("soxi -s " + quoted), std::to_string(c.length));
        EXPECT_EQ(Shell("soxi -r " + quoted), "44100");
        EXPECT_EQ(Shell("soxi -c " + quoted), "2");
        EXPECT_EQ(Shell("soxi -b " + quoted), "16");
        EXPECT_FALSE(std::filesystem::exists(path + ".part"));
    }
    // Ten seconds: sound all through the bars, then a final chord that fades
    // to silence at the last sample.
    std::vector<int16_t> s = Samples(Generate("Easy Rock", "Open Road", "Full", 441000, "ten.wav"));
    ASSERT_EQ(s.size(), 882000u);
    for (size_t second = 0; second < 7; ++second)
        EXPECT_GT(Rms(s, second * 88200, (second + 1) * 88200), 800.0) << "second " << second;
    EXPECT_LT(Rms(s, 9 * 88200, 10 * 88200), Rms(s, 8 * 88200, 9 * 88200));
    EXPECT_GT(Rms(s, 8 * 88200, 9 * 88200), 100.0);
    EXPECT_LT(std::abs(s[s.size() - 1]), 50);
    EXPECT_LT(std::abs(s[s.size() - 2]), 50);
}

TEST_F(MusicLibraryTest, TheSameRequestGivesTheSamePieceAndOthersDiffer) {
    std::vector<int16_t> a = Samples(Generate("Easy Rock", "Open Road", "Full", 88200, "a.wav"));
    std::vector<int16_t> again =
        Samples(Generate("Easy Rock", "Open Road", "Full", 88200, "again.wav"));
    std::vector<int16_t> song =
        Samples(Generate("Easy Rock", "Night Drive", "Full", 88200, "song.wav"));
    std::vector<int16_t> version =
        Samples(Generate("Easy Rock", "Open Road", "Rhythm", 88200, "version.wav"));
    EXPECT_EQ(a, again);
    EXPECT_NE(a, song);
    EXPECT_NE(a, version);
}

TEST_F(MusicLibraryTest, AnAddedLibraryIsKnownAtTheNextStartWithoutItsVolume) {
    std::string drive = test::InHome("drive");
    std::filesystem::create_directories(drive);
    std::ofstream(drive + "/extra.sdi") << "library Extra\nvolume Disc One\nstyle Jazz\n"
                                           "song Blue\nversion Full\n";
    std::ofstream(drive + "/own.sdi") << BuiltInMusicLibraryText()
                                      << "style Extra\nsong X\n"
                                         "version V\n";
    ASSERT_TRUE(library.AddLibrary(drive + "/extra.sdi"));
    ASSERT_TRUE(library.AddLibrary(drive + "/own.sdi"));
    std::filesystem::remove_all(drive);
    SPresto next;
    ASSERT_EQ(next.Initialize(nullptr, folder, folder, ""), 0);
    ASSERT_EQ(next.Libraries().size(), 2u);
    SRequestStruct r;
    r.style = "Jazz";
    ASSERT_EQ(next.QueryLibrary(r), 0);
    EXPECT_EQ(next.GetReply().GetName(0), "Blue");
    ASSERT_NE(next.VolumeNeeded(r), nullptr);
    EXPECT_STREQ(next.VolumeNeeded(r), "Disc One");
    // The program's own library stays the one in the library folder.
    r.style = "Extra";
    EXPECT_NE(next.QueryLibrary(r), 0);
    r.style = "Ambient";
    EXPECT_EQ(next.VolumeNeeded(r), nullptr);
}

TEST_F(MusicLibraryTest, ImpossibleRequestsWriteNothing) {
    SRequestStruct r;
    r.style = "Easy Rock";
    r.song = "Open Road";
    r.length = 0;
    std::string path = test::InHome("none.wav");
    EXPECT_NE(library.GenerateFile(path, r, nullptr), 0);
    r.length = 1000;
    r.song = "No Such Song";
    EXPECT_NE(library.GenerateFile(path, r, nullptr), 0);
    r.song = "Open Road";
    EXPECT_NE(library.GenerateFile(test::InHome("missing/folder/x.wav"), r, nullptr), 0);
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(MusicLibraryTest, AVolumeIsNeededOnlyWhenItsLibraryFileIsGone) {
    std::string drive = test::InHome("drive");
    std::filesystem::create_directories(drive);
    std::ofstream(drive + "/extra.sdi") << "library Extra\nvolume Disc One\nstyle Jazz\n"
                                           "song Blue\ntempo 90\nversion Full\n";
    ASSERT_TRUE(library.AddLibrary(drive + "/extra.sdi"));
    SRequestStruct r;
    r.style = "Jazz";
    r.song = "Blue";
    EXPECT_EQ(library.VolumeNeeded(r), nullptr);
    std::filesystem::remove_all(drive);
    ASSERT_NE(library.VolumeNeeded(r), nullptr);
    EXPECT_STREQ(library.VolumeNeeded(r), "Disc One");
    r.style = "Ambient";
    r.song.clear();
    EXPECT_EQ(library.VolumeNeeded(r), nullptr);
}

TEST_F(MusicLibraryTest, APreviewPlaysOnTheSoundDeviceUntilItsEnd) {
    SRequestStruct r;
    r.song = "Ambient"; // previews name a style in the song place
    r.version = "Pads";
    r.length = 4410;
    ASSERT_EQ(library.StartPreview(r), 0);
    EXPECT_TRUE(test::WaitFor([&] { return library.GetPreviewPosition() == 0; }));
    r.length = 441000 * 6;
    ASSERT_EQ(library.StartPreview(r), 0);
    EXPECT_TRUE(test::WaitFor([&] { return library.GetPreviewPosition() > 1; }));
    library.StopPreview();
    EXPECT_EQ(library.GetPreviewPosition(), 0u);
}

TEST(MusicLibraryFile, ReadsTheProgramsLibrary) {
    MusicLibrary lib;
    std::string error;
    ASSERT_TRUE(ParseMusicLibrary(BuiltInMusicLibraryText(), lib, &error)) << error;
    ASSERT_EQ(lib.styles.size(), 4u);
    const MusicSong& song = lib.styles[0].songs[1];
    EXPECT_EQ(song.name, "Night Drive");
    EXPECT_EQ(song.tempo, 96);
    EXPECT_EQ(song.key, 9);
    EXPECT_TRUE(song.minor);
    EXPECT_EQ(song.versions[1].name, "Pads");
    EXPECT_EQ(song.versions[1].parts, static_cast<uint32_t>(partChords));
}

TEST(MusicLibraryFile, RefusesWhatIsNotAWholeLibrary) {
    const char* bad[] = {
        "",
        "style Rock\n",
        "library A\nstyle Rock\n",
        "library A\nstyle Rock\nsong S\n",
        "library A\nsong S\nversion V\n",
        "library A\nstyle R\nsong S\ntempo 9999\nversion V\n",
        "library A\nstyle R\nsong S\ntempo -5\nversion V\n",
        "library A\nstyle R\nsong S\nkey 12\nversion V\n",
        "library A\nstyle R\nsong S\nversion V\nparts tuba\n",
        "library A\nstyle R\nsong S\nversion V\nfrobnicate\n",
        "library A\nlibrary B\nstyle R\nsong S\nversion V\n",
        "library \x01\nstyle R\nsong S\nversion V\n",
    };
    for (const char* text : bad) {
        MusicLibrary lib;
        std::string error;
        EXPECT_FALSE(ParseMusicLibrary(text, lib, &error)) << text;
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(lib.styles.empty());
    }
    MusicLibrary lib;
    std::string longName = "library A\nstyle " + std::string(200, 'x') + "\nsong S\nversion V\n";
    EXPECT_FALSE(ParseMusicLibrary(longName, lib, nullptr));
    std::string many = "library A\nstyle R\nsong S\n";
    for (int i = 0; i < 5000; ++i)
        many += "version V" + std::to_string(i) + "\n";
    EXPECT_FALSE(ParseMusicLibrary(many, lib, nullptr));
}

TEST(MusicLibraryStart, FailsWhenTheFolderCannotBeMade) {
    std::string file = test::InHome("plain");
    std::ofstream(file) << "x";
    SPresto library;
    EXPECT_NE(library.Initialize(nullptr, file + "/SmartSound", "", ""), 0);
}

} // namespace

} // namespace orvik
