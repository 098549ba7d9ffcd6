#pragma once

#include "imaging/wipes/VerticalStreak.h"

namespace orvik {

// As the vertical streak, with every odd band running the other way, so
// that the change snakes through the frame.
class VerticalSnake : public VerticalStreak {
    ORVIK_DECLARE_SERIAL(VerticalSnake)
public:
    VerticalSnake() = default;
    VerticalSnake(int32_t effectNumber, double piconLow, double piconHigh, int32_t bands,
                 int32_t flags)
        : VerticalStreak(effectNumber, piconLow, piconHigh, bands, flags) {}

    RefObject* Clone() const override { return new VerticalSnake(*this); }

protected:
    bool Alternates() const override { return true; }
};

} // namespace orvik
