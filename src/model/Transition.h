#pragma once

#include "imaging/PatternCache.h"
#include "model/Asset.h"

#include <cstdint>
#include <string>
#include <vector>

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
    void ListFields(FieldList& out) const override;
    RefObject* Clone() const override;

    bool IsEqual(const Asset* other) const override;
    int GetKind() const override { return kindTransition; }
    int GetNaturalTrack() const override { return 0; }

    int32_t GetEffect() const { return effect_; }
    int32_t GetEffectNumber() const { return effectNumber_; }
    bool IsFade() const { return effect_ == kFadeEffect; }

    // What tape output allows of this effect (TransitionAlbum.cpp): whether
    // it may join clips on a track, and the longest it may last under tape
    // constraints, from the mixer's render budget in the settings.
    virtual bool IsAllowedOnTrack(int32_t track) const;
    virtual Time GetTapeLimit() const;

    // --- Effects (TransitionMix.cpp) ---------------------------------------
    // Effect kinds.
    enum EffectKind : int32_t {
        effectCut = 0,
        effectDissolve = 1,
        effectFade = 2,
        effectWipe = 3,
        effectSlideFromRight = 4,
        effectSlideFromBottom = 5,
        effectSlideFromLeft = 6,
        effectSlideFromTop = 7,
        effectCornerBottomRight = 8,
        effectCornerBottomLeft = 9,
        effectCornerTopRight = 10,
        effectCornerTopLeft = 11,
        effectPushLeft = 12,
        effectPushUp = 13,
        effectPushRight = 14,
        effectPushDown = 15,
        effectEdgeFromRight = 16,
        effectEdgeFromBottom = 17,
        effectEdgeFromLeft = 18,
        effectEdgeFromTop = 19,
        effectKindCount = 20,
    };
    // Field modes of Mix.
    enum FieldMode { wholeFrames = 0, upperFieldFirst = 1, lowerFieldFirst = 2 };

    // Writes the mixed frame of outgoing `a` and incoming `b` (either may be
    // null) into `target`, which may be `a` or `b` itself, at progress p1
    // and p2 (0..1) of the two fields. The clip supplies the transition
    // flags and the track. Pictures of another size or depth than the
    // target are taken through a converted copy, never read outside.
    // Returns 0 when a pass failed (logged); the target is then as far as
    // the failing step left it.
    int Mix(const Clip* clip, Dib* target, Dib* a, Dib* b, int fieldMode, double p1, double p2);
    // The kind that runs this effect the other way round.
    static int32_t MirrorKind(int32_t kind);
    int32_t MirrorKind() const { return MirrorKind(effect_); }
    // The wipe pattern of width x |height| at a horizontal scale, made on
    // demand and cached; null for effects without a pattern.
    RefPtr<Dib> GetPattern(int width, int height, double scale);
    double GetPatternScale() const { return patternCache_.Scale(); }

    // --- Album (TransitionAlbum.cpp) ----------------------------------------
    // The picon bitmap numbered by the effect number, recoloured.
    int CreatePicon(Dib* picture, Clip* clip, Time offset) override;
    // The text numbered by the effect number, or the kind's generic name.
    std::string GetName() const override;
    std::string GetKindName(const Clip* clip) const override;
    // Recolours the album's blue picon colours to its green ones (256-entry
    // colour tables only).
    static void RecolorPicon(Dib& picon);
    // The effects of the transition album that are not wipes, in album order.
    static std::vector<RefPtr<Transition>> AlbumEffects();

protected:
    // A new pattern for GetPattern; transitions without one return null.
    virtual RefPtr<Dib> MakePattern(int width, int height, double scale);
    // Forgets the cached pattern (a parameter of the pattern changed).
    void ClearPattern() { patternCache_.Clear(); }

private:
    int EffectPass(const Clip* clip, Dib* target, Dib* a, Dib* b, int field, double p);
    int TwoRegionCopy(int32_t kind, bool mainTrack, Dib* target, Dib* a, Dib* b, int field,
                      double p);
    int CornerCopy(int32_t kind, bool mainTrack, Dib* target, Dib* a, Dib* b, int field,
                   double p);
    int WipePass(const Clip* clip, Dib* target, Dib* a, Dib* b, int field, double p);

    int32_t effect_ = 0;
    int32_t effectNumber_ = 0;
    PatternCache patternCache_;
};

} // namespace orvik
