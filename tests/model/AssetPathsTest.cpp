// The assets whose media come from services installed later (the music
// generator, the MIDI device, CD audio, the titling library): without the
// service each fails with a result of failure and one log line; with one
// installed, the asset goes through it.
#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "model/AssetManager.h"
#include "model/CdAsset.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/MidiAsset.h"
#include "model/Movie.h"
#include "model/SonicAsset.h"
#include "model/Timecode.h"
#include "platform/avi/MediaTestTools.h"
#include "platform/gui/UserInterface.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvik {

namespace {

// Counts the lines of the diagnostics log that hold `text`.
int LogLines(const std::string& text) {
    std::string log = test::ReadFile(LogPath());
    int n = 0;
    for (size_t at = 0; (at = log.find(text, at)) != std::string::npos; at += text.size())
        ++n;
    return n;
}

// A half-second sound file made by sox.
std::string MakeSound(const std::string& path) {
    return test::Run("sox -n -r 44100 -c 2 -b 16 " + path + " synth 0.5 sine 440") ? path
                                                                                   : std::string();
}

struct LogScope {
    LogScope() { EXPECT_TRUE(OpenLog(test::Home(), 0)); }
    ~LogScope() { CloseLog(); }
};

} // namespace

TEST(AssetPaths, GeneratedMusicWithoutAGeneratorIsSilentUntilItsDurationChanges) {
    LogScope log;
    SonicAsset::SetGenerator(nullptr);
    RefPtr<SonicAsset> piece = new SonicAsset({"Jazz", "Night", "Short", "HardDisk", "Lib"}, 150);
    EXPECT_EQ(piece->GetAudioFile(), nullptr);
    EXPECT_TRUE(piece->HasFailed());
    EXPECT_EQ(piece->GetRenderedFileName(), "");
    EXPECT_EQ(piece->GetAudioFile(), nullptr); // not tried again
    EXPECT_EQ(LogLines("SonicAsset::GetAudioFile: no music generator for 'Night' [Short]\n"), 1);
    // A new length tries again at once, and fails the same way.
    piece->AdjustToClip(0, 90);
    EXPECT_EQ(piece->GetDuration(), 90);
    EXPECT_TRUE(piece->HasFailed());
    EXPECT_EQ(LogLines("SonicAsset::GetAudioFile: no music generator"), 2);
}

TEST(AssetPaths, GeneratedMusicPlaysWhatTheGeneratorMakes) {
    LogScope log;
    AssetManager manager(test::InHome("cache/Temp"), test::InHome("Videos"));
    struct Call {
        std::vector<std::string> texts;
        Time duration;
    };
    std::vector<Call> calls;
    std::string answer;
    SonicAsset::SetGenerator([&](const std::string& style, const std::string& song,
                                 const std::string& version, Time duration,
                                 const std::string& volume, const std::string& library) {
        calls.push_back({{style, song, version, volume, library}, duration});
        return answer;
    });

    RefPtr<SonicAsset> piece = new SonicAsset({"Jazz", "Night", "Short", "HardDisk", "Lib"}, 150);
    // A generator that makes nothing: failed, silent, logged.
    EXPECT_EQ(piece->GetAudioFile(), nullptr);
    EXPECT_TRUE(piece->HasFailed());
    EXPECT_EQ(LogLines("SonicAsset::GetAudioFile: no music made for 'Night' [Short]\n"), 1);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].texts,
              (std::vector<std::string>{"Jazz", "Night", "Short", "HardDisk", "Lib"}));
    EXPECT_EQ(calls[0].duration, 150);

    // A new length generates at once, and the piece plays the file.
    answer = MakeSound(manager.NewWorkingFileName("", "music.wav"));
    ASSERT_FALSE(answer.empty()) << test::ToolLog();
    piece->AdjustToClip(0, 120);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].duration, 120);
    EXPECT_FALSE(piece->HasFailed());
    EXPECT_EQ(piece->GetRenderedFileName(), answer);
    MediaFile* sound = piece->GetAudioFile();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetFileName(), answer);
    EXPECT_EQ(sound->GetSampleCount(), 22050);
    EXPECT_EQ(calls.size(), 2u); // kept, not generated again

    // Embedded in a project, the piece plays from the embedded file without
    // being generated again.
    RefPtr<Movie> movie = new Movie;
    RefPtr<SonicAsset> embedded = new SonicAsset({"Pop", "Day", "Long", "HardDisk", "Lib"}, 120);
    embedded->SetWorkingFileName(MakeSound(manager.NewWorkingFileName("", "music.wav")));
    RefPtr<Clip> clip = new Clip(embedded.get(), 0, 4);
    movie->GetClipList()->Add(clip.get());
    const std::string path = test::InHome("music.orv");
    ASSERT_TRUE(movie->SaveToFile(path)) << movie->LastError();
    RefPtr<Movie> opened = new Movie;
    ASSERT_TRUE(opened->OpenFromFile(path)) << opened->LastError();
    auto* loaded = DynamicCast<SonicAsset>(opened->GetClipList()->GetClips().front()->GetAsset());
    ASSERT_NE(loaded, nullptr);
    MediaFile* played = loaded->GetAudioFile();
    ASSERT_NE(played, nullptr);
    EXPECT_EQ(played->GetSampleCount(), 22050);
    EXPECT_EQ(loaded->GetWorkingFileName(), "");
    EXPECT_EQ(calls.size(), 2u);

    SonicAsset::SetGenerator(nullptr);
    ReleaseMediaFiles();
}

TEST(AssetPaths, MidiWithoutADeviceHasNoLength) {
    LogScope log;
    Timecode::Reset();
    const std::string tune = test::InHome("tune.mid");
    MidiAsset::SetLengthProbe(nullptr);
    RefPtr<MidiAsset> silent = new MidiAsset(tune);
    EXPECT_EQ(silent->GetDuration(), 0);
    EXPECT_EQ(LogLines("MidiAsset::Initialize: can't open " + tune + "\n"), 1);

    std::vector<std::string> asked;
    MidiAsset::SetLengthProbe([&](const std::string& path) {
        asked.push_back(path);
        return 2.5;
    });
    RefPtr<MidiAsset> measured = new MidiAsset(tune);
    EXPECT_EQ(asked, std::vector<std::string>{tune});
    EXPECT_EQ(measured->GetDuration(), 75); // 30 x 2.5 + 0.5, truncated
    EXPECT_EQ(LogLines("MidiAsset::Initialize"), 1);
    MidiAsset::SetLengthProbe(nullptr);
}

TEST(AssetPaths, CdAudioWithoutTheServiceAsksForNoDiscAndPlaysNothing) {
    LogScope log;
    auto& ui = dynamic_cast<HeadlessUserInterface&>(UserInterface::Current());
    const int messages = ui.MessageCount();
    CdAsset::SetInsertedCdProbe(nullptr);
    RefPtr<CdAsset> cd = new CdAsset("Holiday CD", 3, "Track 3", 0, 200);
    EXPECT_FALSE(cd->EnsureCdInserted());
    EXPECT_EQ(ui.MessageCount(), messages); // no question that nothing could answer
    EXPECT_EQ(LogLines("CdAsset::EnsureCdInserted: no CD audio service to find 'Holiday CD'\n"), 1);
    EXPECT_EQ(cd->GetAudioFile(), nullptr); // not recorded yet

    // With the service: the right disc is found at once; another one is
    // asked for (the headless user cancels).
    std::string inDrive = "Holiday CD";
    CdAsset::SetInsertedCdProbe([&] { return inDrive; });
    EXPECT_TRUE(cd->EnsureCdInserted());
    EXPECT_EQ(ui.MessageCount(), messages);
    inDrive = "Other CD";
    EXPECT_FALSE(cd->EnsureCdInserted());
    EXPECT_EQ(ui.MessageCount(), messages + 1);
    CdAsset::SetInsertedCdProbe(nullptr);

    // The recorded stretch plays from its file.
    const std::string recorded = MakeSound(test::InHome("track3.wav"));
    ASSERT_FALSE(recorded.empty()) << test::ToolLog();
    cd->SetRenderedFileName(recorded);
    MediaFile* sound = cd->GetAudioFile();
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->GetFileName(), recorded);
    EXPECT_EQ(cd->GetAudioFile(), sound);
    ReleaseMediaFiles();
}

TEST(AssetPaths, TitlesWithoutTheTitlingLibraryAreWhite) {
    LogScope log;
    const std::string title = test::InHome("hello.ttr");
    ASSERT_TRUE(test::WriteBytes(title, std::vector<uint8_t>(64, 'T')));
    ASSERT_TRUE(GraphicAsset::IsTitleFile(title));
    GraphicAsset::SetTitleRenderer(nullptr);
    RefPtr<GraphicAsset> graphic = new GraphicAsset(title, 90);
    RefPtr<Dib> white = graphic->GetPicture(32, 24, 24);
    ASSERT_TRUE(white);
    EXPECT_EQ(white->GetPixel(0, 0), 0xFFFFFFu);
    EXPECT_EQ(white->GetPixel(31, 23), 0xFFFFFFu);
    EXPECT_EQ(LogLines("GraphicAsset::GetDib: can't load " + title + ": no titling library\n"), 1);
    EXPECT_EQ(LogLines("GraphicAsset::GetDib"), 1);

    // With the library, the title is what it renders at the size asked.
    struct Call {
        std::string path;
        int width, height, bits;
    };
    std::vector<Call> calls;
    GraphicAsset::SetTitleRenderer(
        [&](Dib& picture, const std::string& path, int width, int height, int bits) {
            calls.push_back({path, width, height, bits});
            if (!picture.Create(width, height, bits))
                return false;
            picture.Set(0x336699);
            return true;
        });
    RefPtr<GraphicAsset> rendered = new GraphicAsset(title, 90);
    RefPtr<Dib> p = rendered->GetPicture(40, 30, 24);
    ASSERT_TRUE(p);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path, title);
    EXPECT_EQ(calls[0].width, 40);
    EXPECT_EQ(calls[0].height, 30);
    EXPECT_EQ(calls[0].bits, 24);
    EXPECT_EQ(p->GetPixel(20, 15), 0x336699u);
    EXPECT_EQ(LogLines("GraphicAsset::GetDib"), 1);
    GraphicAsset::SetTitleRenderer(nullptr);
}

} // namespace orvik
