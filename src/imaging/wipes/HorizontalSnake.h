#pragma once

#include "imaging/wipes/HorizontalStreak.h"

namespace orvik {

// As the horizontal streak, with every odd band running the other way, so
// that the change snakes through the frame.
class HorizontalSnake : public HorizontalStreak {
    ORVIK_DECLARE_SERIAL(HorizontalSnake)
public:
    HorizontalSnake() = default;
    HorizontalSnake(int32_t effectNumber, double piconLow, double piconHigh, int32_t bands,
                 int32_t flags)
        : HorizontalStreak(effectNumber, piconLow, piconHigh, bands, flags) {}

    RefObject* Clone() const override { return new HorizontalSnake(*this); }

protected:
    bool Alternates() const override { return true; }
};

} // namespace orvik
