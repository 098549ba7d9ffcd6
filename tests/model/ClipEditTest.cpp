// The editing operations of a clip list: where clips land, how the tracks
// ripple, and what stays in step with the video.
#include "model/ClipList.h"

#include "edit/VolumeList.h"
#include "model/AssetManager.h"
#include "model/ClipIterator.h"
#include "model/ClipTestSupport.h"
#include "model/SonicAsset.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <vector>

namespace orvik {

namespace {

using test::LogCapture;
using test::MovieBuilder;

struct Span {
    Time start, duration, trim;
    bool operator==(const Span&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Span& s) {
    return os << "{" << s.start << ", " << s.duration << ", " << s.trim << "}";
}

Span SpanOf(const Clip* c) {
    return {c->GetStart(), c->GetDuration(), c->GetTrimStart()};
}

std::vector<Span> Spans(ClipList& list) {
    std::vector<Span> s;
    for (const RefPtr<Clip>& c : list.GetClips())
        s.push_back(SpanOf(c.get()));
    return s;
}

// Runs an edit with both record lists and checks that undoing it (the fix
// records, then the edit records, then a plain repack) gives the list back.
void EditAndUndo(MovieBuilder& m, const std::function<void(ClipList*, ClipList*)>& edit) {
    RefPtr<ClipList> before = m.list->CloneList();
    RefPtr<ClipList> editRecords = new ClipList;
    RefPtr<ClipList> fixRecords = new ClipList;
    edit(editRecords.get(), fixRecords.get());
    RefPtr<ClipList> after = m.list->CloneList();
    m.list->RestoreClips(*fixRecords);
    m.list->RestoreClips(*editRecords);
    m.list->FixTimes(nullptr, true, false, false);
    EXPECT_TRUE(m.list->IsSameAs(before.get())) << "undo did not give the list back";
    // Leave the edited list for the caller's checks.
    m.list = after;
}

} // namespace

TEST(ClipEdit, StartTrimOfAnUnpinnedVideoClipRipplesEveryTrack) {
    MovieBuilder m;
    Clip* v = m.Video(100);
    m.Video(50);
    m.Title(110, 5);
    m.Sound(120, 20);
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->TrimStart(0, 10, 0, e, f); });
    EXPECT_EQ(Spans(*m.list),
              (std::vector<Span>{{0, 90, 10}, {90, 50, 0}, {100, 5, 0}, {110, 20, 0}}));
    (void)v;
}

TEST(ClipEdit, ClipsOverATrimmedStartStayInStepWithThePicture) {
    // Over the video clip's 20th to 60th frame; its start is trimmed by 30.
    struct Case {
        const char* name;
        std::function<Clip*(MovieBuilder&)> add;
        Span expected;
    };
    const Case cases[] = {
        {"sound", [](MovieBuilder& m) { return m.Sound(70, 40, 5, 1000); }, {50, 30, 15}},
        {"title without a duration of its own",
         [](MovieBuilder& m) { return m.Title(70, 40); },
         {50, 30, 0}},
        {"picture with a duration of its own",
         [](MovieBuilder& m) {
             RefPtr<GraphicAsset> g = new GraphicAsset("/pictures/long.bmp", 400);
             Clip* c = new Clip(g.get(), 70, 1);
             c->SetDuration(40);
             c->SetTrimStart(5);
             c->SetPinned(true);
             m.list->Add(c);
             return c;
         },
         {50, 30, 15}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieBuilder m;
        m.Video(50);
        m.Video(100); // 50 … 150
        c.add(m);
        m.Fix();
        EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->TrimStart(50, 30, 0, e, f); });
        EXPECT_EQ(SpanOf(m.list->GetClips().back().get()), c.expected);
        EXPECT_EQ(SpanOf(m.list->GetNth(1)), (Span{50, 70, 30}));
    }
}

TEST(ClipEdit, LengtheningTheEndGrowsSoundsThatRanPastItWithinTheirFiles) {
    MovieBuilder m;
    m.Video(100);
    m.Video(50);
    m.Sound(80, 40, 0, 1000);        // runs past the video clip's end
    m.Sound(130, 10, 0, 1000);       // after the edit
    m.Sound(80, 40, 0, 45, true, 4); // its file has 5 frames left
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->TrimEnd(100, 15, 0, e, f); });
    EXPECT_EQ(
        Spans(*m.list),
        (std::vector<Span>{{0, 115, 0}, {115, 50, 0}, {80, 55, 0}, {145, 10, 0}, {80, 45, 0}}));
}

TEST(ClipEdit, ShorteningTheEndCutsWhatLayOverTheRemovedFrames) {
    MovieBuilder m;
    m.Video(100);
    m.Video(50);
    m.Sound(97, 30, 0, 1000);           // starts 3 frames before the clip's end
    m.Sound(102, 10, 0, 1000, true, 4); // over the next clip
    m.Sound(92, 4, 0, 1000, true, 5);   // entirely over the removed frames
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->TrimEnd(100, -10, 0, e, f); });
    // The sound starting over the removed frames starts at the new end, its
    // material from the old end on playing there: its 3 frames before the
    // old end are cut, and it still ends with the picture it ended with. The
    // one lying wholly over removed frames is gone.
    EXPECT_EQ(Spans(*m.list),
              (std::vector<Span>{{0, 90, 0}, {90, 50, 0}, {90, 27, 3}, {92, 10, 0}}));
}

TEST(ClipEdit, LongerTransitionMovesEverythingAfterItEarlier) {
    MovieBuilder m;
    m.Video(100);
    m.Transition(20);
    m.Video(100);
    m.Video(50);
    m.Sound(190, 10);
    m.Fix();
    ASSERT_EQ(SpanOf(m.list->GetNth(1)), (Span{80, 20, 0}));
    EditAndUndo(m,
                [&](ClipList* e, ClipList* f) { m.list->DoTransitionDuration(80, 10, 0, e, f); });
    EXPECT_EQ(
        Spans(*m.list),
        (std::vector<Span>{{0, 100, 0}, {70, 30, 0}, {70, 100, 0}, {170, 50, 0}, {180, 10, 0}}));
}

TEST(ClipEdit, OverlapTrimMovesOnlyTheCut) {
    struct Case {
        const char* name;
        Time bDuration;
        std::vector<Span> expected;
    };
    const std::vector<Case> cases = {
        {"B longer than the move", 30, {{0, 112, 0}, {112, 18, 12}, {130, 40, 0}, {50, 10, 0}}},
        {"B exactly as long", 12, {{0, 112, 0}, {112, 40, 0}, {50, 10, 0}}},
        {"B shorter: the clip after it gives way too", 8, {{0, 112, 0}, {112, 36, 4}, {50, 10, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieBuilder m;
        m.Video(100);
        m.Video(c.bDuration);
        m.Video(40);
        m.Sound(50, 10);
        m.Fix();
        EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->OverlapTrim(100, 12, 0, e, f); });
        EXPECT_EQ(Spans(*m.list), c.expected);
        // The clips meeting at the new cut are the selection.
        EXPECT_TRUE(m.list->GetNth(0)->IsSelected());
        EXPECT_TRUE(m.list->GetNth(1)->IsSelected());
    }
}

TEST(ClipEdit, OverlapTrimBackwardsCutsTheClipBefore) {
    MovieBuilder m;
    m.Video(100);
    m.Video(50);
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->OverlapTrim(100, -30, 0, e, f); });
    EXPECT_EQ(Spans(*m.list), (std::vector<Span>{{0, 70, 0}, {70, 80, -30}}));
}

TEST(ClipEdit, SplittingAPinnedTitle) {
    MovieBuilder m;
    m.Video(200);
    Clip* title = m.Title(40, 60);
    title->SetSelected(true);
    m.Fix();
    m.list->SplitClip(40, 65, 1, nullptr, nullptr);
    ASSERT_EQ(m.list->GetCount(), 3);
    Clip* first = m.list->GetNth(1);
    Clip* second = m.list->GetNth(2);
    EXPECT_EQ(SpanOf(first), (Span{40, 25, 0}));
    EXPECT_TRUE(first->IsPinned());
    EXPECT_FALSE(first->IsSelected());
    EXPECT_TRUE(first->IsEndTrimmed());
    EXPECT_EQ(SpanOf(second), (Span{65, 35, 0}));
    EXPECT_FALSE(second->IsPinned());
    EXPECT_TRUE(second->IsSelected());
}

TEST(ClipEdit, SplittingAVideoClipSplitsItsEnvelope) {
    MovieBuilder m;
    Clip* v = m.Video(100, 10);
    RefPtr<VolumeList> env = new VolumeList(100);
    env->AddVolumeSetting(VolumeSetting(200, 0));
    env->AddVolumeSetting(VolumeSetting(800, 90));
    v->SetVolumeList(env.get());
    m.Video(20);
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->SplitClip(0, 30, 0, e, f); });
    EXPECT_EQ(Spans(*m.list), (std::vector<Span>{{0, 30, 10}, {30, 70, 40}, {100, 20, 0}}));
    const VolumeList* a = m.list->GetNth(0)->GetVolumeList();
    const VolumeList* b = m.list->GetNth(1)->GetVolumeList();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetDuration(), 30);
    EXPECT_EQ(a->GetCount(), 2); // (200, 0), and 90 moved to the last frame
    EXPECT_EQ(a->GetSetting(1), VolumeSetting(800, 29));
    EXPECT_EQ(b->GetDuration(), 70);
    EXPECT_EQ(b->GetSetting(0), VolumeSetting(200, 0));
    EXPECT_EQ(b->GetSetting(1), VolumeSetting(800, 60));
}

TEST(ClipEdit, ASingleDroppedTitleStopsAtTheNextOne) {
    MovieBuilder m;
    m.Video(200);
    m.Title(100, 30);
    m.Fix();
    RefPtr<ClipList> source = new ClipList;
    RefPtr<GraphicAsset> g = new GraphicAsset("/pictures/new.bmp", 0);
    Clip* s = new Clip(g.get(), 0, 1);
    s->SetDuration(50);
    source->Add(s);
    EditAndUndo(
        m, [&](ClipList* e, ClipList* f) { m.list->InsertClips(*source, 60, false, false, e, f); });
    EXPECT_EQ(Spans(*m.list), (std::vector<Span>{{0, 200, 0}, {60, 40, 0}, {100, 30, 0}}));
    EXPECT_TRUE(m.list->GetNth(1)->IsPinned());
    // The movie took a copy: the dropped list is as it was and can go in
    // again.
    EXPECT_NE(m.list->GetNth(1), s);
    EXPECT_EQ(SpanOf(s), (Span{0, 50, 0}));
    EXPECT_FALSE(s->IsPinned());
    m.list->InsertClips(*source, 150, false, false, nullptr, nullptr);
    EXPECT_EQ(Spans(*m.list),
              (std::vector<Span>{{0, 200, 0}, {60, 40, 0}, {100, 30, 0}, {150, 50, 0}}));
}

TEST(ClipEdit, DroppingATransitionOnAnotherReplacesIt) {
    MovieBuilder m;
    m.Video(100);
    m.Transition(20);
    m.Video(100);
    m.Fix();
    RefPtr<ClipList> source = new ClipList;
    RefPtr<Transition> slide = new Transition(5, 6307);
    Clip* s = new Clip(slide.get(), 0, 0);
    s->SetDuration(35);
    source->Add(s);
    EditAndUndo(
        m, [&](ClipList* e, ClipList* f) { m.list->InsertClips(*source, 80, false, true, e, f); });
    ASSERT_EQ(m.list->GetCount(), 3);
    EXPECT_EQ(m.list->GetNth(1)->GetAsset(), slide.get());
    EXPECT_EQ(SpanOf(m.list->GetNth(1)), (Span{80, 20, 0}));
}

TEST(ClipEdit, MovingASelectedClipLeavesOneCopyAtTheNewPlace) {
    MovieBuilder m;
    Clip* a = m.Video(100);
    Clip* b = m.Video(50);
    Clip* c = m.Video(70);
    b->SetSelected(true);
    m.Fix();
    Asset* assets[] = {a->GetAsset(), b->GetAsset(), c->GetAsset()};
    RefPtr<ClipList> selected = new ClipList;
    selected->CreateSelectedList(*m.list, false, true);
    ASSERT_EQ(selected->GetCount(), 1);
    EditAndUndo(m, [&](ClipList* e, ClipList* f) {
        m.list->InsertClips(*selected, 220, true, false, e, f);
    });
    ASSERT_EQ(m.list->GetCount(), 3);
    EXPECT_EQ(m.list->GetNth(0)->GetAsset(), assets[0]);
    EXPECT_EQ(m.list->GetNth(1)->GetAsset(), assets[2]);
    EXPECT_EQ(m.list->GetNth(2)->GetAsset(), assets[1]);
    EXPECT_EQ(Spans(*m.list), (std::vector<Span>{{0, 100, 0}, {100, 70, 0}, {170, 50, 0}}));
    EXPECT_TRUE(m.list->GetNth(2)->IsSelected());
    EXPECT_FALSE(m.list->GetNth(0)->IsSelected());
}

TEST(ClipEdit, SelectedListKeepsATitleOverItsVideo) {
    MovieBuilder m;
    m.Video(500);
    m.Video(100)->SetSelected(true);
    m.Title(530, 20)->SetSelected(true);
    m.Fix();
    RefPtr<ClipList> selected = new ClipList;
    selected->CreateSelectedList(*m.list, false, true);
    EXPECT_EQ(Spans(*selected), (std::vector<Span>{{0, 100, 0}, {30, 20, 0}}));
    EXPECT_FALSE(selected->GetNth(0)->IsPinned());
    EXPECT_TRUE(selected->GetNth(1)->IsPinned());
    EXPECT_TRUE(selected->GetNth(1)->IsSelected());
    EXPECT_EQ(selected->GetNth(1)->GetPartner(), m.list->GetNth(2));
    EXPECT_EQ(m.list->GetNth(2)->GetPartner(), selected->GetNth(1));
}

TEST(ClipEdit, DeletingASelectedVideoClipClosesTheGap) {
    MovieBuilder m;
    m.Video(100);
    m.Video(50)->SetSelected(true);
    m.Video(100);
    m.Title(170, 10);
    m.Fix();
    EditAndUndo(m, [&](ClipList* e, ClipList* f) { m.list->DeleteSelected(e, f); });
    EXPECT_EQ(Spans(*m.list), (std::vector<Span>{{0, 100, 0}, {100, 100, 0}, {120, 10, 0}}));
}

TEST(ClipEdit, MissingClipsAreLogged) {
    struct Case {
        const char* name;
        std::function<void(ClipList&)> edit;
        const char* logged;
    };
    const Case cases[] = {
        {"TrimStart", [](ClipList& l) { l.TrimStart(5, 3, 0, nullptr, nullptr); },
         "ClipList::TrimStart: clip not found\n"},
        {"TrimEnd", [](ClipList& l) { l.TrimEnd(5, 3, 0, nullptr, nullptr); },
         "ClipList::TrimEnd: clip not found\n"},
        {"DoTransitionDuration",
         [](ClipList& l) { l.DoTransitionDuration(0, 3, 0, nullptr, nullptr); },
         "DoTransitionDuration: clip not found\n"},
        {"OverlapTrim", [](ClipList& l) { l.OverlapTrim(5, 3, 0, nullptr, nullptr); },
         "TrimEnd: clip not found\n"},
        {"SplitClip", [](ClipList& l) { l.SplitClip(5, 8, 0, nullptr, nullptr); }, ""},
        {"TrimStart on another track", [](ClipList& l) { l.TrimStart(0, 3, 1, nullptr, nullptr); },
         "ClipList::TrimStart: clip not found\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieBuilder m;
        m.Video(100);
        m.Fix();
        RefPtr<ClipList> before = m.list->CloneList();
        LogCapture log;
        c.edit(*m.list);
        EXPECT_EQ(log.Text(), c.logged);
        EXPECT_TRUE(m.list->IsSameAs(before.get()));
    }
}

TEST(ClipEdit, CopySelectionTakesTheMaterialUnderASelectedTransition) {
    MovieBuilder m;
    m.Video(100, 10);
    m.Transition(20)->SetSelected(true);
    m.Video(100, 5);
    m.Video(50);
    m.Fix();
    RefPtr<ClipList> out = new ClipList;
    out->CopySelection(*m.list, true, false);
    // The end of the clip before and the start of the clip after, with the
    // transition between them.
    EXPECT_EQ(Spans(*out), (std::vector<Span>{{80, 20, 90}, {80, 20, 0}, {80, 20, 5}}));
    EXPECT_TRUE(out->GetNth(0)->IsStartTrimmed());
    EXPECT_TRUE(out->GetNth(2)->IsEndTrimmed());
    std::vector<int32_t> origins;
    for (const RefPtr<Clip>& c : out->GetClips())
        origins.push_back(c->GetOriginalSequence());
    EXPECT_EQ(origins, (std::vector<int32_t>{0, 1, 2}));
}

TEST(ClipEdit, CopySelectionJoinsTheContinuationsOfASplitScene) {
    MovieBuilder m;
    RefPtr<Scene> first = new Scene("/videos/tape1.avi", 0, 100);
    RefPtr<Scene> second = new Scene("/videos/tape1.avi", 100, 50);
    Clip* a = new Clip(first.get(), 0, 0);
    Clip* b = new Clip(second.get(), 100, 0);
    RefPtr<VolumeList> ea = new VolumeList(100);
    ea->AddVolumeSetting(VolumeSetting(300, 10));
    RefPtr<VolumeList> eb = new VolumeList(50);
    eb->AddVolumeSetting(VolumeSetting(700, 5));
    a->SetVolumeList(ea.get());
    b->SetVolumeList(eb.get());
    m.list->Add(a);
    m.list->Add(b);
    m.Fix();
    RefPtr<ClipList> out = new ClipList;
    out->CopySelection(*m.list, false, true);
    ASSERT_EQ(out->GetCount(), 1);
    const Clip* joined = out->GetNth(0);
    EXPECT_EQ(SpanOf(joined), (Span{0, 150, 0}));
    EXPECT_EQ(joined->GetAssetDuration(), 150);
    EXPECT_EQ(first->GetDuration(), 100); // the movie's asset is left alone
    ASSERT_TRUE(joined->GetVolumeList());
    EXPECT_EQ(joined->GetVolumeList()->GetDuration(), 150);
    EXPECT_EQ(joined->GetVolumeList()->GetSetting(1), VolumeSetting(700, 105));
}

TEST(ClipEdit, TrimmedMusicGetsAPieceOfItsOwn) {
    namespace fs = std::filesystem;
    AssetManager manager(test::InHome("cache/Temp"), test::InHome("Videos"));
    std::string rendered = manager.NewWorkingFileName("", "music.wav");
    std::ofstream(rendered) << "RIFF";
    std::array<std::string, SonicAsset::kRequestCount> requests = {"Pop", "Song", "A", "", ""};
    RefPtr<SonicAsset> piece = new SonicAsset(requests, 200);
    piece->SetRenderedFileName(rendered);

    MovieBuilder m;
    m.Video(300);
    Clip* music = new Clip(piece.get(), 0, 4);
    music->SetPinned(true);
    m.list->Add(music);
    RefPtr<Clip> sameMusic = new Clip(piece.get(), 0, 4); // another clip of the same piece
    m.Fix();

    RefPtr<ClipList> editRecords = new ClipList;
    RefPtr<ClipList> fixRecords = new ClipList;
    m.list->TrimEnd(200, -50, 4, editRecords.get(), fixRecords.get());
    auto* copy = DynamicCast<SonicAsset>(music->GetAsset());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, piece.get());
    EXPECT_EQ(copy->GetDuration(), 150);
    EXPECT_EQ(copy->GetRenderedFileName(), ""); // rendered again for its own length
    EXPECT_EQ(piece->GetRenderedFileName(), rendered);
    EXPECT_TRUE(fs::exists(rendered));

    // Undo brings the piece back; the copy goes, and the piece's file stays.
    m.list->RestoreClips(*fixRecords);
    m.list->RestoreClips(*editRecords);
    EXPECT_EQ(music->GetAsset(), piece.get());
    editRecords = nullptr;
    fixRecords = nullptr;
    EXPECT_TRUE(fs::exists(rendered));

    // A clone of the piece never shares its file either.
    RefPtr<SonicAsset> clone = static_cast<SonicAsset*>(piece->Clone());
    EXPECT_EQ(clone->GetRenderedFileName(), "");
    clone = nullptr;
    EXPECT_TRUE(fs::exists(rendered));
    // The last holder of the piece takes its file along.
    m.list->RemoveAll();
    sameMusic = nullptr;
    piece = nullptr;
    EXPECT_FALSE(fs::exists(rendered));
}

} // namespace orvik
