// Reads arbitrary bytes as a music library file (".sdi"), and composes a
// short piece from what it accepts.
#include "platform/music/MusicComposer.h"
#include "platform/music/MusicLibraryFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    orvik::MusicLibrary lib;
    std::string error;
    if (!orvik::ParseMusicLibrary(text, lib, &error))
        return 0;
    const orvik::MusicSong& song = lib.styles.front().songs.front();
    orvik::MusicComposer piece(song, song.versions.front(), orvik::MusicHash(text), 64);
    int16_t out[128];
    piece.Render(0, 64, out);
    return 0;
}
