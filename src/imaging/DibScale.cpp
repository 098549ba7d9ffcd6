#include "imaging/DibScale.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "imaging/DibRows.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace orvik {

namespace {

constexpr ColorRef kBlack = Rgb(0, 0, 0);
constexpr ColorRef kWhite = Rgb(255, 255, 255);

// The stored 8-tap weights, rows 0 to 3; rows 4 to 7 mirror them (row 7 - t,
// column 31 - c equals row t, column c).
constexpr int16_t kTaps8[4][32] = {
    {0,   -1,  -3,  -4,  -6,  -8,  -9,  -11, -13, -15, -17, -18, -20, -21, -23, -24,
     -25, -26, -26, -26, -26, -26, -25, -24, -22, -20, -18, -16, -13, -9,  -6,  -2},
    {2,  6,  11, 16, 21, 26, 31, 37, 42, 47, 51, 56, 60, 64, 67, 69,
     71, 73, 74, 73, 73, 71, 68, 65, 60, 55, 49, 42, 34, 25, 15, 5},
    {-5,   -17,  -29,  -41,  -54,  -66,  -79,  -92,  -104, -116, -128, -139, -149, -158, -166, -172,
     -177, -181, -183, -183, -181, -177, -171, -163, -153, -140, -125, -107, -87,  -65,  -41,  -14},
    {14,  45,  78,  113, 150, 188, 228, 268, 310, 352, 395, 439, 482, 525,  568,  610,
     651, 691, 730, 767, 802, 835, 866, 894, 919, 942, 962, 979, 992, 1002, 1009, 1013},
};

int32_t table8[8][32];
int32_t table4[4][32];
std::once_flag tablesOnce;

// Normalises each column of the 8-tap table to a sum of 65536 (logging each
// column) and builds the 4-tap table. Once per process.
void BuildTables() {
    std::call_once(tablesOnce, [] {
        for (int t = 0; t < 8; ++t)
            for (int c = 0; c < 32; ++c)
                table8[t][c] = t < 4 ? kTaps8[t][c] : kTaps8[7 - t][31 - c];
        for (int c = 0; c < 32; ++c) {
            int32_t sum = 0;
            for (int t = 0; t < 8; ++t)
                sum += table8[t][c];
            char line[160];
            int len = std::snprintf(line, sizeof line, "Phase %2d: ", c);
            int32_t newSum = 0;
            for (int t = 0; t < 8; ++t) {
                table8[t][c] = table8[t][c] * 65536 / sum;
                newSum += table8[t][c];
                len += std::snprintf(line + len, sizeof line - len, "%7d", table8[t][c]);
            }
            std::snprintf(line + len, sizeof line - len, " (sum =%6d)\n", newSum);
            LogMessage("%s", line);
        }
        // Mode 3: cubic convolution (a = -0.5) at the same phases as the
        // 8-tap table, column 31 - p for phase p at fraction (p + 0.5) / 32;
        // each column sums to 65536 exactly.
        for (int p = 0; p < 32; ++p) {
            double f = (p + 0.5) / 32;
            double d[4] = {1 + f, f, 1 - f, 2 - f};
            int32_t w[4], sum = 0;
            for (int t = 0; t < 4; ++t) {
                double x = d[t], k;
                if (x <= 1)
                    k = 1.5 * x * x * x - 2.5 * x * x + 1;
                else
                    k = -0.5 * x * x * x + 2.5 * x * x - 4 * x + 2;
                w[t] = static_cast<int32_t>(std::lround(k * 65536));
                sum += w[t];
            }
            w[f < 0.5 ? 1 : 2] += 65536 - sum;
            for (int t = 0; t < 4; ++t)
                table4[t][31 - p] = w[t];
        }
    });
}

inline uint8_t Clamp255(int32_t v) {
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Halves a line of n values into (n + 1) / 2 values.
void HalveLine(const int32_t* s, int n, int32_t* h) {
    int k = (n + 1) >> 1;
    if (k < 4) {
        // Too short for the wide filter: the rounded mean of each pair.
        for (int j = 0; j < k; ++j)
            h[j] = (s[2 * j] + s[std::min(2 * j + 1, n - 1)] + 1) >> 1;
        return;
    }
    h[0] = (s[0] + s[1] + 1) >> 1;
    h[1] = (s[1] + 2 * s[2] + s[3] + 2) >> 2;
    for (int j = 2; j < k - 2; ++j) {
        const int32_t* c = s + 2 * j;
        int32_t v = (-4 * c[-4] + 4 * c[-2] + 10 * c[-1] + 12 * c[0] + 10 * c[1] + 4 * c[2] -
                     4 * c[4] + 16) >>
                    5;
        h[j] = v < 0 ? 0 : v;
    }
    h[k - 2] = (s[2 * k - 5] + 2 * s[2 * k - 4] + s[2 * k - 3] + 2) >> 2;
    h[k - 1] = (s[2 * k - 3] + s[2 * k - 2] + 1) >> 1;
}

// A value at 16.16 position e of a line, linear between neighbours; past
// the end the line's last value.
inline int32_t Sample(const int32_t* line, int n, int32_t e) {
    int x = std::min(e >> 16, n - 1);
    int32_t a = line[x], b = line[std::min(x + 1, n - 1)];
    int32_t v = a * 65536;
    if (b != a)
        v += (b - a) * (e & 65535);
    return v;
}

} // namespace

const int32_t (&DibScale::Table8())[8][32] {
    BuildTables();
    return table8;
}

const int32_t (&DibScale::Table4())[4][32] {
    BuildTables();
    return table4;
}

DibScale::~DibScale() = default;

DibScale::DibScale(Dib& destination, const Dib& source, int mode, Progress progress)
    : mode_(mode), progress_(std::move(progress)) {
    if (destination.IsEmpty() || source.IsEmpty() || !destination.Bits() || !source.Bits()) {
        LogMessage("DibScale: no bitmap\n");
        return;
    }
    int sw = source.Width(), sh = source.AbsHeight();
    int dw = destination.Width(), dh = destination.AbsHeight();
    // A size shifted left by 16 must fit in 32 bits.
    if (sw < 1 || sh < 1 || dw < 1 || dh < 1 || sw > kMaxSize || sh > kMaxSize || dw > kMaxSize ||
        dh > kMaxSize) {
        LogMessage("DibScale: size out of range\n");
        return;
    }
    int bits = destination.BitCount();
    if ((bits != 8 && bits != 24 && bits != 32) || !destination.IsUncompressed()) {
        LogMessage("DibScale: invalid pixel size\n");
        return;
    }
    if (mode_ == 2 && 4 * sw / 5 <= dw && 4 * sh / 5 <= dh)
        mode_ = 1;

    // A source of another depth, a coloured 8-bit source or a compressed one
    // is first converted to the destination's depth.
    RefPtr<Dib> temp;
    const Dib* src = &source;
    if (source.BitCount() != bits || (source.BitCount() == 8 && !source.IsGreyPalette()) ||
        !source.IsUncompressed()) {
        temp = new Dib;
        if (!temp->Create(sw, sh, bits, false))
            return;
        bool filled = false;
        if (bits == 24 || bits == 32) {
            filled = temp->Copy(source) != 0;
        } else {
            filled = temp->MapToGreyScale(source) != 0;
        }
        if (!filled) {
            // Scaling an unfilled picture would only spread garbage.
            LogMessage("DibScale: invalid pixel size\n");
            return;
        }
        src = temp.get();
    }
    modeUsed_ = mode_;
    switch (mode_) {
    case 0:
        Nearest(destination, *src);
        break;
    case 1:
        Bilinear(destination, *src);
        break;
    case 2:
    case 3:
    case 4:
        Filtered(destination, *src);
        break;
    default:
        modeUsed_ = -1;
        break;
    }
}

bool DibScale::Step() {
    if (cancelled_)
        return false;
    ++progressCount_;
    if (progress_ && progressTotal_ > 0 &&
        !progress_(static_cast<double>(progressCount_) / progressTotal_)) {
        cancelled_ = 1;
        return false;
    }
    return true;
}

void DibScale::Nearest(Dib& d, const Dib& s) {
    const int sw = s.Width(), sh = s.AbsHeight(), dw = d.Width(), dh = d.AbsHeight();
    const int ps = d.PixelSize();
    const int32_t xStep = (sw * 65536) / dw, yStep = (sh * 65536) / dh;
    progressTotal_ = dh;
    DibRows sRows(s), dRows(d);
    columns_.resize(dw);
    int32_t sx = 0;
    for (int x = 0; x < dw; ++x, sx += xStep)
        columns_[x] = (sx >> 16) * ps;
    const int32_t* col = columns_.data();
    int32_t sy = 0;
    int lastRow = -1;
    for (int y = 0; y < dh; ++y, sy += yStep) {
        if (!Step())
            return;
        int row = sy >> 16;
        uint8_t* t = dRows.Row(y);
        if (row == lastRow) {
            // The same source row: the destination row above is the answer.
            std::memcpy(t, dRows.Row(y - 1), static_cast<size_t>(dw) * ps);
            continue;
        }
        lastRow = row;
        const uint8_t* r = sRows.Row(row);
        switch (ps) {
        case 1:
            for (int x = 0; x < dw; ++x)
                t[x] = r[col[x]];
            break;
        case 3:
            for (int x = 0; x < dw; ++x, t += 3) {
                const uint8_t* p = r + col[x];
                t[0] = p[0];
                t[1] = p[1];
                t[2] = p[2];
            }
            break;
        default:
            for (int x = 0; x < dw; ++x, t += 4)
                std::memcpy(t, r + col[x], 4);
            break;
        }
    }
}

void DibScale::Bilinear(Dib& d, const Dib& s) {
    const int sw = s.Width(), sh = s.AbsHeight(), dw = d.Width(), dh = d.AbsHeight();
    const int ch = d.PixelSize();
    const int32_t xStep = (sw * 65536) / dw, yStep = (sh * 65536) / dh;
    progressTotal_ = dh;
    DibRows sRows(s), dRows(d);
    // Per destination column: byte offsets of the left and right source
    // pixels and the fraction between them.
    columns_.resize(3 * static_cast<size_t>(dw));
    int32_t sx = 0;
    for (int x = 0; x < dw; ++x, sx += xStep) {
        int x0 = sx >> 16;
        int x1 = (x == dw - 1 || x0 + 1 >= sw) ? x0 : x0 + 1;
        columns_[3 * x] = x0 * ch;
        columns_[3 * x + 1] = x1 * ch;
        columns_[3 * x + 2] = sx & 65535;
    }
    // The work lines hold source rows interpolated across: a * 65536 +
    // (b - a) * fx per channel. Neighbouring destination rows share them.
    const size_t n = static_cast<size_t>(dw) * ch;
    work_[0].resize(n);
    work_[1].resize(n);
    int cached[2] = {-1, -1};
    auto across = [&](int row, int slot) {
        if (cached[slot] == row)
            return;
        if (slot == 0 && cached[1] == row) {
            // Moving down: the lower row of the last pair is the upper one now.
            std::swap(work_[0], work_[1]);
            std::swap(cached[0], cached[1]);
            return;
        }
        const uint8_t* r = sRows.Row(row);
        int32_t* out = work_[slot].data();
        const int32_t* col = columns_.data();
        for (int x = 0; x < dw; ++x, out += ch, col += 3) {
            const uint8_t* a = r + col[0];
            const uint8_t* b = r + col[1];
            int32_t fx = col[2];
            for (int c = 0; c < ch; ++c)
                out[c] = a[c] * 65536 + (b[c] - a[c]) * fx;
        }
        cached[slot] = row;
    };
    int32_t sy = 0;
    for (int y = 0; y < dh; ++y, sy += yStep) {
        if (!Step())
            return;
        int row0 = sy >> 16;
        int row1 = row0 + 1 == sh ? row0 : row0 + 1;
        int32_t fy = sy & 65535;
        uint8_t* t = dRows.Row(y);
        across(row0, 0);
        const int32_t* top = work_[0].data();
        if (fy == 0) {
            for (size_t k = 0; k < n; ++k)
                t[k] = static_cast<uint8_t>((top[k] + 32768) >> 16);
            continue;
        }
        const int32_t* bottom = top;
        if (row1 != row0) {
            across(row1, 1);
            bottom = work_[1].data();
        }
        for (size_t k = 0; k < n; ++k)
            t[k] = static_cast<uint8_t>(
                (top[k] + ((bottom[k] - top[k] + 32768) >> 16) * fy + 32768) >> 16);
    }
}

void DibScale::Interpolate(const int32_t* L, int n, int m, int32_t* out) const {
    const int32_t step = static_cast<int32_t>((static_cast<int64_t>(n) * 65536) / m);
    int32_t e = 0;
    auto at = [&](int i) { return L[std::clamp(i, 0, n - 1)]; };
    for (int i = 0; i < m; ++i, e += step) {
        int x = e >> 16;
        int32_t f = e & 65535;
        if (mode_ == 4 || mode_ == 3) {
            int p = (e >> 11) & 31;
            int32_t sum = 0;
            if (mode_ == 4) {
                for (int t = 0; t < 8; ++t)
                    sum += at(x - 3 + t) * table8[t][31 - p];
            } else {
                for (int t = 0; t < 4; ++t)
                    sum += at(x - 1 + t) * table4[t][31 - p];
            }
            out[i] = sum < 0 ? 0 : (sum + 32768) >> 16;
        } else {
            out[i] = (at(x) * (65536 - f) + at(x + 1) * f + 32768) >> 16;
        }
    }
}

void DibScale::Shrink(const int32_t* L, int n, int m, int32_t* out) {
    int32_t R = static_cast<int32_t>((static_cast<int64_t>(n) * 65536) / m);
    const int32_t* current = L;
    int count = n;
    const int32_t* P = L;
    int nP = n;
    int32_t* Q = nullptr;
    int nQ = 0;
    int which = 0;
    for (;;) {
        // Halve into the work line that is not being read.
        Q = work_[which].data();
        which ^= 1;
        HalveLine(current, count, Q);
        P = current;
        nP = count;
        nQ = (count + 1) >> 1;
        current = Q;
        count = nQ;
        if (R <= 131072)
            break;
        R /= 2;
    }
    if (R == 131072) {
        std::memcpy(out, Q, sizeof(int32_t) * std::min(m, nQ));
        for (int i = nQ; i < m; ++i)
            out[i] = Q[nQ - 1];
        return;
    }
    // Between two levels: blend the finer and the coarser line by the
    // ratio's fractional part.
    int32_t e = 0;
    const int32_t blend = R & 65535;
    for (int i = 0; i < m; ++i, e += R) {
        int32_t fine = Sample(P, nP, e);
        int32_t coarse = Sample(Q, nQ, e / 2);
        out[i] = (fine + blend * ((coarse - fine + 32768) >> 16) + 32768) >> 16;
    }
}

void DibScale::ResampleLine(const int32_t* line, int n, int m, int32_t* out) {
    if (n <= 0 || m <= 0)
        return;
    BuildTables();
    if (work_[0].size() < static_cast<size_t>(n)) {
        work_[0].resize(n);
        work_[1].resize(n);
    }
    if (std::all_of(line + 1, line + n, [&](int32_t v) { return v == line[0]; })) {
        std::fill(out, out + m, line[0]);
        return;
    }
    if (m >= n)
        Interpolate(line, n, m, out);
    else
        Shrink(line, n, m, out);
}

void DibScale::HorizontalPass(Dib& d, const Dib& s) {
    const int sw = s.Width(), dw = d.Width(), rows = s.AbsHeight();
    const int ch = d.PixelSize();
    DibRows sRows(s), dRows(d);
    line_.resize(sw);
    out_.resize(dw);
    for (int y = 0; y < rows; ++y) {
        if (!Step())
            return;
        const uint8_t* r = sRows.Row(y);
        uint8_t* t = dRows.Row(y);
        for (int c = 0; c < ch; ++c) {
            for (int x = 0; x < sw; ++x)
                line_[x] = r[x * ch + c];
            ResampleLine(line_.data(), sw, dw, out_.data());
            for (int x = 0; x < dw; ++x)
                t[x * ch + c] = Clamp255(out_[x]);
        }
    }
}

void DibScale::VerticalPass(Dib& d, const Dib& s) {
    const int sh = s.AbsHeight(), dh = d.AbsHeight(), columns = d.Width();
    const int ch = d.PixelSize();
    DibRows sRows(s), dRows(d);
    line_.resize(sh);
    out_.resize(dh);
    for (int x = 0; x < columns; ++x) {
        if (!Step())
            return;
        for (int c = 0; c < ch; ++c) {
            const uint8_t* p = sRows.Row(0) + x * ch + c;
            for (int y = 0; y < sh; ++y, p += sRows.stride)
                line_[y] = *p;
            ResampleLine(line_.data(), sh, dh, out_.data());
            uint8_t* t = dRows.Row(0) + x * ch + c;
            for (int y = 0; y < dh; ++y, t += dRows.stride)
                *t = Clamp255(out_[y]);
        }
    }
}

void DibScale::Filtered(Dib& d, const Dib& s) {
    BuildTables();
    const int sw = s.Width(), sh = s.AbsHeight(), dw = d.Width(), dh = d.AbsHeight();
    if (sh == dh) {
        progressTotal_ = dh;
        if (sw == dw)
            d.Copy(s);
        else
            HorizontalPass(d, s);
        return;
    }
    progressTotal_ = sh + dw;
    RefPtr<Dib> temp = new Dib;
    if (!temp->Create(dw, sh, d.BitCount(), false))
        return;
    if (d.BitCount() == 8)
        temp->SetColorRamp(256, kBlack, kWhite);
    HorizontalPass(*temp, s);
    if (cancelled_)
        return;
    VerticalPass(d, *temp);
}

} // namespace orvik
