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
