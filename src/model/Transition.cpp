#include "model/Transition.h"

#include "platform/archive/Archive.h"


namespace orvik {

ORVIK_IMPLEMENT_SERIAL(Transition, Asset, kVersionableSchema | 1)

Transition::Transition(int32_t effect, int32_t effectNumber)
    : Asset(std::string(), 0, 0), effect_(effect), effectNumber_(effectNumber) {}

RefObject* Transition::Clone() const { return new Transition(*this); }

void Transition::Serialize(Archive& ar) {
    Asset::Serialize(ar);
    if (ar.IsStoring()) {
        ar.WriteInt32(effect_);
        ar.WriteInt32(effectNumber_);
    } else {
        effect_ = ar.ReadInt32();
        effectNumber_ = ar.ReadInt32();
    }
}

bool Transition::IsEqual(const Asset* other) const {
    const Transition* t = DynamicCast<const Transition>(other);
    return t && Asset::IsEqual(other) && t->effect_ == effect_ &&
           t->effectNumber_ == effectNumber_;
}

void Transition::ListFields(FieldList& out) const {
    Asset::ListFields(out);
    out.Add("effect", int64_t{effect_});
    out.Add("effectNumber", int64_t{effectNumber_});
}

} // namespace orvik
