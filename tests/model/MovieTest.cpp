#include "model/Movie.h"

#include "app/DiagnosticsLog.h"
#include "edit/MovieCommands.h"
#include "edit/Undoer.h"
#include "edit/VolumeList.h"
#include "model/AssetManager.h"
#include "model/CdAsset.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/CompoundAsset.h"
#include "model/GraphicAsset.h"
#include "model/MidiAsset.h"
#include "model/Scene.h"
#include "model/SonicAsset.h"
#include "model/SourceTape.h"
#include "model/TapeSync.h"
#include "model/Transition.h"
#include "model/WaveAsset.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace orvik {

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FileBytes(const std::string& path) {
    std::string s = test::ReadFile(path);
    return Bytes(s.begin(), s.end());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes Str(const std::string& s) { return Bytes(s.begin(), s.end()); }

void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

Bytes Dword(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}

class MovieTest : public testing::Test {
protected:
    void SetUp() override {
        movie = new Movie;
        movie->MakeCurrent();
        movie->ResetMovie();
    }
    void Add(Asset* asset, Time start, int track) {
        RefPtr<Clip> clip = new Clip(asset, start, track);
        movie->GetClipList()->Add(clip.get());
    }
    // A movie with every class a project file can hold.
    void FillWithEveryKind() {
        std::string video = test::InHome("tape1.avi");
        RefPtr<Scene> s1 = new Scene(video, 0, 100);
        RefPtr<Scene> s2 = new Scene(video, 100, 80);
        s1->GetTape()->SetSync(std::make_unique<TapeSync>());
        Add(s1.get(), 0, 0);
        Add(new Transition(3, 50510), 80, 0);
        Add(s2.get(), 80, 0);
        RefPtr<ClipList> group = new ClipList;
        RefPtr<Clip> inner = new Clip(new Scene(test::InHome("tape2.avi"), 0, 50), 0, 0);
        group->Add(inner.get());
        Add(new CompoundAsset(group.get()), 160, 0);
        Add(new GraphicAsset(test::InHome("title.bmp"), 90, 0), 10, 1);
        RefPtr<WaveAsset> wave = new WaveAsset(test::InHome("boom.wav"), 0, 30);
        RefPtr<Clip> sound = new Clip(wave.get(), 5, 3);
        RefPtr<VolumeList> envelope = new VolumeList(30);
        envelope->AddVolumeSetting(VolumeSetting(250, 10));
        sound->SetVolumeList(envelope.get());
        sound->SetComment(std::string(255, 'c'));
        movie->GetClipList()->Add(sound.get());
        Add(new MidiAsset(test::InHome("tune.mid")), 0, 4);
        Add(new CdAsset("Holiday CD", 3, "Track 3", 0, 200), 40, 4);
        Add(new SonicAsset({"Jazz", "Song", "Short", "HardDisk", "Lib"}, 300), 300, 4);
        movie->GetClipList()->Relink();
        movie->SetViewRange(12.5, 600);
    }
    RefPtr<Movie> movie;
};

} // namespace

TEST_F(MovieTest, AnEmptyMovieIsItsFixedFieldsAndThePath) {
    std::string path = test::InHome("empty.orv");
    ASSERT_TRUE(movie->SaveToFile(path));
    Bytes bytes = FileBytes(path);
    Bytes expected = {0x6F, 0x72, 0x76, 0x20, 0x01, 0x00, 0x00, 0x80, 0x00, 0x00};
    Append(expected, Dword(0));
    Append(expected, Dword(0));
    expected.push_back(static_cast<uint8_t>(path.size()));
    Append(expected, Str(path));
    Append(expected, Bytes(16, 0));
    Append(expected, Dword(0));
    EXPECT_EQ(bytes, expected);
    EXPECT_EQ(bytes.size(), 4 + 4 + 2 + 4 + 4 + 1 + 8 + 8 + 4 + path.size());
    EXPECT_EQ(movie->GetPathName(), path);
    EXPECT_FALSE(movie->IsModified());
}

TEST_F(MovieTest, ADefaultClipIsItsFlagsAndItsAsset) {
    Add(new Transition(2, 5), 0, 0);
    MemFile f;
    {
        Archive ar(f, Archive::store);
        movie->GetClipList()->Serialize(ar);
    }
    Bytes expected = {0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x04, 0x00};
    Append(expected, Str("Clip"));
    Append(expected, Dword(0x10));
    Append(expected, {0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00});
    Append(expected, Str("Transition"));
    Append(expected, {0x00});          // file name
    Append(expected, Dword(0));        // start
    Append(expected, Dword(0));        // duration
    Append(expected, Dword(0));        // no working file
    Append(expected, Dword(2));        // effect
    Append(expected, Dword(5));        // effect number
    EXPECT_EQ(f.Bytes(), expected);
}

TEST_F(MovieTest, EveryClassRoundTripsToTheSameBytes) {
    FillWithEveryKind();
    std::string first = test::InHome("every.orv");
    std::string second = test::InHome("again.orv");
    ASSERT_TRUE(movie->SaveToFile(first)) << movie->LastError();

    RefPtr<Movie> opened = new Movie;
    ASSERT_TRUE(opened->OpenFromFile(first)) << opened->LastError();
    EXPECT_TRUE(opened->GetClipList()->IsSameAs(movie->GetClipList()));
    EXPECT_EQ(opened->GetViewStart(), 12.5);
    EXPECT_EQ(opened->GetViewSpan(), 600);
    ASSERT_TRUE(opened->SaveToFile(second));
    Bytes a = FileBytes(first), b = FileBytes(second);
    // The stored path differs; everything before it is the same.
    size_t pathAt = a.size() - 4 - 16 - first.size() - 1;
    ASSERT_GT(pathAt, 100u);
    EXPECT_EQ(Bytes(a.begin(), a.begin() + pathAt), Bytes(b.begin(), b.begin() + pathAt));

    // The two scenes of one capture file share one tape again.
    std::vector<Scene*> scenes;
    for (auto& clip : opened->GetClipList()->GetClips())
        if (auto* s = DynamicCast<Scene>(clip->GetAsset()))
            if (!DynamicCast<CompoundAsset>(s))
                scenes.push_back(s);
    ASSERT_EQ(scenes.size(), 2u);
    EXPECT_EQ(scenes[0]->GetTape(), scenes[1]->GetTape());
    EXPECT_EQ(scenes[0]->GetTape()->GetSync(), nullptr); // dropped on open and save
}

TEST_F(MovieTest, SharedAssetsAreWrittenOnceAndSharedAgain) {
    RefPtr<GraphicAsset> title = new GraphicAsset(test::InHome("t.bmp"), 60, 0);
    Add(title.get(), 0, 1);
    Add(title.get(), 100, 1);
    std::string path = test::InHome("shared.orv");
    ASSERT_TRUE(movie->SaveToFile(path));
    Bytes bytes = FileBytes(path);
    std::string name = "GraphicAsset";
    EXPECT_EQ(std::search(bytes.begin() + 1, bytes.end(), name.begin(), name.end()) -
                  bytes.begin(),
              std::find_end(bytes.begin(), bytes.end(), name.begin(), name.end()) - bytes.begin());
    RefPtr<Movie> opened = new Movie;
    ASSERT_TRUE(opened->OpenFromFile(path));
    auto& clips = opened->GetClipList()->GetClips();
    ASSERT_EQ(clips.size(), 2u);
    EXPECT_EQ(clips.front()->GetAsset(), clips.back()->GetAsset());
}

TEST_F(MovieTest, CountsPastFffeAreWrittenLong) {
    RefPtr<Transition> t = new Transition(2, 1);
    for (int i = 0; i < 0xFFFF; ++i) {
        RefPtr<Clip> clip = new Clip(t.get(), i, 0);
        movie->GetClipList()->GetClips().push_back(clip);
    }
    MemFile f;
    {
        Archive ar(f, Archive::store);
        movie->GetClipList()->Serialize(ar);
    }
    Bytes head(f.Data(), f.Data() + 6);
    EXPECT_EQ(head, (Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
}

TEST_F(MovieTest, ForeignAndDamagedFilesFailCleanlyAndChangeNothing) {
    FillWithEveryKind();
    std::string good = test::InHome("good.orv");
    ASSERT_TRUE(movie->SaveToFile(good));
    Bytes bytes = FileBytes(good);
    ASSERT_TRUE(OpenLog(test::Home(), 0));

    std::vector<std::pair<std::string, Bytes>> cases;
    Bytes foreign = bytes;
    foreign[0] = 'X';
    cases.push_back({"foreign", foreign});
    Bytes schema = bytes;
    schema[4] = 2;
    cases.push_back({"other schema", schema});
    for (size_t cut = 5; cut < bytes.size(); cut += 37)
        cases.push_back({"cut at " + std::to_string(cut), Bytes(bytes.begin(), bytes.begin() + cut)});
    cases.push_back({"text", Str("hello, this is not a movie")});

    for (auto& [what, content] : cases) {
        std::string path = test::InHome("bad.orv");
        WriteBytes(path, content);
        RefPtr<Movie> m = new Movie;
        m->ResetMovie();
        std::string before = m->GetPathName();
        EXPECT_FALSE(m->OpenFromFile(path)) << what;
        EXPECT_FALSE(m->LastError().empty()) << what;
        EXPECT_TRUE(m->GetClipList()->IsEmpty()) << what;
        EXPECT_EQ(m->GetPathName(), before) << what; // the stored path is not taken
        EXPECT_TRUE(std::filesystem::exists(path)) << what;
        EXPECT_EQ(RefObject::OrphanCount(), 0u) << what;
    }
}

TEST_F(MovieTest, AFailedSaveKeepsThePreviousGoodFile) {
    Add(new Transition(2, 5), 0, 0);
    std::string path = test::InHome("keep.orv");
    ASSERT_TRUE(movie->SaveToFile(path));
    Bytes before = FileBytes(path);

    // A working file that vanished makes the save fail half-way.
    AssetManager manager(test::InHome("cache"), test::InHome("Videos"));
    RefPtr<GraphicAsset> title = new GraphicAsset(std::string(), 60, 0);
    title->SetWorkingFileName(manager.Folder() + "_x0042.bmp");
    Add(title.get(), 0, 1);
    movie->SetModifiedFlag(true);
    EXPECT_FALSE(movie->SaveToFile(path));
    EXPECT_TRUE(movie->IsModified());
    EXPECT_EQ(FileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(path + ".saving"));
}

TEST_F(MovieTest, PathsWithoutAFolderGoToTheMovieFolder) {
    ASSERT_TRUE(movie->SaveToFile("plain.orv"));
    std::string expected = test::InHome("Videos/plain.orv");
    EXPECT_EQ(movie->GetPathName(), expected);
    EXPECT_TRUE(std::filesystem::exists(expected));
    movie->ResetMovie();
    EXPECT_EQ(movie->GetPathName(), test::InHome("Videos/Untitled"));
}

TEST_F(MovieTest, OpenIsUndoneAndAFailedOpenCanBeUndone) {
    Undoer undoer;
    Add(new Transition(2, 5), 0, 0);
    std::string path = test::InHome("other.orv");
    {
        RefPtr<Movie> other = new Movie;
        RefPtr<Clip> clip = new Clip(new Transition(2, 9), 0, 0);
        other->GetClipList()->Add(clip.get());
        RefPtr<Clip> clip2 = new Clip(new Transition(2, 10), 0, 1);
        other->GetClipList()->Add(clip2.get());
        ASSERT_TRUE(other->SaveToFile(path));
    }
    movie->SetViewRange(3, 40);
    EXPECT_TRUE(OpenMovieFile(path));
    EXPECT_EQ(movie->GetClipList()->GetCount(), 2);
    EXPECT_EQ(movie->GetPathName(), path);
    undoer.Undo();
    EXPECT_EQ(movie->GetClipList()->GetCount(), 1);
    EXPECT_EQ(movie->GetViewStart(), 3);

    WriteBytes(test::InHome("junk.orv"), Str("junk"));
    EXPECT_FALSE(OpenMovieFile(test::InHome("junk.orv")));
    EXPECT_TRUE(movie->GetClipList()->IsEmpty());
    undoer.Undo();
    EXPECT_EQ(movie->GetClipList()->GetCount(), 1);

    NewMovie();
    EXPECT_TRUE(movie->GetClipList()->IsEmpty());
    undoer.Undo();
    EXPECT_EQ(movie->GetClipList()->GetCount(), 1);
    EXPECT_EQ(movie->GetViewSpan(), 40);
}

TEST_F(MovieTest, AGroupThatHoldsItselfIsRefused) {
    RefPtr<CompoundAsset> group = new CompoundAsset;
    RefPtr<Clip> self = new Clip(group.get(), 0, 0);
    group->GetClips()->Add(self.get());
    Add(group.get(), 0, 0);
    std::string path = test::InHome("loop.orv");
    ASSERT_TRUE(movie->SaveToFile(path));
    group->GetClips()->RemoveAll(); // let the cycle go
    RefPtr<Movie> m = new Movie;
    EXPECT_FALSE(m->OpenFromFile(path));
}

TEST_F(MovieTest, FrameSizeWarningShowsOncePerMovie) {
    movie->NoteFrameSizeMismatch();
    movie->ShowFrameSizeWarning();
    EXPECT_EQ(movie->GetFrameSizeWarning(), 2);
    movie->NoteFrameSizeMismatch();
    movie->ShowFrameSizeWarning();
    EXPECT_EQ(movie->GetFrameSizeWarning(), 2);
    movie->ResetMovie();
    EXPECT_EQ(movie->GetFrameSizeWarning(), 0);
}

} // namespace orvik
