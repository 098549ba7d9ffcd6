// Seeded random movies for the property tests of edits and commands: scenes
// with transitions, titles, sounds and generated music, some selected or
// marked, some with volume envelopes.
#pragma once

#include "edit/VolumeList.h"
#include "model/ClipTestSupport.h"
#include "model/SonicAsset.h"

#include <array>
#include <random>

namespace orvik::test {

class RandomMovie {
public:
    // How a test wants its movies; each test keeps its own mix so that its
    // seeds keep making the same movies.
    struct Shape {
        int maxVideos = 6;
        // Chance of a transition after the last scene.
        int trailingTransition = 0;
        int maxPerTrack = 2;
        int maxEnvelopePoints = 3;
        // Marks follow the selection, as the movie window keeps them;
        // otherwise they are drawn on their own.
        bool marksFollowSelection = true;
        // Repacked with records until nothing changes, as edits leave it.
        bool packed = false;
    };

    explicit RandomMovie(uint32_t seed) : rng_(seed) {}

    int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
    bool Chance(int percent) { return Pick(1, 100) <= percent; }

    RefPtr<ClipList> Make(const Shape& shape) {
        MovieBuilder m;
        int videos = Pick(1, shape.maxVideos);
        for (int i = 0; i < videos; ++i) {
            Decorate(m.Video(Pick(4, 60), Pick(0, 30), Pick(0, 3) * 100, 400,
                             Chance(50) ? "/videos/tape1.avi" : "/videos/tape2.avi"),
                     shape);
            if (i + 1 < videos && Chance(35))
                Decorate(m.Transition(Pick(1, 15)), shape);
        }
        if (shape.trailingTransition > 0 && Chance(shape.trailingTransition))
            Decorate(m.Transition(Pick(1, 10)), shape);
        for (int track : {1, 3, 4}) {
            Time at = 0;
            int count = Pick(0, shape.maxPerTrack);
            for (int i = 0; i < count; ++i) {
                at += Pick(0, 60);
                Time duration = Pick(2, 40);
                Clip* c = track == 1                 ? m.Title(at, duration, Chance(80))
                          : track == 4 && Chance(30) ? Music(*m.list, at, duration)
                                                     : m.Sound(at, duration, Pick(0, 20),
                                                               Pick(1, 4) * 50, Chance(80), track);
                Decorate(c, shape);
                at += duration;
            }
        }
        for (int i = 0; shape.packed && i < 4; ++i) {
            RefPtr<ClipList> records = new ClipList;
            m.list->FixTimes(records.get(), true, false, false);
            if (records->IsEmpty())
                break;
        }
        return m.list;
    }

private:
    // Generated music: a trimmed clip gets its own copy of the piece.
    Clip* Music(ClipList& list, Time at, Time duration) {
        std::array<std::string, SonicAsset::kRequestCount> requests = {"Pop", "Song", "A", "", ""};
        RefPtr<SonicAsset> piece = new SonicAsset(requests, duration);
        Clip* c = new Clip(piece.get(), at, 4);
        c->SetPinned(Chance(80));
        list.Add(c);
        return c;
    }

    void Decorate(Clip* c, const Shape& shape) {
        bool selected = Chance(30);
        c->SetSelected(selected);
        c->SetMarked(shape.marksFollowSelection ? selected : Chance(20));
        if (!c->IsTransition() && Chance(30)) {
            RefPtr<VolumeList> v = new VolumeList(c->GetDuration());
            for (int i = Pick(1, shape.maxEnvelopePoints); i > 0; --i)
                v->AddVolumeSetting(VolumeSetting(Pick(0, 1000), Pick(0, c->GetDuration())));
            c->SetVolumeList(v.get());
        }
    }

    std::mt19937 rng_;
};

} // namespace orvik::test
