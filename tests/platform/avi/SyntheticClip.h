#pragma once

// A synthetic clip for the writer and compressor tests: 320 x 240 pictures
// at 25 frames per second in scenes of ten frames each (solid colours and
// gradients, with a small square that moves so that no two frames are the
// same), and a 440 Hz tone, left and right channels of opposite sign. The
// pictures are made in memory as the compressors take them: rows bottom-up,
// blue-green-red. Header-only so that the codec test program uses it too.

#include "support/TestHome.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace orvik::test {

struct SyntheticClip {
    static constexpr int kWidth = 320;
    static constexpr int kHeight = 240;
    static constexpr int kRate = 25;
    static constexpr int kFramesPerScene = 10;
    static constexpr int kScenes = 6;
    static constexpr int kSoundRate = 44100;
    static constexpr int kSoundChannels = 2;
    static constexpr int kToneHz = 440;
    static constexpr int kAmplitude = 12000;

    static size_t Stride(int width = kWidth, int bytesPerPixel = 3) {
        return (size_t(width) * bytesPerPixel + 3) & ~size_t(3);
    }

    // Colour (b, g, r) of picture row `y` (from the top), column `x`.
    static std::array<uint8_t, 3> Pixel(int frame, int x, int y, int width = kWidth,
                                        int height = kHeight) {
        int scene = (frame / kFramesPerScene) % kScenes;
        std::array<uint8_t, 3> c{};
        switch (scene) {
        case 0:
            c = {30, 40, 220};
            break; // red
        case 1:
            c = {40, 200, 50};
            break; // green
        case 2: {  // grey ramp from left to right
            uint8_t v = uint8_t(16 + x * 223 / (width - 1));
            c = {v, v, v};
            break;
        }
        case 3:
            c = {210, 60, 20};
            break; // blue
        case 4: {  // red growing from top to bottom, blue the other way
            uint8_t v = uint8_t(20 + y * 215 / (height - 1));
            c = {uint8_t(255 - v), 90, v};
            break;
        }
        default:
            c = {128, 128, 128};
            break; // grey
        }
        // A 16 x 16 square moving right by 8 pixels a frame.
        int sx = (frame * 8) % (width - 16), sy = height / 3;
        if (x >= sx && x < sx + 16 && y >= sy && y < sy + 16)
            c = {uint8_t(255 - c[0]), uint8_t(255 - c[1]), uint8_t(255 - c[2])};
        return c;
    }

    // Frame `frame` as bottom-up rows of `bytesPerPixel` (3, or 4 with a
    // fourth byte of 0x5A that must be ignored).
    static std::vector<uint8_t> Picture(int frame, int bytesPerPixel = 3, int width = kWidth,
                                        int height = kHeight) {
        size_t stride = Stride(width, bytesPerPixel);
        std::vector<uint8_t> bits(stride * height, 0);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = bits.data() + size_t(height - 1 - y) * stride;
            for (int x = 0; x < width; ++x) {
                auto c = Pixel(frame, x, y, width, height);
                uint8_t* p = row + size_t(x) * bytesPerPixel;
                p[0] = c[0], p[1] = c[1], p[2] = c[2];
                if (bytesPerPixel == 4)
                    p[3] = 0x5A;
            }
        }
        return bits;
    }

    // Sound sample frames [first, first + count) as 16-bit interleaved bytes.
    static std::vector<uint8_t> Tone(int64_t first, int64_t count) {
        std::vector<uint8_t> bytes(size_t(count) * kSoundChannels * 2);
        for (int64_t i = 0; i < count; ++i) {
            double t = double(first + i) / kSoundRate;
            int v = int(std::lround(kAmplitude * std::sin(2 * M_PI * kToneHz * t)));
            int16_t l = int16_t(v), r = int16_t(-v);
            uint8_t* p = &bytes[size_t(i) * 4];
            p[0] = uint8_t(l & 0xFF), p[1] = uint8_t((l >> 8) & 0xFF);
            p[2] = uint8_t(r & 0xFF), p[3] = uint8_t((r >> 8) & 0xFF);
        }
        return bytes;
    }

    static int64_t SoundFramesFor(int frames) { return int64_t(frames) * kSoundRate / kRate; }
};

// Mean blue, green and red of the rows [top, bottom) (counted from the top)
// of a picture whose rows lie in memory from `firstRowIsTop` on.
struct MeanColour {
    double b = 0, g = 0, r = 0;
};

inline MeanColour Mean(const uint8_t* bits, int width, int height, size_t stride, int bytesPerPixel,
                       bool bottomUp, int top, int bottom) {
    double sum[3] = {0, 0, 0};
    for (int y = top; y < bottom; ++y) {
        const uint8_t* row = bits + size_t(bottomUp ? height - 1 - y : y) * stride;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                sum[c] += row[size_t(x) * bytesPerPixel + c];
    }
    double n = double(width) * (bottom - top);
    return {sum[0] / n, sum[1] / n, sum[2] / n};
}

inline double MaxDifference(const MeanColour& a, const MeanColour& b) {
    return std::max({std::fabs(a.b - b.b), std::fabs(a.g - b.g), std::fabs(a.r - b.r)});
}

// The fields ffprobe reports for the stream `select` ("v:0", "a:0") as
// key=value pairs (`entries` like "stream=codec_name,width"); empty when
// ffprobe failed. `extra` goes before the input ("-count_frames").
inline std::map<std::string, std::string> ProbeStream(const std::string& input,
                                                      const std::string& select,
                                                      const std::string& entries,
                                                      const std::string& extra = "") {
    std::map<std::string, std::string> fields;
    std::string out = InHome("ffprobe-stream.txt");
    std::string command = "ffprobe -v error " + extra + " -select_streams " + select +
                          " -show_entries " + entries + " -of default=nw=1 " + input + " >" + out +
                          " 2>>" + InHome("tools.log");
    if (std::system(command.c_str()) != 0)
        return fields;
    std::istringstream lines(ReadFile(out));
    std::string line;
    while (std::getline(lines, line)) {
        auto eq = line.find('=');
        if (eq != std::string::npos)
            fields[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return fields;
}

} // namespace orvik::test
