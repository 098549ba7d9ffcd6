#include "platform/registry/RegistryFile.h"

#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvik {

namespace {

// Report lines are collected under the lock and handed out after it is
// released, so a reporter may do anything, even use the registry.
thread_local std::vector<std::string>* pendingReports = nullptr;

class ReportScope {
public:
    explicit ReportScope(const RegistryFile::Reporter& reporter) : reporter_(reporter) {
        outer_ = pendingReports;
        pendingReports = &lines_;
    }
    ~ReportScope() {
        pendingReports = outer_;
        if (reporter_)
            for (const std::string& line : lines_)
                reporter_(line);
    }
    ReportScope(const ReportScope&) = delete;
    ReportScope& operator=(const ReportScope&) = delete;

private:
    RegistryFile::Reporter reporter_;
    std::vector<std::string> lines_;
    std::vector<std::string>* outer_;
};

} // namespace

RegistryFile::RegistryFile(std::string path, std::string heading)
    : path_(std::move(path)), heading_(std::move(heading)) {}

void RegistryFile::SetReporter(Reporter reporter) {
    std::lock_guard<std::mutex> guard(lock_);
    reporter_ = std::move(reporter);
}

void RegistryFile::Report(const std::string& line) {
    if (pendingReports)
        pendingReports->push_back(line);
}

RegistryFile::Stamp RegistryFile::StampOf(const std::string& path) {
    Stamp s;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return s;
    s.exists = true;
    s.device = static_cast<uint64_t>(st.st_dev);
    s.inode = static_cast<uint64_t>(st.st_ino);
    s.size = static_cast<uint64_t>(st.st_size);
    s.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return s;
}

bool RegistryFile::KeepAsideLocked(std::string& asidePath) {
    for (int i = 0; i < 1000; ++i) {
        asidePath = path_ + ".damaged";
        if (i > 0)
            asidePath += "." + std::to_string(i);
        // link() never replaces an existing file: an earlier damaged copy is
        // kept as well.
        if (::link(path_.c_str(), asidePath.c_str()) == 0) {
            ::unlink(path_.c_str());
            return true;
        }
        if (errno == EEXIST)
            continue;
        // File systems without hard links: rename onto a name checked free.
        if (FileExists(asidePath))
            continue;
        return ::rename(path_.c_str(), asidePath.c_str()) == 0;
    }
    return false;
}

void RegistryFile::LoadLocked() {
    Stamp stamp = StampOf(path_);
    loaded_ = true;
    seen_ = stamp;
    if (!stamp.exists) {
        store_.Clear();
        readOnly_ = false;
        return;
    }

    std::string text;
    std::string error;
    std::vector<RegistryStore::Problem> problems;
    bool damaged = false;
    std::string why;
    if (stamp.size > kMaxFileBytes) {
        damaged = true;
        why = "it is too large to be a settings store";
    } else if (!File::ReadAll(path_, text, &error)) {
        // Unreadable is not damaged: the file may be fine and only closed to
        // us. It is never overwritten.
        Report("RegistryFile::Load: cannot read " + path_ + ": " + error +
               "; settings are kept in memory only\n");
        readOnly_ = true;
        return;
    } else {
        RegistryStore parsed;
        parsed.Parse(text, &problems);
        store_ = std::move(parsed);
        if (!problems.empty()) {
            damaged = true;
            why = std::to_string(problems.size()) + " unreadable line" +
                  (problems.size() == 1 ? "" : "s") + ", the first at line " +
                  std::to_string(problems.front().line) + ": " + problems.front().reason;
        }
    }
    readOnly_ = false;
    if (!damaged)
        return;
    if (stamp.size > kMaxFileBytes)
        store_.Clear();

    std::string aside;
    if (!KeepAsideLocked(aside)) {
        int e = errno;
        Report("RegistryFile::Load: " + path_ + " is damaged (" + why +
               ") and cannot be kept aside: " + strerror(e) +
               "; settings are kept in memory only\n");
        readOnly_ = true;
        return;
    }
    Report("RegistryFile::Load: " + path_ + " is damaged (" + why + "); kept as " + aside +
           ", the readable values are kept and the rest take their defaults\n");
    dirty_ = true;
    if (batch_ == 0)
        SaveLocked();
}

void RegistryFile::RefreshLocked() {
    // Inside a batch with unsaved changes the file is only this process's to
    // change: what is on disk must not replace them.
    if (batch_ > 0 && dirty_)
        return;
    if (!loaded_ || !(StampOf(path_) == seen_))
        LoadLocked();
}

bool RegistryFile::SaveLocked() {
    if (readOnly_)
        return false;
    std::string error;
    if (!Places::EnsureFolder(FolderOf(path_), &error) ||
        !SafeFile::WriteAll(path_, store_.Format(heading_), &error)) {
        Report("RegistryFile::Save: cannot save " + path_ + ": " + error + "\n");
        return false;
    }
    dirty_ = false;
    seen_ = StampOf(path_);
    return true;
}

bool RegistryFile::Modify(const std::function<bool(RegistryStore&)>& action) {
    Reporter reporter;
    {
        std::lock_guard<std::mutex> guard(lock_);
        reporter = reporter_;
    }
    ReportScope reports(reporter);
    std::lock_guard<std::mutex> guard(lock_);
    RefreshLocked();
    if (!action(store_))
        return true;
    dirty_ = true;
    if (readOnly_)
        return false;
    return batch_ > 0 ? true : SaveLocked();
}

void RegistryFile::Read(const std::function<void(const RegistryStore&)>& action) {
    Reporter reporter;
    {
        std::lock_guard<std::mutex> guard(lock_);
        reporter = reporter_;
    }
    ReportScope reports(reporter);
    std::lock_guard<std::mutex> guard(lock_);
    RefreshLocked();
    action(store_);
}

void RegistryFile::BeginBatch() {
    std::lock_guard<std::mutex> guard(lock_);
    ++batch_;
}

bool RegistryFile::EndBatch() {
    Reporter reporter;
    {
        std::lock_guard<std::mutex> guard(lock_);
        reporter = reporter_;
    }
    ReportScope reports(reporter);
    std::lock_guard<std::mutex> guard(lock_);
    if (batch_ > 0)
        --batch_;
    if (batch_ == 0 && dirty_)
        return SaveLocked();
    return true;
}

bool RegistryFile::IsReadOnly() const {
    std::lock_guard<std::mutex> guard(lock_);
    return readOnly_;
}

} // namespace orvik
