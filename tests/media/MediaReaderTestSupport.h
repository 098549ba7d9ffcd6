#pragma once

// Helpers of the media reader tests: files made with ffmpeg and sox in the
// test's home (platform/avi/MediaTestTools.h), what those tools decode them
// to, the diagnostics log, and comparisons of pictures and sound.

#include "app/DiagnosticsLog.h"
#include "platform/avi/MediaTestTools.h"
#include "support/TestHome.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace orvik::test {

// Opens the diagnostics log in the test's home; Log() reads it back.
inline void OpenTestLog() { OpenLog(Home(), 0); }
inline std::string Log() { return ReadFile(LogPath()); }

// Runs a command and returns what it writes to stdout.
inline std::string Capture(const std::string& command) {
    std::string out = InHome("capture.txt");
    Run(command + " >" + out);
    return ReadFile(out);
}

// Sound frames `soxi` counts in a file.
inline int64_t SoxFrames(const std::string& path) {
    return std::stoll("0" + Capture("soxi -s " + path));
}

// Little-endian 16-bit samples.
inline std::vector<int16_t> AsInt16(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> v(bytes.size() / 2);
    std::memcpy(v.data(), bytes.data(), v.size() * 2);
    return v;
}

// Largest absolute difference of two equally long byte sequences of samples
// of `bytesPerSample` (1: unsigned 8-bit, 2: signed 16, 3: signed 24, 4:
// signed 32).
inline int64_t MaxSampleDifference(const uint8_t* a, const uint8_t* b, size_t bytes,
                                   int bytesPerSample) {
    auto value = [&](const uint8_t* p) -> int64_t {
        if (bytesPerSample == 1)
            return int64_t(p[0]) - 128;
        int64_t v = 0;
        for (int i = 0; i < bytesPerSample; ++i)
            v |= int64_t(p[i]) << (8 * i);
        int shift = 64 - 8 * bytesPerSample;
        return (v << shift) >> shift;
    };
    int64_t worst = 0;
    for (size_t i = 0; i + bytesPerSample <= bytes; i += bytesPerSample)
        worst = std::max<int64_t>(worst, std::llabs(value(a + i) - value(b + i)));
    return worst;
}

// Signal-to-noise ratio of `got` against `ref` (16-bit samples), in dB,
// over the samples both have.
inline double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& got) {
    size_t n = std::min(ref.size(), got.size());
    double signal = 0, noise = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = double(ref[i]) - double(got[i]);
        signal += double(ref[i]) * ref[i];
        noise += d * d;
    }
    if (noise == 0)
        return 200.0;
    return 10.0 * std::log10(signal / noise);
}

// Peak signal-to-noise ratio of two equally long byte pictures, in dB.
inline double Psnr(const uint8_t* a, const uint8_t* b, size_t n) {
    double sum = 0;
    for (size_t i = 0; i < n; ++i) {
        double d = double(a[i]) - double(b[i]);
        sum += d * d;
    }
    if (sum == 0)
        return 99.0;
    return 10.0 * std::log10(255.0 * 255.0 * double(n) / sum);
}

// Bottom-up rows at 4-byte strides turned top-down and packed, as ffmpeg
// writes raw pictures.
inline std::vector<uint8_t> TopDown(const uint8_t* bits, int width, int height,
                                    int bytesPerPixel) {
    size_t row = size_t(width) * bytesPerPixel;
    size_t stride = (row + 3) & ~size_t(3);
    std::vector<uint8_t> out(row * height);
    for (int y = 0; y < height; ++y)
        std::copy_n(bits + size_t(height - 1 - y) * stride, row, out.begin() + y * row);
    return out;
}

// TurboJPEG interpolates chroma when it makes RGB; so does libswscale with
// full chroma interpolation.
inline const char* JpegLikeScaling() { return "-sws_flags bicubic+accurate_rnd+full_chroma_int "; }

} // namespace orvik::test
