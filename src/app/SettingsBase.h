#pragma once

#include "app/SettingsKeys.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

class Registry;
class ResourceLibraries;
enum class RegistryTree;

// The normal rectangle of the main window.
struct WindowRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowRect&) const = default;
};

// Every option of the program, kept in the two registry trees under
// "Software\\Torvane\\Orvik\\" + section. The settings object is the only
// reader and writer of those trees: every key has a default, and reading a
// key that is missing writes its default, so after one run the store shows
// every option. Keys marked cached are read once by Load and then follow the
// setters; the others are read at each call.
//
// Reading never loses what the user stored: a text of any length is read
// whole, and a value of the other type is kept when it converts exactly (a
// text "25" where a number belongs); only a value that cannot be read as its
// key's type is replaced by the default, with a line in the log.
//
// Lives on the user-interface thread.
class SettingsBase {
public:
    using Type = SettingsKeys::Type;
    using Key = SettingsKeys::Key;
    using DefaultRule = SettingsKeys::DefaultRule;
    using ReadRule = SettingsKeys::ReadRule;
    using KeyInfo = SettingsKeys::KeyInfo;

    static constexpr const char* kRootPrefix = "Software\\";
    static constexpr const char* kDiskSpeedReadKey = "Software\\Torvane\\Dravex\\ReadSpeed";
    static constexpr const char* kDiskSpeedWriteKey = "Software\\Torvane\\Dravex\\WriteSpeed";
    static constexpr const char* kCdTitlesSection = "Cd titles";
    static constexpr const char* kSmartSoundSection = "SmartSound CDs";
    static constexpr const char* kCdPlayerFileName = "cdplayer.ini";

    // Resource texts the settings use.
    static constexpr uint32_t kTextDefaultTapeName = 50430;
    static constexpr uint32_t kTextVersionPrefix = 50431;
    static constexpr uint32_t kTextVideoFileExtension = 50294;
    static constexpr uint32_t kTextVideoFileFilter = 50301;

    // The store lies in `storeFolder`; empty means the settings folder of
    // this machine (Places::ConfigFolder). Nothing is read before Load.
    explicit SettingsBase(const std::string& storeFolder = std::string());
    virtual ~SettingsBase();
    SettingsBase(const SettingsBase&) = delete;
    SettingsBase& operator=(const SettingsBase&) = delete;

    // Reads the cached keys, the video standard first (so that defaults
    // counted in frames use its frame rate).
    virtual void Load();
    // Run once the resource libraries are loaded: the default tape name is
    // the library's text from now on, and resource texts can be read.
    virtual void LoadResourceTexts(const ResourceLibraries& libraries);
    virtual int HasCapability() const { return 1; }

    // Writes to the log what the settings found while it was closed (a
    // damaged store, values of the wrong type): the settings load before the
    // log opens at start-up.
    void LogPendingReports();
    size_t PendingReportCount() const { return pendingReports_.size(); }
    const std::vector<std::string>& PendingReports() const { return pendingReports_; }

    // The application's settings: the first object made, until it goes.
    static SettingsBase* Current();
    void MakeCurrent();

    // --- The key table ---------------------------------------------------
    static const KeyInfo& Info(Key key) { return SettingsKeys::Info(key); }
    static const std::vector<KeyInfo>& AllKeys() { return SettingsKeys::All(); }
    // The key of `section` and `name` (ASCII case-blind), or null.
    static const KeyInfo* FindKey(const std::string& section, const std::string& name) {
        return SettingsKeys::Find(section, name);
    }

    int32_t DefaultNumber(Key key) const;
    std::string DefaultText(Key key) const;
    // The value of a key as it reads (cached or from the store).
    int32_t Number(Key key) const;
    std::string Text(Key key) const;
    // Stores a value and writes it at once; false when the store could not
    // be written (the value still holds for this run).
    bool SetNumber(Key key, int32_t value);
    bool SetText(Key key, const std::string& value);
    // A written-only key that is not in the store yet reads as nothing.
    bool IsStored(Key key) const;

    // --- Keys outside the table ------------------------------------------
    // `section` lies under the root path ("Cd titles\\3A0F1B12"); the key is
    // made when missing and a missing value is written with `fallback`.
    int32_t ReadNumber(RegistryTree tree, const std::string& section, const std::string& name,
                       int32_t fallback) const;
    std::string ReadText(RegistryTree tree, const std::string& section, const std::string& name,
                         const std::string& fallback) const;
    bool WriteNumber(RegistryTree tree, const std::string& section, const std::string& name,
                     int32_t value);
    bool WriteText(RegistryTree tree, const std::string& section, const std::string& name,
                   const std::string& value);

    // --- Paths -------------------------------------------------------------
    const std::string& StoreFolder() const { return storeFolder_; }
    Registry& GetRegistry() const { return *registry_; }
    // "Software\\Torvane\\Orvik\\".
    const std::string& GetRootPath() const { return rootPath_; }
    // The folder of the program's data, with a trailing '/': "Main Path",
    // or the movie folder of this machine when that is empty.
    const std::string& GetMainPath() const { return mainPath_; }
    // The folder of the diagnostics log, with a trailing '/'.
    std::string GetProgramFolder() const;
    // The folder part of the captured video file, with a trailing '/'.
    std::string GetCaptureFolder() const;
    std::string GetEffectsFolder() const;
    std::string GetMusicFolder() const { return Text(Key::smartSoundFolder); }
    // Where the CD player's title file is read from (default: the store
    // folder).
    std::string GetCdPlayerFile() const;
    void SetCdPlayerFolder(const std::string& folder) { cdPlayerFolder_ = folder; }

    // --- Version record ----------------------------------------------------
    std::string GetProductName() const;
    std::string GetCompanyName() const;
    std::string GetProductVersionText() const;
    std::string GetFileVersionText() const;

    // --- Resource texts ----------------------------------------------------
    // A text of the loaded libraries with the product name filled in; empty
    // before LoadResourceTexts.
    std::string GetResourceText(uint32_t id) const;
    std::string GetVideoFileExtension() const { return GetResourceText(kTextVideoFileExtension); }
    std::string GetVideoFileFilter() const { return GetResourceText(kTextVideoFileFilter); }

    // --- "Install" ---------------------------------------------------------
    int32_t GetVideoStandard() const { return Number(Key::videoStandard); }
    // 1 and 2 are the 25-frame standards; anything else is stored as 0.
    // Sets the time base and rewrites the mixer's frame size.
    void SetVideoStandard(int32_t standard);
    bool IsPalStandard() const;
    int32_t GetFramesPerSecond() const { return IsPalStandard() ? 25 : 30; }
    int32_t GetWarn640x480() const { return Number(Key::warn640x480); }
    void SetWarn640x480(int32_t v) { SetNumber(Key::warn640x480, v); }
    int32_t GetWarn256Colors() const { return Number(Key::warn256Colors); }
    void SetWarn256Colors(int32_t v) { SetNumber(Key::warn256Colors, v); }
    int32_t GetWarnDirectXCertified() const { return Number(Key::warnDirectXCertified); }
    void SetWarnDirectXCertified(int32_t v) { SetNumber(Key::warnDirectXCertified, v); }
    std::string GetInstalledFrom() const { return Text(Key::installedFrom); }
    std::string GetLanguage() const { return Text(Key::language); }
    // The leading decimal digits of "Update Version" (0 when there are none).
    int32_t GetUpdateVersion() const;

    // --- "Preferences" -----------------------------------------------------
    int32_t GetMaximized() const { return Number(Key::maximized); }
    void SetMaximized(int32_t v) { SetNumber(Key::maximized, v); }
    // "left top width height"; "None" is the empty rectangle.
    WindowRect GetWindowPosition() const;
    void SetWindowPosition(const WindowRect& rect);
    int32_t GetForceResolution() const { return Number(Key::forceResolution); }
    void SetForceResolution(int32_t v) { SetNumber(Key::forceResolution, v); }
    int32_t GetLargeThumbnails() const { return Number(Key::largeThumbnails); }
    void SetLargeThumbnails(int32_t v) { SetNumber(Key::largeThumbnails, v); }
    int32_t GetMode() const { return Number(Key::mode); }
    void SetMode(int32_t v) { SetNumber(Key::mode, v); }
    int32_t GetMovieView() const { return Number(Key::movieView); }
    void SetMovieView(int32_t v) { SetNumber(Key::movieView, v); }
    // An empty stored path answers the main path + "CapturedVideo/".
    std::string GetCapturedVideoFile() const;
    void SetCapturedVideoFile(const std::string& path) { SetText(Key::capturedVideoFile, path); }
    // The setters of the remembered files keep the folder of the current
    // value when given an empty path.
    std::string GetGraphicFile() const { return Text(Key::graphicFile); }
    void SetGraphicFile(const std::string& path);
    std::string GetSoundFile() const { return Text(Key::soundFile); }
    void SetSoundFile(const std::string& path);
    std::string GetMovieFile() const { return Text(Key::movieFile); }
    void SetMovieFile(const std::string& path);
    std::string GetCdName() const { return Text(Key::cdName); }
    void SetCdName(const std::string& v) { SetText(Key::cdName, v); }
    int32_t GetAutoTrimAmount() const { return Number(Key::autoTrimAmount); }
    void SetAutoTrimAmount(int32_t v) { SetNumber(Key::autoTrimAmount, v); }
    int32_t GetDisplayAutoTrim() const { return Number(Key::displayAutoTrim); }
    void SetDisplayAutoTrim(int32_t v) { SetNumber(Key::displayAutoTrim, v); }
    int32_t GetVolumeFadeDuration() const { return Number(Key::volumeFadeDuration); }
    void SetVolumeFadeDuration(int32_t v) { SetNumber(Key::volumeFadeDuration, v); }
    int32_t GetTransitionDuration() const { return Number(Key::transitionDuration); }
    void SetTransitionDuration(int32_t v) { SetNumber(Key::transitionDuration, v); }
    int32_t GetGraphicDuration() const { return Number(Key::graphicDuration); }
    void SetGraphicDuration(int32_t v) { SetNumber(Key::graphicDuration, v); }
    int32_t GetToolTips() const { return Number(Key::toolTips); }
    void SetToolTips(int32_t v) { SetNumber(Key::toolTips, v); }
    int32_t GetGrabberSource() const { return Number(Key::grabberSource); }
    void SetGrabberSource(int32_t v) { SetNumber(Key::grabberSource, v); }
    std::string GetGrabberPath() const { return Text(Key::grabberPath); }
    void SetGrabberPath(const std::string& v) { SetText(Key::grabberPath, v); }
    int32_t GetCdRecordLevel() const { return Number(Key::cdRecordLevel); }
    void SetCdRecordLevel(int32_t v) { SetNumber(Key::cdRecordLevel, v); }
    int32_t GetMicrophoneRecordLevel() const { return Number(Key::microphoneRecordLevel); }
    void SetMicrophoneRecordLevel(int32_t v) { SetNumber(Key::microphoneRecordLevel, v); }
    int32_t GetMidiRecordLevel() const { return Number(Key::midiRecordLevel); }
    void SetMidiRecordLevel(int32_t v) { SetNumber(Key::midiRecordLevel, v); }
    std::string GetSmartSoundFolder() const { return Text(Key::smartSoundFolder); }
    void SetSmartSoundFolder(const std::string& v) { SetText(Key::smartSoundFolder, v); }
    std::string GetDefaultTapeName() const { return Text(Key::defaultTapeName); }
    int32_t GetCaptureVideoPanel() const { return Number(Key::captureVideoPanel); }
    void SetCaptureVideoPanel(int32_t v) { SetNumber(Key::captureVideoPanel, v); }
    int32_t GetCaptureAudioPanel() const { return Number(Key::captureAudioPanel); }
    void SetCaptureAudioPanel(int32_t v) { SetNumber(Key::captureAudioPanel, v); }
    int32_t GetReset() const { return Number(Key::reset); }
    void SetReset(int32_t v) { SetNumber(Key::reset, v); }
    std::string GetAudioMixerLineIn() const { return Text(Key::audioMixerLineIn); }
    std::string GetAudioMixerMic() const { return Text(Key::audioMixerMic); }
    std::string GetAudioMixerCd() const { return Text(Key::audioMixerCd); }
    std::string GetAudioMixerWave() const { return Text(Key::audioMixerWave); }

    // --- "Make movie" ------------------------------------------------------
    int32_t GetConformer() const { return Number(Key::conformer); }
    void SetConformer(int32_t v) { SetNumber(Key::conformer, v); }
    // An empty stored path answers the movie file with the video file
    // extension (empty while there is no movie file either).
    std::string GetOutputFile() const;
    void SetOutputFile(const std::string& path);
    std::string GetVideoCompressor() const { return Text(Key::makeVideoCompressor); }
    void SetVideoCompressor(const std::string& v) { SetText(Key::makeVideoCompressor, v); }
    std::string GetMakeMovieLog() const { return Text(Key::makeMovieLog); }
    int32_t GetMakeFileInitialized() const { return Number(Key::makeFileInitialized); }
    void SetMakeFileInitialized(int32_t v) { SetNumber(Key::makeFileInitialized, v); }
    // The make-movie quality preset, the slider of the file output page.
    int32_t GetSliderControl() const { return Number(Key::sliderControl); }
    void SetSliderControl(int32_t v) { SetNumber(Key::sliderControl, v); }

    // --- "Capture" ---------------------------------------------------------
    int32_t GetReduceFlicker() const { return Number(Key::reduceFlicker); }
    void SetReduceFlicker(int32_t v) { SetNumber(Key::reduceFlicker, v); }
    int32_t GetSceneDetect() const { return Number(Key::sceneDetect); }
    int32_t GetSubdivideSeconds() const { return Number(Key::subdivideSeconds); }

    // --- "Caderna Mixer", "Make tape", "Make Video" ------------------------
    int32_t GetVideoFormat() const { return Number(Key::mixerVideoFormat); }
    // The capture frame size: 720 × 480 (NTSC) or 720 × 576.
    int32_t GetCaptureWidth() const { return Number(Key::mixerVideoWidth); }
    int32_t GetCaptureHeight() const { return Number(Key::mixerVideoHeight); }
    // The full-size output frame size: the capture section's frame size
    // (608 × 456 for NTSC, 720 × 540 for the 25-frame standards).
    int32_t GetFullOutputWidth() const { return Number(Key::captureVideoWidth); }
    int32_t GetFullOutputHeight() const { return Number(Key::captureVideoHeight); }
    int32_t GetGraphicLoad() const { return Number(Key::graphicLoad); }
    int32_t GetAlphaLoad() const { return Number(Key::alphaLoad); }
    int32_t GetEffectLoad() const { return Number(Key::effectLoad); }
    int32_t GetTotalLoad() const { return GetGraphicLoad() + GetAlphaLoad() + GetEffectLoad(); }
    int32_t GetMakeTapeConstraints() const { return Number(Key::makeTapeConstraints); }
    void SetMakeTapeConstraints(int32_t v) { SetNumber(Key::makeTapeConstraints, v); }
    int32_t GetMakeTapeMasterVolume() const { return Number(Key::makeTapeMasterVolume); }
    void SetMakeTapeMasterVolume(int32_t v) { SetNumber(Key::makeTapeMasterVolume, v); }

    // --- Disk speed ----------------------------------------------------------
    // Bytes per second the capture folder's drive can take: the smaller of
    // the measured read and write speeds × 9 / 10, at most 6000, × 1000.
    // 3000000 when the folder has no drive; 1500 (not written) for a speed
    // never measured.
    int32_t GetDataRateLimit() const;
    // The same for the drive of `path`.
    int32_t GetDataRateLimitFor(const std::string& path) const;

    // --- CD titles -----------------------------------------------------------
    std::string GetCdTitle(const std::string& cd) const;
    void SetCdTitle(const std::string& cd, const std::string& title);
    bool IsCdTitle(const std::string& cd, const std::string& title) const;
    int32_t GetTrackCount(const std::string& cd) const;
    void SetTrackCount(const std::string& cd, int32_t count);
    void GetTrackValues(const std::string& cd, std::vector<int32_t>& list) const;
    void SetTrackValues(const std::string& cd, const std::vector<int32_t>& list);
    void GetTrackNames(const std::string& cd, std::vector<std::string>& list) const;
    void ListCdTitles(std::vector<std::string>& list) const;
    std::string FindCdByTitle(const std::string& title) const;

    std::string GetSmartSoundVolume(const std::string& name) const;
    void SetSmartSoundVolume(const std::string& name, const std::string& volume);

private:
    struct Cached {
        bool valid = false;
        int32_t number = 0;
        std::string text;
    };

    std::string SectionPath(const std::string& section) const;
    RegistryTree TreeOf(const KeyInfo& info) const;
    int32_t ReadNumberRaw(const KeyInfo& info) const;
    std::string ReadTextRaw(const KeyInfo& info) const;
    int32_t ApplyReadRule(const KeyInfo& info, int32_t value) const;
    std::string ApplyReadRule(const KeyInfo& info, const std::string& value) const;
    bool ValidSubkeyName(const std::string& name, const char* operation) const;
    void SetRemembered(Key key, const std::string& path);
    // One line for the log, kept until it opens.
    void Report(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    std::string storeFolder_;
    std::unique_ptr<Registry> registry_;
    std::string rootPath_;
    std::string mainPath_;
    std::string cdPlayerFolder_;
    const ResourceLibraries* libraries_ = nullptr;
    mutable std::vector<Cached> cache_;
    mutable std::atomic<bool> measuring_{false};
    mutable std::vector<std::string> pendingReports_;
};

} // namespace orvik
