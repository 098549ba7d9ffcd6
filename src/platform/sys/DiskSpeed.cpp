#include "platform/sys/DiskSpeed.h"

#include "platform/fs/Places.h"
#include "platform/registry/Registry.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace orvik {

namespace {

constexpr size_t kBlock = 1u << 20;

std::string SystemError(const std::string& what) {
    return what + ": " + strerror(errno);
}

// Lexically normalised absolute path: "." and ".." resolved, no double
// separators.
std::string Normalise(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            if (part == "..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != ".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part += path[i];
        }
    }
    std::string out;
    for (const std::string& p : parts)
        out += "/" + p;
    return out.empty() ? "/" : out;
}

bool DeviceOf(const std::string& path, dev_t& device) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return false;
    device = st.st_dev;
    return true;
}

uint32_t KiloBytesPerSecond(uint64_t bytes, std::chrono::steady_clock::duration elapsed) {
    double seconds = std::chrono::duration<double>(elapsed).count();
    if (seconds <= 0)
        return std::numeric_limits<uint32_t>::max();
    double speed = static_cast<double>(bytes) / 1000.0 / seconds;
    if (speed >= static_cast<double>(std::numeric_limits<uint32_t>::max()))
        return std::numeric_limits<uint32_t>::max();
    return speed < 1 ? 1 : static_cast<uint32_t>(speed);
}

} // namespace

std::string DiskSpeed::DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'))) {
        char letter = path[0] >= 'a' ? static_cast<char>(path[0] - 'a' + 'A') : path[0];
        return std::string(1, letter) + ":";
    }
    std::string p = NormalizeSeparators(path);
    if (p.empty() || p[0] != '/' || p.compare(0, 2, "//") == 0)
        return std::string();
    p = Normalise(p);

    // The nearest existing folder on the way up.
    dev_t device = 0;
    while (!DeviceOf(p, device)) {
        if (p == "/")
            return std::string();
        p = FolderOf(p);
    }
    // Up while the parent is on the same file system.
    while (p != "/") {
        std::string parent = FolderOf(p);
        dev_t parentDevice = 0;
        if (!DeviceOf(parent, parentDevice) || parentDevice != device)
            break;
        p = parent;
    }
    return p;
}

bool DiskSpeed::Measure(const std::string& folder, uint64_t bytes, Result& result,
                        std::string* error) {
    auto fail = [&](const std::string& message) {
        if (error)
            *error = message;
        return false;
    };
    if (bytes < kBlock)
        bytes = kBlock;
    std::string pattern = JoinPath(folder, ".orvik-disk-speed-XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        return fail(SystemError(folder));
    std::string scratch = name.data();
    struct Cleanup {
        int& fd;
        const std::string& path;
        ~Cleanup() {
            if (fd >= 0)
                ::close(fd);
            ::unlink(path.c_str());
        }
    } cleanup{fd, scratch};

    std::vector<char> block(kBlock);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 + 7); // not all zeros: no file system shortcut

    auto start = std::chrono::steady_clock::now();
    for (uint64_t done = 0; done < bytes;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kBlock, bytes - done));
        ssize_t w = ::write(fd, block.data(), n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return fail(SystemError(scratch));
        done += static_cast<uint64_t>(w);
    }
    if (::fsync(fd) != 0 && errno != EINVAL)
        return fail(SystemError(scratch));
    result.writeSpeed = KiloBytesPerSecond(bytes, std::chrono::steady_clock::now() - start);

    // Read from the drive, not from the cache of what was just written.
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return fail(SystemError(scratch));
    start = std::chrono::steady_clock::now();
    uint64_t read = 0;
    for (;;) {
        ssize_t r = ::read(fd, block.data(), block.size());
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return fail(SystemError(scratch));
        if (r == 0)
            break;
        read += static_cast<uint64_t>(r);
    }
    if (read != bytes)
        return fail(scratch + ": read back " + std::to_string(read) + " of " +
                    std::to_string(bytes) + " bytes");
    result.readSpeed = KiloBytesPerSecond(bytes, std::chrono::steady_clock::now() - start);
    return true;
}

bool DiskSpeed::MeasureAndStore(Registry& registry, const std::string& folder, uint64_t bytes,
                                Result* result, std::string* error) {
    std::string drive = DriveOf(folder);
    if (drive.empty()) {
        if (error)
            *error = folder + ": not on a drive that can be measured";
        return false;
    }
    Result r;
    if (!Measure(folder, bytes, r, error))
        return false;
    if (result)
        *result = r;
    RegistryKey readKey = registry.OpenKey(RegistryTree::localMachine, kReadSpeedKey, true);
    RegistryKey writeKey = registry.OpenKey(RegistryTree::localMachine, kWriteSpeedKey, true);
    if (!readKey.SetNumber(drive, r.readSpeed) || !writeKey.SetNumber(drive, r.writeSpeed)) {
        if (error)
            *error = "cannot store the speeds in " + registry.StorePath(RegistryTree::localMachine);
        return false;
    }
    return true;
}

} // namespace orvik
