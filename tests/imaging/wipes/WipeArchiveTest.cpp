// The wipes in object archives: the bytes of one wipe by hand, and a movie's
// clip list holding every kind saved, opened and saved again.
#include "imaging/wipes/BitmapWipe.h"
#include "imaging/wipes/DiagonalWipe.h"
#include "imaging/wipes/PatternWipe.h"
#include "imaging/wipes/WipePresets.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "platform/archive/Archive.h"
#include "platform/archive/MemFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

using namespace orvik;

namespace {

std::vector<uint8_t> Store(const std::function<void(Archive&)>& write,
                           Archive::Purpose purpose = Archive::projectSave) {
    MemFile file;
    {
        Archive ar(file, Archive::store);
        ar.SetPurpose(purpose);
        write(ar);
        ar.Close();
    }
    return file.Bytes();
}

void Put16(std::vector<uint8_t>& v, uint16_t x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
void Put32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void PutDouble(std::vector<uint8_t>& v, double d) {
    uint64_t x;
    std::memcpy(&x, &d, 8);
    Put32(v, static_cast<uint32_t>(x));
    Put32(v, static_cast<uint32_t>(x >> 32));
}

RefPtr<ClipList> EveryKind() {
    RefPtr<ClipList> list = new ClipList;
    Time at = 0;
    auto add = [&](Wipe* w) {
        RefPtr<Clip> c = new Clip(w, at, 0);
        c->SetDuration(25);
        at += 25;
        list->Add(c.get());
    };
    for (const RefPtr<Wipe>& w : WipePresets::Presets())
        add(w.get());
    add(new BitmapWipe(0, 0.55, 0.7, "/home/someone/Wipes/wipe_Stars.bmp", 0));
    add(new BitmapWipe(0, 0.55, 0.7, "", 140));
    add(PatternWipe::FromFile("/home/someone/heart.drawing"));
    RefPtr<Wipe> noZero = new DiagonalWipe(6338, 0.6, 0.62, 2);
    noZero->SetNoZero(true);
    add(noZero.get());
    // One wipe shared by two clips is written once.
    RefPtr<Clip> again = new Clip(list->GetClips().front()->GetAsset(), at, 0);
    list->Add(again.get());
    return list;
}

} // namespace

TEST(WipeArchive, ADiagonalWipeIsItsTransitionThenThresholdsThenCorner) {
    RefPtr<DiagonalWipe> w = new DiagonalWipe(6340, 0.6, 0.62, 2);
    std::vector<uint8_t> bytes = Store([&](Archive& ar) { ar.WriteObject(w.get()); });
    std::vector<uint8_t> want;
    Put16(want, 0xFFFF);
    Put16(want, 1);
    Put16(want, 12);
    want.insert(want.end(), {'D', 'i', 'a', 'g', 'o', 'n', 'a', 'l', 'W', 'i', 'p', 'e'});
    want.push_back(0); // file name
    Put32(want, 0);    // start
    Put32(want, 0);    // duration
    Put32(want, 0);    // no working file
    Put32(want, 3);    // effect kind
    Put32(want, 6340); // effect number
    PutDouble(want, 0.6);
    PutDouble(want, 0.62);
    Put32(want, 0); // noZero
    Put32(want, 2); // corner
    EXPECT_EQ(bytes, want);
}

TEST(WipeArchive, EveryKindSavesOpensAndSavesToTheSameBytes) {
    RefPtr<ClipList> list = EveryKind();
    std::vector<uint8_t> first = Store([&](Archive& ar) { list->Serialize(ar); });

    RefPtr<ClipList> opened = new ClipList;
    MemFile in(first.data(), first.size());
    {
        Archive ar(in, Archive::load);
        opened->Serialize(ar);
        EXPECT_EQ(ar.BytesLeft(), 0u);
    }
    ASSERT_EQ(opened->GetCount(), list->GetCount());
    std::vector<uint8_t> second = Store([&](Archive& ar) { opened->Serialize(ar); });
    EXPECT_EQ(first, second);

    std::set<std::string> classes;
    auto a = list->GetClips().begin();
    for (const RefPtr<Clip>& c : opened->GetClips()) {
        Asset* was = (*a++)->GetAsset();
        ASSERT_TRUE(c->GetAsset());
        EXPECT_TRUE(c->GetAsset()->IsEqual(was)) << was->GetRuntimeClass()->className;
        EXPECT_EQ(c->GetAsset()->GetRuntimeClass(), was->GetRuntimeClass());
        classes.insert(c->GetAsset()->GetRuntimeClass()->className);
    }
    EXPECT_EQ(classes.size(), 16u); // the preset kinds and the bitmap wipe
    EXPECT_EQ(opened->GetClips().front()->GetAsset(), opened->GetClips().back()->GetAsset());
    auto* noZero = static_cast<Wipe*>(std::prev(opened->GetClips().end(), 2)->get()->GetAsset());
    EXPECT_TRUE(noZero->GetNoZero());
}

TEST(WipeArchive, WipesOfOtherParametersAreNotEqual) {
    RefPtr<Wipe> a = new DiagonalWipe(6338, 0.6, 0.62, 0);
    RefPtr<Wipe> b = new DiagonalWipe(6338, 0.6, 0.62, 1);
    RefPtr<Wipe> c = new DiagonalWipe(6338, 0.6, 0.62, 0);
    EXPECT_FALSE(a->IsEqual(b.get()));
    EXPECT_TRUE(a->IsEqual(c.get()));
    RefPtr<Wipe> p = new BitmapWipe(0, 0.55, 0.7, "/w/one_A.bmp", 0);
    RefPtr<Wipe> q = new BitmapWipe(0, 0.55, 0.7, "/w/two_B.bmp", 0);
    EXPECT_FALSE(p->IsEqual(q.get()));
    RefPtr<Transition> plain = new Transition(3, 6338);
    EXPECT_FALSE(a->IsEqual(plain.get()));
}
