#include "platform/fs/Places.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvik {

namespace {

std::string Env(const char* name) {
    const char* v = getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeDir() {
    std::string h = Env("HOME");
    return h.empty() ? std::string("/tmp") : h;
}

std::string Under(const char* orvikSub, const char* xdgVar, const char* fallback) {
    std::string home = Env("ORVIK_HOME");
    if (!home.empty())
        return JoinPath(home, orvikSub);
    std::string base = Env(xdgVar);
    if (base.empty() || base[0] != '/')
        base = JoinPath(HomeDir(), fallback);
    return JoinPath(base, "orvik");
}

} // namespace

std::string Places::ConfigFolder() { return Under("config", "XDG_CONFIG_HOME", ".config"); }
std::string Places::StateFolder() { return Under("state", "XDG_STATE_HOME", ".local/state"); }
std::string Places::CacheFolder() { return Under("cache", "XDG_CACHE_HOME", ".cache"); }

std::string Places::VideosFolder() {
    std::string home = Env("ORVIK_HOME");
    if (!home.empty())
        return JoinPath(home, "Videos");
    return JoinPath(JoinPath(HomeDir(), "Videos"), "Orvik");
}

std::string Places::RuntimeFolder() {
    std::string home = Env("ORVIK_HOME");
    if (!home.empty())
        return JoinPath(home, "run");
    std::string base = Env("XDG_RUNTIME_DIR");
    if (base.empty())
        return "/tmp/orvik-" + std::to_string(getuid());
    return JoinPath(base, "orvik");
}

std::string Places::ProgramPath() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return std::string();
    buf[n] = '\0';
    return buf;
}

std::string Places::ProgramFolder() { return FolderOf(ProgramPath()); }

bool Places::EnsureFolder(const std::string& folder, std::string* error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        if (error)
            *error = folder + ": " + (ec ? ec.message() : std::string("not a folder"));
        return false;
    }
    return true;
}

std::string NormalizeSeparators(std::string path) {
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

std::string FolderOf(const std::string& path) {
    std::string p = NormalizeSeparators(path);
    size_t slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return std::string();
    if (slash == 0)
        return "/";
    return p.substr(0, slash);
}

std::string FileNameOf(const std::string& path) {
    std::string p = NormalizeSeparators(path);
    size_t slash = p.find_last_of('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
    std::string name = FileNameOf(path);
    size_t dot = name.find_last_of('.');
    if (dot == std::string::npos || dot == 0)
        return std::string();
    return name.substr(dot);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty())
        return name;
    std::string f = NormalizeSeparators(folder);
    if (f.back() == '/')
        return f + name;
    return f + "/" + name;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace orvik
