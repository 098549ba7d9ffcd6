// Helpers for the volume command, gesture and tool tests: a movie whose
// sound tracks carry envelopes, with an in-memory system mixer, and the
// clips' envelopes as text.
#pragma once

#include "edit/EditTestSupport.h"
#include "edit/VolumeHooks.h"
#include "edit/VolumeList.h"
#include "model/ClipIterator.h"
#include "platform/audio/SystemMixer.h"

#include <string>
#include <vector>

namespace orvik::test {

using Points = std::vector<VolumeSetting>;

inline RefPtr<VolumeList> Envelope(Time duration, const Points& points) {
    RefPtr<VolumeList> v = new VolumeList(duration);
    for (const VolumeSetting& p : points)
        v->AddVolumeSetting(p);
    return v;
}

// The points of each clip of `track` in list order; a clip without an
// envelope reads as "none".
inline std::string ClipPoints(ClipList& list, int32_t track) {
    std::string out;
    ClipIterator it(list, track);
    for (Clip* c = it.First(); c; c = it.Next()) {
        out += "[";
        if (!c->GetVolumeList()) {
            out += "none";
        } else {
            const VolumeList* v = c->GetVolumeList();
            for (int i = 0; i < v->GetCount(); ++i) {
                VolumeSetting p = v->GetSetting(i);
                out += (i ? " " : "") + std::to_string(p.level) + "@" + std::to_string(p.time);
            }
        }
        out += "]";
    }
    return out;
}

// Video: V1 0–100 and V2 80–180 under a transition of 20 frames, each with
// an envelope; sound effects S1 50–110 (points 500@0, 300@30) and S2
// 110–150 (300@0, 800@20) on track 3; music M 0–90 (no envelope) on track 4.
// The track-3 envelope in movie time is 500@0 500@50 300@80 300@110 800@130
// over 150 frames.
class VolumeTest : public EditTest {
public:
    void SetUp() override {
        EditTest::SetUp();
        SystemMixer::Install(&mixer);
        VolumeHooks::Reset();
        MovieBuilder m;
        Clip* v1 = m.Video(100, 10);
        m.Transition(20);
        Clip* v2 = m.Video(100, 30);
        Clip* s1 = m.Sound(50, 60, 0, 300);
        Clip* s2 = m.Sound(110, 40, 20, 300);
        m.Sound(0, 90, 0, 300, true, 4);
        v1->SetVolumeList(Envelope(100, {{500, 0}, {200, 99}}).get());
        v2->SetVolumeList(Envelope(100, {{200, 0}, {500, 10}}).get());
        s1->SetVolumeList(Envelope(60, {{500, 0}, {300, 30}}).get());
        s2->SetVolumeList(Envelope(40, {{300, 0}, {800, 20}}).get());
        Take(*m.list);
        movie->SetModifiedFlag(false);
    }
    void TearDown() override {
        VolumeHooks::Reset();
        SystemMixer::Install(nullptr);
        EditTest::TearDown();
    }

    MemoryMixer mixer;
};

} // namespace orvik::test
