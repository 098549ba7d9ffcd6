#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// Horizontal bands filled one after another, each from one end to the other;
// flags bit 0 mirrors along the bands, bit 1 across them.
class HorizontalStreak : public Wipe {
    ORVIK_DECLARE_SERIAL(HorizontalStreak)
public:
    HorizontalStreak() = default;
    HorizontalStreak(int32_t effectNumber, double piconLow, double piconHigh, int32_t bands,
                  int32_t flags)
        : Wipe(effectNumber, piconLow, piconHigh), bands_(ClampCount(bands)), flags_(flags) {}

    RefObject* Clone() const override { return new HorizontalStreak(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;

    int32_t GetBands() const { return bands_; }
    int32_t GetFlags() const { return flags_; }

protected:
    // Every odd band runs the other way (the snakes).
    virtual bool Alternates() const { return false; }

    int32_t bands_ = 1;
    int32_t flags_ = 0;
};

} // namespace orvik
