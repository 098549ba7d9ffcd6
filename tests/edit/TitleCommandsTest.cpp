// New and edited titles: composed through the titler, placed as graphic
// clips, and undone and redone byte for byte; a cancelled composition
// changes nothing and records nothing.
#include "edit/TitleCommands.h"

#include "edit/EditTestSupport.h"
#include "imaging/Dib.h"
#include "imaging/Titler.h"
#include "model/AssetManager.h"
#include "model/GraphicAsset.h"
#include "support/TestHome.h"

#include <string>

namespace orvik {
namespace {

using test::Bytes;
using test::EditTest;
using test::MovieBuilder;

// Stands in for the person at the composition window: writes `text` into
// the title and confirms, or cancels.
class ScriptedComposer : public TitleComposer {
public:
    int Compose(VantaUl& library) override {
        ++calls;
        textBefore = library.GetTextString();
        if (!confirm)
            return 0;
        TitleText t;
        t.text = text;
        t.x = 50;
        t.y = 400;
        library.Document().texts = {t};
        if (!saveAs.empty())
            library.Callback()->Save(saveAs);
        return 1;
    }
    bool confirm = true;
    std::string text = "Summer 2026";
    std::string textBefore;
    std::string saveAs;
    int calls = 0;
};

class TitleCommandsTest : public EditTest {
public:
    void SetUp() override {
        EditTest::SetUp();
        TitleComposer::Install(&composer);
    }
    void TearDown() override {
        TitleComposer::Install(nullptr);
        EditTest::TearDown();
    }
    Clip* ClipAt(Time time, int32_t track) {
        return List().FindAt(time, track, Asset::kindGraphic, 0);
    }

    AssetManager assets{test::InHome("work"), test::InHome("captured")};
    Titler titler;
    ScriptedComposer composer;
};

void BuildVideo(EditTest& t) {
    MovieBuilder m;
    m.Video(100, 10);
    m.Video(100, 30);
    t.Take(*m.list);
}

TEST_F(TitleCommandsTest, NewTitleIsPlacedUndoneAndRedoneByteForByte) {
    BuildVideo(*this);
    movie->SetModifiedFlag(false);
    Bytes before = MovieBytes();

    NewTitleCommand command(60, 1);
    EXPECT_STREQ(command.GetRuntimeClass()->className, "NewTitleCommand");
    EXPECT_EQ(command.GetName(), "New Title");
    ASSERT_TRUE(command.Run());
    EXPECT_EQ(composer.calls, 1);
    Bytes after = MovieBytes();
    ASSERT_NE(after, before);
    ASSERT_EQ(undoer.UndoCount(), 1u);

    Clip* clip = ClipAt(60, 1);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->GetStart(), 60);
    EXPECT_EQ(clip->GetDuration(), 120); // four seconds when nothing is set
    EXPECT_EQ(clip->GetComment(), "Summer 2026");
    EXPECT_TRUE(Titler::IsTitleFile(clip->GetFileName()));
    EXPECT_EQ(clip->GetFileName(), command.path);
    EXPECT_TRUE(assets.IsWorkingFilePath(command.path));
    EXPECT_TRUE(movie->IsModified());
    // The clip shows the composed title.
    RefPtr<Dib> picon = new Dib;
    ASSERT_TRUE(picon->Create(180, 144, 24));
    ASSERT_EQ(clip->GetAsset()->CreatePicon(picon.get(), clip, 0), 1);
    EXPECT_EQ(picon->GetPixel(0, 0), 0u);

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before) << Describe();
    EXPECT_FALSE(movie->IsModified());
    undoer.Redo();
    EXPECT_EQ(MovieBytes(), after) << Describe();
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(TitleCommandsTest, ACancelledCompositionChangesNothing) {
    BuildVideo(*this);
    Bytes before = MovieBytes();
    composer.confirm = false;
    NewTitleCommand command(60, 0);
    EXPECT_FALSE(command.Run());
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_EQ(undoer.UndoCount(), 0u);
    // Without any composer installed the composition is cancelled too.
    TitleComposer::Install(nullptr);
    EXPECT_FALSE(NewTitleCommand(60, 1).Run());
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_EQ(undoer.UndoCount(), 0u);
    // Only the video and the title tracks take new titles.
    EXPECT_FALSE(NewTitleCommand(60, 3).CanExecute());
    EXPECT_TRUE(NewTitleCommand(60, 0).CanExecute());
}

TEST_F(TitleCommandsTest, EditedTitleReplacesItsClipUndoneAndRedoneByteForByte) {
    BuildVideo(*this);
    ASSERT_TRUE(NewTitleCommand(60, 1, 50).Run());
    std::string oldPath = ClipAt(60, 1)->GetFileName();
    EXPECT_EQ(ClipAt(60, 1)->GetDuration(), 50);
    Bytes before = MovieBytes();

    composer.text = "Autumn";
    EditTitleCommand edit(70, 1);
    EXPECT_EQ(edit.GetName(), "Edit Title");
    ASSERT_TRUE(edit.CanExecute());
    ASSERT_TRUE(edit.Run());
    EXPECT_EQ(composer.textBefore, "Summer 2026"); // the composition opened the old title
    Bytes after = MovieBytes();
    ASSERT_NE(after, before);
    ASSERT_EQ(undoer.UndoCount(), 2u);
    Clip* clip = ClipAt(60, 1);
    ASSERT_NE(clip, nullptr);
    EXPECT_NE(clip->GetFileName(), oldPath);
    EXPECT_EQ(clip->GetComment(), "Autumn");
    EXPECT_EQ(clip->GetStart(), 60);
    EXPECT_EQ(clip->GetDuration(), 50);
    EXPECT_TRUE(Titler::IsTitleFile(oldPath)); // the old title stays for undo

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before) << Describe();
    undoer.Redo();
    EXPECT_EQ(MovieBytes(), after) << Describe();
}

TEST_F(TitleCommandsTest, OnlyTitleFilesCanBeEdited) {
    MovieBuilder m;
    m.Video(100);
    m.Title(20, 40); // a graphic whose file is no title
    Take(*m.list);
    EXPECT_FALSE(EditTitleCommand(30, 1).CanExecute());
    EXPECT_FALSE(EditTitleCommand(30, 1).Run());
    EXPECT_FALSE(EditTitleCommand(90, 1).CanExecute()); // no clip there
    EXPECT_EQ(composer.calls, 0);
}

TEST_F(TitleCommandsTest, TheTimelineEditsTheTitleThereOrMakesOne) {
    BuildVideo(*this);
    auto titles = [&] {
        int n = 0;
        for (auto& c : List().GetClips())
            n += c->GetTrack() == 1;
        return n;
    };
    ASSERT_TRUE(EditOrNewTitleAt(40, 1));
    EXPECT_EQ(titles(), 1);
    EXPECT_EQ(composer.textBefore, "");
    composer.text = "Second";
    ASSERT_TRUE(EditOrNewTitleAt(50, 1));
    EXPECT_EQ(titles(), 1);
    EXPECT_EQ(composer.textBefore, "Summer 2026");
    EXPECT_EQ(ClipAt(40, 1)->GetComment(), "Second");
    Select({static_cast<int32_t>(List().GetClips().size()) - 1});
    composer.text = "Third";
    ASSERT_TRUE(EditSelectedTitle());
    EXPECT_EQ(ClipAt(40, 1)->GetComment(), "Third");
    EXPECT_EQ(undoer.UndoCount(), 3u);
    editor.player.position = 150;
    ASSERT_TRUE(NewTitleAtPosition(0));
    Clip* onVideo = List().FindFirst(0, Asset::kindGraphic, 0);
    ASSERT_NE(onVideo, nullptr);
    EXPECT_EQ(onVideo->GetComment(), "Third");
}

TEST_F(TitleCommandsTest, TheAlbumShowsATitleTheCompositionSaved) {
    BuildVideo(*this);
    std::vector<std::string> opened;
    SetTitleAlbumOpener([&](const std::string& path) { opened.push_back(path); });
    ASSERT_TRUE(NewTitleCommand(10, 1).Run());
    EXPECT_TRUE(opened.empty());
    composer.saveAs = test::InHome("mine.otl");
    ASSERT_TRUE(EditTitleCommand(10, 1).Run());
    SetTitleAlbumOpener(nullptr);
    EXPECT_EQ(opened, std::vector<std::string>{composer.saveAs});
    EXPECT_TRUE(Titler::IsTitleFile(composer.saveAs));
}

TEST_F(TitleCommandsTest, TitlesOverVideoAreComposedOverItsFrame) {
    BuildVideo(*this);
    Time seenOffset = -1;
    titler.SetFrameSource([&](Dib& frame, Clip& clip, Time offset) {
        EXPECT_EQ(clip.GetStart(), 100);
        seenOffset = offset;
        frame.Set(Rgb(0, 0, 200));
        return true;
    });
    composer.confirm = false;
    NewTitleCommand(130, 1).Run();
    EXPECT_EQ(seenOffset, 30);
    const std::vector<uint8_t>& background = titler.Library().Background();
    ASSERT_EQ(background.size(), 40u + 160 * 120 * 3);
    EXPECT_EQ(background[40], 200); // blue first
    // A title on the video track has nothing behind it.
    NewTitleCommand(130, 0).Run();
    EXPECT_TRUE(titler.Library().Background().empty());
}

} // namespace
} // namespace orvik
