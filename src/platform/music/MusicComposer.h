#pragma once

#include "platform/music/MusicLibraryFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// Composes one piece of a song in one of its versions at an exact length and
// renders it as 16-bit stereo at 44 100 samples per second. The piece is
// fixed by the song, the version, the seed and the length: the same request
// always gives the same samples.
//
// The piece is bars of a chord progression in the song's key and tempo
// (stretched slightly so that whole bars fill the piece), played by the
// version's parts: a bass line, held chords, a melody built from a motif,
// and drums with a fill every fourth bar. It closes on a cadence: the last
// bar rests on the dominant, and the tonic chord then rings out, fading so
// that the sound reaches silence at the last sample.
class MusicComposer {
public:
    static constexpr uint32_t kRate = 44100;
    // The longest piece: its sound data (4 bytes a sample) must fit a WAV
    // file's 32-bit sizes.
    static constexpr uint32_t kMaxSamples = (0xFFFFFFFFu - 44u) / 4u;

    MusicComposer(const MusicSong& song, const MusicVersion& version, uint32_t seed,
                  uint32_t samples);

    uint32_t Samples() const { return samples_; }
    // Writes `count` stereo frames (left, right) starting at frame `first`;
    // frames past the end are silence. Called on one thread at a time.
    void Render(uint32_t first, uint32_t count, int16_t* out) const;

private:
    enum Instrument : uint8_t { bass, chord, lead, kick, snare, hat, crash };
    struct Note {
        uint32_t start;
        uint32_t length;
        float freq;
        float level;
        float pan; // −1 left … 1 right
        Instrument instrument;
        uint32_t id; // seeds the noise of drums
    };

    void Compose(const MusicSong& song, const MusicVersion& version, uint32_t seed);
    void Add(double start, double length, int midi, float level, float pan, Instrument i);
    static float Voice(const Note& n, uint32_t t);

    uint32_t samples_;
    uint32_t bodyEnd_ = 0; // where the final chord starts and the fade begins
    uint32_t longest_ = 0;
    std::vector<Note> notes_; // by start
};

// A text's stable 32-bit hash (FNV-1a), for seeding pieces.
uint32_t MusicHash(const std::string& text, uint32_t seed = 2166136261u);

// Writes the piece as a WAV file at `path` (written beside and renamed);
// false with a reason in `error` when it cannot be written.
bool WriteMusicWave(const std::string& path, const MusicComposer& piece, std::string* error);

} // namespace orvik
