// New, open and save as commands: the whole movie comes back on undo, with
// its modified flag, and a failed open is reported, deletes nothing and can
// be undone.
#include "edit/MovieCommands.h"

#include "edit/EditTestSupport.h"
#include "platform/gui/UserInterface.h"

#include <filesystem>
#include <fstream>

namespace orvik {

namespace {

using test::Bytes;
using test::MovieBuilder;

class MovieCommands : public test::EditTest {
public:
    void SetUp() override {
        EditTest::SetUp();
        MovieBuilder m;
        m.Video(100, 10);
        m.Transition(20);
        m.Video(60);
        m.Title(30, 40);
        Take(*m.list);
        List().SetSelected({2});
        List().MarkSelected();
        movie->SetViewRange(10, 400);
        editor.player.position = 75;
    }

    static void Write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary) << bytes;
    }
};

TEST_F(MovieCommands, UndoOfNewGivesBackTheMovieAndThatItWasChanged) {
    ASSERT_TRUE(movie->SaveToFile(test::InHome("mine.orv")));
    movie->SetModifiedFlag(true); // changed since it was saved
    Bytes before = MovieBytes();
    std::string path = movie->GetPathName();

    NewMovie();
    EXPECT_TRUE(List().IsEmpty());
    EXPECT_FALSE(movie->IsModified());
    EXPECT_EQ(editor.player.position, 0);
    Bytes fresh = MovieBytes();

    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_TRUE(movie->IsModified()); // still to be saved: nothing is lost
    EXPECT_EQ(movie->GetPathName(), path);
    EXPECT_EQ(editor.player.position, 75);

    undoer.Redo();
    EXPECT_EQ(MovieBytes(), fresh);
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
}

TEST_F(MovieCommands, AFailedOpenIsReportedDeletesNothingAndIsUndone) {
    std::string mine = test::InHome("mine.orv");
    ASSERT_TRUE(movie->SaveToFile(mine));
    std::string mineBytes = test::ReadFile(mine);
    Bytes before = MovieBytes();

    // A damaged project (cut short) and a file of another kind.
    std::string damaged = test::InHome("damaged.orv");
    Write(damaged, mineBytes.substr(0, mineBytes.size() / 2));
    std::string foreign = test::InHome("sound.wav");
    Write(foreign, std::string("RIFF\x24\0\0\0WAVEfmt ", 16) + std::string(28, '\0'));

    auto& ui = dynamic_cast<HeadlessUserInterface&>(UserInterface::Current());
    for (const std::string& path : {damaged, foreign}) {
        std::string fileBytes = test::ReadFile(path);
        int messages = ui.MessageCount();
        test::LogCapture log;
        EXPECT_FALSE(OpenMovieFile(path));
        EXPECT_EQ(ui.MessageCount(), messages + 1);
        EXPECT_NE(ui.LastMessage().find(path), std::string::npos) << ui.LastMessage();
        EXPECT_NE(log.Text().find("Movie::OpenFromFile " + path), std::string::npos);
        // Nothing on disk went: neither the file asked for nor the movie's own.
        EXPECT_EQ(test::ReadFile(path), fileBytes);
        EXPECT_EQ(test::ReadFile(mine), mineBytes);

        ASSERT_EQ(undoer.UndoCount(), 1u);
        undoer.Undo();
        EXPECT_EQ(MovieBytes(), before) << path;
        EXPECT_EQ(movie->GetPathName(), mine);
        EXPECT_EQ(Selected(), std::vector<int32_t>{2});
        undoer.Clear();
    }
}

TEST_F(MovieCommands, OpenThenUndoAndRedo) {
    std::string other = test::InHome("other.orv");
    {
        RefPtr<Movie> o = new Movie;
        MovieBuilder m;
        m.Video(40);
        for (auto& c : m.list->GetClips())
            o->GetClipList()->Add(c.get());
        o->SetViewRange(3, 90);
        ASSERT_TRUE(o->SaveToFile(other));
    }
    movie->SetModifiedFlag(true);
    Bytes before = MovieBytes();
    EXPECT_TRUE(OpenMovieFile(other));
    EXPECT_EQ(List().GetCount(), 1);
    EXPECT_EQ(movie->GetPathName(), other);
    EXPECT_EQ(movie->GetViewStart(), 3);
    EXPECT_EQ(editor.player.position, 0);
    EXPECT_FALSE(movie->IsModified());
    Bytes opened = MovieBytes();
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), before);
    EXPECT_TRUE(movie->IsModified());
    undoer.Redo();
    EXPECT_EQ(MovieBytes(), opened);
}

TEST_F(MovieCommands, SaveChangesNothingThatUndoWouldTakeBack) {
    movie->SetModifiedFlag(true);
    std::string path = test::InHome("saved.orv");
    EXPECT_TRUE(SaveMovieFile(path));
    EXPECT_FALSE(movie->IsModified());
    Bytes saved = MovieBytes();
    EXPECT_EQ(undoer.UndoMenuText(), "&Undo Save Movie\tCtrl+Z");
    undoer.Undo();
    EXPECT_EQ(MovieBytes(), saved);
    EXPECT_FALSE(movie->IsModified());
    EXPECT_TRUE(std::filesystem::exists(path));
}

} // namespace

} // namespace orvik
