#pragma once

#include "platform/avi/RiffWriter.h"
#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvik {

// Writes a plain PCM sound file: "RIFF" "WAVE" with a 16-byte "fmt " record
// and one "data" chunk. The sizes in the headers are written as 0 at first
// and filled in by Close, so a file whose writing stopped half-way still
// reads as a cut-off recording.
//
// A failed write (a full disk, a vanished device) makes every later call do
// nothing; Close then answers false with the reason in Error(), and the
// caller decides whether to delete the file. A file of more than 4 GiB
// cannot be described by its header and is refused the same way. The
// destructor closes a file left open. Not thread-safe.
class WaveWriter {
public:
    WaveWriter() = default;
    ~WaveWriter();
    WaveWriter(const WaveWriter&) = delete;
    WaveWriter& operator=(const WaveWriter&) = delete;

    // Creates `path` for sound in `format`, which must be PCM with 8, 16, 24
    // or 32 bits and a block size that matches its channels.
    bool Open(const std::string& path, const WaveFormat& format);
    // Appends sound bytes (whole sample frames; a trailing part frame is kept
    // and counted in the data as written).
    bool Write(const void* data, size_t bytes);
    // Fills in the header and closes; false when any write failed.
    bool Close();

    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Error() const { return file_.Failed() ? file_.Error() : error_; }
    const WaveFormat& Format() const { return format_; }
    uint64_t DataBytes() const { return dataBytes_; }
    // Whole sample frames written so far.
    int64_t Frames() const;

    // Largest data chunk whose RIFF size still fits 32 bits.
    static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36 - 1;

private:
    RiffWriter file_;
    WaveFormat format_;
    std::string error_;
    uint64_t riffAt_ = 0;
    uint64_t dataAt_ = 0;
    uint64_t dataBytes_ = 0;
};

} // namespace orvik
