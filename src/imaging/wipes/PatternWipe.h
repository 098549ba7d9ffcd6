#pragma once

#include "imaging/wipes/Wipe.h"

#include <string>

namespace orvik {

class VectorDrawing;

// A pattern from a vector drawing (a data resource of the resource
// libraries, by number or name, else a drawing file): the drawing is played
// at 256 sizes, from one that covers the frame down to a few pixels, each in
// a lighter grey, so that its shape grows out of the centre.
class PatternWipe : public Wipe {
    ORVIK_DECLARE_SERIAL(PatternWipe)
public:
    PatternWipe() = default;
    PatternWipe(int32_t effectNumber, double piconLow, double piconHigh, int32_t resourceNumber)
        : Wipe(effectNumber, piconLow, piconHigh), resourceNumber_(resourceNumber) {}
    PatternWipe(int32_t effectNumber, double piconLow, double piconHigh,
                const std::string& resourceName)
        : Wipe(effectNumber, piconLow, piconHigh), resourceName_(resourceName) {}
    static PatternWipe* FromFile(const std::string& path);

    RefObject* Clone() const override { return new PatternWipe(*this); }
    int CreateAlphaDib(Dib& image) override;
    void SerializeOwn(Archive& ar) override;
    void ListFields(FieldList& out) const override;
    // The name text, else the drawing's path.
    std::string GetName() const override;

    const std::string& GetPath() const { return path_; }
    int32_t GetResourceNumber() const { return resourceNumber_; }

    // The smallest scale (a multiple of the frame's width) at which the
    // drawing, centred, covers a width x height frame whose rows are
    // `aspect` times as tall as columns are wide; at most 20.
    static double CoveringScale(const VectorDrawing& drawing, int width, int height,
                                double aspect);

private:
    bool LoadDrawing(VectorDrawing& drawing) const;

    std::string path_;
    int32_t resourceNumber_ = 0;
    std::string resourceName_; // given at construction; not stored
};

} // namespace orvik
