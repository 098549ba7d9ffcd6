#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <string>

namespace orvik {

class Archive;
class ClipList;

// Names, creates, copies and deletes the application's working files in its
// temporary folder. Released working files are deleted late, oldest first,
// once they take more than the budget, so that undo can still bring them
// back. Only files whose names this manager generates ("_x" + at least four
// digits + an extension) inside its own folders are ever deleted.
//
// Used on the user-interface thread only.
class AssetManager {
public:
    static constexpr int64_t kBudget = 10000000;

    // `folder`: the temporary folder (created if missing); `captureFolder`:
    // the folder of captured video, where rendered scene groups go.
    AssetManager(const std::string& folder, const std::string& captureFolder);
    ~AssetManager();
    AssetManager(const AssetManager&) = delete;
    AssetManager& operator=(const AssetManager&) = delete;

    // The application's manager, or null.
    static AssetManager* Instance();
    // Set while the application closes: assets then release nothing.
    static void SetClosing(bool closing);
    static bool IsClosing();

    // Tells whether a graphic clip of the movie still names a file (the
    // movie document installs it).
    void SetMovieQuery(std::function<bool(const std::string& path)> namedByMovie) {
        namedByMovie_ = std::move(namedByMovie);
    }

    const std::string& Folder() const { return folder_; }
    const std::string& CaptureFolder() const { return captureFolder_; }

    void Purge();
    std::string NewWorkingFileName(const std::string& folder, const std::string& sourceName);
    std::string NewCaptureWorkingFileName(const std::string& sourceName);
    std::string CreateWorkingFile(const std::string& sourceName, const void* bytes, size_t length);
    // The same with `length` bytes read from an archive (an embedded file).
    // The bytes are consumed even when the file cannot be made.
    std::string CreateWorkingFileFrom(const std::string& sourceName, Archive& ar, uint32_t length);

    // Counting of the assets that name a working file: a file is released
    // only when its last user goes.
    // Clips placed from an album whose asset wants a private copy of its file
    // (pictures) get one: a clone of the asset on a new working file.
    void MakeWorkingCopies(ClipList& clips);

    void AddUser(const std::string& path);
    void ReleaseUser(const std::string& path);
    int UserCount(const std::string& path) const;

    void ReleaseWorkingFile(const std::string& path);
    void Unpend(const std::string& path);
    bool DeleteWorkingFile(const std::string& path);

    // Whether `path` is a name this manager generated in one of its folders.
    bool IsWorkingFilePath(const std::string& path) const;
    static bool IsGeneratedName(const std::string& fileName);

    int64_t PendingBytes() const { return pendingBytes_; }
    size_t PendingCount() const { return pending_.size(); }
    bool IsPending(const std::string& path) const;

private:
    struct Pending {
        std::string name;
        int64_t size;
    };
    void PurgeFolder(const std::string& folder);

    std::string folder_;        // with a trailing '/'
    std::string captureFolder_; // with a trailing '/', or empty
    int32_t counter_ = 0;
    std::list<Pending> pending_;
    int64_t pendingBytes_ = 0;
    std::map<std::string, int> users_;
    std::function<bool(const std::string&)> namedByMovie_;
};

} // namespace orvik
