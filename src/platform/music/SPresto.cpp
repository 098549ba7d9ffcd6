#include "platform/music/SPresto.h"

#include "platform/gui/UserInterface.h"
#include "platform/music/LibraryDrives.h"
#include "platform/music/MusicComposer.h"
#include "platform/music/MusicPreview.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace orvik {

namespace fs = std::filesystem;

namespace {

constexpr const char* kAll = "All";

bool IsAny(const std::string& name) {
    return name.empty() || name == kAll;
}

bool WriteText(const std::string& path, const std::string& text) {
    const std::string part = path + ".part";
    FILE* f = std::fopen(part.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    ok = std::fclose(f) == 0 && ok;
    if (ok && std::rename(part.c_str(), path.c_str()) != 0)
        ok = false;
    if (!ok)
        std::remove(part.c_str());
    return ok;
}

void AddUnique(std::vector<std::string>& names, const std::string& name) {
    for (const std::string& n : names)
        if (n == name)
            return;
    names.push_back(name);
}

} // namespace

SPresto::SPresto() = default;

SPresto::~SPresto() {
    StopPreview();
}

int SPresto::Initialize(void*, const std::string& path, const std::string&, const std::string&) {
    std::error_code ec;
    fs::create_directories(path, ec);
    if (!fs::is_directory(path, ec))
        return 1;
    std::string builtIn = (fs::path(path) / kBuiltInMusicLibraryFile).string();
    if (!fs::exists(builtIn, ec) && !WriteText(builtIn, BuiltInMusicLibraryText()))
        return 1;
    libraries_.clear();
    enablers_ = (fs::path(path) / "Library Enablers").string();
    for (const std::string& file : LibraryFilesIn(path)) {
        MusicLibrary lib;
        if (ReadMusicLibrary(file, lib, nullptr))
            Take(std::move(lib));
    }
    for (const std::string& file : LibraryFilesIn(enablers_)) {
        MusicLibrary lib;
        if (ReadMusicLibrary(file, lib, nullptr))
            Take(std::move(lib));
    }
    return libraries_.empty() ? 2 : 0;
}

void SPresto::SetLibraryMode(int) {
    reply_ = SReply();
}

bool SPresto::AddLibrary(const std::string& path) {
    MusicLibrary lib;
    if (!ReadMusicLibrary(path, lib, nullptr))
        return false;
    for (const MusicLibrary& existing : libraries_)
        if (existing.title == lib.title && existing.source.empty() && existing.path != path)
            // A library kept in the library folder itself stays: the copy on
            // a volume adds nothing but the need for that volume.
            return true;
    if (lib.source.empty() && !enablers_.empty()) {
        // The copy names where it came from: its volume is asked for when
        // that file is gone.
        std::error_code ec;
        std::string text;
        FILE* f = std::fopen(path.c_str(), "rb");
        char buf[4096];
        size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0 &&
               text.size() <= kMusicLibraryMaxBytes)
            text.append(buf, n);
        if (f)
            std::fclose(f);
        std::string absolute = fs::absolute(path, ec).string();
        fs::create_directories(enablers_, ec);
        std::string name;
        for (char c : lib.title)
            name += c == '/' ? '_' : c;
        std::string line = "source " + absolute + "\n";
        if (!ec && name != "." && name != ".." &&
            text.size() + line.size() <= kMusicLibraryMaxBytes)
            WriteText((fs::path(enablers_) / (name + ".sdi")).string(), line + text);
        lib.source = absolute;
    }
    return Take(std::move(lib));
}

bool SPresto::Take(MusicLibrary lib) {
    for (MusicLibrary& existing : libraries_) {
        if (existing.title == lib.title) {
            existing = std::move(lib);
            return true;
        }
    }
    libraries_.push_back(std::move(lib));
    return true;
}

const MusicStyle* SPresto::FindStyle(const std::string& name, const MusicLibrary** library) const {
    for (const MusicLibrary& lib : libraries_)
        for (const MusicStyle& style : lib.styles)
            if (style.name == name) {
                if (library)
                    *library = &lib;
                return &style;
            }
    return nullptr;
}

const char* SPresto::VolumeNeeded(const SRequestStruct& request) {
    if (IsAny(request.style))
        return nullptr;
    for (const MusicLibrary& lib : libraries_) {
        for (const MusicStyle& style : lib.styles) {
            if (style.name != request.style)
                continue;
            bool hasSong = IsAny(request.song);
            for (const MusicSong& song : style.songs)
                hasSong = hasSong || song.name == request.song;
            if (!hasSong)
                continue;
            std::error_code ec;
            if (fs::exists(lib.source.empty() ? lib.path : lib.source, ec))
                return nullptr;
            volumeNeeded_ = lib.volume;
            return volumeNeeded_.c_str();
        }
    }
    return nullptr;
}

int SPresto::QueryLibrary(const SRequestStruct& request) {
    reply_ = SReply();
    std::vector<std::string> names;
    if (request.style.empty()) {
        for (const MusicLibrary& lib : libraries_)
            for (const MusicStyle& style : lib.styles)
                AddUnique(names, style.name);
    } else {
        bool anyStyle = request.style == kAll;
        bool styleFound = false;
        bool songFound = false;
        for (const MusicLibrary& lib : libraries_) {
            for (const MusicStyle& style : lib.styles) {
                if (!anyStyle && style.name != request.style)
                    continue;
                styleFound = true;
                for (const MusicSong& song : style.songs) {
                    if (request.song.empty()) {
                        AddUnique(names, song.name);
                        continue;
                    }
                    // "All" stands for the first song listed.
                    if (request.song == kAll ? songFound : song.name != request.song)
                        continue;
                    songFound = true;
                    for (const MusicVersion& v : song.versions)
                        AddUnique(names, v.name);
                }
            }
        }
        if (!styleFound || (!request.song.empty() && !songFound))
            return 1;
    }
    if (names.size() > 0xFFFF)
        names.resize(0xFFFF);
    reply_.names_ = std::move(names);
    return 0;
}

bool SPresto::Resolve(const SRequestStruct& request, bool preview, Choice& out) const {
    out = Choice();
    std::string styleName = request.style;
    std::string songName = request.song;
    if (preview && request.style.empty()) {
        // A preview names a style in the song place: its first song that
        // offers the version plays.
        styleName = request.song;
        songName.clear();
    }
    for (const MusicLibrary& lib : libraries_) {
        for (const MusicStyle& style : lib.styles) {
            if (!IsAny(styleName) && style.name != styleName)
                continue;
            for (const MusicSong& song : style.songs) {
                if (!IsAny(songName) && song.name != songName)
                    continue;
                const MusicVersion* version = nullptr;
                for (const MusicVersion& v : song.versions)
                    if (v.name == request.version)
                        version = &v;
                if (!version && preview && songName.empty() && !IsAny(request.version))
                    continue; // another song of the style may offer it
                out.library = &lib;
                out.song = &song;
                out.version = version ? version : &song.versions.front();
                out.style = style.name;
                return true;
            }
        }
    }
    if (preview && !songName.empty())
        return false;
    if (preview && !IsAny(request.version)) {
        // No song of the style offers that version: its first version plays.
        SRequestStruct any = request;
        any.version.clear();
        return Resolve(any, true, out);
    }
    return false;
}

int SPresto::StartPreview(const SRequestStruct& request) {
    StopPreview();
    Choice choice;
    if (request.length == 0 || !Resolve(request, true, choice))
        return 1;
    uint32_t seed = MusicHash(choice.library->title + "/" + choice.style + "/" + choice.song->name +
                              "/" + choice.version->name);
    auto piece =
        std::make_unique<MusicComposer>(*choice.song, *choice.version, seed, request.length);
    preview_ = std::make_unique<MusicPreview>(std::move(piece));
    if (!preview_->Start(nullptr)) {
        preview_.reset();
        return 2;
    }
    return 0;
}

void SPresto::StopPreview() {
    if (preview_) {
        preview_->Stop();
        preview_.reset();
    }
}

uint32_t SPresto::GetPreviewPosition() const {
    return preview_ && preview_->Playing() ? preview_->Position() + 1 : 0;
}

int SPresto::GenerateFile(const std::string& path, const SRequestStruct& request, const void*) {
    Choice choice;
    if (request.length == 0 || request.length > MusicComposer::kMaxSamples)
        return 1;
    if (!Resolve(request, false, choice))
        return 2;
    uint32_t seed = MusicHash(choice.library->title + "/" + choice.style + "/" + choice.song->name +
                              "/" + choice.version->name);
    MusicComposer piece(*choice.song, *choice.version, seed, request.length);
    return WriteMusicWave(path, piece, nullptr) ? 0 : 3;
}

void SPresto::DoAbout() {
    std::string text = "Music library: background music composed to length.\n";
    for (const MusicLibrary& lib : libraries_)
        text += "\n" + lib.title + " (" + std::to_string(lib.styles.size()) + " styles)";
    UserInterface::Current().MessageBox(text, "About the music library", UserInterface::ok,
                                        UserInterface::information);
}

} // namespace orvik
