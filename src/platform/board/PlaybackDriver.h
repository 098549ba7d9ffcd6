#pragma once

#include <cstdint>
#include <string>

namespace orvik {

// The board's playback driver: an installable driver opened once per process
// by its file name and sent numbered messages with flags and a record. The
// program relies on three answers only: the position in milliseconds (status
// item 2), the value 526 for status item 4 while the board plays, and the
// list flags of the play-list replies.
class IPlaybackDriver {
public:
    static constexpr uint32_t kStatusPosition = 2;
    static constexpr uint32_t kStatusMode = 4;
    static constexpr uint32_t kModePlaying = 526;

    virtual ~IPlaybackDriver() = default;

    virtual bool Open(const std::string& driverName) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // Sends message `message` with `flags` and a record of `recordSize` bytes
    // that the driver may read and answer into. Returns the driver's result
    // (0 for success).
    virtual uint32_t SendDriverMessage(uint32_t message, uint32_t flags, void* record,
                                       size_t recordSize) = 0;
};

} // namespace orvik
