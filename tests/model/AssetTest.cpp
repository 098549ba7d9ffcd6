#include "model/Asset.h"
#include "model/AssetManager.h"

#include "platform/archive/Archive.h"
#include "platform/archive/ArchiveException.h"
#include "platform/archive/MemFile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace orvik {

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, size_t size, char fill = 'a') {
    std::ofstream(path, std::ios::binary) << std::string(size, fill);
}

struct Folders {
    std::string temp = test::InHome("cache/Temp");
    std::string capture = test::InHome("Videos");
    Folders() { fs::create_directories(capture); }
};

class NamedAsset : public Asset {
public:
    using Asset::Asset;
    std::string name;
    std::string GetName() const override { return name; }
};

std::vector<uint8_t> Store(Asset* a, Archive::Purpose purpose) {
    MemFile f;
    Archive ar(f, Archive::store);
    ar.SetPurpose(purpose);
    ar.WriteObject(a);
    ar.Close();
    return f.Bytes();
}

RefPtr<Asset> Load(const std::vector<uint8_t>& bytes, Archive::Purpose purpose) {
    MemFile f(bytes.data(), bytes.size());
    Archive ar(f, Archive::load);
    ar.SetPurpose(purpose);
    return ar.ReadObjectOf<Asset>();
}

} // namespace

TEST(AssetManager, GeneratesNamesAndPurgesOnlyThem) {
    Folders d;
    fs::create_directories(d.temp);
    for (const char* keep : {"_xmas.avi", "_x12.avi", "_x0001.avi.bak", "notes_x0001.txt"})
        WriteFile(d.capture + "/" + keep, 3);
    for (const char* gone : {"_x0000.avi", "_x12345.wav", "_x0007"})
        WriteFile(d.capture + "/" + gone, 3);
    WriteFile(d.temp + "/_x0002.bmp", 3);

    AssetManager m(d.temp, d.capture);
    EXPECT_FALSE(fs::exists(d.capture + "/_x0000.avi"));
    EXPECT_FALSE(fs::exists(d.capture + "/_x12345.wav"));
    EXPECT_FALSE(fs::exists(d.capture + "/_x0007"));
    EXPECT_FALSE(fs::exists(d.temp + "/_x0002.bmp"));
    EXPECT_TRUE(fs::exists(d.capture + "/_xmas.avi")); // a user's capture stays
    EXPECT_TRUE(fs::exists(d.capture + "/_x12.avi"));
    EXPECT_TRUE(fs::exists(d.capture + "/_x0001.avi.bak"));
    EXPECT_TRUE(fs::exists(d.capture + "/notes_x0001.txt"));

    EXPECT_EQ(m.NewWorkingFileName("", "/photos/beach.BMP"), m.Folder() + "_x0000.BMP");
    WriteFile(m.Folder() + "_x0001.wav", 1); // a name that is still taken is skipped
    EXPECT_EQ(m.NewWorkingFileName("", "voice.wav"), m.Folder() + "_x0002.wav");
    EXPECT_EQ(m.NewCaptureWorkingFileName("group.avi"), m.CaptureFolder() + "_x0003.avi");

    std::string outside = test::InHome("precious.avi");
    WriteFile(outside, 10);
    EXPECT_FALSE(m.DeleteWorkingFile(outside));
    EXPECT_FALSE(m.DeleteWorkingFile(d.capture + "/_xmas.avi"));
    EXPECT_TRUE(fs::exists(outside));
}

TEST(AssetManager, ReleasedFilesAreDeletedLateOldestFirst) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string a = m.CreateWorkingFile("a.wav", std::string(4000000, 'a').data(), 4000000);
    std::string b = m.CreateWorkingFile("b.wav", std::string(4000000, 'b').data(), 4000000);
    std::string c = m.CreateWorkingFile("c.wav", std::string(1999999, 'c').data(), 1999999);
    std::string e = m.CreateWorkingFile("e.wav", "e", 1);
    m.ReleaseWorkingFile(a);
    m.ReleaseWorkingFile(b);
    m.ReleaseWorkingFile(c);
    EXPECT_EQ(m.PendingBytes(), 9999999);
    EXPECT_TRUE(fs::exists(a) && fs::exists(b) && fs::exists(c));
    // Undo brought b back: it is no longer pending.
    m.AddUser(b);
    EXPECT_EQ(m.PendingBytes(), 5999999);
    m.ReleaseWorkingFile(e);
    EXPECT_EQ(m.PendingBytes(), 6000000);
    std::string f = m.CreateWorkingFile("f.wav", std::string(4000000, 'f').data(), 4000000);
    m.ReleaseWorkingFile(f); // 10 000 000: the oldest goes until below the budget
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b));
    EXPECT_TRUE(fs::exists(c));
    EXPECT_EQ(m.PendingBytes(), 6000000);
}

TEST(Asset, CopiesShareAWorkingFileUntilTheLastGoes) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string path = m.CreateWorkingFile("title.bmp", "BMxx", 4);
    RefPtr<Asset> original = new Asset;
    original->SetWorkingFileName(path);
    RefPtr<RefObject> copy = original->Clone();
    EXPECT_EQ(m.UserCount(path), 2);
    original.reset();
    EXPECT_FALSE(m.IsPending(path));
    copy.reset();
    EXPECT_TRUE(m.IsPending(path));
    EXPECT_TRUE(fs::exists(path)); // deleted late, within the budget
}

TEST(Asset, ProjectSavesEmbedWorkingFilesAndOpeningMakesNewOnes) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string content = "title picture bytes";
    std::string path = m.CreateWorkingFile("t.bmp", content.data(), content.size());
    RefPtr<Asset> a = new Asset(std::string(), 0, 90);
    a->SetWorkingFileName(path);

    std::vector<uint8_t> project = Store(a.get(), Archive::projectSave);
    RefPtr<Asset> opened = Load(project, Archive::otherStream);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->IsWorkingFile());
    EXPECT_NE(opened->GetFileName(), path);
    EXPECT_TRUE(m.IsWorkingFilePath(opened->GetFileName()));
    EXPECT_EQ(test::ReadFile(opened->GetFileName()), content);
    EXPECT_EQ(opened->GetDuration(), 90);

    // Undo and clipboard streams name the file in place, copying nothing.
    std::vector<uint8_t> undo = Store(a.get(), Archive::ownMemory);
    EXPECT_LT(undo.size(), project.size() - content.size());
    RefPtr<Asset> back = Load(undo, Archive::ownMemory);
    EXPECT_TRUE(back->IsWorkingFile());
    EXPECT_EQ(back->GetFileName(), path);
    EXPECT_EQ(m.UserCount(path), 2);
}

TEST(Asset, AProjectCannotClaimSomeoneElsesFileAsWorkingFile) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string victim = test::InHome("holiday.avi");
    WriteFile(victim, 100);
    RefPtr<Asset> a = new Asset;
    a->SetWorkingFileName(victim); // as a crafted project would store it
    std::vector<uint8_t> crafted = Store(a.get(), Archive::ownMemory);
    a.reset();

    RefPtr<Asset> opened = Load(crafted, Archive::otherStream);
    EXPECT_FALSE(opened->IsWorkingFile());
    opened.reset();
    // Even released past the budget, a file the manager did not make stays.
    m.ReleaseWorkingFile(victim);
    std::string big = m.CreateWorkingFile("x.wav", std::string(static_cast<size_t>(AssetManager::kBudget), 'x').data(), static_cast<size_t>(AssetManager::kBudget));
    m.ReleaseWorkingFile(big);
    EXPECT_TRUE(fs::exists(victim));
}

TEST(Asset, AWorkingFileThatCannotBeReadFailsTheSave) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    RefPtr<Asset> a = new Asset;
    a->SetWorkingFileName(m.Folder() + "_x0099.bmp"); // never made
    EXPECT_THROW(Store(a.get(), Archive::projectSave), FileException);
}

TEST(Asset, EmbeddedLengthBeyondTheStreamIsAnError) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string path = m.CreateWorkingFile("t.bmp", "0123456789", 10);
    RefPtr<Asset> a = new Asset;
    a->SetWorkingFileName(path);
    std::vector<uint8_t> project = Store(a.get(), Archive::projectSave);
    project.resize(project.size() - 4);
    EXPECT_THROW(Load(project, Archive::otherStream), ArchiveException);
    RefObject::SweepOrphans();
}

TEST(Asset, Labels) {
    RefPtr<NamedAsset> scene = new NamedAsset("/any/folder/tape1.avi", 0, 10);
    scene->name = "Beach";
    EXPECT_EQ(scene->GetLabel(nullptr), "Beach [tape1]");
    scene->name = "tape1";
    EXPECT_EQ(scene->GetLabel(nullptr), "tape1");
    scene->name = "";
    EXPECT_EQ(scene->GetLabel(nullptr), "tape1");
    RefPtr<NamedAsset> graphic = new NamedAsset;
    graphic->SetWorkingFileName(test::InHome("_x0001.bmp"));
    EXPECT_EQ(graphic->GetLabel(nullptr), "");
}

} // namespace orvik

#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"

namespace orvik {

TEST(AssetManager, PicturesPlacedFromTheAlbumGetPrivateCopies) {
    Folders d;
    AssetManager m(d.temp, d.capture);
    std::string picture = test::InHome("beach.bmp");
    WriteFile(picture, 64, 'p');
    RefPtr<GraphicAsset> original = new GraphicAsset(picture, 90, 0);
    RefPtr<ClipList> clips = new ClipList;
    RefPtr<Clip> clip = new Clip(original.get(), 0, 1);
    clips->Add(clip.get());
    RefPtr<Clip> missing = new Clip(new GraphicAsset(test::InHome("gone.bmp"), 90, 0), 90, 1);
    clips->Add(missing.get());

    m.MakeWorkingCopies(*clips);
    Asset* copy = clip->GetAsset();
    EXPECT_NE(copy, original.get());
    EXPECT_TRUE(copy->IsWorkingFile());
    EXPECT_TRUE(m.IsWorkingFilePath(copy->GetFileName()));
    EXPECT_EQ(test::ReadFile(copy->GetFileName()), std::string(64, 'p'));
    EXPECT_EQ(clip->GetComment(), "beach");
    EXPECT_EQ(original->GetFileName(), picture); // the album's asset is untouched
    EXPECT_FALSE(missing->GetAsset()->IsWorkingFile()); // a failed copy leaves the clip
}

} // namespace orvik
