#include "capture/SceneDetect.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/RgbQuad.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace orvik {

void SceneDetect::SetGrid(int32_t columns, int32_t rows) {
    columns_ = std::max(columns, 1);
    rows_ = std::max(rows, 1);
    signatureSize_ = columns_ * rows_;
    Restart();
}

void SceneDetect::Restart() {
    count_ = 0;
    ringIndex_ = 0;
    std::fill(std::begin(d_), std::end(d_), 0);
    std::fill(std::begin(m_), std::end(m_), 0);
    darkWait_ = false;
    lastCut_ = 0;
    ring_.clear();
    ring_.shrink_to_fit();
}

uint8_t* SceneDetect::AdvanceRing() {
    if (ring_.empty())
        ring_.assign(static_cast<size_t>(signatureSize_) * 5, 0);
    ringIndex_ = (ringIndex_ + 1) % 5;
    return ring_.data() + static_cast<size_t>(ringIndex_) * signatureSize_;
}

int32_t SceneDetect::Compare(const uint8_t* current) {
    const uint8_t* previous =
        ring_.data() + static_cast<size_t>((ringIndex_ + 4) % 5) * signatureSize_;
    int64_t diffSum = 0, levelSum = 0;
    for (int32_t i = 0; i < signatureSize_; ++i) {
        diffSum += std::min(std::abs(current[i] - previous[i]), differenceCap);
        levelSum += current[i];
    }
    int32_t result = Decide(static_cast<int32_t>(diffSum / signatureSize_),
                            static_cast<int32_t>(levelSum / signatureSize_));
    ++count_;
    return result;
}

int32_t SceneDetect::Decide(int32_t diff, int32_t mean) {
    std::copy(d_ + 1, d_ + 5, d_);
    d_[4] = diff;
    std::copy(m_ + 1, m_ + 5, m_);
    m_[4] = mean;
    // The third frame starts the first scene (the tape's start).
    if (count_ == 2)
        return 0;
    if (count_ < 4)
        return -1;
    const int32_t candidate = count_ - 2;

    // A frame captured twice during fast motion shows no difference; it
    // takes the mean of its neighbours so the next one is no jump.
    if (d_[3] == 0 && d_[2] > jumpThreshold / 2 && d_[4] > jumpThreshold / 2)
        d_[3] = (d_[2] + d_[4]) / 2;

    int jumps = 0;
    for (int k : {0, 1, 3, 4})
        if (d_[2] - d_[k] > jumpThreshold)
            ++jumps;
    int32_t result = jumps >= minJumps ? candidate : -1;

    // After a cut the darkness rule waits for the picture to brighten.
    if (darkWait_ && m_[4] > darkLevel * 3 / 2)
        darkWait_ = false;
    if (!darkWait_ && m_[2] <= darkLevel && m_[2] <= m_[1] && m_[2] <= m_[3])
        result = candidate;
    if (result >= 0)
        darkWait_ = true;
    if (lastCut_ != 0 && result == lastCut_ + 1)
        result = -1;
    if (result >= 0)
        lastCut_ = result;
    return result;
}

void SceneDetect::SignatureOf(const Dib& picture, uint8_t* signature) const {
    const int bits = picture.BitCount();
    if (picture.IsEmpty() || !picture.IsUncompressed() ||
        (bits != 8 && bits != 16 && bits != 24 && bits != 32)) {
        LogMessage("SceneDetect::Invalid dib format\n");
        return;
    }
    RgbQuad table[256];
    if (bits == 8)
        picture.GetColorTable(table);
    const Dib::Layout16 layout = bits == 16 ? picture.Get16BitLayout() : Dib::layoutInvalid;
    if (bits == 16 && layout == Dib::layoutInvalid) {
        LogMessage("SceneDetect::Invalid dib format\n");
        return;
    }
    const int width = picture.Width();
    const int height = picture.AbsHeight();
    for (int r = 0; r < rows_; ++r) {
        for (int c = 0; c < columns_; ++c) {
            int sum = 0;
            for (int y = 8 * r; y < 8 * r + 8; ++y) {
                for (int x = 8 * c; x < 8 * c + 8; ++x) {
                    // Blocks past a picture smaller than the grid count as
                    // black instead of reading outside it.
                    if (x >= width || y >= height)
                        continue;
                    const uint8_t* p = picture.PixelAddress(x, y);
                    if (bits == 8) {
                        const RgbQuad& q = table[*p];
                        sum += q.blue + q.green + q.red;
                    } else if (bits == 16) {
                        const unsigned v = p[0] | (p[1] << 8);
                        if (layout == Dib::layout565)
                            sum += (v & 0x1F) * 8 + ((v >> 5) & 0x3F) * 4 + ((v >> 11) & 0x1F) * 8;
                        else
                            sum += (v & 0x1F) * 8 + ((v >> 5) & 0x1F) * 8 + ((v >> 10) & 0x1F) * 8;
                    } else {
                        sum += p[0] + p[1] + p[2];
                    }
                }
            }
            signature[r * columns_ + c] = static_cast<uint8_t>(sum / 192);
        }
    }
}

} // namespace orvik
