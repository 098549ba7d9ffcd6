#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace orvik {

class Dib;

// Resamples the whole of one Dib into the whole of another whose size and
// depth are already set. Constructing the object does the work; it keeps
// only its work lines and whether the progress callback cancelled.
//
// Modes: 0 nearest neighbour, 1 bilinear, 2 filtered (bilinear when the
// destination is at least 80 % of the source both ways), 3 filtered with a
// 4-tap interpolator, 4 filtered with an 8-tap interpolator. Every byte of a
// pixel is a channel of its own; positions and weights are 16.16 fixed
// point. Sizes must lie between 1 and 32767.
class DibScale {
public:
    // Called before each unit of work with the fraction done (ending at
    // 1.0); a 0 result cancels, leaving the destination partly written.
    using Progress = std::function<int(double)>;

    static constexpr int kMaxSize = 32767;

    DibScale(Dib& destination, const Dib& source, int mode, Progress progress = nullptr);
    ~DibScale();
    DibScale(const DibScale&) = delete;
    DibScale& operator=(const DibScale&) = delete;

    bool Cancelled() const { return cancelled_ != 0; }
    // The mode that ran (2 may have become 1); -1 when nothing ran.
    int ModeUsed() const { return modeUsed_; }

    // The 8-tap weights after normalisation: table[tap][column].
    static const int32_t (&Table8())[8][32];
    // The 4-tap weights of mode 3: table[tap][column].
    static const int32_t (&Table4())[4][32];

    // One line of n values resampled to m values by the filtered path
    // (exposed for checking the line arithmetic on its own).
    void ResampleLine(const int32_t* line, int n, int m, int32_t* out);

private:
    bool Step();
    void Nearest(Dib& d, const Dib& s);
    void Bilinear(Dib& d, const Dib& s);
    void Filtered(Dib& d, const Dib& s);
    void HorizontalPass(Dib& d, const Dib& s);
    void VerticalPass(Dib& d, const Dib& s);
    void Interpolate(const int32_t* line, int n, int m, int32_t* out) const;
    void Shrink(const int32_t* line, int n, int m, int32_t* out);

    int mode_;
    int modeUsed_ = -1;
    Progress progress_;
    int progressCount_ = 0;
    int progressTotal_ = 0;
    int cancelled_ = 0;
    std::vector<int32_t> work_[2];
    // Gathered input and resampled output of the filtered path; column
    // offsets and weights of the bilinear and nearest paths.
    std::vector<int32_t> line_, out_, columns_;
};

} // namespace orvik
