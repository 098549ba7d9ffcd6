#pragma once

#include <cstdint>
#include <vector>

namespace orvik {

class Dib;

// Finds scene cuts in a stream of small grey frame signatures: from the last
// five frames it decides whether a cut lies two frames back, either a sudden
// jump of the picture difference or a dip into darkness.
class SceneDetect {
public:
    SceneDetect() = default;
    virtual ~SceneDetect() = default;

    // Signature blocks across and down; a change starts the detection over.
    void SetGrid(int32_t columns, int32_t rows);
    int32_t GetColumns() const { return columns_; }
    int32_t GetRows() const { return rows_; }
    int32_t GetSignatureSize() const { return signatureSize_; }

    // Takes the next frame's signature: fills it through `fill` (which
    // writes signatureSize values), compares it with the previous one and
    // decides. Returns the frame index of a cut (counted from the first
    // frame processed), or −1.
    template <class Fill> int32_t Process(Fill&& fill) {
        uint8_t* current = AdvanceRing();
        fill(current);
        return Compare(current);
    }

    // The signature of a decoded picture: the mean of the blue, green and
    // red values of each 8 × 8 block. 8-bit pictures read their colour
    // table, 16-bit ones are widened; other depths log and leave
    // `signature` as it was.
    void SignatureOf(const Dib& picture, uint8_t* signature) const;

    // The decision for the newest frame's difference and mean level.
    int32_t Decide(int32_t diff, int32_t mean);

    int32_t GetCount() const { return count_; }

    // Tuning (defaults as the album uses them).
    int32_t jumpThreshold = 13;
    int32_t darkLevel = 25;
    int32_t differenceCap = 255;
    int32_t minJumps = 3;
    int32_t framesPerSecond = 15;

protected:
    uint8_t* AdvanceRing();
    int32_t Compare(const uint8_t* current);

    int32_t count_ = 0;

private:
    void Restart();

    std::vector<uint8_t> ring_;
    int32_t ringIndex_ = 0;
    bool darkWait_ = false;
    int32_t lastCut_ = 0;
    int32_t d_[5] = {};
    int32_t m_[5] = {};
    int32_t columns_ = 20;
    int32_t rows_ = 15;
    int32_t signatureSize_ = 300;
};

} // namespace orvik
