// What tape output allows of an effect: the tracks it may join clips on and
// its longest duration under tape constraints, from the render budget.
#include "app/Settings.h"
#include "model/Transition.h"
#include "platform/registry/Registry.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace orvik;

TEST(TransitionAlbum, EffectsJoinClipsOnThePictureTracksOnly) {
    struct Case {
        int32_t kind, track;
        bool allowed;
    };
    const Case cases[] = {
        {1, 0, true},  {1, 1, true},  {2, 1, true},   {3, 1, true},  {19, 0, true},
        {1, 3, false}, {1, 4, false}, {1, 2, false}, {20, 0, false}, {-1, 1, false},
    };
    for (const Case& c : cases) {
        RefPtr<Transition> t = new Transition(c.kind, 6301);
        EXPECT_EQ(t->IsAllowedOnTrack(c.track), c.allowed) << "kind " << c.kind << " track " << c.track;
    }
}

TEST(TransitionAlbum, TapeLimitsComeFromTheRenderBudget) {
    const Time none = std::numeric_limits<Time>::max();
    RefPtr<Transition> dissolve = new Transition(Transition::effectDissolve, 6301);
    RefPtr<Transition> wipe = new Transition(Transition::effectWipe, 6343);
    RefPtr<Transition> fade = new Transition(Transition::effectFade, 6300);
    EXPECT_EQ(dissolve->GetTapeLimit(), none); // no settings yet

    std::string folder = test::InHome("config");
    {
        Registry r(folder);
        Registry::Batch batch(r);
        r.OpenKey(RegistryTree::localMachine, "Software/Torvane/Orvik/Install", true)
            .SetNumber("Video standard", 0);
        r.OpenKey(RegistryTree::localMachine, "Software/Torvane/Orvik/Caderna Mixer", true)
            .SetNumber("Alpha load", 75);
    }
    auto settings = std::make_unique<Settings>(folder);
    settings->MakeCurrent();
    // The effect load's default is one second: 30 frames of NTSC video.
    EXPECT_EQ(dissolve->GetTapeLimit(), 30);
    EXPECT_EQ(wipe->GetTapeLimit(), 75);
    EXPECT_EQ(fade->GetTapeLimit(), none);
}
