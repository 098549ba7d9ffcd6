#include "model/SourceTape.h"

#include "app/DiagnosticsLog.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Scene.h"
#include "model/TapeSync.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace orvik {

namespace {

RefPtr<SourceTape> TapeWithScenes(const std::string& video, int count) {
    RefPtr<SourceTape> tape = new SourceTape(video, 0);
    RefPtr<ClipList> scenes = new ClipList;
    for (int i = 0; i < count; ++i) {
        RefPtr<Scene> scene = new Scene(video, i * 100, 100);
        scene->SetTape(tape.get());
        RefPtr<Clip> clip = new Clip(scene.get(), i * 100, 0);
        clip->SetSelected(true);
        clip->SetMarked(i == 0);
        scenes->Add(clip.get());
    }
    tape->SetSceneList(scenes.get());
    return tape;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::string s = test::ReadFile(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(SourceTape, SceneFilesRoundTripWithScenesUnselected) {
    std::string video = test::InHome("tape1.avi");
    RefPtr<SourceTape> tape = TapeWithScenes(video, 3);
    tape->SetHeaderWord(0x1234);
    EXPECT_EQ(tape->SceneFilePath(), test::InHome("tape1.scn"));
    ASSERT_TRUE(tape->WriteSceneFile());

    std::vector<uint8_t> bytes = ReadBytes(tape->SceneFilePath());
    ASSERT_GE(bytes.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 8),
              (std::vector<uint8_t>{0x63, 0x26, 0x01, 0x00, 0x04, 0x00, 0x34, 0x12}));

    RefPtr<SourceTape> again = new SourceTape(video, 0);
    ASSERT_TRUE(again->ReadSceneFile());
    ClipList* scenes = again->GetSceneList();
    ASSERT_NE(scenes, nullptr);
    ASSERT_EQ(scenes->GetCount(), 3);
    EXPECT_EQ(again->GetHeaderWord(), 0x1234);
    SourceTape* shared = nullptr;
    int i = 0;
    for (auto& clip : scenes->GetClips()) {
        Scene* scene = DynamicCast<Scene>(clip->GetAsset());
        ASSERT_NE(scene, nullptr);
        EXPECT_EQ(scene->GetStart(), i * 100);
        EXPECT_EQ(scene->GetDuration(), 100);
        EXPECT_EQ(scene->GetFileName(), video);
        EXPECT_FALSE(clip->IsSelected());
        EXPECT_FALSE(clip->IsMarked());
        if (!shared)
            shared = scene->GetTape();
        EXPECT_EQ(scene->GetTape(), shared); // one light tape for all scenes
        ++i;
    }
    EXPECT_NE(shared, again.get());
    EXPECT_EQ(shared->GetSceneList(), nullptr);
}

TEST(SourceTape, ForeignAndOtherVersionFilesAreRefusedAndLeaveNoScenes) {
    std::string video = test::InHome("tape2.avi");
    RefPtr<SourceTape> tape = TapeWithScenes(video, 2);
    ASSERT_TRUE(tape->WriteSceneFile());
    std::vector<uint8_t> good = ReadBytes(tape->SceneFilePath());
    ASSERT_TRUE(OpenLog(test::Home(), 0));

    struct Case {
        const char* what;
        size_t at;
        uint8_t value;
    } cases[] = {{"version 2", 4, 2}, {"version 5", 4, 5}, {"another magic", 0, 0x64}};
    for (const Case& c : cases) {
        std::vector<uint8_t> bad = good;
        bad[c.at] = c.value;
        WriteBytes(tape->SceneFilePath(), bad);
        RefPtr<SourceTape> reader = new SourceTape(video, 0);
        EXPECT_FALSE(reader->ReadSceneFile()) << c.what;
        ASSERT_NE(reader->GetSceneList(), nullptr);
        EXPECT_TRUE(reader->GetSceneList()->IsEmpty()) << c.what;
    }
    // Cut short anywhere: refused, nothing half-read.
    for (size_t cut = 9; cut < good.size(); cut += 7) {
        WriteBytes(tape->SceneFilePath(), std::vector<uint8_t>(good.begin(), good.begin() + cut));
        RefPtr<SourceTape> reader = new SourceTape(video, 0);
        EXPECT_FALSE(reader->ReadSceneFile()) << cut;
        EXPECT_TRUE(reader->GetSceneList()->IsEmpty()) << cut;
    }
    std::string log = LogPath();
    CloseLog();
    EXPECT_NE(test::ReadFile(log).find("SourceTape::ReadSceneFile " + tape->SceneFilePath() +
                                       " failed\n"),
              std::string::npos);
    EXPECT_EQ(RefObject::OrphanCount(), 0u); // the debris of each failed read is gone
}

TEST(SourceTape, AnOldSceneFileKeepsItsSyncAndIsWrittenBackAsVersion4) {
    std::string video = test::InHome("old.avi");
    RefPtr<SourceTape> tape = TapeWithScenes(video, 1);
    auto sync = std::make_unique<TapeSync>();
    sync->words = {7, 8};
    tape->SetSync(std::move(sync));
    ASSERT_TRUE(tape->WriteSceneFile());
    std::vector<uint8_t> bytes = ReadBytes(tape->SceneFilePath());

    // Make it the file an older version wrote: version 3, TapeSync schema 2
    // without its second table (an empty COUNT of 2 bytes).
    bytes[4] = 3;
    std::string name = "TapeSync";
    auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
    ASSERT_NE(at, bytes.end());
    size_t classStart = static_cast<size_t>(at - bytes.begin()) - 6;
    ASSERT_EQ(bytes[classStart + 2], 3);
    bytes[classStart + 2] = 2;
    size_t tableEnd = classStart + 6 + name.size() + 2 + 2 * 2;
    bytes.erase(bytes.begin() + static_cast<long>(tableEnd), bytes.begin() + static_cast<long>(tableEnd) + 2);
    WriteBytes(tape->SceneFilePath(), bytes);

    RefPtr<SourceTape> reader = new SourceTape(video, 0);
    ASSERT_TRUE(reader->ReadSceneFile());
    ASSERT_NE(reader->GetSync(), nullptr);
    EXPECT_EQ(reader->GetSync()->words, (std::vector<uint16_t>{7, 8}));
    ASSERT_TRUE(reader->WriteSceneFile());
    std::vector<uint8_t> rewritten = ReadBytes(reader->SceneFilePath());
    EXPECT_EQ(rewritten[4], 4);
    RefPtr<SourceTape> last = new SourceTape(video, 0);
    ASSERT_TRUE(last->ReadSceneFile());
    EXPECT_EQ(last->GetSync()->words, (std::vector<uint16_t>{7, 8}));
}

} // namespace orvik
