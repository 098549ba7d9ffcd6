#pragma once

#include <string>

namespace orvik {

// Where Orvik keeps its files on this machine. With ORVIK_HOME=DIR every
// folder lies under DIR (tests use a fresh one each); otherwise the XDG base
// directories and ~/Videos/Orvik.
class Places {
public:
    static std::string ConfigFolder();  // settings
    static std::string StateFolder();   // diagnostics log
    static std::string CacheFolder();   // temporary working files
    static std::string VideosFolder();  // default movie and capture folder
    static std::string RuntimeFolder(); // single-instance socket
    static std::string ProgramFolder(); // folder of the running program
    static std::string ProgramPath();   // the running program itself

    // Creates `folder` and its parents; false when that fails.
    static bool EnsureFolder(const std::string& folder, std::string* error = nullptr);
};

// Path helpers that read both '\\' and '/' as separators.
std::string NormalizeSeparators(std::string path);
std::string FolderOf(const std::string& path);   // without trailing separator
std::string FileNameOf(const std::string& path); // last component
std::string ExtensionOf(const std::string& path); // ".ext" or empty
std::string JoinPath(const std::string& folder, const std::string& name);
bool FileExists(const std::string& path);

} // namespace orvik
