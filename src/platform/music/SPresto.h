#pragma once

#include "platform/music/MusicLibraryFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

class MusicPreview;

// A request to the music library: the query mode, style, song and version,
// and the piece's length in samples at 44 100 samples per second.
struct SRequestStruct {
    std::string mode;
    std::string style;
    std::string song;
    std::string version;
    uint32_t length = 441000;
    uint32_t reserved = 0;

    void Clear() { *this = SRequestStruct(); }
};

// The library's answer to a query: a count and that many names.
class SReply {
public:
    uint16_t GetCount() const { return static_cast<uint16_t>(names_.size()); }
    const std::string& GetName(uint16_t index) const { return names_[index]; }

private:
    friend class SPresto;
    std::vector<std::string> names_;
};

// The music library: reads the library files (".sdi") of its folder and
// those added to it, answers queries for styles, songs and versions, plays
// previews on the sound device and composes sound files of an exact length.
//
// Used on one thread (the user-interface thread); a preview plays on the
// sound library's own thread.
class SPresto {
public:
    SPresto();
    ~SPresto();
    SPresto(const SPresto&) = delete;
    SPresto& operator=(const SPresto&) = delete;

    // Starts the library on the library folder `path` (the second path and
    // the text are not used): creates the folder when missing, puts the
    // library that comes with the program into it when it is not there, and
    // reads every library file in it. 0 = started; 1 = the folder can't be
    // made or written; 2 = no library could be read.
    int Initialize(void* window, const std::string& path, const std::string& path2,
                   const std::string& text);
    // Mode 1 (select by style): forgets the previous query.
    void SetLibraryMode(int mode);
    // Adds the library in file `path`; a library of the same title is
    // replaced. A copy naming its source is kept in the folder's "Library
    // Enablers" folder, so that the library is known at the next start even
    // when its volume is not in. False (and nothing added) when the file is
    // not a library.
    bool AddLibrary(const std::string& path);
    // Null when the request can be served; otherwise the name of the volume
    // holding the library whose file is no longer there.
    const char* VolumeNeeded(const SRequestStruct& request);
    // 0 on success, after which GetReply() holds the names: with an empty
    // style the styles, with a style its songs, with a song its versions.
    // Nonzero when the style or song is not in any library.
    int QueryLibrary(const SRequestStruct& request);
    const SReply& GetReply() const { return reply_; }

    // A preview request names a style in the song place and a version; a
    // request in the places of generation plays that song.
    int StartPreview(const SRequestStruct& request);
    void StopPreview();
    // Frames played plus one while a preview plays; 0 when nothing plays.
    uint32_t GetPreviewPosition() const;

    // Composes the piece of `request` into a WAV file at `path` (16-bit
    // stereo, 44 100 Hz, exactly request.length samples). 0 on success.
    int GenerateFile(const std::string& path, const SRequestStruct& request, const void* format);
    // Shows the library's about box.
    void DoAbout();

    const std::vector<MusicLibrary>& Libraries() const { return libraries_; }

private:
    struct Choice {
        const MusicLibrary* library = nullptr;
        const MusicSong* song = nullptr;
        const MusicVersion* version = nullptr;
        std::string style;
    };
    // The song and version a request plays: names that are empty, "All" or
    // not offered take the first one listed.
    bool Resolve(const SRequestStruct& request, bool preview, Choice& out) const;
    const MusicStyle* FindStyle(const std::string& name, const MusicLibrary** library) const;

    bool Take(MusicLibrary lib);

    std::string enablers_; // where copies of added libraries are kept
    std::vector<MusicLibrary> libraries_;
    SReply reply_;
    std::string volumeNeeded_;
    std::unique_ptr<MusicPreview> preview_;
};

} // namespace orvik
