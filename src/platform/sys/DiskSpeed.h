#pragma once

#include <cstdint>
#include <string>

namespace orvik {

class Registry;

// Measures how fast a drive writes and reads, in the units the settings'
// data-rate limit uses (thousands of bytes per second), and keeps the results
// where the disk-speed tool keeps them: machine-wide, under
// "Software\\Torvane\\Dravex\\WriteSpeed" and "…\\ReadSpeed", one number per
// drive named by the drive. Only run on request: it writes and reads a
// scratch file of the size asked for.
class DiskSpeed {
public:
    static constexpr const char* kReadSpeedKey = "Software\\Torvane\\Dravex\\ReadSpeed";
    static constexpr const char* kWriteSpeedKey = "Software\\Torvane\\Dravex\\WriteSpeed";
    static constexpr uint64_t kDefaultBytes = 64u << 20;

    struct Result {
        uint32_t writeSpeed = 0; // thousands of bytes per second
        uint32_t readSpeed = 0;
    };

    // The drive that holds `path`: "C:" (upper case) for a path that starts
    // with a drive letter, otherwise the mount point of the file system that
    // holds the path or its nearest existing parent ("/", "/home"). Empty for
    // relative paths and network paths written as "\\server\share" or
    // "//server/share".
    static std::string DriveOf(const std::string& path);

    // Writes `bytes` (at least 1 MiB) sequentially to a scratch file in
    // `folder`, makes them durable, drops them from the cache and reads them
    // back; the scratch file is removed. False with `error` on failure.
    static bool Measure(const std::string& folder, uint64_t bytes, Result& result,
                        std::string* error = nullptr);

    // Measures the drive of `folder` and stores both speeds under its name.
    static bool MeasureAndStore(Registry& registry, const std::string& folder, uint64_t bytes,
                                Result* result = nullptr, std::string* error = nullptr);
};

} // namespace orvik
