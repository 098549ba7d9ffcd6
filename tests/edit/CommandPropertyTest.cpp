// Undo and redo of whole command sequences: from seeded random movies,
// random runs of clip editing commands are undone back to the first movie
// and redone to the last, byte for byte.
#include "edit/ClipCommands.h"
#include "edit/TrimCommands.h"
#include "edit/VolumeCommands.h"
#include "edit/VolumeList.h"
#include "model/SonicAsset.h"

#include "edit/EditTestSupport.h"
#include "model/RandomMovie.h"

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <set>
#include <sstream>

namespace orvik {

// Selects clips and moves the position, as the movie window's navigation
// does: the selection and the position commands act on travel through the
// history with it.
class TestSelectCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(TestSelectCommand)
public:
    std::vector<int32_t> selection;
    Time position = 0;
    void Serialize(Archive& ar) override {
        if (ar.IsStoring()) {
            WriteIndexArray(ar, selection);
            ar.WriteInt32(position);
        } else {
            selection = ReadIndexArray(ar);
            position = ar.ReadInt32();
        }
    }
    void Do(Archive& undoData) override {
        RememberState();
        GetMovieList()->SetSelected(selection);
        GetMovieList()->MarkSelected();
        EditorHooks::Player().ShowMovieAt(position);
        SaveRestoreState(undoData);
    }
};
ORVIK_IMPLEMENT_SERIAL(TestSelectCommand, ClipListCommand, kVersionableSchema | 1)

namespace {

using test::Bytes;
using test::EditTest;

class RandomSession : public test::RandomMovie {
public:
    using RandomMovie::RandomMovie;

    RefPtr<ClipList> MakeMovie() { return Make(Shape()); }

    // A command on the movie as it is now; its description goes to `what`.
    std::unique_ptr<Command> NextCommand(ClipList& movie, std::string& what, int& kindOut) {
        std::ostringstream out;
        std::unique_ptr<Command> command;
        Clip* c = movie.IsEmpty() ? nullptr : movie.GetNth(Pick(0, movie.GetCount() - 1));
        Time end = movie.GetEnd();
        int kind = c ? Pick(0, 19) : Pick(4, 5);
        kindOut = kind == 16 ? 15 : kind;
        const int32_t soundTrack = std::array<int32_t, 3>{0, 3, 4}[Pick(0, 2)];
        switch (kind) {
        case 0:
        case 1: {
            auto s = std::make_unique<TestSelectCommand>();
            for (int i = 0; i < movie.GetCount(); ++i)
                if (Chance(25))
                    s->selection.push_back(i);
            s->position = Pick(0, end + 5);
            out << "select " << s->selection.size() << " at " << s->position;
            command = std::move(s);
            break;
        }
        case 2:
            out << "delete";
            command = std::make_unique<DeleteClipsCommand>();
            break;
        case 3:
            out << "cut";
            command = std::make_unique<CutClipsCommand>();
            break;
        case 4: {
            // New material from the album, or the clipboard's.
            Time at = Pick(0, end + 10);
            if (Chance(40)) {
                out << "paste at " << at;
                command = std::make_unique<PasteClipsCommand>(at, -1);
                break;
            }
            test::MovieBuilder b;
            int what = Pick(0, 2);
            if (what == 0)
                b.Video(Pick(3, 40), 0, 0, 400, "/videos/album.avi");
            else if (what == 1)
                b.Transition(Pick(2, 12), 0, 1, 0);
            else
                b.Title(0, Pick(3, 30), false);
            out << "insert kind " << b.list->GetClips().front()->GetKind() << " at " << at;
            command = std::make_unique<InsertClipsCommand>(b.list.get(), at, -1);
            break;
        }
        case 5: {
            Time at = Pick(0, end + 10);
            out << "grabbed frame at " << at;
            command = std::make_unique<InsertGrabbedFrameCommand>("/pictures/grab.bmp", at,
                                                                  Pick(5, 30), 1);
            break;
        }
        case 6: {
            Time at = Pick(0, end + 10);
            bool move = Chance(50);
            out << (move ? "move to " : "copy to ") << at;
            if (move)
                command = std::make_unique<MoveSelectedClipsCommand>(at, -1);
            else
                command = std::make_unique<CopySelectedClipsCommand>(at, -1);
            break;
        }
        case 7: {
            Time amount = Pick(-20, 20);
            out << "trim start " << c->GetStart() << " by " << amount;
            command = std::make_unique<TrimStartCommand>(c->GetStart(), amount, c->GetTrack());
            break;
        }
        case 8: {
            Time amount = Pick(-20, 20);
            out << "trim end " << c->GetEnd() << " by " << amount;
            command = std::make_unique<TrimEndCommand>(c->GetEnd(), amount, c->GetTrack());
            break;
        }
        case 9: {
            Time amount = Pick(-15, 15);
            Time time = amount < 0 ? c->GetStart() : c->GetEnd();
            out << "overlap trim " << time << " by " << amount;
            command = std::make_unique<OverlapTrimCommand>(time, amount, c->GetTrack());
            break;
        }
        case 10: {
            Time amount = Pick(-10, 10);
            out << "transition length " << c->GetStart() << " by " << amount;
            command =
                std::make_unique<TransitionDurationCommand>(c->GetStart(), amount, c->GetTrack());
            break;
        }
        case 11:
            out << "reset trim start " << c->GetStart();
            command = std::make_unique<ResetTrimStartCommand>(c->GetStart(), 0, c->GetTrack());
            break;
        case 12:
            out << "reset trim end " << c->GetStart();
            command = std::make_unique<ResetTrimEndCommand>(c->GetStart(), 0, c->GetTrack());
            break;
        case 13: {
            Time offset = Pick(-2, c->GetDuration() + 2);
            out << "split " << c->GetStart() << " at +" << offset;
            command = std::make_unique<SplitClipCommand>(c->GetStart(), offset, c->GetTrack());
            break;
        }
        case 14:
            out << "reverse";
            command = std::make_unique<ReverseTransitionCommand>(Pick(0, 1));
            break;
        case 17: {
            VolumeSetting point(Pick(0, 1000), Pick(-2, end + 2));
            out << "add volume " << point.level << "@" << point.time << " on " << soundTrack;
            command = std::make_unique<AddVolumeSettingCommand>(soundTrack, point);
            break;
        }
        case 18: {
            int32_t index = Pick(-1, 8);
            out << "delete volume point " << index << " on " << soundTrack;
            command = std::make_unique<DeleteVolumeSettingCommand>(soundTrack, index);
            break;
        }
        case 19: {
            VolumeSetting point(Pick(0, 1000), Pick(0, end));
            Time from = Pick(0, end);
            out << "slide volume to " << point.level << "@" << point.time << " from " << from
                << " on " << soundTrack;
            command = std::make_unique<SlideVolumeCommand>(soundTrack, point, from);
            break;
        }
        default:
            out << "comment";
            command = std::make_unique<CommentClipCommand>(Chance(50) ? "Beach" : "Cake");
            break;
        }
        what = out.str();
        return command;
    }
};

class CommandProperty : public EditTest {};

TEST_F(CommandProperty, UndoingAllGivesTheFirstMovieAndRedoingAllTheLast) {
    int commands = 0;
    int changes = 0;
    std::set<int> kindsThatChanged;
    for (uint32_t seed = 1; seed <= 1000; ++seed) {
        RandomSession r(seed);
        movie->ResetMovie();
        undoer.Clear();
        Clipboard::Get().Empty();
        editor.player.position = 0;
        Take(*r.MakeMovie());
        Bytes first = MovieBytes();
        std::vector<Bytes> states = {first};
        std::vector<std::string> done;
        for (int step = 0; step < 6; ++step) {
            std::string what;
            int kind = 0;
            std::unique_ptr<Command> command = r.NextCommand(List(), what, kind);
            command->Execute();
            done.push_back(what);
            states.push_back(MovieBytes());
            ++commands;
            if (states.back() != states[states.size() - 2]) {
                ++changes;
                kindsThatChanged.insert(kind);
            }
        }
        std::string history;
        for (const std::string& d : done)
            history += "  " + d + "\n";
        ASSERT_EQ(undoer.UndoCount(), done.size()) << "seed " << seed;
        for (size_t k = done.size(); k > 0; --k) {
            undoer.Undo();
            ASSERT_EQ(MovieBytes(), states[k - 1])
                << "seed " << seed << ": undo of command " << k << "\n"
                << history << "got:\n"
                << Describe();
        }
        for (size_t k = 1; k <= done.size(); ++k) {
            undoer.Redo();
            ASSERT_EQ(MovieBytes(), states[k])
                << "seed " << seed << ": redo of command " << k << "\n"
                << history << "got:\n"
                << Describe();
        }
    }
    // The runs did change the movies: the property is not met by accident.
    EXPECT_GT(changes, commands / 2);
    // Every kind of command did change a movie.
    for (int kind : {0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 17, 18, 19})
        EXPECT_EQ(kindsThatChanged.count(kind), 1u) << "command kind " << kind;
}

} // namespace

} // namespace orvik
