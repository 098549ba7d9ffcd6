#include "app/SettingsBase.h"

#include "app/DiagnosticsLog.h"
#include "app/ResourceLibraries.h"
#include "app/Version.h"
#include "model/Timecode.h"
#include "platform/fs/Places.h"
#include "platform/registry/IniFile.h"
#include "platform/registry/Registry.h"
#include "platform/sys/DiskSpeed.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace orvik {

namespace {

SettingsBase* current = nullptr;

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string WithSeparator(const std::string& path) {
    return EndsWithSeparator(path) ? path : path + "/";
}

// A whole decimal number in a text (white space around it allowed), as a
// stored number would be: -2147483648 … 4294967295.
bool ParseWholeNumber(const std::string& text, int32_t& value) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(s, &end, 10);
    if (end == s || errno == ERANGE)
        return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    if (*end != '\0' || v < INT32_MIN || v > static_cast<long long>(UINT32_MAX))
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

std::string KeyName(const std::string& section, const std::string& name) {
    return section + "\\" + name;
}

} // namespace

// --- The key table: section, name, tree, type, whether it is cached, its
// default and how a stored value reads. ------------------------------------

namespace {

using K = SettingsBase::Key;
using T = SettingsBase::Type;
using D = SettingsBase::DefaultRule;
using R = SettingsBase::ReadRule;

constexpr bool user = false;
constexpr bool machine = true;
constexpr bool cached = true;
constexpr bool plain = false;

SettingsBase::KeyInfo N(K key, const char* section, const char* name, bool tree, bool c,
                        int32_t number, R read = R::asStored) {
    return {key, section, name, tree, T::number, c, D::fixed, number, number, nullptr, read};
}

SettingsBase::KeyInfo ByStandard(K key, const char* section, const char* name, bool tree, bool c,
                                 int32_t ntsc, int32_t pal, R read = R::asStored) {
    return {key, section, name, tree, T::number, c, D::byStandard, ntsc, pal, nullptr, read};
}

SettingsBase::KeyInfo Seconds(K key, const char* section, const char* name, bool tree, bool c,
                              int32_t seconds) {
    return {key,        section, name,    tree,    T::number,  c,
            D::seconds, seconds, seconds, nullptr, R::asStored};
}

SettingsBase::KeyInfo S(K key, const char* section, const char* name, bool tree, bool c,
                        const char* text, R read = R::asStored) {
    return {key, section, name, tree, T::text, c, D::fixed, 0, 0, text, read};
}

SettingsBase::KeyInfo UnderMain(K key, const char* section, const char* name, bool tree, bool c,
                                const char* suffix) {
    return {key, section, name, tree, T::text, c, D::mainPath, 0, 0, suffix, R::asStored};
}

std::vector<SettingsBase::KeyInfo> MakeTable() {
    const char* install = "Install";
    const char* prefs = "Preferences";
    const char* make = "Make movie";
    const char* capture = "Capture";
    const char* mixer = "Caderna Mixer";
    const char* tape = "Make tape";
    const char* video = "Make Video";
    return {
        S(K::mainPath, install, "Main Path", machine, cached, ""),
        N(K::videoStandard, install, "Video standard", machine, cached, 0, R::standard),
        N(K::warn640x480, install, "Warn 640x480", machine, plain, 1),
        N(K::warn256Colors, install, "Warn 256 colors", machine, plain, 1),
        N(K::warnDirectXCertified, install, "Warn DirectX Certified", machine, plain, 1),
        S(K::installedFrom, install, "Installed From", machine, plain, ""),
        S(K::language, install, "Language", machine, plain, "US"),
        S(K::updateVersion, install, "Update Version", machine, plain, "0"),

        N(K::maximized, prefs, "Maximized", user, cached, 1),
        S(K::windowPosition, prefs, "Window position", user, cached, "None"),
        N(K::forceResolution, prefs, "Force resolution", user, cached, 0),
        N(K::largeThumbnails, prefs, "Large thumbnails", user, cached, 0),
        N(K::mode, prefs, "Mode", user, cached, 1, R::mode),
        N(K::movieView, prefs, "Movie view", user, cached, 1, R::movieView),
        S(K::capturedVideoFile, prefs, "Captured video file", user, cached, ""),
        S(K::graphicFile, prefs, "Graphic file", user, cached, ""),
        S(K::soundFile, prefs, "Sound file", user, cached, ""),
        S(K::movieFile, prefs, "Movie file", user, cached, ""),
        S(K::cdName, prefs, "CD name", user, cached, ""),
        N(K::autoTrimAmount, prefs, "Auto-trim amount", user, cached, 0),
        N(K::displayAutoTrim, prefs, "Display auto-trim", user, cached, 0),
        Seconds(K::volumeFadeDuration, prefs, "Volume fade duration", user, cached, 2),
        Seconds(K::transitionDuration, prefs, "Transition duration", user, cached, 1),
        Seconds(K::graphicDuration, prefs, "Graphic duration", user, cached, 4),
        N(K::toolTips, prefs, "Tool tips", user, cached, 1),
        N(K::grabberSource, prefs, "Grabber source", user, cached, 0),
        UnderMain(K::grabberPath, prefs, "Grabber path", user, cached, "Grabber"),
        N(K::cdRecordLevel, prefs, "CD record level", user, cached, 65),
        N(K::microphoneRecordLevel, prefs, "Microphone record level", user, cached, 100),
        N(K::midiRecordLevel, prefs, "MIDI record level", user, cached, 10),
        UnderMain(K::smartSoundFolder, prefs, "SmartSound Folder", user, plain, "SmartSound"),
        {K::defaultTapeName, prefs, "Default Tape Name", user, T::text, cached, D::resourceText,
         static_cast<int32_t>(SettingsBase::kTextDefaultTapeName), 0, "", R::asStored},
        N(K::captureVideoPanel, prefs, "Capture video panel", user, plain, 0),
        N(K::captureAudioPanel, prefs, "Capture audio panel", user, plain, 0),

        N(K::reset, prefs, "Reset", machine, plain, 0),
        S(K::audioMixerLineIn, prefs, "Audio mixer line-in", machine, plain, "Line"),
        S(K::audioMixerMic, prefs, "Audio mixer mic", machine, plain, "Mic"),
        S(K::audioMixerCd, prefs, "Audio mixer CD", machine, plain, "CD"),
        S(K::audioMixerWave, prefs, "Audio mixer wave", machine, plain, "Wave"),

        N(K::conformer, make, "Conformer", user, cached, 0, R::flag),
        S(K::outputFile, make, "Output file", user, cached, ""),
        S(K::makeVideoCompressor, make, "Video compressor", user, cached, "QX5 MJPEG"),
        N(K::enableVideo, make, "Enable video", user, cached, 1),
        N(K::makeVideoWidth, make, "Video width", user, cached, 640),
        ByStandard(K::makeVideoHeight, make, "Video height", user, cached, 480, 576),
        ByStandard(K::makeVideoRate, make, "Video rate", user, cached, 30, 25),
        N(K::makeVideoScale, make, "Video scale", user, cached, 1),
        N(K::makeVideoQuality, make, "Video quality", user, cached, 100),
        N(K::makeVideoDataRate, make, "Video data rate", user, cached, 3000000),
        N(K::makeVideoInterleave, make, "Video interleave", user, cached, 0),
        UnderMain(K::makeMovieLog, make, "Make movie log", user, cached, "CadtarnMovies.log"),
        N(K::makeFileInitialized, make, "Make file initialized", user, plain, 0),
        N(K::sliderControl, make, "Slider control", user, plain, 0),
        S(K::makeAudioCompressor, make, "Audio compressor", user, plain, "PCM"),
        N(K::enableAudio, make, "Enable audio", user, plain, 1),
        N(K::makeAudioRate, make, "Audio rate", user, plain, 44100),
        N(K::makeAudioBits, make, "Audio bits", user, plain, 16),
        N(K::makeAudioChannels, make, "Audio channels", user, plain, 2),

        N(K::reduceFlicker, capture, "Reduce flicker", user, cached, 1),
        N(K::audioInput, capture, "Audio input", user, plain, 0),
        N(K::voiceoverRate, capture, "Voiceover rate", user, plain, 44100),
        N(K::voiceoverBits, capture, "Voiceover bits", user, plain, 16),
        N(K::voiceoverChannels, capture, "Voiceover channels", user, plain, 2),
        N(K::captureVideoQuality, capture, "Video quality", user, plain, 2),
        N(K::videoSource, capture, "Video source", user, plain, 0),
        N(K::videoBrightness, capture, "Video brightness", user, plain, 128),
        N(K::videoContrast, capture, "Video contrast", user, plain, 128),
        N(K::videoSharpness, capture, "Video sharpness", user, plain, 128),
        N(K::videoHue, capture, "Video hue", user, plain, 128),
        N(K::videoSaturation, capture, "Video saturation", user, plain, 128),
        N(K::audioEnabled, capture, "Audio enabled", user, plain, 1),
        S(K::captureVideoCompressor, capture, "Video compressor", user, plain, "QX5 MJPEG",
          R::nonEmpty),
        {K::captureVideoEnable, capture, "Video enable", user, T::number, plain, D::none, 0, 0,
         nullptr, R::asStored},
        ByStandard(K::captureVideoWidth, capture, "Video width", user, plain, 608, 720),
        ByStandard(K::captureVideoHeight, capture, "Video height", user, plain, 456, 540),
        ByStandard(K::captureVideoRate, capture, "Video rate", user, plain, 30, 25, R::positive),
        N(K::captureVideoScale, capture, "Video scale", user, plain, 1, R::positiveOne),
        N(K::captureVideoDataRate, capture, "Video data rate", user, plain, 0),
        N(K::captureVideoInterleave, capture, "Video interleave", user, plain, 0),
        N(K::captureAudioEnable, capture, "Audio enable", user, plain, 1),
        S(K::captureAudioCompressor, capture, "Audio compressor", user, plain, ""),
        N(K::captureAudioRate, capture, "Audio rate", user, plain, 44100),
        N(K::captureAudioBits, capture, "Audio bits", user, plain, 16),
        N(K::captureAudioChannels, capture, "Audio channels", user, plain, 2),
        N(K::sceneDetect, capture, "Scene detect", user, plain, 0),
        N(K::subdivideSeconds, capture, "Subdivide seconds", user, plain, 10),

        N(K::mixerVideoFormat, mixer, "Video format", machine, cached, 0, R::flag),
        N(K::mixerVideoWidth, mixer, "Video width", machine, cached, 720),
        ByStandard(K::mixerVideoHeight, mixer, "Video height", machine, cached, 480, 576),
        Seconds(K::graphicLoad, mixer, "Graphic load", machine, cached, 4),
        Seconds(K::alphaLoad, mixer, "Alpha load", machine, cached, 2),
        Seconds(K::effectLoad, mixer, "Effect load", machine, cached, 1),

        N(K::makeTapeConstraints, tape, "Make tape constraints", machine, cached, 0),
        N(K::makeTapeMasterVolume, tape, "Master volume", machine, cached, 100),

        N(K::makeVideoAudioEnabled, video, "Audio enabled", user, plain, 1),
        N(K::makeVideoMasterVolume, video, "Master volume", user, plain, 700),
    };
}

bool SameNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

} // namespace

const std::vector<SettingsBase::KeyInfo>& SettingsBase::AllKeys() {
    static const std::vector<KeyInfo> table = MakeTable();
    return table;
}

const SettingsBase::KeyInfo& SettingsBase::Info(Key key) {
    return AllKeys()[static_cast<size_t>(key)];
}

const SettingsBase::KeyInfo* SettingsBase::FindKey(const std::string& section,
                                                   const std::string& name) {
    for (const KeyInfo& info : AllKeys())
        if (SameNoCase(section, info.section) && SameNoCase(name, info.name))
            return &info;
    return nullptr;
}

SettingsBase::SettingsBase(const std::string& storeFolder)
    : storeFolder_(storeFolder.empty() ? Places::ConfigFolder() : storeFolder),
      registry_(std::make_unique<Registry>(storeFolder_)), cdPlayerFolder_(storeFolder_),
      cache_(static_cast<size_t>(Key::count)) {
    registry_->SetReporter([this](const std::string& line) { Report("%s", line.c_str()); });
    rootPath_ = std::string(kRootPrefix) + kCompanyName + "\\" + kProductName + "\\";
    if (!current)
        current = this;
}

SettingsBase::~SettingsBase() {
    if (current == this)
        current = nullptr;
}

SettingsBase* SettingsBase::Current() {
    return current;
}

void SettingsBase::MakeCurrent() {
    current = this;
}

void SettingsBase::Report(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        vsnprintf(line.data(), line.size() + 1, format, args);
    va_end(args);
    // The settings load before the log opens at start-up: what they find
    // then is kept for it.
    if (IsLogOpen())
        LogMessage("%s", line.c_str());
    else
        pendingReports_.push_back(std::move(line));
}

void SettingsBase::LogPendingReports() {
    std::vector<std::string> lines;
    lines.swap(pendingReports_);
    for (const std::string& line : lines)
        Report("%s", line.c_str());
}

// --- Reading and writing one value -------------------------------------------

std::string SettingsBase::SectionPath(const std::string& section) const {
    return rootPath_ + section;
}

RegistryTree SettingsBase::TreeOf(const KeyInfo& info) const {
    return info.machineWide ? RegistryTree::localMachine : RegistryTree::currentUser;
}

int32_t SettingsBase::ReadNumber(RegistryTree tree, const std::string& section,
                                 const std::string& name, int32_t fallback) const {
    RegistryKey key = registry_->OpenKey(tree, SectionPath(section), true);
    if (!key.IsOpen())
        return fallback;
    uint32_t stored = 0;
    if (key.QueryNumber(name, stored))
        return static_cast<int32_t>(stored);
    std::string text;
    if (key.QueryText(name, text)) {
        int32_t value = 0;
        if (ParseWholeNumber(text, value)) {
            // The user's value, only in the other form: kept, in the right one.
            key.SetNumber(name, static_cast<uint32_t>(value));
            Report(
                "Settings::ReadNumber: %s held the number %d as a text; it is kept as a number\n",
                KeyName(section, name).c_str(), value);
            return value;
        }
        Report("Settings::ReadNumber: %s held the text \"%s\" where a number belongs; it reads "
               "as %d\n",
               KeyName(section, name).c_str(), text.c_str(), fallback);
    }
    key.SetNumber(name, static_cast<uint32_t>(fallback));
    return fallback;
}

std::string SettingsBase::ReadText(RegistryTree tree, const std::string& section,
                                   const std::string& name, const std::string& fallback) const {
    RegistryKey key = registry_->OpenKey(tree, SectionPath(section), true);
    if (!key.IsOpen())
        return fallback;
    std::string text;
    if (key.QueryText(name, text))
        return text; // any length
    uint32_t stored = 0;
    if (key.QueryNumber(name, stored)) {
        text = std::to_string(static_cast<int32_t>(stored));
        key.SetText(name, text);
        Report("Settings::ReadText: %s held the text %s as a number; it is kept as a text\n",
               KeyName(section, name).c_str(), text.c_str());
        return text;
    }
    key.SetText(name, fallback);
    return fallback;
}

bool SettingsBase::WriteNumber(RegistryTree tree, const std::string& section,
                               const std::string& name, int32_t value) {
    RegistryKey key = registry_->OpenKey(tree, SectionPath(section), true);
    return key.SetNumber(name, static_cast<uint32_t>(value));
}

bool SettingsBase::WriteText(RegistryTree tree, const std::string& section, const std::string& name,
                             const std::string& value) {
    RegistryKey key = registry_->OpenKey(tree, SectionPath(section), true);
    return key.SetText(name, value);
}

// --- Keys of the table ----------------------------------------------------------

bool SettingsBase::IsPalStandard() const {
    int32_t standard = GetVideoStandard();
    return standard == 1 || standard == 2;
}

int32_t SettingsBase::DefaultNumber(Key key) const {
    const KeyInfo& info = Info(key);
    switch (info.rule) {
    case DefaultRule::byStandard:
        return IsPalStandard() ? info.palNumber : info.number;
    case DefaultRule::seconds:
        return info.number * GetFramesPerSecond();
    default:
        return info.number;
    }
}

std::string SettingsBase::DefaultText(Key key) const {
    const KeyInfo& info = Info(key);
    switch (info.rule) {
    case DefaultRule::mainPath:
        return mainPath_ + info.text;
    case DefaultRule::resourceText:
        return GetResourceText(static_cast<uint32_t>(info.number));
    default:
        return info.text ? info.text : std::string();
    }
}

int32_t SettingsBase::ReadNumberRaw(const KeyInfo& info) const {
    if (info.rule == DefaultRule::none) {
        uint32_t stored = 0;
        RegistryKey key = registry_->OpenKey(TreeOf(info), SectionPath(info.section), false);
        return key.QueryNumber(info.name, stored) ? static_cast<int32_t>(stored) : 0;
    }
    return ReadNumber(TreeOf(info), info.section, info.name, DefaultNumber(info.key));
}

std::string SettingsBase::ReadTextRaw(const KeyInfo& info) const {
    return ReadText(TreeOf(info), info.section, info.name, DefaultText(info.key));
}

int32_t SettingsBase::ApplyReadRule(const KeyInfo& info, int32_t value) const {
    switch (info.read) {
    case ReadRule::standard:
        return (value == 1 || value == 2) ? value : 0;
    case ReadRule::mode:
        return (value == 0 || value == 2) ? value : 1;
    case ReadRule::movieView:
        return (value == 2 || value == 3) ? value : 1;
    case ReadRule::flag:
        return value == 1 ? 1 : 0;
    case ReadRule::positive:
        return value > 0 ? value : DefaultNumber(info.key);
    case ReadRule::positiveOne:
        return value > 0 ? value : 1;
    default:
        return value;
    }
}

std::string SettingsBase::ApplyReadRule(const KeyInfo& info, const std::string& value) const {
    if (info.read == ReadRule::nonEmpty && value.empty())
        return DefaultText(info.key);
    return value;
}

int32_t SettingsBase::Number(Key key) const {
    const KeyInfo& info = Info(key);
    Cached& c = cache_[static_cast<size_t>(key)];
    if (info.cached && c.valid)
        return ApplyReadRule(info, c.number);
    int32_t value = ReadNumberRaw(info);
    if (info.cached) {
        c.valid = true;
        c.number = value;
    }
    return ApplyReadRule(info, value);
}

std::string SettingsBase::Text(Key key) const {
    const KeyInfo& info = Info(key);
    Cached& c = cache_[static_cast<size_t>(key)];
    if (info.cached && c.valid)
        return ApplyReadRule(info, c.text);
    std::string value = ReadTextRaw(info);
    if (info.cached) {
        c.valid = true;
        c.text = value;
    }
    return ApplyReadRule(info, value);
}

bool SettingsBase::SetNumber(Key key, int32_t value) {
    const KeyInfo& info = Info(key);
    if (info.cached) {
        Cached& c = cache_[static_cast<size_t>(key)];
        c.valid = true;
        c.number = value;
    }
    return WriteNumber(TreeOf(info), info.section, info.name, value);
}

bool SettingsBase::SetText(Key key, const std::string& value) {
    const KeyInfo& info = Info(key);
    if (info.cached) {
        Cached& c = cache_[static_cast<size_t>(key)];
        c.valid = true;
        c.text = value;
    }
    bool written = WriteText(TreeOf(info), info.section, info.name, value);
    if (key == Key::mainPath)
        mainPath_ = WithSeparator(value.empty() ? Places::VideosFolder() : value);
    return written;
}

bool SettingsBase::IsStored(Key key) const {
    const KeyInfo& info = Info(key);
    RegistryKey k = registry_->OpenKey(TreeOf(info), SectionPath(info.section), false);
    return k.QueryType(info.name) != RegistryKey::ValueType::none;
}

// --- Loading ---------------------------------------------------------------------

void SettingsBase::Load() {
    // One save of each store for the whole load.
    Registry::Batch batch(*registry_);
    for (Cached& c : cache_)
        c = Cached();
    std::string main = Text(Key::mainPath);
    mainPath_ = WithSeparator(main.empty() ? Places::VideosFolder() : main);

    SetVideoStandard(ReadNumberRaw(Info(Key::videoStandard)));
    static const Key order[] = {
        Key::maximized,
        Key::windowPosition,
        Key::forceResolution,
        Key::largeThumbnails,
        Key::mode,
        Key::movieView,
        Key::capturedVideoFile,
        Key::graphicFile,
        Key::soundFile,
        Key::movieFile,
        Key::cdName,
        Key::autoTrimAmount,
        Key::displayAutoTrim,
        Key::volumeFadeDuration,
        Key::transitionDuration,
        Key::graphicDuration,
        Key::toolTips,
        Key::grabberSource,
        Key::grabberPath,
        Key::cdRecordLevel,
        Key::microphoneRecordLevel,
        Key::midiRecordLevel,
        Key::conformer,
        Key::outputFile,
        Key::makeVideoCompressor,
        Key::enableVideo,
        Key::makeVideoWidth,
        Key::makeVideoHeight,
        Key::makeVideoRate,
        Key::makeVideoScale,
        Key::makeVideoQuality,
        Key::makeVideoDataRate,
        Key::makeVideoInterleave,
        Key::makeMovieLog,
        Key::reduceFlicker,
        Key::mixerVideoFormat,
        Key::mixerVideoWidth,
        Key::mixerVideoHeight,
        Key::makeTapeConstraints,
        Key::graphicLoad,
        Key::alphaLoad,
        Key::effectLoad,
        Key::makeTapeMasterVolume,
        // Read here too so that every cached key is in the store after a
        // start; the library's text replaces it in LoadResourceTexts.
        Key::defaultTapeName,
    };
    for (Key key : order) {
        if (Info(key).type == Type::number)
            Number(key);
        else
            Text(key);
    }
}

void SettingsBase::LoadResourceTexts(const ResourceLibraries& libraries) {
    libraries_ = &libraries;
    std::string name = GetResourceText(kTextDefaultTapeName);
    // A library without the text must not wipe the stored name.
    if (!name.empty())
        SetText(Key::defaultTapeName, name);
}

std::string SettingsBase::GetResourceText(uint32_t id) const {
    return libraries_ ? libraries_->GetProductText(id) : std::string();
}

// --- Video standard ------------------------------------------------------------------

void SettingsBase::SetVideoStandard(int32_t standard) {
    if (standard != 1 && standard != 2)
        standard = 0;
    SetNumber(Key::videoStandard, standard);
    // The board records full frame rate.
    Timecode::SetFramesPerSample(1);
    Timecode::SetStandard(standard);
    SetNumber(Key::mixerVideoWidth, 720);
    SetNumber(Key::mixerVideoHeight, standard == 0 ? 480 : 576);
}

// --- Derived values -------------------------------------------------------------------

int32_t SettingsBase::GetUpdateVersion() const {
    std::string text = Text(Key::updateVersion);
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
        if (value > INT32_MAX)
            return INT32_MAX;
    }
    return static_cast<int32_t>(value);
}

WindowRect SettingsBase::GetWindowPosition() const {
    WindowRect rect;
    std::string text = Text(Key::windowPosition);
    long long v[4];
    const char* s = text.c_str();
    for (long long& x : v) {
        char* end = nullptr;
        errno = 0;
        x = std::strtoll(s, &end, 10);
        if (end == s || errno == ERANGE || x < INT32_MIN || x > INT32_MAX)
            return WindowRect(); // "None" and anything unreadable
        s = end;
    }
    auto clamp = [](long long x) {
        return static_cast<int32_t>(std::clamp<long long>(x, INT32_MIN, INT32_MAX));
    };
    rect.left = clamp(v[0]);
    rect.top = clamp(v[1]);
    rect.right = clamp(v[0] + v[2]);
    rect.bottom = clamp(v[1] + v[3]);
    return rect;
}

void SettingsBase::SetWindowPosition(const WindowRect& rect) {
    char text[64];
    snprintf(text, sizeof text, "%d %d %lld %lld", rect.left, rect.top,
             static_cast<long long>(rect.right) - rect.left,
             static_cast<long long>(rect.bottom) - rect.top);
    SetText(Key::windowPosition, text);
}

std::string SettingsBase::GetCapturedVideoFile() const {
    std::string path = Text(Key::capturedVideoFile);
    if (!path.empty())
        return path;
    path = mainPath_ + "CapturedVideo/";
    Cached& c = cache_[static_cast<size_t>(Key::capturedVideoFile)];
    c.valid = true;
    c.text = path;
    return path;
}

std::string SettingsBase::GetCaptureFolder() const {
    std::string path = GetCapturedVideoFile();
    if (EndsWithSeparator(path))
        return NormalizeSeparators(path);
    std::string folder = FolderOf(path);
    return folder.empty() ? std::string() : WithSeparator(folder);
}

std::string SettingsBase::GetProgramFolder() const {
    return WithSeparator(Places::StateFolder());
}

std::string SettingsBase::GetEffectsFolder() const {
    return mainPath_ + "Video Zefira L/";
}

std::string SettingsBase::GetCdPlayerFile() const {
    return JoinPath(cdPlayerFolder_, kCdPlayerFileName);
}

void SettingsBase::SetRemembered(Key key, const std::string& path) {
    if (!path.empty()) {
        SetText(key, path);
        return;
    }
    // Keep where the user was: the folder of the current value.
    std::string folder = FolderOf(Text(key));
    SetText(key, folder.empty() ? std::string() : WithSeparator(folder));
}

void SettingsBase::SetGraphicFile(const std::string& path) {
    SetRemembered(Key::graphicFile, path);
}
void SettingsBase::SetSoundFile(const std::string& path) {
    SetRemembered(Key::soundFile, path);
}
void SettingsBase::SetOutputFile(const std::string& path) {
    SetRemembered(Key::outputFile, path);
}
// The recent-file list of the desktop application adds the path itself.
void SettingsBase::SetMovieFile(const std::string& path) {
    SetText(Key::movieFile, path);
}

std::string SettingsBase::GetOutputFile() const {
    std::string path = Text(Key::outputFile);
    if (!path.empty())
        return path;
    std::string movie = GetMovieFile();
    if (movie.empty())
        return std::string();
    std::string ext = ExtensionOf(movie);
    path = movie.substr(0, movie.size() - ext.size()) + GetVideoFileExtension();
    Cached& c = cache_[static_cast<size_t>(Key::outputFile)];
    c.valid = true;
    c.text = path;
    return path;
}

// --- Version record ---------------------------------------------------------------------

std::string SettingsBase::GetProductName() const {
    return kProductName;
}
std::string SettingsBase::GetCompanyName() const {
    return kCompanyName;
}

std::string SettingsBase::GetProductVersionText() const {
    return GetResourceText(kTextVersionPrefix) + " " + kProductVersion;
}

std::string SettingsBase::GetFileVersionText() const {
    return GetResourceText(kTextVersionPrefix) + kProductVersion;
}

// --- Disk speed ------------------------------------------------------------------------

int32_t SettingsBase::GetDataRateLimit() const {
    return GetDataRateLimitFor(GetCaptureFolder());
}

int32_t SettingsBase::GetDataRateLimitFor(const std::string& path) const {
    std::string drive = DiskSpeed::DriveOf(path);
    if (drive.empty())
        return 3000000;
    if (measuring_.exchange(true))
        return 1500000;
    auto speed = [&](const char* keyPath) -> uint64_t {
        RegistryKey key = registry_->OpenKey(RegistryTree::localMachine, keyPath, true);
        uint32_t value = 0;
        return key.QueryNumber(drive, value) ? value : 1500;
    };
    uint64_t slowest = std::min(speed(kDiskSpeedReadKey), speed(kDiskSpeedWriteKey));
    measuring_ = false;
    uint64_t limit = std::min<uint64_t>(slowest * 9 / 10, 6000);
    return static_cast<int32_t>(limit * 1000);
}

// --- CD titles -------------------------------------------------------------------------

bool SettingsBase::ValidSubkeyName(const std::string& name, const char* operation) const {
    if (!name.empty() && name.find_first_of("/\\") == std::string::npos)
        return true;
    Report("Settings::%s: bad name \"%s\"\n", operation, name.c_str());
    return false;
}

std::string SettingsBase::GetCdTitle(const std::string& cd) const {
    if (!ValidSubkeyName(cd, "GetCdTitle"))
        return std::string();
    std::string title =
        ReadText(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd), "Title", "");
    if (!title.empty())
        return title;
    IniFile ini;
    if (!ini.Load(GetCdPlayerFile()))
        return std::string();
    return ini.Get(cd, "title");
}

void SettingsBase::SetCdTitle(const std::string& cd, const std::string& title) {
    if (ValidSubkeyName(cd, "SetCdTitle"))
        WriteText(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd), "Title", title);
}

bool SettingsBase::IsCdTitle(const std::string& cd, const std::string& title) const {
    return GetCdTitle(cd) == title;
}

int32_t SettingsBase::GetTrackCount(const std::string& cd) const {
    if (!ValidSubkeyName(cd, "GetTrackCount"))
        return 0;
    return ReadNumber(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd), "Num tracks", 0);
}

void SettingsBase::SetTrackCount(const std::string& cd, int32_t count) {
    if (ValidSubkeyName(cd, "SetTrackCount"))
        WriteNumber(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd), "Num tracks", count);
}

void SettingsBase::GetTrackValues(const std::string& cd, std::vector<int32_t>& list) const {
    list.clear();
    int32_t count = GetTrackCount(cd);
    for (int32_t i = 1; i <= count; ++i) {
        int32_t v = ReadNumber(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd),
                               "Track " + std::to_string(i), -1);
        if (v < 0)
            break;
        list.push_back(v);
    }
}

void SettingsBase::SetTrackValues(const std::string& cd, const std::vector<int32_t>& list) {
    if (!ValidSubkeyName(cd, "SetTrackValues"))
        return;
    Registry::Batch batch(*registry_);
    for (size_t i = 0; i < list.size(); ++i)
        WriteNumber(RegistryTree::localMachine, KeyName(kCdTitlesSection, cd),
                    "Track " + std::to_string(i + 1), list[i]);
}

void SettingsBase::GetTrackNames(const std::string& cd, std::vector<std::string>& list) const {
    list.clear();
    int32_t count = GetTrackCount(cd);
    IniFile ini;
    ini.Load(GetCdPlayerFile()); // no file: every track keeps its numbered name
    for (int32_t i = 0; i < count; ++i) {
        std::string name = ini.Get(cd, std::to_string(i));
        list.push_back(name.empty() ? "Track " + std::to_string(i + 1) : name);
    }
}

void SettingsBase::ListCdTitles(std::vector<std::string>& list) const {
    list.clear();
    RegistryKey titles =
        registry_->OpenKey(RegistryTree::localMachine, SectionPath(kCdTitlesSection), false);
    for (const std::string& id : titles.SubKeyNames()) {
        std::string title;
        if (titles.OpenSubKey(id, false).QueryText("Title", title) && !title.empty())
            list.push_back(title);
    }
}

std::string SettingsBase::FindCdByTitle(const std::string& title) const {
    RegistryKey titles =
        registry_->OpenKey(RegistryTree::localMachine, SectionPath(kCdTitlesSection), false);
    for (const std::string& id : titles.SubKeyNames()) {
        std::string stored;
        if (titles.OpenSubKey(id, false).QueryText("Title", stored) && stored == title)
            return id;
    }
    return std::string();
}

std::string SettingsBase::GetSmartSoundVolume(const std::string& name) const {
    if (!ValidSubkeyName(name, "GetSmartSoundVolume"))
        return std::string();
    return ReadText(RegistryTree::localMachine, KeyName(kSmartSoundSection, name), "Volume", "");
}

void SettingsBase::SetSmartSoundVolume(const std::string& name, const std::string& volume) {
    if (ValidSubkeyName(name, "SetSmartSoundVolume"))
        WriteText(RegistryTree::localMachine, KeyName(kSmartSoundSection, name), "Volume", volume);
}

} // namespace orvik
