#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// A music library file (".sdi"): a small line-based text that names the
// library and lists its styles, each style's songs and each song's versions.
//
//   # comment
//   library Caderna QX5
//   volume Caderna QX5          (optional: the volume the library ships on)
//   source /media/me/CD/x.sdi   (optional: where a library added from a
//                                volume was read; its copy names it)
//   style Easy Rock
//   song Open Road
//   tempo 112                   (beats per minute, 40 … 240)
//   key 7                       (tonic as semitones above C, 0 … 11)
//   scale major                 (major or minor)
//   version Full
//   parts bass chords melody drums
//
// A song takes the lines after it until the next song or style; a version's
// "parts" line chooses the instruments that play in it.
struct MusicVersion {
    std::string name;
    uint32_t parts = 0; // MusicPart bits
};

enum MusicPart : uint32_t {
    partBass = 0x1,
    partChords = 0x2,
    partMelody = 0x4,
    partDrums = 0x8,
    partAll = 0xF,
};

struct MusicSong {
    std::string name;
    int tempo = 100;
    int key = 0;
    bool minor = false;
    std::vector<MusicVersion> versions;
};

struct MusicStyle {
    std::string name;
    std::vector<MusicSong> songs;
};

struct MusicLibrary {
    std::string title;
    std::string volume;
    std::string source; // where it was added from (empty: read in place)
    std::string path;   // the file it was read from
    std::vector<MusicStyle> styles;
};

// Limits of what a library file may hold; larger files are refused.
constexpr size_t kMusicLibraryMaxBytes = 1 << 20;
constexpr size_t kMusicNameMaxLength = 63;
constexpr size_t kMusicMaxEntries = 4096; // styles, songs or versions in all
constexpr size_t kMusicPathMaxLength = 4096;

// Reads a library from the text of a file. False, with a one-line reason in
// `error` (naming the line), for anything that is not a whole valid library;
// `out` is then left empty.
bool ParseMusicLibrary(const std::string& text, MusicLibrary& out, std::string* error);
// Reads the file at `path` (at most kMusicLibraryMaxBytes).
bool ReadMusicLibrary(const std::string& path, MusicLibrary& out, std::string* error);

// The text of the library that ships with the program.
const std::string& BuiltInMusicLibraryText();
// Its title, and the name of its file in a library folder.
constexpr const char* kBuiltInMusicLibrary = "Caderna QX5";
constexpr const char* kBuiltInMusicLibraryFile = "Caderna QX5.sdi";

} // namespace orvik
