#pragma once

#include "model/Asset.h"

#include <cstdint>

namespace orvik {

// The asset that joins two clips of a track: an effect kind (2 is the fade
// through black) and the number of the effect in the transition album.
class Transition : public Asset {
    ORVIK_DECLARE_SERIAL(Transition)
public:
    static constexpr int32_t kFadeEffect = 2;
    // The fade the clip list puts between two graphics under tape constraints.
    static constexpr int32_t kAutomaticFadeNumber = 6300;

    Transition() = default;
    Transition(int32_t effect, int32_t effectNumber);
    Transition(const Transition& other) = default;

    void Serialize(Archive& ar) override;
    RefObject* Clone() const override;

    bool IsEqual(const Asset* other) const override;
    int GetKind() const override { return kindTransition; }
    int GetNaturalTrack() const override { return 0; }

    int32_t GetEffect() const { return effect_; }
    int32_t GetEffectNumber() const { return effectNumber_; }
    bool IsFade() const { return effect_ == kFadeEffect; }

    // What tape output allows of this effect: whether it may join graphics
    // on the title track, and the longest it may last. The render budget
    // behind them comes with tape output; until then every effect is allowed
    // everywhere and without a limit.
    virtual bool IsAllowedOnTrack(int32_t track) const;
    virtual Time GetTapeLimit() const;

private:
    int32_t effect_ = 0;
    int32_t effectNumber_ = 0;
};

} // namespace orvik
