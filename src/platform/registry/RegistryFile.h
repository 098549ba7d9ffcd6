#pragma once

#include "platform/registry/RegistryStore.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace orvik {

// One registry tree kept in a text file. The file is read again whenever it
// changed on disk since this process last saw it, and every change is saved
// at once (or at the end of a batch) by writing a new file beside it and
// renaming it over the old one, so a crash never leaves a half-written store.
//
// A damaged file (lines that cannot be read, or one too large to be a store)
// is reported, kept aside under a new name ("<file>.damaged", then
// ".damaged.1", …), and replaced by what could still be read; missing values
// then take their defaults from the settings. A file that exists but cannot
// be read or kept aside is never overwritten: the tree works in memory and
// its writes fail.
//
// All operations lock the tree: any thread may use it.
class RegistryFile {
public:
    using Reporter = std::function<void(const std::string& line)>;

    // Files larger than this are not settings stores.
    static constexpr uint64_t kMaxFileBytes = 16u << 20;

    RegistryFile(std::string path, std::string heading);

    const std::string& Path() const { return path_; }
    void SetReporter(Reporter reporter);

    // Runs `action` on the current contents under the lock. `action` returns
    // true when it changed them; the tree is then saved (unless a batch is
    // open). Returns false when a change could not be saved.
    bool Modify(const std::function<bool(RegistryStore&)>& action);
    // Runs `action` on the current contents under the lock, read only.
    void Read(const std::function<void(const RegistryStore&)>& action);

    // Changes made while a batch is open are saved once, when the last batch
    // closes.
    void BeginBatch();
    bool EndBatch();

    // Whether the last save failed or the file is protected (see above).
    bool IsReadOnly() const;

private:
    struct Stamp {
        bool exists = false;
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modifiedNs = 0;
        bool operator==(const Stamp&) const = default;
    };

    static Stamp StampOf(const std::string& path);
    void RefreshLocked();
    void LoadLocked();
    bool SaveLocked();
    bool KeepAsideLocked(std::string& asidePath);
    void Report(const std::string& line);

    mutable std::mutex lock_;
    std::string path_;
    std::string heading_;
    Reporter reporter_;
    RegistryStore store_;
    Stamp seen_;
    bool loaded_ = false;
    bool readOnly_ = false;
    bool dirty_ = false;
    int batch_ = 0;
};

} // namespace orvik
