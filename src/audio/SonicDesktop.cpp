#include "audio/SonicDesktop.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "model/Asset.h"
#include "model/AssetManager.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/Movie.h"
#include "model/SonicAsset.h"
#include "model/Timecode.h"
#include "platform/gui/UserInterface.h"
#include "platform/music/LibraryDrives.h"
#include "platform/music/MusicComposer.h"
#include "platform/music/SPresto.h"

#include <filesystem>
#include <new>
#include <system_error>

namespace orvik {

namespace fs = std::filesystem;

SonicDesktop::SonicDesktop(SettingsBase* settings)
    : settings_(settings), request_(std::make_unique<SRequestStruct>()) {
    ReadLibraryFolder();
    SonicAsset::SetGenerator([this](const std::string& style, const std::string& song,
                                    const std::string& version, Time duration,
                                    const std::string& volume, const std::string& library) {
        return Generate(style, song, version, duration, volume, library);
    });
}

SonicDesktop::~SonicDesktop() {
    SonicAsset::SetGenerator(nullptr);
    StopPreview();
}

void SonicDesktop::ReadLibraryFolder() {
    libraryFolder = settings_ ? settings_->GetSmartSoundFolder() : std::string();
}

SPresto* SonicDesktop::GetLibrary() {
    if (modePending && library_) {
        library_->SetLibraryMode(1);
        modePending = false;
    }
    if (library_ || startFailed)
        return library_.get();
    library_.reset(new (std::nothrow) SPresto);
    if (!library_) {
        LogMessage("SonicDesktop: could not create WSmartSound!\n");
        return nullptr;
    }
    ReadLibraryFolder();
    if (library_->Initialize(nullptr, libraryFolder, libraryFolder, std::string()) == 0) {
        library_->SetLibraryMode(1);
        modePending = false;
        return library_.get();
    }
    LogMessage("SonicDesktop: could not Initialize SPresto\n");
    library_.reset();
    startFailed = true;
    return nullptr;
}

int64_t SonicDesktop::SamplesFor(Time duration) {
    if (duration < 0)
        return -1;
    // In 64 bits: 32-bit arithmetic wraps for pieces of about 13 hours.
    int64_t perFrame = 44100 / Timecode::GetFramesPerSecond();
    int64_t samples = static_cast<int64_t>(duration) * perFrame;
    return samples > MusicComposer::kMaxSamples ? -1 : samples;
}

bool SonicDesktop::MakeRequest(const std::string& style, const std::string& song,
                               const std::string& version, Time duration) {
    request_->Clear();
    request_->mode = mode;
    request_->style = style;
    request_->song = song;
    request_->version = version;
    int64_t samples = SamplesFor(duration);
    if (samples < 0) {
        LogMessage("SonicDesktop: no piece can last %d frames\n", duration);
        return false;
    }
    request_->length = static_cast<uint32_t>(samples);
    return true;
}

void SonicDesktop::QueryList(std::vector<std::string>& list, Time duration,
                             const std::string& style, const std::string& song) {
    list.clear();
    SPresto* library = GetLibrary();
    if (!library)
        return;
    // The names do not depend on the length: an impossible one still lists.
    if (!MakeRequest(style, song, std::string(), duration))
        request_->length = 441000;
    if (library->VolumeNeeded(*request_))
        library->SetLibraryMode(1);
    if (library->QueryLibrary(*request_) != 0)
        return;
    const SReply& reply = library->GetReply();
    for (uint16_t i = 0; i < reply.GetCount(); ++i)
        list.push_back(reply.GetName(i));
}

std::string SonicDesktop::Generate(const std::string& style, const std::string& song,
                                   const std::string& version, Time duration,
                                   const std::string& volume, const std::string& library) {
    SPresto* lib = GetLibrary();
    if (!lib)
        return std::string();
    if (!MakeRequest(style, song, std::string(), duration))
        return std::string();
    if (volume != kHardDisk && !VolumePresent(volume, library)) {
        UserInterface& ui = UserInterface::Current();
        for (;;) {
            // When the library can serve the request from what it has, no
            // volume is missing: asking for one could never be satisfied.
            const char* needed = lib->VolumeNeeded(*request_);
            if (!needed)
                break;
            std::string text = ResourceText(kTextInsertVolume) + " '" + needed + "'";
            if (ui.MessageBox(text, ResourceText(kTextInsertVolumeCaption), UserInterface::okCancel,
                              UserInterface::warning) != UserInterface::answerOk)
                return std::string();
            if (VolumePresent(volume, library)) {
                modePending = true;
                lib = GetLibrary();
                if (!lib)
                    return std::string();
                break;
            }
        }
    }
    if (lib->QueryLibrary(*request_) != 0 || lib->GetReply().GetCount() == 0)
        return std::string();
    const SReply& reply = lib->GetReply();
    std::string chosen = reply.GetName(0);
    for (uint16_t i = 0; i < reply.GetCount(); ++i)
        if (reply.GetName(i) == version)
            chosen = version;
    // The piece is made in the version chosen, not in whatever the library
    // would take for an empty one.
    request_->version = chosen;

    UserInterface& ui = UserInterface::Current();
    ui.SetStatusText(ResourceText(kTextGenerating));
    ui.SetWaitCursor(true);
    std::string path = MakeOutputName();
    int result = path.empty() ? -1 : lib->GenerateFile(path, *request_, nullptr);
    ui.SetStatusText(std::string());
    ui.SetWaitCursor(false);
    std::error_code ec;
    if (result != 0 || !fs::is_regular_file(path, ec)) {
        // A piece that was not written is no piece: nothing names the path.
        LogMessage("SonicDesktop::Generate: no file made for '%s' [%s]\n", song.c_str(),
                   chosen.c_str());
        if (!path.empty())
            fs::remove(path, ec);
        return std::string();
    }
    return path;
}

int SonicDesktop::StartPreview(const std::string& first, const std::string& second, Time duration) {
    SPresto* library = GetLibrary();
    if (!library)
        return 0;
    if (!MakeRequest(previewStyle, first, second, duration))
        return 0;
    if (library->QueryLibrary(*request_) != 0)
        return 0;
    return library->StartPreview(*request_) == 0 ? 1 : 0;
}

void SonicDesktop::StopPreview() {
    if (library_ && IsPreviewing())
        library_->StopPreview();
}

bool SonicDesktop::IsPreviewing() {
    return library_ && library_->GetPreviewPosition() != 0;
}

bool SonicDesktop::VolumePresent(const std::string& volume, const std::string& library) const {
    for (const std::string& root : LibraryDriveRoots()) {
        if (DriveVolumeLabel(root) == volume)
            return true;
        if (library == kBuiltInMusicLibrary) {
            for (const std::string& file : LibraryFilesIn(root + soundFilesFolder)) {
                std::string name = fs::path(file).filename().string();
                if (name.compare(0, library.size(), library) == 0)
                    return true;
            }
        }
    }
    return false;
}

bool SonicDesktop::FindLibraryDrive(std::string& root, std::string& libraryFile) const {
    std::vector<std::string> roots = LibraryDriveRoots();
    for (size_t i = driveIndex < 0 ? 0 : static_cast<size_t>(driveIndex); i < roots.size(); ++i) {
        std::vector<std::string> files = LibraryFilesIn(roots[i]);
        if (!files.empty()) {
            root = roots[i];
            libraryFile = files.front();
            return true;
        }
    }
    return false;
}

bool SonicDesktop::FindLibraryVolume(std::string& volume, std::string& library) {
    std::string root, file;
    if (FindLibraryDrive(root, file)) {
        volume = DriveVolumeLabel(root);
        library = fs::path(file).stem().string();
        return true;
    }
    volume = kHardDisk;
    library.clear();
    return false;
}

bool SonicDesktop::DiscoverLibraries() {
    if (!libraryDrive.empty() && !DriveAnswers(libraryDrive)) {
        libraryDrive.clear();
        volumeName = kHardDisk;
        libraryName.clear();
        modePending = true;
    }
    if (libraryDrive.empty()) {
        std::string root, file;
        if (!FindLibraryDrive(root, file)) {
            volumeName = kHardDisk;
            libraryName.clear();
        } else {
            libraryDrive = root;
            modePending = true;
            volumeName = DriveVolumeLabel(root);
            libraryName = fs::path(file).stem().string();
            if (settings_ && settings_->GetSmartSoundVolume(volumeName).empty()) {
                UserInterface& ui = UserInterface::Current();
                for (const std::string& path : LibraryFilesIn(root)) {
                    std::string title = fs::path(path).stem().string();
                    bool take =
                        title == kBuiltInMusicLibrary ||
                        ui.MessageBox(ResourceText(kTextAddLibrary) + " \"" + title + "\"",
                                      ResourceText(kTextAddLibraryCaption), UserInterface::yesNo,
                                      UserInterface::question) == UserInterface::answerYes;
                    if (take) {
                        // A library that failed to start is tried again.
                        startFailed = false;
                        if (SPresto* library = GetLibrary())
                            library->AddLibrary(path);
                    }
                    if (library_)
                        library_->SetLibraryMode(1);
                    modePending = true;
                    startFailed = false;
                }
                settings_->SetSmartSoundVolume(volumeName, volumeName);
            }
        }
    }
    return modePending;
}

void SonicDesktop::ShowAbout() {
    if (SPresto* library = GetLibrary())
        library->DoAbout();
}

Clip* SonicDesktop::GetSelectedMusicClip() {
    Movie* movie = Movie::Current();
    ClipList* list = movie ? movie->GetClipList() : nullptr;
    Clip* clip = list ? list->GetFirstSelected(false) : nullptr;
    return clip && clip->GetKind() == Asset::kindMusic ? clip : nullptr;
}

std::string SonicDesktop::MakeOutputName() {
    AssetManager* manager = AssetManager::Instance();
    if (!manager)
        return std::string();
    return manager->NewWorkingFileName(manager->Folder(),
                                       "music" + ResourceText(kTextOutputExtension));
}

} // namespace orvik
