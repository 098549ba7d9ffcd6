#include "edit/Command.h"
#include "edit/Undoer.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "platform/archive/Archive.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

namespace orvik {

namespace {
int position = 0; // what the test commands change
int trimmed = 0;
} // namespace

// A seek: mergeable, like the player's seeks.
class TestSeekCommand : public Command {
    ORVIK_DECLARE_SERIAL(TestSeekCommand)
public:
    int target = 0;
    bool CanMerge() const override { return true; }
    uint32_t GetNameId() const override { return 50130; } // any text of the library
    void Serialize(Archive& ar) override {
        if (ar.IsStoring())
            ar.WriteInt32(target);
        else
            target = ar.ReadInt32();
    }
    void Do(Archive& undo) override {
        undo.WriteInt32(position);
        position = target;
    }
    void Undo(Archive& undo) override { position = undo.ReadInt32(); }
};
ORVIK_IMPLEMENT_SERIAL(TestSeekCommand, Command, kVersionableSchema | 1)

// A trim: not mergeable, named by its class.
class TestTrimCommand : public Command {
    ORVIK_DECLARE_SERIAL(TestTrimCommand)
public:
    int by = 0;
    size_t padding = 0; // undo data bytes to write, to test the budget
    void Serialize(Archive& ar) override {
        if (ar.IsStoring()) {
            ar.WriteInt32(by);
            ar.WriteDword(static_cast<uint32_t>(padding));
        } else {
            by = ar.ReadInt32();
            padding = ar.ReadDword();
        }
    }
    void Do(Archive& undo) override {
        undo.WriteInt32(trimmed);
        for (size_t i = 0; i < padding; ++i)
            undo.WriteByte(0);
        trimmed += by;
    }
    void Undo(Archive& undo) override { trimmed = undo.ReadInt32(); }
};
ORVIK_IMPLEMENT_SERIAL(TestTrimCommand, Command, kVersionableSchema | 1)

class UndoerTest : public testing::Test {
protected:
    void SetUp() override {
        position = 0;
        trimmed = 0;
        ASSERT_TRUE(resources.Load("US", 0, 1024, 768));
        ResourceLibraries::SetCurrent(&resources);
    }
    void TearDown() override { ResourceLibraries::SetCurrent(nullptr); }
    void Seek(int t) {
        TestSeekCommand c;
        c.target = t;
        c.Execute();
    }
    void Trim(int by, size_t padding = 0) {
        TestTrimCommand c;
        c.by = by;
        c.padding = padding;
        c.Execute();
    }
    ResourceLibraries resources;
    Undoer undoer;
};

TEST_F(UndoerTest, ConsecutiveSeeksMergeIntoOneEntry) {
    Seek(10);
    Seek(20);
    Seek(30);
    EXPECT_EQ(undoer.UndoCount(), 1u);
    undoer.Undo();
    EXPECT_EQ(position, 0); // before the first of the merged seeks

    Seek(5);
    Trim(3);
    Seek(7);
    EXPECT_EQ(undoer.UndoCount(), 3u);
    EXPECT_EQ(undoer.RedoCount(), 0u); // a recorded command empties redo
}

TEST_F(UndoerTest, UndoAndRedoWalkTheHistoryInOrder) {
    Trim(1);
    Trim(2);
    Trim(4);
    EXPECT_EQ(trimmed, 7);
    undoer.Undo();
    undoer.Undo();
    EXPECT_EQ(trimmed, 1);
    EXPECT_EQ(undoer.RedoCount(), 2u);
    undoer.Redo();
    EXPECT_EQ(trimmed, 3);
    undoer.Redo();
    EXPECT_EQ(trimmed, 7);
    undoer.Redo(); // nothing left: nothing happens
    EXPECT_EQ(trimmed, 7);
    undoer.Undo();
    undoer.Undo();
    undoer.Undo();
    undoer.Undo();
    EXPECT_EQ(trimmed, 0);
    EXPECT_EQ(undoer.UndoBytes(), 0);
}

TEST_F(UndoerTest, TheBudgetDropsTheOldestAndOversizedEntries) {
    Trim(1);
    Trim(1, 60000);
    Trim(1, 60000); // the oldest two no longer fit
    EXPECT_EQ(undoer.UndoCount(), 1u);
    EXPECT_LE(undoer.UndoBytes(), Undoer::kBudget);
    Trim(1, 150000); // alone larger than the budget
    EXPECT_EQ(undoer.UndoCount(), 0u);
    EXPECT_EQ(undoer.UndoBytes(), 0);
    EXPECT_FALSE(undoer.CanUndo());
}

TEST_F(UndoerTest, MenuTextsNameTheCommands) {
    EXPECT_EQ(undoer.UndoMenuText(), "Can't Undo\tCtrl+Z");
    EXPECT_EQ(undoer.RedoMenuText(), "Can't Redo\tCtrl+Y");
    ASSERT_TRUE(OpenLog(test::Home(), 0));
    Trim(1);
    EXPECT_EQ(undoer.UndoMenuText(), "&Undo Test Trim\tCtrl+Z");
    undoer.Undo();
    EXPECT_EQ(undoer.RedoMenuText(), "&Redo Test Trim\tCtrl+Y");
    std::string log = LogPath();
    CloseLog();
    EXPECT_NE(test::ReadFile(log).find("Test Trim: using default name\n"), std::string::npos);
    EXPECT_EQ(Command::DerivedName("AlbumOpenCommand"), "Album Open");
    EXPECT_EQ(Command::DerivedName("Command"), "");
}

TEST_F(UndoerTest, RedoOfAMergeableCommandMergesWithTheEntryBelow) {
    Seek(10);
    Trim(1);
    Seek(20);
    Seek(30); // merged with the seek to 20
    EXPECT_EQ(undoer.UndoCount(), 3u);
    undoer.Undo();
    EXPECT_EQ(position, 10);
    undoer.Undo();
    undoer.Undo();
    EXPECT_EQ(position, 0);
    EXPECT_EQ(trimmed, 0);
    undoer.Redo(); // seek to 10
    undoer.Redo(); // trim
    undoer.Redo(); // seek to 30
    EXPECT_EQ(position, 30);
    EXPECT_EQ(undoer.UndoCount(), 3u);
    undoer.Undo();
    EXPECT_EQ(position, 10);
    // Two seeks redone onto each other merge.
    undoer.Undo();
    undoer.Undo();
    Seek(40);
    undoer.Undo();
    EXPECT_EQ(position, 0);
    Seek(50);
    EXPECT_EQ(undoer.UndoCount(), 1u);
}

TEST_F(UndoerTest, UnrecordedCommandsLeaveNoEntry) {
    TestSeekCommand c;
    c.target = 9;
    c.Execute(false);
    EXPECT_EQ(position, 9);
    EXPECT_EQ(undoer.UndoCount(), 0u);
}

} // namespace orvik
