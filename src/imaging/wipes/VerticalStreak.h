#pragma once

#include "imaging/wipes/Wipe.h"

namespace orvik {

// Vertical bands filled one after another, each from one end to the other;
// flags bit 0 mirrors across the bands, bit 1 along them.
class VerticalStreak : public Wipe {
    ORVIK_DECLARE_SERIAL(VerticalStreak)
public:
    VerticalStreak() = default;
    VerticalStreak(int32_t effectNumber, double piconLow, double piconHigh, int32_t bands,
                  int32_t flags)
        : Wipe(effectNumber, piconLow, piconHigh), bands_(ClampCount(bands)), flags_(flags) {}

    RefObject* Clone() const override { return new VerticalStreak(*this); }
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
