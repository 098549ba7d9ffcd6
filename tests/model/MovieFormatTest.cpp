#include "model/MovieFormat.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/Settings.h"
#include "model/IVideoCompressorList.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/registry/Registry.h"
#include "platform/sys/DiskSpeed.h"
#include "support/TestHome.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>

namespace orvik {
namespace {

using Key = SettingsBase::Key;

// The installed compressors, as the compressor list will answer.
struct Compressors : IVideoCompressorList {
    std::vector<std::string> names;
    bool HasCompressor(const std::string& name) const override {
        return std::find(names.begin(), names.end(), name) != names.end();
    }
    std::string BoardCompressorName() const override {
        for (const std::string& n : names)
            if (n.find("MJPEG") != std::string::npos)
                return n;
        return std::string();
    }
};

struct MovieFormatTest : testing::Test {
    MovieFormatTest() { OpenLog(test::Home(), 0); }
    ~MovieFormatTest() override {
        MovieFormat::SetCompressorList(nullptr);
        Timecode::Reset();
    }

    // Settings of a fresh store with the given standard and preset.
    std::unique_ptr<Settings> MakeSettings(int standard, int preset = 0) {
        std::string folder = test::InHome("config");
        {
            Registry r(folder);
            Registry::Batch batch(r);
            r.OpenKey(RegistryTree::localMachine, "Software/Torvane/Orvik/Install", true)
                .SetNumber("Video standard", static_cast<uint32_t>(standard));
            r.OpenKey(RegistryTree::currentUser, "Software/Torvane/Orvik/Make movie", true)
                .SetNumber("Slider control", static_cast<uint32_t>(preset));
        }
        return std::make_unique<Settings>(folder);
    }

    static int CountInLog(const std::string& text) {
        std::string log = test::ReadFile(LogPath());
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
            ++n;
        return n;
    }
};

MovieFormat Format(int32_t width, int32_t height, int32_t rate, int32_t scale) {
    MovieFormat f(nullptr);
    f.width = width;
    f.height = height;
    f.rate = rate;
    f.scale = scale;
    return f;
}

TEST_F(MovieFormatTest, DefaultsFollowTheCaptureSize) {
    Timecode::SetStandard(1);
    MovieFormat pal;
    EXPECT_EQ(pal.width, 720);
    EXPECT_EQ(pal.height, 576);
    EXPECT_EQ(pal.path, "");
    EXPECT_EQ(pal.rate, 15);
    EXPECT_EQ(pal.scale, 1);
    EXPECT_EQ(pal.quality, 50);
    EXPECT_EQ(pal.audioRate, 11025);
    EXPECT_EQ(pal.audioBits, 16);
    EXPECT_EQ(pal.audioChannels, 1);
    EXPECT_EQ(pal.includeVideo, 1);
    EXPECT_EQ(pal.includeAudio, 1);

    auto settings = MakeSettings(0);
    ResourceLibraries libraries;
    ASSERT_TRUE(libraries.Load("US", 0, 1024, 768));
    settings->LoadResourceTexts(libraries);
    MovieFormat ntsc; // the current settings
    EXPECT_EQ(ntsc.width, 720);
    EXPECT_EQ(ntsc.height, 480);
    EXPECT_EQ(ntsc.path, libraries.GetProductText(MovieFormat::kTextDefaultPath));
    EXPECT_FALSE(ntsc.path.empty());

    MovieFormat preview = MovieFormat::ForPreview();
    EXPECT_EQ(preview.audioRate, 22050);
    EXPECT_EQ(preview.audioChannels, 2);
    EXPECT_EQ(preview.audioBits, 16);
    EXPECT_EQ(preview.width, 720);
}

TEST_F(MovieFormatTest, CopiesCompareEqualAndEveryFieldCounts) {
    MovieFormat a(nullptr);
    a.SetVideoCompressor("QX5 MJPEG");
    MovieFormat b = a;
    EXPECT_TRUE(a == b);
    int32_t MovieFormat::*numbers[] = {
        &MovieFormat::includeVideo, &MovieFormat::width,     &MovieFormat::height,
        &MovieFormat::rate,         &MovieFormat::scale,     &MovieFormat::quality,
        &MovieFormat::interleave,   &MovieFormat::dataRate,  &MovieFormat::includeAudio,
        &MovieFormat::audioRate,    &MovieFormat::audioBits, &MovieFormat::audioChannels,
        &MovieFormat::isMpegSystem,
    };
    for (auto field : numbers) {
        MovieFormat c = a;
        c.*field += 1;
        EXPECT_FALSE(a == c);
    }
    for (auto field :
         {&MovieFormat::path, &MovieFormat::videoCompressor, &MovieFormat::audioCompressor}) {
        MovieFormat c = a;
        c.*field += "x";
        EXPECT_FALSE(a == c);
    }
    MovieFormat c = a;
    c.videoCompressor = "qx5 mjpeg"; // texts compare exactly
    EXPECT_FALSE(a == c);
}

TEST_F(MovieFormatTest, TheMpegSystemCompressorIsKnownByName) {
    MovieFormat f(nullptr);
    f.SetVideoCompressor("MPEG-1 (interleave)");
    EXPECT_EQ(f.isMpegSystem, 1);
    f.SetVideoCompressor("MPEG-1 (editable)");
    EXPECT_EQ(f.isMpegSystem, 0);
    EXPECT_EQ(f.videoCompressor, "MPEG-1 (editable)");
}

TEST_F(MovieFormatTest, PcmFormat) {
    MovieFormat f(nullptr);
    f.audioRate = 44100;
    f.audioBits = 16;
    f.audioChannels = 2;
    MovieFormat::PcmFormat pcm = f.GetAudioFormat();
    EXPECT_EQ(pcm.formatTag, 1);
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.samplesPerSecond, 44100u);
    EXPECT_EQ(pcm.bitsPerSample, 16);
    EXPECT_EQ(pcm.blockAlign, 4);
    EXPECT_EQ(pcm.averageBytesPerSecond, 176400u);
    f.audioBits = 8;
    f.audioChannels = 1;
    f.audioRate = 11025;
    pcm = f.GetAudioFormat();
    EXPECT_EQ(pcm.blockAlign, 1);
    EXPECT_EQ(pcm.averageBytesPerSecond, 11025u);
}

TEST_F(MovieFormatTest, EstimatedBytesPerSecond) {
    struct Case {
        int32_t rate, scale, width, height;
        const char* compressor;
        int32_t quality, dataRate;
        int32_t includeVideo, includeAudio, audioRate, audioChannels, audioBits;
        double bytes;
    } cases[] = {
        // 30 × 480 × 640 = 9 216 000 pixels; 44100 × (2 × 16 / 8)
        {30, 1, 640, 480, "", 50, 0, 1, 1, 44100, 2, 16, 9216000 + 176400},
        // 29970 × 576 × 720 = 12 429 158 400 does not fit 32 bits; / 1000
        {29970, 1000, 720, 576, "", 50, 0, 1, 0, 44100, 2, 16, 12429158},
        {30, 1, 640, 480, "MJPEG", 50, 0, 1, 0, 0, 0, 0, 9216000 * 0.175},
        {30, 1, 640, 480, "MJPEG", 100, 0, 1, 0, 0, 0, 0, 9216000 * 0.3},
        {30, 1, 640, 480, "MJPEG", 0, 0, 1, 0, 0, 0, 0, 9216000 * 0.05},
        {30, 1, 640, 480, "MJPEG", 0, 500000, 1, 1, 11025, 1, 16, 500000 + 22050},
        {30, 1, 640, 480, "", 50, 0, 0, 1, 11025, 1, 12, 11025}, // 12 bits: 1 byte
        {30, 0, 640, 480, "", 50, 0, 1, 0, 0, 0, 0, 0},          // no frame rate
        {30, 1, 640, 480, "", 50, 0, 0, 0, 44100, 2, 16, 0},
        {INT32_MAX, 1, INT32_MAX, INT32_MAX, "", 50, 0, 1, 0, 0, 0, 0, 9.903520300447984e27},
    };
    for (const Case& c : cases) {
        MovieFormat f = Format(c.width, c.height, c.rate, c.scale);
        f.videoCompressor = c.compressor;
        f.quality = c.quality;
        f.dataRate = c.dataRate;
        f.includeVideo = c.includeVideo;
        f.includeAudio = c.includeAudio;
        f.audioRate = c.audioRate;
        f.audioChannels = c.audioChannels;
        f.audioBits = c.audioBits;
        EXPECT_DOUBLE_EQ(f.EstimateBytesPerSecond(), c.bytes) << c.rate << "/" << c.scale;
    }
}

TEST_F(MovieFormatTest, PalIsDecidedByTheRate) {
    struct Case {
        int32_t rate, scale;
        bool pal;
    } cases[] = {
        {25, 1, true},      {25, 2, true},        {50, 2, true},  {2495, 100, true},
        {2510, 100, false}, {29970, 1000, false}, {30, 1, false}, {29970, 2000, false},
        {15, 1, false},     {25, 0, false},       {12, 1, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Format(720, 576, c.rate, c.scale).IsPal(nullptr), c.pal)
            << c.rate << "/" << c.scale;
    // Without a rate the video standard decides.
    auto ntsc = MakeSettings(0);
    EXPECT_FALSE(Format(720, 576, 0, 1).IsPal(ntsc.get()));
    auto pal = MakeSettings(2);
    EXPECT_TRUE(Format(720, 576, 0, 1).IsPal(pal.get()));
}

TEST_F(MovieFormatTest, FrameSizeRules) {
    auto settings = MakeSettings(0); // capture 720 × 480, full output 608 × 456
    struct Case {
        int32_t width, height;
        bool full, halfWidth, halfHeight;
        int32_t interleave;
    } cases[] = {
        {608, 456, true, false, false, 1},  {304, 228, true, true, true, 0},
        {304, 456, true, true, false, 1},   {360, 240, false, true, true, 0},
        {720, 480, false, false, false, 1}, {360, 241, false, true, false, 1},
    };
    for (const Case& c : cases) {
        MovieFormat f = Format(c.width, c.height, 30, 1);
        EXPECT_EQ(f.IsFullCaptureSize(settings.get()), c.full) << c.width << "x" << c.height;
        EXPECT_EQ(f.IsHalfWidth(settings.get()), c.halfWidth) << c.width << "x" << c.height;
        EXPECT_EQ(f.IsHalfHeight(settings.get()), c.halfHeight) << c.width << "x" << c.height;
        f.UpdateInterleave(settings.get());
        EXPECT_EQ(f.interleave, c.interleave) << c.width << "x" << c.height;
    }
}

TEST_F(MovieFormatTest, DefaultDataRateNeedsTheCompressorList) {
    auto settings = MakeSettings(0);
    MovieFormat f = Format(304, 228, 30, 1);
    f.SetVideoCompressor("QX5 MJPEG");
    EXPECT_EQ(f.GetDefaultDataRate(), 0);
    EXPECT_EQ(CountInLog("MovieFormat::GetDefaultDataRate: no compressor list\n"), 1);

    Compressors list;
    list.names = {"QX5 MJPEG", "Cinepak"};
    MovieFormat::SetCompressorList(&list);
    struct Case {
        const char* compressor;
        int32_t width, height, rate;
    } cases[] = {
        {"QX5 MJPEG", 304, 228, 200000}, {"QX5 MJPEG", 304, 456, 300000},
        {"QX5 MJPEG", 608, 456, 500000}, {"Cinepak", 360, 240, 200000},
        {"Indeo", 304, 228, 50000},      {"qx5 mjpeg", 304, 228, 50000},
    };
    for (const Case& c : cases) {
        MovieFormat g = Format(c.width, c.height, 30, 1);
        g.SetVideoCompressor(c.compressor);
        EXPECT_EQ(g.GetDefaultDataRate(settings.get()), c.rate) << c.compressor << " " << c.width;
    }
}

TEST_F(MovieFormatTest, Presets) {
    struct Case {
        int standard, preset;
        int32_t width, height, rate, scale, dataRate, audioRate, audioChannels;
    } cases[] = {
        {0, 1, 360, 240, 29970, 2000, 800000, 44100, 2},
        {0, 2, 304, 456, 29970, 1000, 1800000, 44100, 2},
        {0, 3, 608, 456, 29970, 1000, 3000000, 44100, 2},
        {0, 0, 640, 480, 29970, 1000, 3000000, 44100, 2},
        {1, 1, 360, 288, 25, 2, 800000, 44100, 2},
        {1, 2, 360, 540, 25, 1, 1800000, 44100, 2},
        {2, 3, 720, 540, 25, 1, 3000000, 44100, 2},
        {1, 0, 640, 576, 25, 1, 3000000, 44100, 2},
        // Any other preset changes nothing: the defaults stay.
        {0, 7, 720, 480, 15, 1, 0, 11025, 1},
        {0, -1, 720, 480, 15, 1, 0, 11025, 1},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(test::InHome("config"));
        auto settings = MakeSettings(c.standard, c.preset);
        MovieFormat f(settings.get());
        f.ApplyPreset(settings.get());
        EXPECT_EQ(f.width, c.width) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.height, c.height) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.rate, c.rate) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.scale, c.scale) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.dataRate, c.dataRate) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.audioRate, c.audioRate) << c.standard << "/" << c.preset;
        EXPECT_EQ(f.audioChannels, c.audioChannels) << c.standard << "/" << c.preset;
        if (c.preset == 0) {
            EXPECT_EQ(f.path, settings->GetCaptureFolder());
        }
    }
}

TEST_F(MovieFormatTest, PresetZeroRaisesALowDataRateAndPresetOneTakesTheUsers) {
    auto settings = MakeSettings(0, 0);
    settings->WriteNumber(RegistryTree::currentUser, "Make Video", "Video data rate", 50000);
    MovieFormat f(settings.get());
    f.ApplyPreset(settings.get());
    EXPECT_EQ(f.dataRate, 100000);

    settings->SetSliderControl(1);
    settings->SetNumber(Key::makeVideoDataRate, 600000);
    f.ApplyPreset(settings.get());
    EXPECT_EQ(f.dataRate, 600000);
}

TEST_F(MovieFormatTest, SettingsGroupsRoundTrip) {
    auto settings = MakeSettings(1);
    MovieFormat f(settings.get());
    f.path = "/movies/out.avi";
    f.SetVideoCompressor("MPEG-1 (interleave)");
    f.width = 352;
    f.height = 288;
    f.rate = 25;
    f.scale = 2;
    f.quality = 75;
    f.interleave = 1;
    f.dataRate = 150000;
    f.includeAudio = 0;
    f.audioCompressor = "MP2";
    f.audioRate = 22050;
    f.audioBits = 8;
    f.audioChannels = 2;
    ASSERT_TRUE(f.SaveToSettings(settings.get()));
    EXPECT_EQ(settings->Number(Key::makeVideoWidth), 352);
    EXPECT_EQ(settings->Text(Key::makeAudioCompressor), "MP2");
    EXPECT_EQ(settings->GetOutputFile(), "/movies/out.avi");

    Settings again(test::InHome("config"));
    MovieFormat g(&again);
    ASSERT_TRUE(g.LoadFromSettings(&again));
    EXPECT_TRUE(f == g);

    // The make-movie group: the same keys in its own section.
    MovieFormat h = f;
    h.width = 176;
    ASSERT_TRUE(h.SaveToMakeMovieSettings(&again));
    MovieFormat k(&again);
    ASSERT_TRUE(k.LoadFromMakeMovieSettings(&again));
    EXPECT_TRUE(h == k);
    EXPECT_EQ(again.ReadNumber(RegistryTree::currentUser, "Make Video", "Video width", 0), 176);
    EXPECT_EQ(again.Number(Key::makeVideoWidth), 352);
}

TEST_F(MovieFormatTest, RateTexts) {
    struct Case {
        int32_t rate, scale;
        const char* text;
    } cases[] = {
        {15, 1, "15"},         {29970, 1000, "29.970"}, {25, 2, "12"},     {5, 1, "5"},
        {10, 1, "10"},         {30, 1, "30"},           {25, 1, "25"},     {24, 1, "24.000"},
        {2997, 100, "29.970"}, {0, 0, "0.000"},         {31, 1, "31.000"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MovieFormat::RateText(c.rate, c.scale), c.text) << c.rate << "/" << c.scale;
    struct Parse {
        const char* text;
        int32_t rate, scale;
    } parses[] = {
        {"29.97", 29970, 1000}, {"15", 15, 1},         {"12.5", 12500, 1000}, {"abc", 0, 1},
        {"30.0", 30, 1},        {"1e300", 2000000, 1}, {"-2.5", -2499, 1000}, {"nan", 0, 1},
    };
    for (const Parse& p : parses)
        EXPECT_EQ(MovieFormat::ParseRate(p.text), std::make_pair(p.rate, p.scale)) << p.text;
    for (const std::string& choice : MovieFormat::RateChoices()) {
        auto [rate, scale] = MovieFormat::ParseRate(choice);
        EXPECT_EQ(MovieFormat::RateText(rate, scale), choice == "29.97" ? "29.970" : choice);
    }
}

TEST_F(MovieFormatTest, AudioTexts) {
    auto settings = MakeSettings(0);
    // Before the resource texts are there, no text matches anything.
    EXPECT_EQ(MovieFormat::AudioFormatText(2, 16), "");
    EXPECT_EQ(MovieFormat::ParseAudioChannels(""), 1);
    EXPECT_EQ(MovieFormat::ParseAudioBits(""), 8);
    EXPECT_EQ(MovieFormat::ParseAudioRate(""), 11025);

    ResourceLibraries libraries;
    ASSERT_TRUE(libraries.Load("US", 0, 1024, 768));
    settings->LoadResourceTexts(libraries);
    struct Case {
        int32_t channels, bits;
        uint32_t id;
    } cases[] = {
        {1, 8, 50401},  {1, 16, 50402}, {2, 8, 50403},
        {2, 16, 50404}, {6, 12, 50401}, {0, 16, 50402},
    };
    for (const Case& c : cases) {
        std::string text = MovieFormat::AudioFormatText(c.channels, c.bits);
        EXPECT_EQ(text, libraries.GetProductText(c.id));
        EXPECT_FALSE(text.empty());
    }
    for (auto [channels, bits] : MovieFormat::AudioFormatChoices()) {
        std::string text = MovieFormat::AudioFormatText(channels, bits);
        EXPECT_EQ(MovieFormat::ParseAudioChannels(text), channels) << text;
        EXPECT_EQ(MovieFormat::ParseAudioBits(text), bits) << text;
    }
    for (int32_t rate : MovieFormat::AudioRateChoices())
        EXPECT_EQ(MovieFormat::ParseAudioRate(MovieFormat::AudioRateText(rate)), rate);
    EXPECT_EQ(MovieFormat::AudioRateText(8000), libraries.GetProductText(50405));
    EXPECT_EQ(MovieFormat::ParseAudioRate("junk"), 11025);
    EXPECT_EQ(MovieFormat::ParseAudioChannels("junk"), 1);
}

TEST_F(MovieFormatTest, ArchiveForm) {
    MovieFormat f(nullptr);
    f.path = "p";
    f.includeVideo = 1;
    f.videoCompressor = "";
    f.width = 1;
    f.height = 2;
    f.rate = 3;
    f.scale = 4;
    f.quality = 5;
    f.interleave = 6;
    f.dataRate = 7;
    f.includeAudio = 0;
    f.audioCompressor = "PCM";
    f.audioRate = 8;
    f.audioBits = 9;
    f.audioChannels = 10;
    f.isMpegSystem = -1;
    MemFile file;
    {
        Archive ar(file, Archive::store);
        f.Serialize(ar);
        ar.Close();
    }
    const std::vector<uint8_t> expected = {
        1, 'p', 1,   0,   0, 0, 0,                                      // path, includeVideo, ""
        1, 0,   0,   0,   2, 0, 0, 0, 3,  0, 0, 0, 4,    0,    0,    0, // width … scale
        5, 0,   0,   0,   6, 0, 0, 0, 7,  0, 0, 0, 0,    0,    0,    0, // quality … includeAudio
        3, 'P', 'C', 'M',                                               // audioCompressor
        8, 0,   0,   0,   9, 0, 0, 0, 10, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF,
    };
    EXPECT_EQ(file.Bytes(), expected);

    // As an object: created by its class name, schema 1 (versionable).
    MemFile objects;
    {
        Archive ar(objects, Archive::store);
        ar.WriteObject(&f);
        ar.Close();
    }
    std::vector<uint8_t> bytes = objects.Bytes();
    const std::vector<uint8_t> header = {0xFF, 0xFF, 1,   0,   11,  0,   'M', 'o', 'v',
                                         'i',  'e',  'F', 'o', 'r', 'm', 'a', 't'};
    ASSERT_GT(bytes.size(), header.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + header.size()), header);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + header.size(), bytes.end()), expected);
    objects.SeekToBegin();
    Archive in(objects, Archive::load);
    std::unique_ptr<MovieFormat> back(in.ReadObjectOf<MovieFormat>());
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(*back == f);
}

TEST_F(MovieFormatTest, ATruncatedArchiveIsAnArchiveError) {
    MovieFormat f(nullptr);
    MemFile file;
    {
        Archive ar(file, Archive::store);
        f.Serialize(ar);
        ar.Close();
    }
    std::vector<uint8_t> bytes = file.Bytes();
    bytes.pop_back();
    MemFile cut(bytes.data(), bytes.size());
    Archive in(cut, Archive::load);
    MovieFormat g(nullptr);
    EXPECT_THROW(g.Serialize(in), ArchiveException);
}

TEST_F(MovieFormatTest, DerivedFromTheClipsOfAList) {
    auto settings = MakeSettings(0, 0);
    using Facts = MovieFormat::ClipFacts;
    auto scene = [](int32_t track, bool file, int32_t w, int32_t h, int32_t dataRate, double rate) {
        Facts f;
        f.track = track;
        f.isScene = true;
        f.hasMediaFile = file;
        f.width = w;
        f.height = h;
        f.dataRate = dataRate;
        f.frameRate = rate;
        return f;
    };
    auto sound = [](int32_t rate, int32_t bits, int32_t channels) {
        Facts f;
        f.track = 3;
        f.hasAudio = true;
        f.audioRate = rate;
        f.audioBits = bits;
        f.audioChannels = channels;
        return f;
    };
    Facts cd;
    cd.track = 4;
    cd.isCdAudio = true;
    std::vector<Facts> clips = {
        scene(0, true, 640, 480, 2000000, 29.97),
        scene(0, true, 320, 240, 900000, 14.985),
        scene(0, false, 1000, 1000, 9000000, 60), // no media file
        scene(1, true, 1920, 1080, 9000000, 60),  // not the video track
        sound(32000, 16, 1),
        sound(22050, 8, 1),
    };

    MovieFormat f(settings.get());
    // Without a compressor list the compressor stays unset, and says so.
    EXPECT_FALSE(f.DeriveFrom(clips, "", settings.get()));
    EXPECT_EQ(CountInLog("MovieFormat::DeriveFrom: no compressor list\n"), 1);
    EXPECT_EQ(f.width, 640);
    EXPECT_EQ(f.height, 480);
    EXPECT_EQ(f.dataRate, 1350000); // the capture drive's limit, never measured
    EXPECT_EQ(f.rate, 29970);
    EXPECT_EQ(f.scale, 1000);
    EXPECT_EQ(f.quality, 100);
    EXPECT_EQ(f.interleave, 1);
    EXPECT_EQ(f.audioRate, 32000);
    EXPECT_EQ(f.audioBits, 16);
    EXPECT_EQ(f.audioChannels, 1);
    EXPECT_EQ(f.audioCompressor, "");
    EXPECT_EQ(f.videoCompressor, "QX5 MJPEG"); // from the make-movie settings
    EXPECT_EQ(f.path, settings->GetCaptureFolder());

    Compressors list;
    list.names = {"Cinepak", "QX5 M-JPEG Board MJPEG"};
    MovieFormat::SetCompressorList(&list);
    clips.push_back(cd);
    // The capture drive measured: 4000 and 2500 give 2 250 000.
    std::string drive = DiskSpeed::DriveOf(settings->GetCaptureFolder());
    ASSERT_FALSE(drive.empty());
    Registry& registry = settings->GetRegistry();
    registry.OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedReadKey, true)
        .SetNumber(drive, 4000);
    registry.OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedWriteKey, true)
        .SetNumber(drive, 2500);
    for (const char* path : {"", "relative.avi", "//server/share/out.avi"}) {
        MovieFormat g(settings.get());
        EXPECT_TRUE(g.DeriveFrom(clips, path, settings.get())) << path;
        EXPECT_EQ(g.videoCompressor, "QX5 M-JPEG Board MJPEG");
        EXPECT_EQ(g.dataRate, 2000000) << path;
        EXPECT_EQ(g.audioRate, 44100);
        EXPECT_EQ(g.audioChannels, 2);
        EXPECT_EQ(g.audioBits, 16);
    }
    MovieFormat fast(settings.get());
    clips[0].dataRate = 5000000;
    fast.DeriveFrom(clips, "", settings.get());
    EXPECT_EQ(fast.dataRate, 2250000);
}

TEST_F(MovieFormatTest, DerivedFrameRateAndSizesWithoutScenes) {
    struct Case {
        int standard;
        double sceneRate; // 0: no scene
        int32_t rate, scale, width, height;
    } cases[] = {
        {0, 0, 29970, 1000, 640, 480},     {1, 0, 25, 1, 640, 576},  {0, 25, 25, 1, 320, 240},
        {1, 29.97, 29970, 1000, 320, 240}, {1, 29, 25, 1, 320, 240},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(test::InHome("config"));
        auto settings = MakeSettings(c.standard, 0);
        std::vector<MovieFormat::ClipFacts> clips;
        if (c.sceneRate > 0) {
            MovieFormat::ClipFacts s;
            s.isScene = s.hasMediaFile = true;
            s.width = 320;
            s.height = 240;
            s.frameRate = c.sceneRate;
            clips.push_back(s);
        }
        MovieFormat f(settings.get());
        f.DeriveFrom(clips, "", settings.get());
        EXPECT_EQ(f.rate, c.rate) << c.standard << " " << c.sceneRate;
        EXPECT_EQ(f.scale, c.scale) << c.standard << " " << c.sceneRate;
        EXPECT_EQ(f.width, c.width) << c.standard << " " << c.sceneRate;
        EXPECT_EQ(f.height, c.height) << c.standard << " " << c.sceneRate;
        // No sound at all: the least format.
        EXPECT_EQ(f.audioRate, 11025);
        EXPECT_EQ(f.audioBits, 8);
        EXPECT_EQ(f.audioChannels, 1);
    }
}

} // namespace
} // namespace orvik
