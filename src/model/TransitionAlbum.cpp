// Transition: what the album shows of an effect (picon, name), the effects it
// offers, and what tape output allows of them.
#include "model/Transition.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "imaging/Dib.h"

#include <limits>

namespace orvik {

namespace {

// The generic name of a transition, shown when an effect has no name text.
constexpr uint32_t kTextTransitionKind = 50311;

struct Recolor {
    uint8_t fromRed, fromGreen, fromBlue, toRed, toGreen, toBlue;
};
// The picons are drawn in the album's blues; the album shows them in greens.
constexpr Recolor kPiconRecolor[] = {
    {120, 204, 255, 159, 249, 196},
    {54, 123, 214, 88, 178, 124},
    {51, 44, 86, 30, 120, 67},
};

struct AlbumEntry {
    int32_t number, kind;
};
// The transition album's own effects, in the order it lists them.
constexpr AlbumEntry kAlbum[] = {
    {6300, Transition::effectFade},
    {6301, Transition::effectDissolve},
    {6307, Transition::effectSlideFromBottom},
    {6303, Transition::effectSlideFromTop},
    {6305, Transition::effectSlideFromRight},
    {6309, Transition::effectSlideFromLeft},
    {6306, Transition::effectCornerBottomRight},
    {6308, Transition::effectCornerBottomLeft},
    {6304, Transition::effectCornerTopRight},
    {6302, Transition::effectCornerTopLeft},
};

} // namespace

void Transition::RecolorPicon(Dib& picon) {
    if (picon.IsEmpty() || picon.BitCount() > 8 || picon.ColorCount() != 256 ||
        picon.GetColorUsage() != Dib::rgbColors)
        return;
    RgbQuad* table = picon.ColorTable();
    for (int i = 0; i < 256; ++i) {
        for (const Recolor& r : kPiconRecolor) {
            if (table[i].red == r.fromRed && table[i].green == r.fromGreen &&
                table[i].blue == r.fromBlue) {
                table[i].red = r.toRed;
                table[i].green = r.toGreen;
                table[i].blue = r.toBlue;
                break;
            }
        }
    }
}

int Transition::CreatePicon(Dib* picture, Clip*, Time) {
    const ResourceLibraries* libs = Dib::GetResourceLibraries();
    if (!libs)
        libs = ResourceLibraries::Current();
    if (!picture || effectNumber_ <= 0 || !libs ||
        !libs->FindBitmap(static_cast<uint32_t>(effectNumber_)) ||
        !picture->LoadResource(static_cast<uint32_t>(effectNumber_))) {
        LogMessage("Transition::CreatePicon: could not load bitmap resource %d\n", effectNumber_);
        return 0;
    }
    RecolorPicon(*picture);
    return 1;
}

std::string Transition::GetName() const {
    std::string name;
    if (effectNumber_ > 0)
        name = ResourceText(static_cast<uint32_t>(effectNumber_));
    return name.empty() ? ResourceText(kTextTransitionKind) : name;
}

std::string Transition::GetKindName(const Clip*) const { return ResourceText(kTextTransitionKind); }

std::vector<RefPtr<Transition>> Transition::AlbumEffects() {
    std::vector<RefPtr<Transition>> out;
    for (const AlbumEntry& e : kAlbum)
        out.push_back(new Transition(e.kind, e.number));
    return out;
}

// Tracks 0 (video) and 1 (titles) carry pictures; an effect of a known kind
// may join two clips on either. Sound tracks take no transitions.
bool Transition::IsAllowedOnTrack(int32_t track) const {
    return (track == 0 || track == 1) && effect_ >= effectCut && effect_ < effectKindCount;
}

// Under tape constraints an effect is rendered within the mixer's render
// budget: a pattern wipe within the alpha load, any other effect but the fade
// within the effect load (both in frames). Fades and cuts, and every effect
// when there are no settings, have no limit.
Time Transition::GetTapeLimit() const {
    const SettingsBase* settings = SettingsBase::Current();
    if (!settings || effect_ == effectFade || effect_ == effectCut)
        return std::numeric_limits<Time>::max();
    Time limit = effect_ == effectWipe ? settings->GetAlphaLoad() : settings->GetEffectLoad();
    return limit > 0 ? limit : std::numeric_limits<Time>::max();
}

} // namespace orvik
