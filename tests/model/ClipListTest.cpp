#include "model/ClipList.h"

#include "app/Settings.h"
#include "model/ClipIterator.h"
#include "model/ClipTestSupport.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik {

namespace {

using test::LogCapture;
using test::MovieBuilder;

std::vector<Time> Starts(ClipList& list) {
    std::vector<Time> s;
    for (const RefPtr<Clip>& c : list.GetClips())
        s.push_back(c->GetStart());
    return s;
}

std::vector<Time> Durations(ClipList& list) {
    std::vector<Time> d;
    for (const RefPtr<Clip>& c : list.GetClips())
        d.push_back(c->GetDuration());
    return d;
}

// A plain asset whose clipboard text names its file.
class TextAsset : public Asset {
public:
    using Asset::Asset;
    std::string GetText(const Clip* clip) const override {
        return GetFileName() + "\t" + std::to_string(clip->GetStart());
    }
};

} // namespace

TEST(ClipList, EndOfEmptyListAndAfterRemovingLastClip) {
    MovieBuilder m;
    EXPECT_EQ(m.list->GetEnd(), 0);
    m.Video(40);
    EXPECT_EQ(m.list->GetEnd(), 40);
    m.list->Remove(m.list->GetClips().begin());
    EXPECT_EQ(m.list->GetEnd(), 0);
}

TEST(ClipList, FixTimesPacksVideoWithATransition) {
    MovieBuilder m;
    m.Video(100);
    m.Transition(20);
    m.Video(100);
    m.Video(100);
    // Scramble the starts: FixTimes recomputes them.
    for (const RefPtr<Clip>& c : m.list->GetClips())
        c->SetStart(7);
    m.Fix();
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 80, 80, 180}));
    EXPECT_EQ(m.list->GetEnd(), 280);
    std::vector<int32_t> sequence;
    for (const RefPtr<Clip>& c : m.list->GetClips())
        sequence.push_back(c->GetSequence());
    EXPECT_EQ(sequence, (std::vector<int32_t>{0, 1, 2, 3}));
}

TEST(ClipList, FixTimesLimitsTransitionsAndMarksOneAtTheEnd) {
    MovieBuilder m;
    m.Video(100);
    Clip* middle = m.Transition(50);
    m.Video(30); // shorter than the transition before it
    m.Video(60);
    Clip* end = m.Transition(10);
    m.Fix();
    EXPECT_EQ(middle->GetDuration(), 30);
    EXPECT_EQ(middle->GetStart(), 70);
    EXPECT_FALSE(middle->IsTransitionAtEnd());
    // Nothing follows the last transition: it fades the clip before it out.
    EXPECT_EQ(end->GetDuration(), 10);
    EXPECT_EQ(end->GetStart(), 150);
    EXPECT_TRUE(end->IsTransitionAtEnd());
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 70, 70, 100, 150}));
    EXPECT_EQ(m.list->GetEnd(), 160);
}

TEST(ClipList, FixTimesCapsATransitionAtTheClipBeforeIt) {
    MovieBuilder m;
    m.Video(15);
    Clip* t = m.Transition(40);
    m.Video(100);
    m.Fix();
    // Never longer than the part of the clip before it that plays alone.
    EXPECT_EQ(t->GetDuration(), 15);
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 0, 0}));
}

TEST(ClipList, PinnedTitleMovesWithTheVideoItLiesOver) {
    struct Case {
        const char* name;
        int insertAt; // position on the video track where 20 frames go in
        Time dropTime;
        Time titleStart;
    };
    const Case cases[] = {
        {"before the clip under the title", 1, 100, 170},
        {"after the clip under the title", 2, 200, 150},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieBuilder m;
        m.Video(100);
        m.Video(100); // 100 … 200: the title lies over it
        m.Title(150, 30);
        m.Fix();
        RefPtr<ClipList> edit = new ClipList;
        RefPtr<ClipList> fix = new ClipList;
        RefPtr<Scene> added = new Scene("/videos/tape2.avi", 0, 20);
        ClipIterator it(*m.list);
        it.First();
        for (int i = 0; i < c.insertAt; ++i)
            it.Next();
        m.list->InsertClip(it, new Clip(added.get(), c.dropTime, 0), edit.get());
        m.list->FixTimes(fix.get(), true, false, false);
        EXPECT_EQ(m.list->FindFirst(1, 0, 0)->GetStart(), c.titleStart);
    }
}

TEST(ClipList, FixTimesRecordsAreUndoneByRestoreClips) {
    MovieBuilder m;
    m.Video(100, 10);
    m.Transition(20);
    m.Video(50);
    m.Title(30, 40, false);
    m.Sound(60, 20);
    RefPtr<ClipList> before = m.list->CloneList();
    // Scatter the clips: starts, a pinned bit.
    int n = 0;
    for (const RefPtr<Clip>& c : m.list->GetClips())
        c->SetStart(c->GetStart() + 3 * ++n);
    m.list->GetClips().back()->SetPinned(false);
    RefPtr<ClipList> scattered = m.list->CloneList();
    std::vector<uint32_t> scatteredPins;
    for (const RefPtr<Clip>& c : m.list->GetClips())
        scatteredPins.push_back(c->GetFlags() & Clip::pinned);

    RefPtr<ClipList> records = new ClipList;
    m.list->FixTimes(records.get(), true, false, false);
    EXPECT_FALSE(records->IsEmpty());
    m.list->RestoreClips(*records);
    // Every recorded start, duration, trim and pinned bit is back.
    std::vector<uint32_t> pins;
    for (const RefPtr<Clip>& c : m.list->GetClips())
        pins.push_back(c->GetFlags() & Clip::pinned);
    EXPECT_EQ(pins, scatteredPins);
    auto a = m.list->GetClips().begin();
    for (const RefPtr<Clip>& c : scattered->GetClips()) {
        const Clip* now = (a++)->get();
        EXPECT_EQ(now->GetDuration(), c->GetDuration());
        EXPECT_EQ(now->GetTrimStart(), c->GetTrimStart());
        if (c->IsPinned()) {
            EXPECT_EQ(now->GetStart(), c->GetStart());
        }
    }
}

TEST(ClipList, RestoreRecordsPastTheEnd) {
    MovieBuilder m;
    m.Video(10);
    m.Video(20);
    RefPtr<ClipList> records = new ClipList;
    Clip* changed = new Clip;
    changed->SetFlags(Clip::changedRecord | Clip::hasStart);
    changed->SetStart(99);
    changed->SetSequence(5);
    records->Add(changed);
    RefPtr<Scene> s = new Scene("/videos/lost.avi", 0, 30);
    Clip* removed = new Clip(s.get(), 0, 0);
    removed->SetFlags(Clip::removedRecord);
    removed->SetSequence(7);
    records->Add(removed);
    Clip* unknown = new Clip;
    unknown->SetSequence(0);
    records->Add(unknown);

    LogCapture log;
    m.list->RestoreClips(*records);
    EXPECT_EQ(log.Text(), "ClipList::RestoreClips missing clip\n"
                          "ClipList::RestoreClips unknown clip\n");
    ASSERT_EQ(m.list->GetCount(), 3);
    const Clip* appended = m.list->GetClips().back().get();
    EXPECT_EQ(appended->GetFileName(), "/videos/lost.avi");
    EXPECT_FALSE(appended->HasFlag(Clip::kRecordBits)); // a clip again, no record
}

TEST(ClipList, RestoreReplaysStepCountsNotListIndexes) {
    // A walk over A B C D removes B (step 1), steps back and on to C (step 1
    // again) and changes it, inserts X before D (step 2) and inserts Y
    // before D too (still step 2: an insert does not move the walk).
    MovieBuilder m;
    m.Video(10);
    m.Video(20);
    m.Video(30);
    m.Video(40);
    RefPtr<ClipList> before = m.list->CloneList();
    RefPtr<ClipList> records = new ClipList;
    ClipIterator it(*m.list);
    it.First();
    it.Next();
    m.list->RemoveClip(it, records.get());
    Clip* c = it.Next();
    m.list->UpdateClip(it, c, records.get(), c->GetStart(), c->GetStart() + 5,
                       c->GetTrimStart() + 2, false, true, nullptr);
    it.Next();
    RefPtr<Scene> x = new Scene("/videos/x.avi", 0, 7);
    m.list->InsertClip(it, new Clip(x.get(), 0, 0), records.get());
    m.list->InsertClip(it, new Clip(x.get(), 0, 0), records.get());
    std::vector<int32_t> steps;
    for (const RefPtr<Clip>& r : records->GetClips())
        steps.push_back(r->GetSequence());
    EXPECT_EQ(steps, (std::vector<int32_t>{1, 1, 2, 2}));
    EXPECT_EQ(Durations(*m.list), (std::vector<Time>{10, 5, 7, 7, 40}));

    m.list->RestoreClips(*records);
    EXPECT_EQ(Durations(*m.list), (std::vector<Time>{10, 20, 30, 40}));
    m.list->FixTimes(nullptr, true, false, false);
    EXPECT_TRUE(m.list->IsSameAs(before.get()));
}

TEST(ClipList, PlainTextCopyHasOneLinePerClipAndAFinalZero) {
    RefPtr<ClipList> list = new ClipList;
    RefPtr<TextAsset> a = new TextAsset("a.avi", 0, 10);
    RefPtr<TextAsset> b = new TextAsset("b.wav", 0, 10);
    list->Add(new Clip(a.get(), 0, 0));
    list->Add(new Clip(b.get(), 12, 3));
    Clipboard::DataSource source;
    ASSERT_TRUE(list->CopyToDataSource(source, Clipboard::kTextFormat));
    const std::vector<uint8_t>* bytes = source.GetData(Clipboard::kTextFormat);
    ASSERT_NE(bytes, nullptr);
    std::string text(bytes->begin(), bytes->end());
    EXPECT_EQ(text, std::string("a.avi\t0\r\nb.wav\t12\r\n") + '\0');
}

TEST(ClipList, ClipboardCarriesTheListInTheMovieFormat) {
    MovieBuilder m;
    m.Video(100, 5);
    m.Transition(10);
    m.Video(50);
    m.Sound(20, 30, 4);
    m.Fix();
    m.list->GetClips().front()->SetSelected(true);
    ASSERT_TRUE(m.list->CopyToClipboard(ClipList::MovieClipListFormat(), true));
    EXPECT_TRUE(Clipboard::Get().IsFormatAvailable(Clipboard::kTextFormat));
    EXPECT_FALSE(Clipboard::Get().IsFormatAvailable(ClipList::LibraryClipListFormat()));

    RefPtr<ClipList> pasted = new ClipList;
    ASSERT_TRUE(pasted->ReadFromClipboard(ClipList::MovieClipListFormat()));
    EXPECT_TRUE(pasted->IsSameAs(m.list.get()));
    EXPECT_TRUE(pasted->IsDirty());
    EXPECT_TRUE(pasted->GetClips().front()->IsSelected()); // selection marks travel

    LogCapture log;
    EXPECT_FALSE(pasted->ReadFromClipboard(ClipList::LibraryClipListFormat()));
    EXPECT_EQ(log.Text(), "ClipList::ReadFromClipboard: nothing in format OrvikLibraryClipList\n");
    EXPECT_EQ(pasted->GetCount(), 4); // unchanged
}

TEST(ClipList, DumpWritesTheTable) {
    MovieBuilder m;
    Clip* v = m.Video(100, 10, 5, 500);
    v->SetSelected(true);
    m.Video(50);
    Clip* t = m.Title(30, 40);
    t->SetMarked(true);
    m.Fix();
    LogCapture log;
    m.list->Dump();
    EXPECT_EQ(log.Text(),
              "SEQ   Movie Start   Duration   Trim Start  Clip Start   Duration  Type\n"
              "  1*          0         100          15           5         500    Scene\n"
              "  2         100          50           0           0      100000    Scene\n"
              "Track: 1\n"
              "  3 *        30@         40           0           0           0    GraphicAsset\n");
}

TEST(ClipList, SerializeRoundTripAndRefusal) {
    MovieBuilder m;
    m.Video(100, 3);
    m.Sound(20, 30, 4);
    MemFile f;
    {
        Archive ar(f, Archive::store);
        m.list->Serialize(ar);
        ar.Close();
    }
    std::vector<uint8_t> bytes = f.Bytes();
    MemFile in(bytes.data(), bytes.size());
    Archive ar(in, Archive::load);
    RefPtr<ClipList> read = new ClipList;
    read->Serialize(ar);
    EXPECT_TRUE(read->IsSameAs(m.list.get()));
    EXPECT_TRUE(read->IsDirty());

    // A list whose entry is some other object is refused.
    MemFile g;
    {
        Archive w(g, Archive::store);
        w.WriteCount(1);
        RefPtr<Scene> notAClip = new Scene("x.avi", 0, 1);
        w.WriteObject(notAClip.get());
        w.Close();
    }
    bytes = g.Bytes();
    MemFile in2(bytes.data(), bytes.size());
    Archive r(in2, Archive::load);
    RefPtr<ClipList> bad = new ClipList;
    EXPECT_THROW(bad->Serialize(r), ArchiveException);
}

// A movie for the queries: V0 0…100, T 80…100, V1 80…180, V2 180…230 on
// the video track, titles A 10…40 and B 150…170, a sound 50…90.
class Queries : public testing::Test {
protected:
    Queries() {
        m.Video(100)->SetSelected(true);
        m.Transition(20);
        m.Video(100)->SetSelected(true);
        m.Video(50);
        m.Title(10, 30);
        m.Title(150, 20)->SetMarked(true);
        m.Sound(50, 40)->SetSelected(true);
        m.Fix();
    }
    int IndexOf(const Clip* c) {
        int i = 0;
        for (const RefPtr<Clip>& x : m.list->GetClips()) {
            if (x.get() == c)
                return i;
            ++i;
        }
        return -1;
    }
    MovieBuilder m;
};

TEST_F(Queries, FindAt) {
    struct Case {
        Time from, to;
        int track, kind, selection;
        bool startsInside;
        int expected; // list position, −1 for none
    };
    const Case cases[] = {
        {85, 85, -1, 0, 0, false, 0},    // the first clip that plays there
        {85, 85, 0, 7, 0, false, 0},     // any kind but transitions
        {85, 85, 0, 1, 0, false, 1},     // the transition
        {100, 100, 0, 0, 0, false, 2},   // a clip ending there does not play there
        {85, 85, 0, 0, 0, true, -1},     // nothing starts inside
        {60, 200, 0, 0, 0, true, 1},     // the first that starts inside
        {50, 50, 1, 0, 0, false, -1},    // the track is searched up to B only
        {160, 160, 1, 0, 0, false, 5},   // title B
        {60, 60, -1, 0, 2, false, 0},    // selected
        {120, 120, -1, 0, 1, false, -1}, // not selected: V1 is
        {160, 160, -1, 0, 3, false, 5},  // marked
        {160, 160, -1, 0, 4, false, 2},  // not marked
        {55, 55, -1, 4, 0, false, 6},    // later clips of other tracks are skipped
    };
    for (const Case& c : cases) {
        Clip* found = m.list->FindAt(c.from, c.to, c.track, c.kind, c.selection, c.startsInside);
        EXPECT_EQ(IndexOf(found), c.expected)
            << c.from << "…" << c.to << " track " << c.track << " kind " << c.kind << " selection "
            << c.selection << (c.startsInside ? " inside" : "");
    }
}

TEST_F(Queries, IteratorFindAtGoesBothWays) {
    ClipIterator it(*m.list, 0);
    const std::pair<Time, int> lookups[] = {{85, 0},   {150, 2}, {10, 0},
                                            {500, -1}, {190, 3}, {95, 0}};
    for (auto [time, expected] : lookups)
        EXPECT_EQ(IndexOf(it.FindAt(time, time, 0, 0, false)), expected) << time;
    EXPECT_EQ(IndexOf(it.FindAt(95, 95, 1, 0, false)), 1);
}

TEST_F(Queries, FirstsAndRuns) {
    EXPECT_EQ(IndexOf(m.list->GetFirstByStart(0)), 0);
    EXPECT_EQ(IndexOf(m.list->GetFirstByStart(1)), 4); // title A at 10
    EXPECT_EQ(IndexOf(m.list->GetFirstByStart(3)), 5);
    EXPECT_EQ(IndexOf(m.list->GetFirstByStart(4)), 0); // no condition
    EXPECT_EQ(IndexOf(m.list->GetFirstSelected(false)), 0);
    EXPECT_EQ(IndexOf(m.list->GetFirstSelected(true)), 5);
    EXPECT_EQ(IndexOf(m.list->FindFirst(3, 0, 0)), 6);
    EXPECT_EQ(IndexOf(m.list->FindLast(0, 7, 1)), 3);
    EXPECT_EQ(IndexOf(m.list->FindByFileName("/sounds/bang.wav")), 6);
    EXPECT_EQ(m.list->FindByFileName("/sounds/bang.wav", 1), nullptr);
    EXPECT_EQ(IndexOf(m.list->GetNth(2, true)), 6);
    EXPECT_EQ(m.list->GetNth(3, true), nullptr);
    EXPECT_EQ(m.list->GetNth(-1), nullptr);

    EXPECT_EQ(m.list->GetSelectedRunLength(0, 0), 100); // the transition breaks the run
    m.list->GetNth(1)->SetSelected(true);
    EXPECT_EQ(m.list->GetSelectedRunLength(0, 0), 180);
    EXPECT_EQ(m.list->GetSelectedRunLength(0, 7), 100);
    EXPECT_EQ(m.list->GetSelectedRunLength(4, 0), std::nullopt);
}

TEST_F(Queries, SelectionSnapshots) {
    std::vector<int32_t> had;
    m.list->ClearSelected(&had);
    EXPECT_EQ(had, (std::vector<int32_t>{0, 2, 6}));
    EXPECT_EQ(m.list->GetFirstSelected(false), nullptr);
    m.list->SetSelected({1, 3});
    std::vector<int32_t> now;
    m.list->GetSelectedIndices(now);
    EXPECT_EQ(now, (std::vector<int32_t>{1, 3}));
    m.list->MarkSelected();
    EXPECT_EQ(m.list->CountMarked(), 2);
    std::vector<int32_t> marked;
    m.list->GetMarkedIndices(marked);
    EXPECT_EQ(marked, now);
    m.list->SelectAt(100); // V0 and the transition end there
    now.clear();
    m.list->GetSelectedIndices(now);
    EXPECT_EQ(now, (std::vector<int32_t>{0, 1}));
    m.list->ClearMarked();
    EXPECT_FALSE(m.list->HasMarked());
}

TEST_F(Queries, TransitionsBelongToTheClipsTheyOverlap) {
    Clip* v0 = m.list->GetNth(0);
    Clip* t = m.list->GetNth(1);
    Clip* v1 = m.list->GetNth(2);
    Clip* v2 = m.list->GetNth(3);
    EXPECT_EQ(ClipList::TransitionAfter(v0), t);
    EXPECT_EQ(ClipList::TransitionBefore(v1), t);
    EXPECT_EQ(ClipList::TransitionBefore(t), nullptr);
    EXPECT_EQ(ClipList::TransitionBefore(v2), nullptr);
    EXPECT_EQ(ClipList::ClearStart(v1), 100);
    EXPECT_EQ(ClipList::ClearEnd(v0), 80);
    EXPECT_EQ(ClipList::ClearEnd(v2), 230);

    // A transition at the end of a run belongs to the clip it fades out,
    // not to a clip that starts right after it.
    MovieBuilder e;
    Clip* a = e.Video(100);
    Clip* fade = e.Transition(10, 0, 1, 90);
    Clip* b = e.Video(50);
    b->SetStart(100);
    e.list->Relink();
    EXPECT_EQ(ClipList::TransitionBefore(b), nullptr);
    EXPECT_EQ(ClipList::TransitionAfter(a), fade);
}

TEST(ClipList, AlbumOrderAndSingleClipTests) {
    RefPtr<ClipList> album = new ClipList;
    for (const char* name : {"/v/beach.avi", "/w/Alps.avi", "/v/city.avi", "/v/Beach.avi"})
        album->AddSorted(new Clip(RefPtr<Scene>(new Scene(name, 0, 10)).get(), 0, 0));
    std::vector<std::string> names;
    for (const RefPtr<Clip>& c : album->GetClips())
        names.push_back(c->GetFileName());
    EXPECT_EQ(names, (std::vector<std::string>{"/w/Alps.avi", "/v/Beach.avi", "/v/beach.avi",
                                               "/v/city.avi"}));
    EXPECT_TRUE(album->HasSceneOrGraphic());
    EXPECT_FALSE(album->HasSeveralTracks());

    MovieBuilder one;
    one.Transition(10, 0, 1, 0);
    EXPECT_TRUE(one.list->IsSingleTransition());
    EXPECT_FALSE(one.list->IsSingleGraphic());
    MovieBuilder sound;
    sound.Sound(0, 10);
    EXPECT_TRUE(sound.list->IsSingleSound());
    EXPECT_FALSE(sound.list->HasSceneOrGraphic());
    sound.Title(0, 10);
    EXPECT_FALSE(sound.list->IsSingleSound());
    EXPECT_TRUE(sound.list->HasSeveralTracks());
    sound.list->SetTrackOfAll(3);
    EXPECT_FALSE(sound.list->HasSeveralTracks());
}

// Tape output constraints: with "Make tape constraints" on, FixTimes lays the
// movie out for the board's player.
class TapeConstraints : public testing::Test {
protected:
    TapeConstraints() : settings(test::InHome("settings")) {
        settings.MakeCurrent();
        settings.SetMakeTapeConstraints(1);
    }
    Settings settings;
};

TEST_F(TapeConstraints, TransitionBetweenScenesPlaysOverTheNextScene) {
    MovieBuilder m;
    m.Video(100);
    Clip* t = m.Transition(20);
    m.Video(100);
    m.list->FixTimes(nullptr, true, false, false);
    // Over a held frame of the scene before: it starts where that one ends.
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 100, 100}));
    EXPECT_TRUE(t->IsTapeConstrained());
    EXPECT_EQ(t->GetHeldFrame(32, 24), nullptr); // the scene has no readable file
    // The player lays the same movie out without constraints.
    m.list->FixTimes(nullptr, false, false, false);
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 80, 80}));
}

TEST_F(TapeConstraints, TransitionBetweenGraphicsBecomesTheAutomaticFade) {
    MovieBuilder m;
    RefPtr<GraphicAsset> picture = new GraphicAsset("/pictures/p.bmp", 0);
    for (int i = 0; i < 2; ++i) {
        Clip* g = new Clip(picture.get(), 0, 0);
        g->SetDuration(100);
        m.list->Add(g);
        if (i == 0) {
            Clip* t = new Clip(RefPtr<Transition>(new Transition(5, 6307)).get(), 0, 0);
            t->SetDuration(30);
            m.list->Add(t);
        }
    }
    RefPtr<ClipList> before = m.list->CloneList();
    RefPtr<ClipList> records = new ClipList;
    m.list->FixTimes(records.get(), true, false, false);
    const Clip* t = m.list->GetNth(1);
    const Transition* fade = DynamicCast<Transition>(t->GetAsset());
    ASSERT_NE(fade, nullptr);
    EXPECT_EQ(fade->GetEffect(), Transition::kFadeEffect);
    EXPECT_EQ(fade->GetEffectNumber(), Transition::kAutomaticFadeNumber);
    // A fade straddles the cut.
    EXPECT_EQ(Starts(*m.list), (std::vector<Time>{0, 85, 100}));
    m.list->RestoreClips(*records);
    EXPECT_EQ(DynamicCast<Transition>(m.list->GetNth(1)->GetAsset())->GetEffect(), 5);
}

TEST_F(TapeConstraints, TitlesKeepClearOfVideoTransitions) {
    struct Case {
        const char* name;
        Time start;
        Time expectedStart, expectedDuration;
    };
    const Case cases[] = {
        {"running into the transition is cut before it", 90, 90, 10},
        {"starting during it moves after it", 105, 120, 20},
        {"clear of it stays", 130, 130, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MovieBuilder m;
        m.Video(100);
        m.Transition(20);
        m.Video(100);
        Clip* title = m.Title(c.start, 20);
        m.list->FixTimes(nullptr, true, false, false);
        EXPECT_EQ(title->GetStart(), c.expectedStart);
        EXPECT_EQ(title->GetDuration(), c.expectedDuration);
        EXPECT_TRUE(title->IsPinned());
    }
}

TEST_F(TapeConstraints, CutsBetweenContinuingScenesMoveInByTheMargin) {
    settings.SetDisplayAutoTrim(1);
    settings.SetAutoTrimAmount(4);
    MovieBuilder m;
    RefPtr<Scene> first = new Scene("/videos/tape1.avi", 0, 100);
    RefPtr<Scene> second = new Scene("/videos/tape1.avi", 100, 50);
    m.list->Add(new Clip(first.get(), 0, 0));
    m.list->Add(new Clip(second.get(), 100, 0));
    RefPtr<ClipList> records = new ClipList;
    m.list->FixTimes(records.get(), true, false, false);
    EXPECT_EQ(Durations(*m.list), (std::vector<Time>{96, 46}));
    EXPECT_EQ(m.list->GetNth(1)->GetTrimStart(), 104);
    EXPECT_EQ(m.list->GetNth(1)->GetStart(), 96);
    // Done once: the trims are the clips' own now.
    RefPtr<ClipList> again = new ClipList;
    m.list->FixTimes(again.get(), true, false, false);
    EXPECT_TRUE(again->IsEmpty());
}

} // namespace orvik
