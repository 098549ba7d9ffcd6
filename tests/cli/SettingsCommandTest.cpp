// `orvik settings`, run as the program it is, in the test's own ORVIK_HOME.
#include "app/SettingsBase.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"
#include "support/TestHome.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>

namespace orvik {
namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string Quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Result RunSettings(const std::vector<std::string>& args) {
    std::string program = std::string(ORVIK_BIN_DIR) + "/orvik";
    EXPECT_TRUE(FileExists(program)) << "build the orvik program first";
    std::string errFile = test::InHome("stderr.txt");
    std::string command = Quote(program) + " settings";
    for (const std::string& a : args)
        command += " " + Quote(a);
    command += " 2>" + Quote(errFile);
    Result r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        r.out.append(buffer, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = test::ReadFile(errFile);
    return r;
}

// "key = value" lines; every line must have that form.
std::map<std::string, std::string> Lines(const std::string& out) {
    std::map<std::string, std::string> lines;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        std::string line = out.substr(start, end - start);
        start = end == std::string::npos ? out.size() : end + 1;
        size_t eq = line.find(" = ");
        EXPECT_NE(eq, std::string::npos) << line;
        if (eq == std::string::npos)
            continue;
        EXPECT_EQ(lines.count(line.substr(0, eq)), 0u) << line;
        lines[line.substr(0, eq)] = line.substr(eq + 3);
    }
    return lines;
}

TEST(SettingsCommand, AFreshHomeShowsEveryDefaultAfterOneCall) {
    Result r = RunSettings({});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::map<std::string, std::string> lines = Lines(r.out);
    size_t listed = 0;
    for (const SettingsBase::KeyInfo& info : SettingsBase::AllKeys()) {
        std::string key = std::string(info.section) + "/" + info.name;
        if (info.rule == SettingsBase::DefaultRule::none) {
            EXPECT_EQ(lines.count(key), 0u) << key;
            continue;
        }
        ++listed;
        EXPECT_EQ(lines.count(key), 1u) << key;
    }
    EXPECT_EQ(lines.size(), listed);
    std::string videos = Places::VideosFolder();
    const std::map<std::string, std::string> expected = {
        {"Install/Video standard", "0"},
        {"Install/Language", "US"},
        {"Preferences/Transition duration", "30"},
        {"Preferences/Window position", "None"},
        {"Preferences/Default Tape Name", "Untitled tape"},
        {"Preferences/Grabber path", videos + "/Grabber"},
        {"Make movie/Video width", "640"},
        {"Make movie/Video compressor", "QX5 MJPEG"},
        {"Capture/Video width", "608"},
        {"Caderna Mixer/Video height", "480"},
        {"Make Video/Master volume", "700"},
    };
    for (auto& [key, value] : expected)
        EXPECT_EQ(lines[key], value) << key;

    // Every one of them is now in the store, read by the store's own parser.
    for (const char* file : {Registry::kUserFileName, Registry::kMachineFileName}) {
        RegistryStore store;
        std::vector<RegistryStore::Problem> problems;
        store.Parse(test::ReadFile(JoinPath(Places::ConfigFolder(), file)), &problems);
        EXPECT_TRUE(problems.empty());
        bool machine = std::string(file) == Registry::kMachineFileName;
        for (const SettingsBase::KeyInfo& info : SettingsBase::AllKeys()) {
            if (info.machineWide != machine || info.rule == SettingsBase::DefaultRule::none)
                continue;
            const RegistryStore::Key* key =
                store.Find({"Software", "Torvane", "Orvik", info.section});
            ASSERT_NE(key, nullptr) << info.section;
            EXPECT_EQ(key->values.count(info.name), 1u) << info.section << "/" << info.name;
        }
    }
    // A second call lists the same.
    Result again = RunSettings({});
    EXPECT_EQ(again.out, r.out);
}

TEST(SettingsCommand, ShowsAndSetsOneSetting) {
    struct Step {
        std::vector<std::string> args;
        int status;
        const char* out;
        const char* errPart;
    } steps[] = {
        {{"Make movie/Video width"}, 0, "640\n", ""},
        {{"Make movie/Video width", "800"}, 0, "", ""},
        {{"make MOVIE/video width"}, 0, "800\n", ""},
        {{"Make movie/Video width", "-3"}, 0, "", ""},
        {{"Make movie/Video width"}, 0, "-3\n", ""},
        {{"Make movie/Video width", "0x10"}, 0, "", ""},
        {{"Make movie/Video width"}, 0, "16\n", ""},
        {{"Make movie/Video width", "wide"}, 1, "", "takes a number, not 'wide'"},
        {{"Make movie/Video width", "99999999999"}, 1, "", "takes a number"},
        {{"Make movie/Video width"}, 0, "16\n", ""},
        {{"Preferences/Movie file", "/home/me/My Movies/summer.orv"}, 0, "", ""},
        {{"Preferences/Movie file"}, 0, "/home/me/My Movies/summer.orv\n", ""},
        {{"Install/Video standard", "1"}, 0, "", ""},
        {{"Caderna Mixer/Video height"}, 0, "576\n", ""},
        {{"Install/Video standard", "7"}, 0, "", "is not a standard; it is set to 0"},
        {{"Install/Video standard"}, 0, "0\n", ""},
        {{"No such/key"}, 1, "", "no setting 'No such/key'"},
        {{"Video width"}, 1, "", "no setting"},
        {{"a", "b", "c"}, 1, "", "at most a key and a value"},
    };
    for (const Step& s : steps) {
        Result r = RunSettings(s.args);
        std::string what = s.args.empty() ? "" : s.args[0];
        EXPECT_EQ(r.status, s.status) << what << " " << r.err;
        EXPECT_EQ(r.out, s.out) << what;
        if (*s.errPart) {
            EXPECT_NE(r.err.find(s.errPart), std::string::npos) << what << ": " << r.err;
        } else {
            EXPECT_EQ(r.err, "") << what;
        }
    }
    std::string longText(5000, 'x');
    ASSERT_EQ(RunSettings({"Preferences/CD name", longText}).status, 0);
    EXPECT_EQ(RunSettings({"Preferences/CD name"}).out, longText + "\n");
}

TEST(SettingsCommand, ListsValuesOutsideTheTableAndReportsADamagedStore) {
    {
        Registry registry(Places::ConfigFolder());
        registry.OpenKey(RegistryTree::localMachine, "Software/Torvane/Orvik/Cd titles/3A0F", true)
            .SetText("Title", "Road Songs");
        registry.OpenKey(RegistryTree::localMachine, SettingsBase::kDiskSpeedWriteKey, true)
            .SetNumber("/media/tapes", 2500);
    }
    std::string user = JoinPath(Places::ConfigFolder(), Registry::kUserFileName);
    ASSERT_TRUE(SafeFile::WriteAll(user, "[Software/Torvane/Orvik/Preferences]\n"
                                         "\"Maximized\"=dword:00000000\n"
                                         "this line is damaged\n"));
    Result r = RunSettings({});
    ASSERT_EQ(r.status, 0) << r.err;
    std::map<std::string, std::string> lines = Lines(r.out);
    EXPECT_EQ(lines["Cd titles/3A0F/Title"], "Road Songs");
    EXPECT_EQ(lines["Preferences/Maximized"], "0");
    EXPECT_EQ(lines["Dravex/WriteSpeed//media/tapes"], "2500");
    EXPECT_NE(r.err.find("orvik: RegistryFile::Load: " + user + " is damaged"), std::string::npos)
        << r.err;
    EXPECT_TRUE(FileExists(user + ".damaged"));
    EXPECT_EQ(RunSettings({}).err, ""); // replaced by a sound store
}

TEST(SettingsCommand, Help) {
    Result r = RunSettings({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: orvik settings [KEY [VALUE]]"), std::string::npos);
    EXPECT_FALSE(FileExists(Places::ConfigFolder()));
}

} // namespace
} // namespace orvik
