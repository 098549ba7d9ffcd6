#include "platform/music/MusicComposer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace orvik {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMajor[7] = {0, 2, 4, 5, 7, 9, 11};
constexpr int kMinor[7] = {0, 2, 3, 5, 7, 8, 10};

// Chord progressions as scale degrees (0 = tonic), four bars each.
constexpr int kMajorProgressions[4][4] = {{0, 4, 5, 3}, {0, 5, 3, 4}, {0, 3, 4, 3}, {0, 3, 5, 4}};
constexpr int kMinorProgressions[4][4] = {{0, 5, 2, 6}, {0, 3, 6, 2}, {0, 5, 3, 4}, {0, 6, 5, 6}};

// A small deterministic generator (xorshift32).
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed ? seed : 0x9E3779B9u) {}
    uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }
};

float Noise(uint32_t id, uint32_t t) {
    uint32_t h = id * 0x9E3779B1u ^ t * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return static_cast<float>(h & 0xFFFF) / 32768.0f - 1.0f;
}

double MidiToFreq(int midi) {
    return 440.0 * std::pow(2.0, (midi - 69) / 12.0);
}

} // namespace

uint32_t MusicHash(const std::string& text, uint32_t seed) {
    uint32_t h = seed;
    for (unsigned char c : text) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

MusicComposer::MusicComposer(const MusicSong& song, const MusicVersion& version, uint32_t seed,
                             uint32_t samples)
    : samples_(std::min(samples, kMaxSamples)) {
    Compose(song, version, seed);
}

void MusicComposer::Add(double start, double length, int midi, float level, float pan,
                        Instrument i) {
    if (start < 0 || start >= samples_ || length <= 0)
        return;
    Note n;
    n.start = static_cast<uint32_t>(start);
    n.length = static_cast<uint32_t>(std::min<double>(length, samples_ - n.start));
    if (n.length == 0)
        return;
    n.freq = static_cast<float>(MidiToFreq(midi));
    n.level = level;
    n.pan = pan;
    n.instrument = i;
    n.id = static_cast<uint32_t>(notes_.size()) + 1;
    notes_.push_back(n);
}

void MusicComposer::Compose(const MusicSong& song, const MusicVersion& version, uint32_t seed) {
    Random rnd(seed);
    const int* scale = song.minor ? kMinor : kMajor;
    auto degree = [&](int d) {
        int octave = d >= 0 ? d / 7 : -((-d + 6) / 7);
        int step = d - octave * 7;
        return scale[step] + 12 * octave;
    };
    const int tonic = 48 + song.key; // the tonic below middle C

    // Whole bars fill the piece before its final chord, which rings for a
    // quarter of the piece, at most three seconds.
    const double beat = 60.0 * kRate / song.tempo;
    uint32_t tail = std::min<uint32_t>(samples_ / 4, 3 * kRate);
    double body = static_cast<double>(samples_ - tail);
    int bars = static_cast<int>(std::lround(body / (4 * beat)));
    if (bars < 1 || samples_ < kRate) {
        bars = 0;
        tail = samples_;
        body = 0;
    }
    const double barLen = bars ? body / bars : 0;
    const double beatLen = barLen / 4;
    bodyEnd_ = samples_ - tail;

    const int(&progression)[4] =
        song.minor ? kMinorProgressions[rnd.Below(4)] : kMajorProgressions[rnd.Below(4)];
    const int bassPattern = rnd.Below(3);
    // A motif of eight eighth notes (scale steps above the chord root; −1 a
    // rest) that the melody repeats and varies.
    int motif[8];
    for (int& m : motif)
        m = rnd.Below(5) == 0 ? -1 : rnd.Below(6);
    motif[0] = rnd.Below(2) * 2;

    for (int bar = 0; bar < bars; ++bar) {
        const double at = bar * barLen;
        // The last bar rests on the dominant, which the final tonic resolves.
        const int root = bar == bars - 1 && bars > 1 ? 4 : progression[bar % 4];
        if (version.parts & partChords) {
            for (int k = 0; k < 3; ++k)
                Add(at, barLen, tonic + 12 + degree(root + 2 * k), 0.07f,
                    k == 1 ? 0.0f : (k ? 0.5f : -0.5f), chord);
        }
        if (version.parts & partBass) {
            for (int b = 0; b < 4; ++b) {
                int d = root;
                if (bassPattern == 1 && b % 2 == 1)
                    d = root + 4;
                if (bassPattern == 2 && b == 3)
                    d = root + 7;
                Add(at + b * beatLen, beatLen * 0.9, tonic - 12 + degree(d), 0.28f, 0.0f, bass);
            }
        }
        if (version.parts & partMelody) {
            const bool vary = bar % 4 >= 2;
            for (int e = 0; e < 8; ++e) {
                int step = motif[e];
                if (vary && rnd.Below(3) == 0)
                    step = rnd.Below(5) == 0 ? -1 : rnd.Below(6);
                if (step < 0)
                    continue;
                int hold = e < 7 && motif[e + 1] < 0 ? 2 : 1;
                Add(at + e * beatLen / 2, hold * beatLen / 2 * 0.95,
                    tonic + 24 + degree(root + step), 0.16f, 0.3f, lead);
            }
        }
        if (version.parts & partDrums) {
            const bool fill = bar % 4 == 3;
            for (int e = 0; e < 8; ++e) {
                double t = at + e * beatLen / 2;
                if (e == 0 || e == 4 || (e == 5 && rnd.Below(2)))
                    Add(t, beatLen, 36, 0.45f, 0.0f, kick);
                if (e == 2 || e == 6 || (fill && e == 7))
                    Add(t, beatLen, 38, 0.22f, 0.1f, snare);
                Add(t, beatLen / 2, 42, e % 2 ? 0.04f : 0.06f, -0.4f, hat);
            }
            if (bar == 0)
                Add(at, 2 * beatLen, 49, 0.10f, 0.2f, crash);
        }
    }

    // The ending: the tonic chord with its bass note and a last melody note,
    // on a cymbal, fading out to the last sample.
    const double end = bodyEnd_;
    const double ring = tail;
    for (int k = 0; k < 3; ++k)
        Add(end, ring, tonic + 12 + degree(2 * k), 0.08f, k == 1 ? 0.0f : (k ? 0.5f : -0.5f),
            chord);
    Add(end, ring, tonic - 12, 0.30f, 0.0f, bass);
    if (version.parts & partMelody)
        Add(end, ring, tonic + 24, 0.14f, 0.3f, lead);
    if (version.parts & partDrums) {
        Add(end, ring, 36, 0.45f, 0.0f, kick);
        Add(end, ring, 49, 0.12f, 0.2f, crash);
    }

    std::stable_sort(notes_.begin(), notes_.end(),
                     [](const Note& a, const Note& b) { return a.start < b.start; });
    for (const Note& n : notes_)
        longest_ = std::max(longest_, n.length);
}

// One sample of a note, `t` frames after its start.
float MusicComposer::Voice(const Note& n, uint32_t t) {
    const double secs = static_cast<double>(t) / kRate;
    const double phase = 2 * kPi * n.freq * secs;
    // Every note ends with a short release so that nothing clicks.
    const double release = std::min(1.0, (n.length - t) / (0.008 * kRate));
    double v = 0;
    switch (n.instrument) {
    case bass: {
        double env = std::min(1.0, secs / 0.005) * std::exp(-secs * 3.0);
        v = (std::sin(phase) + 0.35 * std::sin(2 * phase)) * env;
        break;
    }
    case chord: {
        double env = std::min(1.0, secs / 0.06) * (0.6 + 0.4 * std::exp(-secs * 1.5));
        double detune = 2 * kPi * n.freq * 1.003 * secs;
        v = (std::sin(phase) + 0.3 * std::sin(3 * phase) + 0.8 * std::sin(detune)) * 0.6 * env;
        break;
    }
    case lead: {
        double vib = 1 + 0.004 * std::sin(2 * kPi * 5.5 * secs);
        double env = std::min(1.0, secs / 0.01) * std::exp(-secs * 2.0);
        v = (std::sin(phase * vib) + 0.25 * std::sin(3 * phase * vib) + 0.1 * std::sin(5 * phase)) *
            env;
        break;
    }
    case kick: {
        double p = 2 * kPi * (45 * secs + 90 * (1 - std::exp(-secs * 25)) / 25);
        v = std::sin(p) * std::exp(-secs * 9);
        break;
    }
    case snare:
        v = (0.7 * Noise(n.id, t) + 0.4 * std::sin(2 * kPi * 185 * secs)) * std::exp(-secs * 18);
        break;
    case hat:
        v = (Noise(n.id, t) - Noise(n.id, t + 1)) * 0.5 * std::exp(-secs * 45);
        break;
    case crash:
        v = (Noise(n.id, t) - 0.6 * Noise(n.id, t + 1)) * std::exp(-secs * 1.8);
        break;
    }
    return static_cast<float>(v * n.level * release);
}

void MusicComposer::Render(uint32_t first, uint32_t count, int16_t* out) const {
    std::vector<float> mix(static_cast<size_t>(count) * 2, 0.0f);
    const uint64_t last = static_cast<uint64_t>(first) + count;
    const uint32_t from = first > longest_ ? first - longest_ : 0;
    auto it = std::lower_bound(notes_.begin(), notes_.end(), from,
                               [](const Note& n, uint32_t s) { return n.start < s; });
    for (; it != notes_.end() && it->start < last; ++it) {
        const Note& n = *it;
        uint64_t noteEnd = static_cast<uint64_t>(n.start) + n.length;
        uint64_t a = std::max<uint64_t>(first, n.start);
        uint64_t b = std::min<uint64_t>(last, noteEnd);
        const float left = n.pan > 0 ? 1 - n.pan : 1.0f;
        const float right = n.pan < 0 ? 1 + n.pan : 1.0f;
        for (uint64_t s = a; s < b; ++s) {
            float v = Voice(n, static_cast<uint32_t>(s - n.start));
            size_t i = static_cast<size_t>(s - first) * 2;
            mix[i] += v * left;
            mix[i + 1] += v * right;
        }
    }
    const double tail = static_cast<double>(samples_ - bodyEnd_);
    for (uint32_t k = 0; k < count; ++k) {
        uint64_t s = static_cast<uint64_t>(first) + k;
        double gain = 1.0;
        if (s >= samples_)
            gain = 0.0;
        else if (s >= bodyEnd_ && tail > 0) {
            double x = (static_cast<double>(s - bodyEnd_) + 1) / tail;
            gain = (1 - x) * (1 - x);
        }
        for (int c = 0; c < 2; ++c) {
            double v = mix[k * 2 + c] * gain;
            v = v / (1 + std::fabs(v) * 0.3); // gentle limiting
            long q = std::lround(std::clamp(v, -1.0, 1.0) * 30000.0);
            out[k * 2 + c] = static_cast<int16_t>(q);
        }
    }
}

namespace {

void PutLE(uint8_t* p, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

} // namespace

bool WriteMusicWave(const std::string& path, const MusicComposer& piece, std::string* error) {
    const std::string part = path + ".part";
    FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) {
        if (error)
            *error = "can't create '" + part + "'";
        return false;
    }
    const uint32_t frames = piece.Samples();
    const uint32_t dataBytes = frames * 4;
    uint8_t h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '};
    PutLE(h + 4, 36 + dataBytes, 4);
    PutLE(h + 16, 16, 4);
    PutLE(h + 20, 1, 2); // PCM
    PutLE(h + 22, 2, 2);
    PutLE(h + 24, MusicComposer::kRate, 4);
    PutLE(h + 28, MusicComposer::kRate * 4, 4);
    PutLE(h + 32, 4, 2);
    PutLE(h + 34, 16, 2);
    std::memcpy(h + 36, "data", 4);
    PutLE(h + 40, dataBytes, 4);
    bool ok = std::fwrite(h, 1, sizeof h, f) == sizeof h;
    std::vector<int16_t> block(8192 * 2);
    std::vector<uint8_t> bytes(block.size() * 2);
    for (uint32_t at = 0; ok && at < frames; at += 8192) {
        uint32_t n = std::min<uint32_t>(8192, frames - at);
        piece.Render(at, n, block.data());
        for (size_t i = 0; i < static_cast<size_t>(n) * 2; ++i)
            PutLE(&bytes[i * 2], static_cast<uint16_t>(block[i]), 2);
        ok = std::fwrite(bytes.data(), 1, static_cast<size_t>(n) * 4, f) ==
             static_cast<size_t>(n) * 4;
    }
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(part.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok) {
        std::remove(part.c_str());
        if (error)
            *error = "can't write '" + path + "'";
    }
    return ok;
}

} // namespace orvik
