#include "platform/music/LibraryDrives.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <system_error>

namespace orvik {

namespace fs = std::filesystem;

namespace {

std::mutex mutex;
std::vector<std::string> overrideRoots;

void AddFoldersOf(const std::string& parent, const std::string& skip,
                  std::vector<std::string>& out) {
    std::error_code ec;
    std::vector<std::string> found;
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code dirEc;
        if (!it->is_directory(dirEc))
            continue;
        std::string name = it->path().filename().string();
        if (name == skip)
            continue;
        found.push_back(it->path().string() + "/");
    }
    std::sort(found.begin(), found.end());
    out.insert(out.end(), found.begin(), found.end());
}

} // namespace

void SetLibraryDriveRoots(const std::vector<std::string>& roots) {
    std::lock_guard<std::mutex> lock(mutex);
    overrideRoots.clear();
    for (std::string r : roots) {
        if (!r.empty() && r.back() != '/')
            r += '/';
        overrideRoots.push_back(r);
    }
}

std::vector<std::string> LibraryDriveRoots() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!overrideRoots.empty())
            return overrideRoots;
    }
    std::vector<std::string> roots;
    const char* user = std::getenv("USER");
    std::string name = user ? user : "";
    if (!name.empty()) {
        AddFoldersOf("/media/" + name, "", roots);
        AddFoldersOf("/run/media/" + name, "", roots);
    }
    AddFoldersOf("/media", name, roots);
    return roots;
}

std::string DriveVolumeLabel(const std::string& root) {
    std::string r = root;
    while (r.size() > 1 && r.back() == '/')
        r.pop_back();
    return fs::path(r).filename().string();
}

bool DriveAnswers(const std::string& root) {
    std::error_code ec;
    return fs::is_directory(root, ec);
}

std::vector<std::string> LibraryFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code fileEc;
        if (it->path().extension() == ".sdi" && it->is_regular_file(fileEc))
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace orvik
