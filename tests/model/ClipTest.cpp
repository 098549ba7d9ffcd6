#include "model/Clip.h"

#include "edit/VolumeList.h"
#include "imaging/Dib.h"
#include "model/ClipTestSupport.h"
#include "model/SonicAsset.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"
#include "platform/gdi/Rect.h"

#include <gtest/gtest.h>

namespace orvik {

namespace {

std::vector<uint8_t> Store(Clip& clip) {
    MemFile f;
    Archive ar(f, Archive::store);
    ar.SetPurpose(Archive::ownMemory);
    ar.WriteObject(&clip);
    ar.Close();
    return f.Bytes();
}

RefPtr<Clip> Load(const std::vector<uint8_t>& bytes) {
    MemFile f(bytes.data(), bytes.size());
    Archive ar(f, Archive::load);
    ar.SetPurpose(Archive::ownMemory);
    return ar.ReadObjectOf<Clip>();
}

// An asset that draws its thumbnail in one colour, or nothing.
class PaintingAsset : public Asset {
public:
    PaintingAsset(bool draws) : Asset("/pictures/p.bmp", 0, 50), draws_(draws) {}
    int CreatePicon(Dib* picture, Clip*, Time offset) override {
        lastOffset = offset;
        ++calls;
        if (!draws_)
            return 0;
        picture->Set(0x336699);
        return 1;
    }
    int GetKind() const override { return kindGraphic; }
    Time lastOffset = -1;
    int calls = 0;

private:
    bool draws_;
};

} // namespace

TEST(Clip, ConstructionTakesTheAssetsPlace) {
    RefPtr<Scene> s = new Scene("/videos/tape1.avi", 120, 300);
    RefPtr<Clip> c = new Clip(s.get(), 40, 0);
    EXPECT_EQ(c->GetDuration(), 300);
    EXPECT_EQ(c->GetTrimStart(), 120);
    EXPECT_EQ(c->GetEnd(), 340);
    EXPECT_EQ(c->GetTrimEnd(), 420);
    EXPECT_EQ(c->GetSequence(), -1);
    EXPECT_EQ(c->GetKind(), Asset::kindScene);
    RefPtr<Clip> empty = new Clip;
    EXPECT_EQ(empty->GetKind(), Asset::kindPlain);
    EXPECT_EQ(empty->GetSequence(), -1);
}

TEST(Clip, CloneSharesTheAssetAndCopiesTheEnvelope) {
    RefPtr<Scene> s = new Scene("/videos/tape1.avi", 0, 300);
    RefPtr<Clip> a = new Clip(s.get(), 40, 0);
    a->SetVolumeList(new VolumeList(300));
    a->SetComment("beach");
    a->SetFlags(Clip::selected | Clip::pinned | Clip::fadeIn);
    a->SetPartner(a.get());
    a->SetLinks(a.get(), a.get());
    a->SetOriginalSequence(4);
    RefPtr<Clip> b = a->CloneClip();
    EXPECT_EQ(b->GetAsset(), s.get());
    ASSERT_NE(b->GetVolumeList(), nullptr);
    EXPECT_NE(b->GetVolumeList(), a->GetVolumeList());
    EXPECT_EQ(b->GetComment(), "beach");
    EXPECT_EQ(b->GetFlags(), a->GetFlags());
    EXPECT_EQ(b->GetOriginalSequence(), 4);
    EXPECT_EQ(b->GetPartner(), nullptr);
    EXPECT_EQ(b->GetPrev(), nullptr);
    EXPECT_EQ(b->GetNext(), nullptr);
    EXPECT_TRUE(b->IsSameAs(a.get()));
}

TEST(Clip, DurationChangesReachTheEnvelope) {
    RefPtr<Clip> c = new Clip(RefPtr<Scene>(new Scene("/v/a.avi", 0, 100)).get(), 10, 0);
    RefPtr<VolumeList> v = new VolumeList(100);
    v->AddVolumeSetting(VolumeSetting(200, 0));
    v->AddVolumeSetting(VolumeSetting(300, 20));
    v->AddVolumeSetting(VolumeSetting(400, 50));
    c->SetVolumeList(v.get());
    c->SetStartKeepEnd(40); // 30 frames off the front
    EXPECT_EQ(c->GetStart(), 40);
    EXPECT_EQ(c->GetDuration(), 70);
    EXPECT_EQ(v->GetDuration(), 70);
    EXPECT_EQ(v->GetSetting(0), VolumeSetting(300, 0));
    EXPECT_EQ(v->GetSetting(1), VolumeSetting(400, 20));
    c->SetEnd(100); // 10 frames off the end
    EXPECT_EQ(c->GetDuration(), 60);
    EXPECT_EQ(v->GetDuration(), 60);
}

TEST(Clip, TrimStartMovesOnlyWithASourceToMoveIn) {
    RefPtr<Clip> scene = new Clip(RefPtr<Scene>(new Scene("/v/a.avi", 0, 100)).get(), 0, 0);
    scene->SetPiconOffset(7);
    scene->SetTrimStart(12);
    EXPECT_EQ(scene->GetTrimStart(), 12);
    EXPECT_EQ(scene->GetPiconOffset(), 0);

    RefPtr<Clip> title =
        new Clip(RefPtr<GraphicAsset>(new GraphicAsset("/p/t.ttl", 0)).get(), 0, 1);
    title->SetTrimStart(12);
    EXPECT_EQ(title->GetTrimStart(), 0);

    RefPtr<Clip> record = new Clip;
    record->SetFlags(Clip::changedRecord);
    record->SetTrimStart(12);
    EXPECT_EQ(record->GetTrimStart(), 12);
}

TEST(Clip, IsSameAs) {
    RefPtr<Scene> s = new Scene("/v/a.avi", 0, 100);
    RefPtr<Scene> same = new Scene("/v/a.avi", 0, 100);
    RefPtr<Scene> other = new Scene("/v/b.avi", 0, 100);
    struct Case {
        const char* name;
        std::function<void(Clip&)> change;
        bool same;
    };
    const Case cases[] = {
        {"a clone", [](Clip&) {}, true},
        {"an equal asset object", [&](Clip& c) { c.SetAsset(same.get()); }, true},
        {"selection and pinning do not count",
         [](Clip& c) { c.SetFlags(Clip::selected | Clip::pinned); }, true},
        {"another file", [&](Clip& c) { c.SetAsset(other.get()); }, false},
        {"start", [](Clip& c) { c.SetStart(11); }, false},
        {"duration", [](Clip& c) { c.SetDuration(99); }, false},
        {"trim", [](Clip& c) { c.SetTrimStart(3); }, false},
        {"track", [](Clip& c) { c.SetTrack(3); }, false},
        {"an envelope on one side", [](Clip& c) { c.SetVolumeList(new VolumeList(100)); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RefPtr<Clip> a = new Clip(s.get(), 10, 0);
        RefPtr<Clip> b = a->CloneClip();
        c.change(*b);
        EXPECT_EQ(a->IsSameAs(b.get()), c.same);
        EXPECT_EQ(b->IsSameAs(a.get()), c.same);
    }
    RefPtr<Clip> a = new Clip(s.get(), 10, 0);
    RefPtr<Clip> b = a->CloneClip();
    a->SetVolumeList(new VolumeList(100));
    b->SetVolumeList(new VolumeList(100));
    EXPECT_TRUE(a->IsSameAs(b.get()));
    b->GetVolumeList()->AddVolumeSetting(VolumeSetting(100, 5));
    EXPECT_FALSE(a->IsSameAs(b.get()));
}

TEST(Clip, ContinuationOfASplitScene) {
    RefPtr<Clip> first = new Clip(RefPtr<Scene>(new Scene("/v/a.avi", 0, 100)).get(), 0, 0);
    RefPtr<Clip> second = new Clip(RefPtr<Scene>(new Scene("/v/a.avi", 100, 50)).get(), 100, 0);
    RefPtr<Clip> elsewhere = new Clip(RefPtr<Scene>(new Scene("/v/b.avi", 100, 50)).get(), 100, 0);
    EXPECT_TRUE(second->IsContinuationOf(first.get()));
    EXPECT_FALSE(first->IsContinuationOf(second.get()));
    EXPECT_FALSE(elsewhere->IsContinuationOf(first.get()));
    second->SetTrimStart(101); // no longer the whole of its scene
    EXPECT_FALSE(second->IsContinuationOf(first.get()));
}

TEST(Clip, LabelAndCaption) {
    RefPtr<Clip> c =
        new Clip(RefPtr<WaveAsset>(new WaveAsset("/s/Rain Storm.wav", 0, 10)).get(), 0, 3);
    EXPECT_EQ(c->GetLabel(), "Rain Storm");
    EXPECT_EQ(c->GetCaption(), ": 'Rain Storm'");
    c->SetComment("thunder");
    EXPECT_EQ(c->GetLabel(), "thunder");
    std::array<std::string, 5> requests = {"Rock", "Anthem", "Short", "CD1", "Lib"};
    RefPtr<Clip> music = new Clip(RefPtr<SonicAsset>(new SonicAsset(requests, 90)).get(), 0, 4);
    EXPECT_EQ(music->GetLabel(), "Anthem [Short]");
    EXPECT_EQ(music->GetKind(), Asset::kindMusic);
    EXPECT_EQ(music->GetAsset()->GetPlaybackKind(), Asset::kindSound);
}

TEST(Clip, MediaTimes) {
    Timecode::SetStandard(1); // 25 frames a second, exactly
    RefPtr<Clip> c = new Clip(RefPtr<Scene>(new Scene("/v/a.avi", 0, 300)).get(), 25, 0);
    c->SetDuration(15);
    c->SetTrimStart(50);
    c->ComputeMediaTimes(1, 0);
    EXPECT_EQ(c->GetMediaStart(), 10000000 + 20000); // one second and 2 ms
    EXPECT_EQ(c->GetMediaDuration(), 6000000);
    EXPECT_EQ(c->GetMediaOffset(), 20000000);
    EXPECT_EQ(c->GetMediaEnd(), 16020000);
    Timecode::Reset();
}

TEST(Clip, PiconIsDrawnByTheAssetAtItsOffset) {
    RefPtr<PaintingAsset> painter = new PaintingAsset(true);
    RefPtr<Clip> c = new Clip(painter.get(), 0, 1);
    EXPECT_EQ(c->GetPicon(), nullptr); // nothing to size a new one by
    c->SetPiconOffset(9);
    Rect small(0, 0, 8, 6);
    Dib* p = c->GetPicon(&small);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->Width(), 8);
    EXPECT_EQ(painter->lastOffset, 9);
    EXPECT_EQ(p->GetPixel(3, 3), 0x336699u);
    EXPECT_EQ(c->GetPicon(&small), p); // cached
    Rect wider(0, 0, 16, 12);
    EXPECT_EQ(c->GetPicon(&wider)->Width(), 16);
    EXPECT_EQ(painter->calls, 2);
    c->SetPiconOffset(3); // a new offset drops the picture
    EXPECT_EQ(c->GetCachedPicon(), nullptr);

    RefPtr<Clip> blank = new Clip(RefPtr<PaintingAsset>(new PaintingAsset(false)).get(), 0, 1);
    Dib* b = blank->GetPicon(&small);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->GetPixel(3, 3), 0u);
}

TEST(Clip, WritesOnlyWhatDiffersFromItsAsset) {
    RefPtr<Scene> s = new Scene("/v/a.avi", 0, 100);
    RefPtr<Clip> plain = new Clip(s.get(), 0, 0);
    std::vector<uint8_t> bytes = Store(*plain);
    // New class "Clip", then the flags: only the asset follows.
    const std::vector<uint8_t> head = {0xFF, 0xFF, 1, 0, 4, 0, 'C', 'l', 'i', 'p', 0x10, 0, 0, 0};
    ASSERT_GE(bytes.size(), head.size());
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + head.size()), head);
    RefPtr<Clip> back = Load(bytes);
    EXPECT_TRUE(back->IsSameAs(plain.get()));

    RefPtr<Clip> full = new Clip(s.get(), 25, 3);
    full->SetDuration(40);
    full->SetTrimStart(7);
    full->SetPiconOffset(2);
    full->SetComment("x");
    full->SetExtra(5);
    full->SetVolumeList(new VolumeList(40));
    full->SetFlags(full->GetFlags() | Clip::selected | Clip::pinned | Clip::roll | Clip::hasExtra);
    back = Load(Store(*full));
    EXPECT_TRUE(back->IsSameAs(full.get()));
    EXPECT_EQ(back->GetPiconOffset(), 2);
    EXPECT_EQ(back->GetComment(), "x");
    EXPECT_EQ(back->GetExtra(), 5);
    EXPECT_TRUE(back->IsSelected() && back->IsPinned() && back->IsRollB());
    EXPECT_EQ(back->GetFlags() & Clip::kPresenceBits,
              uint32_t{Clip::hasAsset | Clip::hasStart | Clip::hasDuration | Clip::hasTrimStart |
                       Clip::hasPiconOffset | Clip::hasTrack | Clip::hasVolumeList |
                       Clip::hasComment});
}

TEST(Clip, ChangedRecordsKeepTheirPresenceBits) {
    RefPtr<Clip> record = new Clip;
    record->SetFlags(Clip::changedRecord | Clip::hasStart | Clip::pinned);
    record->SetStart(0); // present although 0
    record->SetSequence(6);
    std::vector<uint8_t> bytes = Store(*record);
    const std::vector<uint8_t> expected = {0xFF, 0xFF, 1,   0,    4,    0, 'C',
                                           'l',  'i',  'p', 0x24, 0x08, 0, 0, // flags
                                           0,    0,    0,   0,                // start
                                           6,    0,    0,   0};               // sequence
    EXPECT_EQ(bytes, expected);
    RefPtr<Clip> back = Load(bytes);
    EXPECT_EQ(back->GetFlags(), record->GetFlags());
    EXPECT_EQ(back->GetSequence(), 6);
}

} // namespace orvik
