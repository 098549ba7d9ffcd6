#include "cli/CliCommand.h"

#include "app/ResourceLibraries.h"
#include "app/SettingsBase.h"
#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"
#include "platform/sys/DiskSpeed.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

namespace orvik {

namespace {

using Info = SettingsBase::KeyInfo;

std::string NameOf(const Info& info) {
    return std::string(info.section) + "/" + info.name;
}

// "Section/Name": the section is everything before the last '/'.
const Info* FindByName(const std::string& text) {
    size_t slash = text.rfind('/');
    if (slash == std::string::npos)
        return nullptr;
    return SettingsBase::FindKey(text.substr(0, slash), text.substr(slash + 1));
}

std::string ValueOf(const SettingsBase& settings, const Info& info) {
    if (info.type == SettingsBase::Type::number)
        return std::to_string(settings.Number(info.key));
    return settings.Text(info.key);
}

// Values of the store that the key table does not name: CD titles, music
// library volumes, the make-movie group, measured disk speeds.
void ListOthers(const SettingsBase& settings, const RegistryKey& key, const std::string& prefix) {
    for (const std::string& name : key.ValueNames()) {
        std::string section = prefix.substr(0, prefix.empty() ? 0 : prefix.size() - 1);
        if (SettingsBase::FindKey(section, name))
            continue;
        uint32_t number = 0;
        std::string text;
        if (key.QueryNumber(name, number))
            printf("%s%s = %d\n", prefix.c_str(), name.c_str(), static_cast<int32_t>(number));
        else if (key.QueryText(name, text))
            printf("%s%s = %s\n", prefix.c_str(), name.c_str(), text.c_str());
    }
    for (const std::string& sub : key.SubKeyNames())
        ListOthers(settings, key.OpenSubKey(sub, false), prefix + sub + "/");
}

void ListAll(const SettingsBase& settings) {
    for (const Info& info : SettingsBase::AllKeys()) {
        // A key that is only ever written has no default to show.
        if (info.rule == SettingsBase::DefaultRule::none && !settings.IsStored(info.key))
            continue;
        printf("%s = %s\n", NameOf(info).c_str(), ValueOf(settings, info).c_str());
    }
    Registry& registry = settings.GetRegistry();
    for (RegistryTree tree : {RegistryTree::currentUser, RegistryTree::localMachine})
        ListOthers(settings, registry.OpenKey(tree, settings.GetRootPath(), false), "");
    // The measured drive speeds behind the data-rate limit.
    for (const char* path : {SettingsBase::kDiskSpeedReadKey, SettingsBase::kDiskSpeedWriteKey}) {
        RegistryKey key = registry.OpenKey(RegistryTree::localMachine, path, false);
        std::string prefix = "Dravex/" + FileNameOf(path) + "/";
        for (const std::string& drive : key.ValueNames()) {
            uint32_t speed = 0;
            if (key.QueryNumber(drive, speed))
                printf("%s%s = %u\n", prefix.c_str(), drive.c_str(), speed);
        }
    }
}

void ListPaths(const SettingsBase& settings) {
    printf("settings store = %s\n", settings.StoreFolder().c_str());
    printf("main path = %s\n", settings.GetMainPath().c_str());
    printf("program folder = %s\n", settings.GetProgramFolder().c_str());
    printf("capture folder = %s\n", settings.GetCaptureFolder().c_str());
    printf("output file = %s\n", settings.GetOutputFile().c_str());
    printf("effects folder = %s\n", settings.GetEffectsFolder().c_str());
    printf("music folder = %s\n", settings.GetMusicFolder().c_str());
    printf("CD player file = %s\n", settings.GetCdPlayerFile().c_str());
    printf("data rate limit = %d\n", settings.GetDataRateLimit());
}

bool ParseNumber(const std::string& text, int32_t& value) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    long long v = strtoll(s, &end, 0);
    if (end == s || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > UINT32_MAX)
        return false;
    value = static_cast<int32_t>(static_cast<uint32_t>(v));
    return true;
}

int MeasureDisk(SettingsBase& settings, const std::vector<std::string>& args) {
    std::string folder = args.size() > 1 ? args[1] : settings.GetCaptureFolder();
    fprintf(stderr, "orvik: measuring the drive of %s (%llu MB)...\n", folder.c_str(),
            static_cast<unsigned long long>(DiskSpeed::kDefaultBytes >> 20));
    DiskSpeed::Result result;
    std::string error;
    if (!DiskSpeed::MeasureAndStore(settings.GetRegistry(), folder, DiskSpeed::kDefaultBytes,
                                    &result, &error))
        return CliFail("cannot measure the disk speed: " + error);
    printf("drive %s: write %u, read %u thousand bytes per second\n",
           DiskSpeed::DriveOf(folder).c_str(), result.writeSpeed, result.readSpeed);
    printf("data rate limit = %d\n", settings.GetDataRateLimitFor(folder));
    return 0;
}

int RunSettings(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        printf("Usage: orvik settings [KEY [VALUE]]\n"
               "       orvik settings --paths\n"
               "       orvik settings --measure-disk [FOLDER]\n\n"
               "Without arguments lists every setting, one per line, as \"KEY = VALUE\"; a\n"
               "setting that is missing is written with its default. KEY is the section and\n"
               "the name, as listed (\"Make movie/Video width\"); with KEY alone its value is\n"
               "printed, with a VALUE it is set. --paths shows the folders derived from the\n"
               "settings; --measure-disk measures the write and read speed of the drive of\n"
               "FOLDER (default: the capture folder) and stores them for the data-rate limit.\n");
        return 0;
    }
    if (args.size() > 2)
        return CliFail("settings takes at most a key and a value; see `orvik settings --help`");

    // No log is open here: what the settings find (a damaged store, a value
    // of the wrong type) is shown on stderr instead.
    SettingsBase settings;
    settings.Load();
    // The resource texts give the defaults that come from the libraries.
    ResourceLibraries libraries;
    if (libraries.Load(settings.GetLanguage(), 0, 1024, 768) || libraries.Load("US", 0, 1024, 768))
        settings.LoadResourceTexts(libraries);

    int status = 0;
    if (args.empty()) {
        Registry::Batch batch(settings.GetRegistry());
        ListAll(settings);
    } else if (args[0] == "--paths") {
        ListPaths(settings);
    } else if (args[0] == "--measure-disk") {
        status = MeasureDisk(settings, args);
    } else if (const Info* info = FindByName(args[0]); !info) {
        status = CliFail("no setting '" + args[0] + "'; `orvik settings` lists them");
    } else if (args.size() == 1) {
        printf("%s\n", ValueOf(settings, *info).c_str());
    } else if (info->type == SettingsBase::Type::text) {
        if (!settings.SetText(info->key, args[1]))
            status = CliFail("cannot write " + NameOf(*info));
    } else {
        int32_t value = 0;
        if (!ParseNumber(args[1], value)) {
            status = CliFail(NameOf(*info) + " takes a number, not '" + args[1] + "'");
        } else if (info->key == SettingsBase::Key::videoStandard) {
            settings.SetVideoStandard(value);
            if (settings.Number(info->key) != value)
                fprintf(stderr, "orvik: %s %d is not a standard; it is set to %d\n",
                        NameOf(*info).c_str(), value, settings.Number(info->key));
        } else if (!settings.SetNumber(info->key, value)) {
            status = CliFail("cannot write " + NameOf(*info));
        }
    }
    for (const std::string& line : settings.PendingReports())
        fprintf(stderr, "orvik: %s", line.c_str());
    return status;
}

const CliCommandRegistrar registrar{
    {"settings", "settings [KEY [VALUE]]", "list, show or change the settings", &RunSettings}};

} // namespace

} // namespace orvik
