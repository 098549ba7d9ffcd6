#pragma once

#include "model/Time.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

class Clip;
class SettingsBase;
class SPresto;
struct SRequestStruct;

// The background-music service: owns the music library, turns the music
// tool's and the commands' requests into library calls, finds library
// volumes on removable media and generates the sound of generated-music
// clips (it is installed as their generator while it lives).
//
// Used on the user-interface thread only.
class SonicDesktop {
public:
    static constexpr const char* kHardDisk = "HardDisk";
    static constexpr const char* kSelectByStyle = "Select By Style";
    static constexpr uint32_t kTextOutputExtension = 50297;
    static constexpr uint32_t kTextAddLibraryCaption = 50411;
    static constexpr uint32_t kTextAddLibrary = 50412;
    static constexpr uint32_t kTextInsertVolume = 50413;
    static constexpr uint32_t kTextInsertVolumeCaption = 50414;
    static constexpr uint32_t kTextNoLibraryFirst = 50417; // … 50420
    static constexpr uint32_t kTextGenerating = 50421;

    // `settings` gives the "SmartSound Folder" and the volumes already
    // offered; not owned.
    explicit SonicDesktop(SettingsBase* settings);
    ~SonicDesktop();
    SonicDesktop(const SonicDesktop&) = delete;
    SonicDesktop& operator=(const SonicDesktop&) = delete;

    // The started library, or null when it could not be started (a failed
    // start is not tried again until a library is discovered).
    SPresto* GetLibrary();
    // The names below the given level: styles, the songs of `style`, the
    // versions of `song`. Empty when no library is available.
    void QueryList(std::vector<std::string>& list, Time duration, const std::string& style,
                   const std::string& song);
    // Generates a piece of exactly `duration` into a new working file: its
    // path, or an empty text when nothing was made.
    std::string Generate(const std::string& style, const std::string& song,
                         const std::string& version, Time duration, const std::string& volumeName,
                         const std::string& libraryName);
    int StartPreview(const std::string& first, const std::string& second, Time duration);
    void StopPreview();
    bool IsPreviewing();
    bool FindLibraryVolume(std::string& volumeName, std::string& libraryName);
    bool DiscoverLibraries();
    void ShowAbout();
    // The movie's first selected clip when it is generated music, else null.
    static Clip* GetSelectedMusicClip();
    std::string MakeOutputName();

    // The length in samples at 44 100 a second of `duration` movie frames,
    // or −1 when it is negative or longer than a piece can be.
    static int64_t SamplesFor(Time duration);

    // Fields, in the order of the service's state.
    bool startFailed = false;
    std::string mode = kSelectByStyle;
    std::string previewStyle;
    std::string libraryDrive;
    std::string enablersFolder = "Library Enablers";
    std::string soundFilesFolder = "Sound Files";
    std::string libraryFolder;
    bool modePending = false;
    std::string volumeName = kHardDisk;
    std::string libraryName;
    int32_t driveIndex = 0;

private:
    // Clears the shared request and fills it; false (logged) when the
    // duration gives no valid length.
    bool MakeRequest(const std::string& style, const std::string& song, const std::string& version,
                     Time duration);
    bool VolumePresent(const std::string& volume, const std::string& library) const;
    // The first drive from driveIndex on with a library file at its root.
    bool FindLibraryDrive(std::string& root, std::string& libraryFile) const;
    void ReadLibraryFolder();

    SettingsBase* settings_;
    std::unique_ptr<SPresto> library_;
    std::unique_ptr<SRequestStruct> request_;
};

} // namespace orvik
