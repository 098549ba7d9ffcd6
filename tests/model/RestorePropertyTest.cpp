// Undo of every edit: from seeded random movies and random edits, playing the
// edit's restore records back (after a trip through an undo stream) gives the
// list it started from.
#include "model/ClipList.h"

#include "edit/VolumeList.h"
#include "model/ClipIterator.h"
#include "model/ClipTestSupport.h"
#include "model/RandomMovie.h"
#include "model/SonicAsset.h"
#include "model/XMemFile.h"
#include "platform/archive/Archive.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <sstream>

namespace orvik {

namespace {

class RandomEdits : public test::RandomMovie {
public:
    using RandomMovie::RandomMovie;

    RefPtr<ClipList> Make() {
        Shape shape;
        shape.maxVideos = 7;
        shape.trailingTransition = 20;
        shape.maxPerTrack = 3;
        shape.maxEnvelopePoints = 4;
        shape.marksFollowSelection = false;
        shape.packed = true;
        return RandomMovie::Make(shape);
    }

    // A random edit; its description goes to `what`.
    void Edit(ClipList& list, ClipList* editRecords, ClipList* fixRecords, std::string& what) {
        std::ostringstream out;
        Clip* c = list.GetNth(Pick(0, list.GetCount() - 1));
        switch (Pick(0, 8)) {
        case 0: {
            Time amount = Pick(-20, 20);
            out << "TrimStart " << c->GetStart() << " " << amount << " track " << c->GetTrack();
            list.TrimStart(c->GetStart(), amount, c->GetTrack(), editRecords, fixRecords);
            break;
        }
        case 1: {
            Time amount = Pick(-20, 20);
            out << "TrimEnd " << c->GetEnd() << " " << amount << " track " << c->GetTrack();
            list.TrimEnd(c->GetEnd(), amount, c->GetTrack(), editRecords, fixRecords);
            break;
        }
        case 2: {
            Time amount = Pick(-15, 15);
            Time time = amount < 0 ? c->GetStart() : c->GetEnd();
            out << "OverlapTrim " << time << " " << amount << " track " << c->GetTrack();
            list.OverlapTrim(time, amount, c->GetTrack(), editRecords, fixRecords);
            break;
        }
        case 3: {
            Time at = c->GetStart() + Pick(-2, c->GetDuration() + 2);
            out << "SplitClip " << c->GetStart() << " at " << at << " track " << c->GetTrack();
            list.SplitClip(c->GetStart(), at, c->GetTrack(), editRecords, fixRecords);
            break;
        }
        case 4: {
            Time amount = Pick(-10, 10);
            out << "DoTransitionDuration " << c->GetStart() << " " << amount << " track "
                << c->GetTrack();
            list.DoTransitionDuration(c->GetStart(), amount, c->GetTrack(), editRecords,
                                      fixRecords);
            break;
        }
        case 5:
            out << "DeleteSelected";
            list.DeleteSelected(editRecords, fixRecords);
            break;
        case 6:
        case 7: {
            bool move = Pick(0, 1) == 1;
            RefPtr<ClipList> selected = new ClipList;
            selected->CreateSelectedList(list, false, true);
            Time at = Pick(0, list.GetEnd() + 10);
            out << (move ? "move" : "copy") << " " << selected->GetCount() << " clips to " << at;
            list.InsertClips(*selected, at, move, false, editRecords, fixRecords);
            break;
        }
        default: {
            // A new clip from the album, or a transition dropped onto one.
            RefPtr<ClipList> source = new ClipList;
            test::MovieBuilder s;
            Clip* n = nullptr;
            switch (Pick(0, 2)) {
            case 0:
                n = s.Video(Pick(3, 40), 0, 0, 400, "/videos/album.avi");
                break;
            case 1:
                n = s.Transition(Pick(2, 12), 0, 1, 0);
                break;
            default:
                n = s.Title(0, Pick(3, 30), false);
            }
            source->Add(n);
            Time at = Pick(0, list.GetEnd() + 10);
            bool replace = Chance(50);
            out << "insert kind " << n->GetKind() << " at " << at << (replace ? " replacing" : "");
            list.InsertClips(*source, at, false, replace, editRecords, fixRecords);
        }
        }
        what = out.str();
    }
};

// Restore records travel in undo checkpoints: through a stream and back.
RefPtr<ClipList> ThroughUndoStream(ClipList& records) {
    XMemFile file;
    {
        Archive ar(file, Archive::store);
        ar.SetPurpose(Archive::ownMemory);
        ar.WriteObject(&records);
        ar.Close();
    }
    file.SeekToBegin();
    Archive ar(file, Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    return ar.ReadObjectOf<ClipList>();
}

RefPtr<ClipList> Repacked(ClipList& list) {
    RefPtr<ClipList> repacked = list.CloneList();
    repacked->FixTimes(nullptr, true, false, false);
    return repacked;
}

std::string Table(ClipList& list) {
    std::ostringstream out;
    for (const RefPtr<Clip>& c : list.GetClips())
        out << c->GetTrack() << ": kind " << c->GetKind() << " start " << c->GetStart() << " dur "
            << c->GetDuration() << " trim " << c->GetTrimStart() << (c->IsPinned() ? " pinned" : "")
            << (c->GetVolumeList() ? " env" : "") << "\n";
    return out.str();
}

} // namespace

TEST(RestoreProperty, EveryEditIsUndoneByItsRecords) {
    int edits = 0;
    int changed = 0;
    for (uint32_t seed = 1; seed <= 600; ++seed) {
        RandomEdits r(seed);
        RefPtr<ClipList> list = Repacked(*r.Make());
        for (int step = 0; step < 6; ++step) {
            RefPtr<ClipList> before = list->CloneList();
            RefPtr<ClipList> editRecords = new ClipList;
            RefPtr<ClipList> fixRecords = new ClipList;
            std::string what;
            r.Edit(*list, editRecords.get(), fixRecords.get(), what);
            ++edits;
            RefPtr<ClipList> after = list->CloneList();
            if (!after->IsSameAs(before.get()))
                ++changed;

            // Undo as the edit commands do: the repacking first, then the
            // edit, then a plain repack of the unpinned clips.
            list->RestoreClips(*ThroughUndoStream(*fixRecords));
            list->RestoreClips(*ThroughUndoStream(*editRecords));
            list->FixTimes(nullptr, true, false, false);
            ASSERT_TRUE(list->IsSameAs(before.get()))
                << "seed " << seed << " step " << step << ": " << what << "\nbefore:\n"
                << Table(*before) << "after the edit:\n"
                << Table(*after) << "after undo:\n"
                << Table(*list);
            // Go on from the edited movie, as the next command finds it: an
            // overlap trim leaves its list to be repacked by whatever comes
            // next, and undo (which ends with a repack) can only give back a
            // list that a repack leaves as it is.
            list = Repacked(*after);
            if (list->IsEmpty())
                break;
        }
    }
    // The edits did change the movies: the property is not met by accident.
    EXPECT_GT(edits, 3000);
    EXPECT_GT(changed, edits / 2);
}

} // namespace orvik
