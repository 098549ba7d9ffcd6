#include "model/AssetManager.h"

#include "app/DiagnosticsLog.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "platform/gui/UserInterface.h"
#include "platform/archive/Archive.h"
#include "platform/fs/File.h"
#include "platform/fs/Places.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

namespace orvik {

namespace {

AssetManager* theManager = nullptr;
bool closing = false;

std::string WithSlash(std::string folder) {
    folder = NormalizeSeparators(folder);
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

AssetManager::AssetManager(const std::string& folder, const std::string& captureFolder)
    : folder_(WithSlash(folder)), captureFolder_(WithSlash(captureFolder)) {
    std::string error;
    if (!Places::EnsureFolder(folder_, &error))
        LogMessage("AssetManager: cannot make the temporary folder: %s\n", error.c_str());
    theManager = this;
    Purge();
}

AssetManager::~AssetManager() {
    Purge();
    if (theManager == this)
        theManager = nullptr;
}

AssetManager* AssetManager::Instance() { return theManager; }
void AssetManager::SetClosing(bool c) { closing = c; }
bool AssetManager::IsClosing() { return closing; }

bool AssetManager::IsGeneratedName(const std::string& name) {
    // "_x", four or more digits, then nothing or an extension.
    if (name.size() < 6 || name[0] != '_' || name[1] != 'x')
        return false;
    size_t i = 2;
    while (i < name.size() && isdigit(static_cast<unsigned char>(name[i])))
        ++i;
    if (i - 2 < 4)
        return false;
    if (i == name.size())
        return true;
    if (name[i] != '.')
        return false;
    return name.find('.', i + 1) == std::string::npos && name.find('/', i) == std::string::npos;
}

bool AssetManager::IsWorkingFilePath(const std::string& path) const {
    std::string p = NormalizeSeparators(path);
    std::string folder = WithSlash(FolderOf(p));
    if (folder != folder_ && (captureFolder_.empty() || folder != captureFolder_))
        return false;
    return IsGeneratedName(FileNameOf(p));
}

void AssetManager::PurgeFolder(const std::string& folder) {
    if (folder.empty())
        return;
    std::error_code ec;
    std::vector<std::string> doomed;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (IsGeneratedName(name) && it->is_regular_file(ec))
            doomed.push_back(JoinPath(folder, name));
    }
    for (const std::string& path : doomed)
        DeleteWorkingFile(path);
}

void AssetManager::Purge() {
    PurgeFolder(folder_);
    if (captureFolder_ != folder_)
        PurgeFolder(captureFolder_);
}

std::string AssetManager::NewWorkingFileName(const std::string& folder,
                                             const std::string& sourceName) {
    std::string f = folder.empty() ? folder_ : WithSlash(folder);
    std::string ext = ExtensionOf(sourceName);
    // Purge freed every generated name; one that still exists (a file that
    // could not be deleted) is skipped rather than overwritten.
    for (;;) {
        char name[32];
        snprintf(name, sizeof name, "_x%04d", counter_++);
        std::string path = f + name + ext;
        if (!FileExists(path))
            return path;
    }
}

std::string AssetManager::NewCaptureWorkingFileName(const std::string& sourceName) {
    return NewWorkingFileName(captureFolder_.empty() ? folder_ : captureFolder_, sourceName);
}

std::string AssetManager::CreateWorkingFile(const std::string& sourceName, const void* bytes,
                                            size_t length) {
    std::string path = NewWorkingFileName(std::string(), sourceName);
    File f;
    try {
        if (!f.Open(path, File::createWrite))
            throw FileException(path, 0, "");
        f.Write(bytes, length);
    } catch (const FileException&) {
        LogMessage("AssetManager: can't create '%s'", path.c_str());
        f.Close();
        std::remove(path.c_str());
        return std::string();
    }
    return path;
}

std::string AssetManager::CreateWorkingFileFrom(const std::string& sourceName, Archive& ar,
                                                uint32_t length) {
    ar.RequireBytes(length);
    std::string path = NewWorkingFileName(std::string(), sourceName);
    File f;
    bool ok = f.Open(path, File::createWrite);
    std::vector<uint8_t> block(1 << 20);
    uint32_t left = length;
    while (left > 0) {
        size_t n = left < block.size() ? left : block.size();
        ar.Read(block.data(), n); // throws at a short stream
        left -= static_cast<uint32_t>(n);
        if (ok) {
            try {
                f.Write(block.data(), n);
            } catch (const FileException&) {
                ok = false;
            }
        }
    }
    if (!ok) {
        LogMessage("AssetManager: can't create '%s'", path.c_str());
        f.Close();
        std::remove(path.c_str());
        return std::string();
    }
    return path;
}

void AssetManager::MakeWorkingCopies(ClipList& clips) {
    bool waiting = false;
    for (auto& clip : clips.GetClips()) {
        Asset* asset = clip->GetAsset();
        if (!asset || !asset->WantsWorkingCopy() || asset->GetFileName().empty())
            continue;
        if (asset->IsWorkingFile()) {
            Unpend(asset->GetFileName());
            continue;
        }
        if (!waiting) {
            UserInterface::Current().SetWaitCursor(true);
            waiting = true;
        }
        std::string source = asset->GetFileName();
        std::string target = NewWorkingFileName(std::string(), source);
        std::error_code ec;
        if (!std::filesystem::copy_file(source, target, std::filesystem::copy_options::none, ec) ||
            ec) {
            LogMessage("AssetManager::Could not copy '%s'\n", source.c_str());
            continue;
        }
        // The user keeps seeing the name of the file the picture came from.
        if (clip->GetComment().empty()) {
            std::string name = FileNameOf(source);
            std::string ext = ExtensionOf(name);
            clip->SetComment(name.substr(0, name.size() - ext.size()));
        }
        RefPtr<Asset> copy = static_cast<Asset*>(asset->Clone());
        copy->SetWorkingFileName(target);
        clip->SetAsset(copy.get());
    }
    if (waiting)
        UserInterface::Current().SetWaitCursor(false);
}

void AssetManager::AddUser(const std::string& path) {
    if (path.empty())
        return;
    ++users_[path];
    Unpend(path);
}

void AssetManager::ReleaseUser(const std::string& path) {
    auto it = users_.find(path);
    if (it == users_.end())
        return;
    if (--it->second > 0)
        return;
    users_.erase(it);
    ReleaseWorkingFile(path);
}

int AssetManager::UserCount(const std::string& path) const {
    auto it = users_.find(path);
    return it == users_.end() ? 0 : it->second;
}

void AssetManager::ReleaseWorkingFile(const std::string& path) {
    if (UserCount(path) > 0)
        return;
    if (namedByMovie_ && namedByMovie_(path))
        return;
    if (IsPending(path))
        return;
    std::error_code ec;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec)
        return;
    pending_.push_back({path, static_cast<int64_t>(size)});
    pendingBytes_ += static_cast<int64_t>(size);
    for (auto it = pending_.begin(); pendingBytes_ >= kBudget && it != pending_.end();) {
        if (DeleteWorkingFile(it->name)) {
            pendingBytes_ -= it->size;
            it = pending_.erase(it);
        } else {
            ++it;
        }
    }
}

void AssetManager::Unpend(const std::string& path) {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->name == path) {
            pendingBytes_ -= it->size;
            pending_.erase(it);
            return;
        }
    }
}

bool AssetManager::IsPending(const std::string& path) const {
    for (const Pending& p : pending_)
        if (p.name == path)
            return true;
    return false;
}

bool AssetManager::DeleteWorkingFile(const std::string& path) {
    if (!IsWorkingFilePath(path)) {
        LogMessage("AssetManager refuses to delete '%s': not a working file\n", path.c_str());
        return false;
    }
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return true;
    std::filesystem::permissions(path, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
    if (!std::filesystem::remove(path, ec) || ec) {
        LogMessage("AssetManager can't delete '%s'\n", path.c_str());
        return false;
    }
    return true;
}

} // namespace orvik
