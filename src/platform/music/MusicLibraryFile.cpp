#include "platform/music/MusicLibraryFile.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace orvik {

namespace {

bool Fail(std::string* error, int line, const std::string& why) {
    if (error)
        *error = "line " + std::to_string(line) + ": " + why;
    return false;
}

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return std::string();
    size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

bool ValidName(const std::string& name) {
    if (name.empty() || name.size() > kMusicNameMaxLength)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}

// A whole decimal number in [lo, hi].
bool ParseNumber(const std::string& text, int lo, int hi, int& out) {
    if (text.empty() || text.size() > 4)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < lo || v > hi)
        return false;
    out = v;
    return true;
}

bool ParseParts(const std::string& text, uint32_t& out) {
    std::istringstream words(text);
    std::string w;
    uint32_t parts = 0;
    while (words >> w) {
        if (w == "bass")
            parts |= partBass;
        else if (w == "chords")
            parts |= partChords;
        else if (w == "melody")
            parts |= partMelody;
        else if (w == "drums")
            parts |= partDrums;
        else
            return false;
    }
    if (parts == 0)
        return false;
    out = parts;
    return true;
}

} // namespace

bool ParseMusicLibrary(const std::string& text, MusicLibrary& out, std::string* error) {
    out = MusicLibrary();
    MusicLibrary lib;
    if (text.size() > kMusicLibraryMaxBytes)
        return Fail(error, 0, "file too large");
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    size_t entries = 0;
    while (std::getline(in, raw)) {
        ++lineNo;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#')
            continue;
        size_t space = line.find_first_of(" \t");
        std::string word = line.substr(0, space);
        std::string value = space == std::string::npos ? std::string() : Trim(line.substr(space));
        MusicSong* song = lib.styles.empty() || lib.styles.back().songs.empty()
                              ? nullptr
                              : &lib.styles.back().songs.back();
        if (word == "source") {
            bool ok = !value.empty() && value.size() <= kMusicPathMaxLength && lib.source.empty();
            for (unsigned char c : value)
                ok = ok && c >= 0x20 && c != 0x7f;
            if (!ok)
                return Fail(error, lineNo, "bad source line");
            lib.source = value;
        } else if (word == "library" || word == "volume") {
            if (!ValidName(value))
                return Fail(error, lineNo, "bad " + word + " name");
            std::string& field = word == "library" ? lib.title : lib.volume;
            if (!field.empty())
                return Fail(error, lineNo, "second " + word + " line");
            field = value;
        } else if (word == "style") {
            if (lib.title.empty())
                return Fail(error, lineNo, "style before the library line");
            if (!ValidName(value))
                return Fail(error, lineNo, "bad style name");
            if (++entries > kMusicMaxEntries)
                return Fail(error, lineNo, "too many entries");
            lib.styles.push_back(MusicStyle{value, {}});
        } else if (word == "song") {
            if (lib.styles.empty())
                return Fail(error, lineNo, "song outside a style");
            if (!ValidName(value))
                return Fail(error, lineNo, "bad song name");
            if (++entries > kMusicMaxEntries)
                return Fail(error, lineNo, "too many entries");
            MusicSong s;
            s.name = value;
            lib.styles.back().songs.push_back(s);
        } else if (word == "tempo" || word == "key" || word == "scale") {
            if (!song)
                return Fail(error, lineNo, word + " outside a song");
            bool ok = word == "tempo" ? ParseNumber(value, 40, 240, song->tempo)
                      : word == "key" ? ParseNumber(value, 0, 11, song->key)
                                      : value == "major" || value == "minor";
            if (!ok)
                return Fail(error, lineNo, "bad " + word);
            if (word == "scale")
                song->minor = value == "minor";
        } else if (word == "version") {
            if (!song)
                return Fail(error, lineNo, "version outside a song");
            if (!ValidName(value))
                return Fail(error, lineNo, "bad version name");
            if (++entries > kMusicMaxEntries)
                return Fail(error, lineNo, "too many entries");
            song->versions.push_back(MusicVersion{value, partAll});
        } else if (word == "parts") {
            if (!song || song->versions.empty())
                return Fail(error, lineNo, "parts outside a version");
            if (!ParseParts(value, song->versions.back().parts))
                return Fail(error, lineNo, "bad parts");
        } else {
            return Fail(error, lineNo, "unknown line");
        }
    }
    if (lib.title.empty())
        return Fail(error, lineNo, "no library line");
    for (const MusicStyle& style : lib.styles) {
        if (style.songs.empty())
            return Fail(error, lineNo, "style '" + style.name + "' has no songs");
        for (const MusicSong& s : style.songs)
            if (s.versions.empty())
                return Fail(error, lineNo, "song '" + s.name + "' has no versions");
    }
    if (lib.styles.empty())
        return Fail(error, lineNo, "no styles");
    if (lib.volume.empty())
        lib.volume = lib.title;
    out = std::move(lib);
    return true;
}

bool ReadMusicLibrary(const std::string& path, MusicLibrary& out, std::string* error) {
    out = MusicLibrary();
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        if (error)
            *error = "can't open";
        return false;
    }
    std::string text;
    text.resize(kMusicLibraryMaxBytes + 1);
    f.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(f.gcount()));
    if (!ParseMusicLibrary(text, out, error))
        return false;
    out.path = path;
    return true;
}

const std::string& BuiltInMusicLibraryText() {
    static const std::string text = R"(# The music library that comes with the program.
library Caderna QX5
volume Caderna QX5
style Easy Rock
song Open Road
tempo 116
key 7
scale major
version Full
parts bass chords melody drums
version Unplugged
parts bass chords melody
version Rhythm
parts bass drums
song Night Drive
tempo 96
key 9
scale minor
version Full
parts bass chords melody drums
version Pads
parts chords
style Ambient
song Slow Tide
tempo 64
key 2
scale major
version Full
parts bass chords melody
version Pads
parts chords
song Glass Garden
tempo 72
key 4
scale minor
version Full
parts bass chords melody
version Melody
parts chords melody
style Upbeat
song Morning Run
tempo 132
key 0
scale major
version Full
parts bass chords melody drums
version Drums and Bass
parts bass drums
song Bright Lights
tempo 124
key 5
scale major
version Full
parts bass chords melody drums
version Light
parts chords melody drums
style Acoustic
song Summer Walk
tempo 104
key 2
scale major
version Full
parts bass chords melody drums
version Guitar
parts chords melody
)";
    return text;
}

} // namespace orvik
