#include "edit/VolumeList.h"

#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/ClipTestSupport.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik {

namespace {

using test::LogCapture;
using Points = std::vector<VolumeSetting>;

RefPtr<VolumeList> Envelope(Time duration, const Points& points) {
    RefPtr<VolumeList> v = new VolumeList(duration);
    for (const VolumeSetting& p : points)
        EXPECT_GE(v->AddVolumeSetting(p), 0);
    return v;
}

Points PointsOf(const VolumeList& v) {
    return v.Points() ? *v.Points() : Points();
}

} // namespace

std::ostream& operator<<(std::ostream& os, const VolumeSetting& s) {
    return os << "(" << s.level << ", " << s.time << ")";
}

TEST(VolumeSetting, DefaultMarkerAndEquality) {
    EXPECT_EQ(VolumeSetting(), VolumeSetting(500, 0));
    EXPECT_EQ(VolumeSetting(123456, 7).level, 500);
    EXPECT_NE(VolumeSetting(500, 1), VolumeSetting(500, 0));
}

TEST(VolumeList, EmptyEnvelopeIsFlatAtTheDefault) {
    VolumeList v(100);
    for (Time t : {-5, 0, 50, 99, 100, 200})
        EXPECT_EQ(v.GetLevelAt(t), 500) << t;
    EXPECT_EQ(v.GetSetting(0), VolumeSetting(500, 0));
    EXPECT_EQ(v.GetSetting(1), VolumeSetting(500, 99));
    EXPECT_EQ(v.GetSetting(7), VolumeSetting(500, 99));
    EXPECT_EQ(v.FindNearest(40), 0);
    EXPECT_EQ(v.FindSegment(40), 0);
    EXPECT_EQ(v.RemoveVolumeSetting(0), VolumeSetting(500, 0));
}

TEST(VolumeList, LevelAt) {
    struct Case {
        Points points;
        Time t;
        int32_t level;
    };
    const Points ramp = {{0, 0}, {1000, 100}};
    const Points steps = {{200, 10}, {800, 10}, {400, 30}};
    const Case cases[] = {
        {{{300, 50}}, 0, 300}, {{{300, 50}}, 50, 300}, {{{300, 50}}, 99, 300}, {ramp, 25, 250},
        {ramp, 100, 1000},     {ramp, -5, 0},          {ramp, 99, 990},        {ramp, 1, 10},
        {steps, 5, 200},       {steps, 10, 200},       {steps, 11, 780},       {steps, 20, 600},
        {steps, 30, 400},      {steps, 60, 400},
    };
    for (const Case& c : cases) {
        RefPtr<VolumeList> v = Envelope(100, c.points);
        EXPECT_EQ(v->GetLevelAt(c.t), c.level) << "at " << c.t;
    }
}

TEST(VolumeList, AddingKeepsOrderAndRefusesTimesOutside) {
    RefPtr<VolumeList> v = Envelope(100, {{100, 10}, {300, 50}});
    EXPECT_EQ(v->AddVolumeSetting(VolumeSetting(200, 10)), 1); // after the equal one
    EXPECT_EQ(v->FindNearest(10), 0);
    EXPECT_EQ(v->FindNearest(31), 2);
    EXPECT_EQ(v->FindSegment(10), 0);
    EXPECT_EQ(v->FindSegment(11), 1);
    EXPECT_EQ(v->FindSegment(99), 2);
    EXPECT_EQ(v->AddVolumeSetting(VolumeSetting(400, 100)), 3);
    LogCapture log;
    EXPECT_EQ(v->AddVolumeSetting(VolumeSetting(400, 101)), -1);
    EXPECT_EQ(v->AddVolumeSetting(VolumeSetting(400, -1)), -1);
    EXPECT_EQ(log.Text(), "VolumeList::AddVolumeSetting: timecode > _duration\n"
                          "VolumeList::AddVolumeSetting: negative timecode\n");
    EXPECT_EQ(v->GetCount(), 4);
}

TEST(VolumeList, RemoveChangeAndRemoveRange) {
    RefPtr<VolumeList> v = Envelope(100, {{100, 10}, {200, 20}, {300, 30}, {400, 40}});
    EXPECT_EQ(v->ChangeVolumeSetting(0, VolumeSetting(900, 35)), VolumeSetting(100, 10));
    EXPECT_EQ(PointsOf(*v), (Points{{200, 20}, {300, 30}, {900, 35}, {400, 40}}));
    EXPECT_EQ(v->RemoveVolumeSetting(9), VolumeSetting(500, 0));
    v->RemoveRange(20, 15); // 20 … 35, both ends
    EXPECT_EQ(PointsOf(*v), (Points{{400, 40}}));
    v->RemoveRange(99, 5); // starts in the last frame: nothing
    EXPECT_EQ(v->GetCount(), 1);
    v->RemoveVolumeSetting(0);
    EXPECT_TRUE(v->HasPointArray());
    EXPECT_EQ(v->GetCount(), 0);
}

TEST(VolumeList, SetDuration) {
    struct Case {
        const char* name;
        Points points;
        Time newDuration;
        bool atStart;
        Points expected;
    };
    const Case cases[] = {
        {"end shrink moves the first point past the end",
         {{500, 0}, {500, 40}, {700, 80}, {900, 90}},
         60,
         false,
         {{500, 0}, {500, 40}, {700, 59}}},
        {"end shrink with a point on the last frame",
         {{500, 0}, {300, 59}, {700, 80}},
         60,
         false,
         {{500, 0}, {300, 59}}},
        {"end shrink inside the points' reach",
         {{500, 0}, {300, 50}},
         60,
         false,
         {{500, 0}, {300, 50}}},
        {"end growth", {{500, 0}, {300, 99}}, 150, false, {{500, 0}, {300, 99}}},
        {"start shrink keeps the level at the new start",
         {{200, 0}, {300, 20}, {400, 50}},
         70,
         true,
         {{300, 0}, {400, 20}}},
        {"start shrink onto a point",
         {{200, 0}, {300, 30}, {400, 50}},
         70,
         true,
         {{300, 0}, {400, 20}}},
        {"start shrink past every point keeps the last level",
         {{200, 0}, {300, 20}},
         70,
         true,
         {{300, 0}}},
        {"start growth", {{200, 0}, {300, 20}}, 110, true, {{200, 10}, {300, 30}}},
        {"to nothing", {{200, 0}}, 0, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RefPtr<VolumeList> v = Envelope(100, c.points);
        v->SetDuration(c.newDuration, c.atStart);
        EXPECT_EQ(PointsOf(*v), c.expected);
        EXPECT_EQ(v->GetDuration(), c.newDuration == 0 ? 100 : c.newDuration);
    }
    RefPtr<VolumeList> empty = new VolumeList(100);
    empty->SetDuration(40, true);
    EXPECT_EQ(empty->GetDuration(), 40);
    EXPECT_FALSE(empty->HasPointArray());
}

TEST(VolumeList, SlideSetting) {
    struct Case {
        const char* name;
        Points points;
        VolumeSetting point;
        Time from;
        Points expected;
    };
    const Case cases[] = {
        {"glide on an empty envelope", {}, {800, 40}, 10, {{500, 10}, {800, 40}}},
        {"points inside the glide go, the next one gets a hold point",
         {{500, 0}, {200, 20}, {300, 60}},
         {800, 40},
         10,
         {{500, 0}, {350, 10}, {800, 40}, {800, 59}, {300, 60}}},
        {"a point right after the target",
         {{500, 0}, {300, 41}},
         {800, 40},
         10,
         {{500, 0}, {451, 10}, {800, 40}, {300, 41}}},
        {"two neighbouring points after the target",
         {{500, 0}, {300, 50}, {100, 51}},
         {800, 40},
         10,
         {{500, 0}, {460, 10}, {800, 40}, {800, 50}, {100, 51}}},
        {"every point after the target survives",
         {{500, 0}, {200, 20}, {300, 45}, {700, 70}},
         {800, 40},
         10,
         {{500, 0}, {350, 10}, {800, 40}, {800, 44}, {300, 45}, {700, 70}}},
        {"from the target itself: a step",
         {{500, 0}},
         {800, 40},
         40,
         {{500, 0}, {500, 39}, {800, 40}}},
        {"from after the target: a step, points in order",
         {{500, 0}, {900, 60}},
         {800, 40},
         55,
         {{500, 0}, {760, 39}, {800, 40}, {800, 59}, {900, 60}}},
        {"at the start", {}, {800, 0}, 0, {{800, 0}}},
        {"at the end: nothing", {{500, 0}}, {800, 100}, 10, {{500, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RefPtr<VolumeList> v = Envelope(100, c.points);
        v->SlideSetting(c.point, c.from);
        EXPECT_EQ(PointsOf(*v), c.expected);
    }
}

TEST(VolumeList, FadeRange) {
    struct Case {
        const char* name;
        Points points;
        Time start, length;
        bool fadeIn;
        Points expected;
    };
    const Case cases[] = {
        {"fade-in at the start of an empty envelope", {}, 0, 25, true, {{0, 0}, {500, 25}}},
        {"fade-out cut at the start", {}, 10, 25, false, {{500, 0}, {0, 10}}},
        {"fade-in inside: the old level holds until just before it",
         {{300, 0}},
         40,
         20,
         true,
         {{300, 0}, {300, 39}, {0, 40}, {300, 60}}},
        {"fade-out before a later point",
         {{500, 0}, {800, 90}},
         50,
         20,
         false,
         {{500, 0}, {600, 30}, {0, 50}, {0, 89}, {800, 90}}},
        {"fade-in cut at the end", {}, 90, 25, true, {{500, 89}, {0, 90}, {500, 100}}},
        {"fade-in into silence ends at the default level",
         {{0, 0}},
         20,
         10,
         true,
         {{0, 0}, {0, 20}, {500, 30}}},
        {"starting in the last frame: nothing", {{300, 0}}, 99, 10, true, {{300, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RefPtr<VolumeList> v = Envelope(100, c.points);
        v->FadeRange(c.start, c.length, c.fadeIn);
        EXPECT_EQ(PointsOf(*v), c.expected);
    }
}

TEST(VolumeList, AppendCloneAndEquality) {
    RefPtr<VolumeList> a = Envelope(100, {{300, 10}});
    RefPtr<VolumeList> b = Envelope(50, {{700, 5}, {200, 50}});
    RefPtr<VolumeList> copy = static_cast<VolumeList*>(a->Clone());
    EXPECT_TRUE(copy->IsEqual(a.get()));
    a->Append(*b);
    EXPECT_EQ(a->GetDuration(), 150);
    EXPECT_EQ(PointsOf(*a), (Points{{300, 10}, {700, 105}, {200, 150}}));
    EXPECT_FALSE(copy->IsEqual(a.get())); // the clone is deep
    a->Append(*a);
    EXPECT_EQ(a->GetCount(), 6);
    EXPECT_EQ(a->GetDuration(), 300);
    EXPECT_FALSE(Envelope(100, {{300, 10}})->IsEqual(Envelope(101, {{300, 10}}).get()));
}

TEST(VolumeList, TrackEnvelopeIsBuiltFromTheClipsAndCutBackIntoThem) {
    test::MovieBuilder m;
    m.Video(10);
    Clip* a = m.Video(100);
    m.Transition(20);
    Clip* b = m.Video(100);
    a->SetVolumeList(Envelope(100, {{200, 30}, {400, 90}}).get());
    b->SetVolumeList(Envelope(100, {{600, 0}, {300, 50}}).get());
    m.Fix(); // a: 10 … 110, b: 90 … 190
    RefPtr<VolumeList> track = new VolumeList;
    track->BuildFromClipList(*m.list, 0);
    EXPECT_EQ(track->GetDuration(), 190);
    // b's points under the transition sort in among a's last ones.
    EXPECT_EQ(PointsOf(*track), (Points{{500, 0}, {200, 40}, {600, 90}, {400, 100}, {300, 140}}));

    // Points in the transition's overlap go to the clip they fall in first.
    track->AddVolumeSetting(VolumeSetting(900, 95));
    track->DistributeToClips(*m.list, 0);
    EXPECT_EQ(PointsOf(*m.list->GetNth(0)->GetVolumeList()), (Points{{500, 0}}));
    EXPECT_EQ(m.list->GetNth(2)->GetVolumeList(), nullptr); // the transition
    EXPECT_EQ(PointsOf(*a->GetVolumeList()), (Points{{200, 30}, {600, 80}, {900, 85}, {400, 90}}));
    EXPECT_EQ(a->GetVolumeList()->GetDuration(), 100);
    EXPECT_EQ(PointsOf(*b->GetVolumeList()), (Points{{300, 50}}));
    EXPECT_EQ(b->GetVolumeList()->GetDuration(), 100);

    RefPtr<VolumeList> flat = new VolumeList;
    RefPtr<ClipList> none = new ClipList;
    flat->BuildFromClipList(*none, 0);
    EXPECT_EQ(PointsOf(*flat), (Points{{500, 0}}));
    RefPtr<VolumeList> emptyTrack = new VolumeList(200);
    emptyTrack->DistributeToClips(*m.list, 0);
    EXPECT_EQ(a->GetVolumeList(), nullptr);
}

TEST(VolumeList, LevelToVolumeAndPixels) {
    struct Case {
        int32_t level, volume;
    };
    const Case cases[] = {{-1, -10000}, {0, -10000}, {125, -5600}, {250, -1200}, {375, -900},
                          {500, -600},  {600, -456}, {750, -240},  {1000, 0},    {1200, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(LevelToVolume(c.level), c.volume) << c.level;
    EXPECT_EQ(LevelToPixel(500, 102), 51);
    EXPECT_EQ(PixelToLevel(51, 102), 500);
    EXPECT_EQ(PixelToLevel(0, 102), 0);
    EXPECT_EQ(PixelToLevel(500, 102), 1000);
    EXPECT_EQ(PixelToLevel(5, 2), 0); // no room to draw a level in
}

TEST(VolumeList, SerializesItsPoints) {
    RefPtr<VolumeList> v = Envelope(100, {{300, 10}, {700, 90}});
    MemFile f;
    {
        Archive ar(f, Archive::store);
        v->Serialize(ar);
        ar.Close();
    }
    const std::vector<uint8_t> expected = {100,  0, 0, 0, 1,  0, 0, 0,
                                           2,    0,                     // duration, flag, count
                                           0x2C, 1, 0, 0, 10, 0, 0, 0,  // (300, 10)
                                           0xBC, 2, 0, 0, 90, 0, 0, 0}; // (700, 90)
    EXPECT_EQ(f.Bytes(), expected);
    MemFile in(expected.data(), expected.size());
    Archive ar(in, Archive::load);
    RefPtr<VolumeList> read = new VolumeList;
    read->Serialize(ar);
    EXPECT_TRUE(read->IsEqual(v.get()));

    RefPtr<VolumeList> empty = new VolumeList(7);
    MemFile g;
    {
        Archive w(g, Archive::store);
        empty->Serialize(w);
        w.Close();
    }
    EXPECT_EQ(g.Bytes(), (std::vector<uint8_t>{7, 0, 0, 0, 0, 0, 0, 0}));
}

} // namespace orvik
