#pragma once

#include "platform/avi/RiffFile.h"
#include "platform/avi/WaveFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// A RIFF WAVE file: its "fmt " record (plain, PCM-only, extended and
// extensible forms), its "fact" frame count, its "data" chunk, and the list
// of all its chunks ("LIST" and unknown chunks are skipped over, odd-sized
// chunks with their pad byte). The first "fmt " and the first "data" chunk
// count; the chunk list lets a caller apply stricter rules of its own.
//
// A "data" chunk whose size passes the end of the file (a cut-off recording,
// a file written to a pipe) holds the bytes that are there.
class WaveReader {
public:
    static constexpr uint32_t kWave = 0x45564157; // "WAVE"
    static constexpr uint32_t kFmt = 0x20746D66;  // "fmt "
    static constexpr uint32_t kData = 0x61746164; // "data"
    static constexpr uint32_t kFact = 0x74636166; // "fact"

    bool Open(const std::string& path);
    bool OpenMemory(const void* data, size_t size);
    void Close();
    bool IsOpen() const { return open_; }
    const std::string& Error() const { return error_; }

    const RiffFile& Riff() const { return riff_; }
    // The "RIFF" chunk and the chunks inside it, in file order.
    const RiffChunk& Form() const { return form_; }
    const std::vector<RiffChunk>& Chunks() const { return chunks_; }

    const WaveFormat& Format() const { return format_; }
    // The "fmt " chunk's bytes as stored (at most 64 KiB).
    const std::vector<uint8_t>& FormatBytes() const { return formatBytes_; }
    uint64_t DataOffset() const { return dataOffset_; }
    uint64_t DataSize() const { return dataSize_; }
    bool HasFact() const { return hasFact_; }
    uint32_t FactFrames() const { return factFrames_; }
    // Frames of sound: whole frames (PCM) or whole blocks' worth of frames
    // (ADPCM) in the data, capped by "fact" when it says fewer; for other
    // compressed kinds "fact", or an estimate from the byte rate.
    int64_t FrameCount() const { return frameCount_; }

    // Reads up to `bytes` of sound data from `byteOffset` within the data
    // chunk, never past its end; returns the bytes read.
    size_t ReadData(uint64_t byteOffset, void* buffer, size_t bytes) const;

private:
    bool Parse();

    RiffFile riff_;
    bool open_ = false;
    std::string error_;
    RiffChunk form_;
    std::vector<RiffChunk> chunks_;
    WaveFormat format_;
    std::vector<uint8_t> formatBytes_;
    uint64_t dataOffset_ = 0;
    uint64_t dataSize_ = 0;
    bool hasFact_ = false;
    uint32_t factFrames_ = 0;
    int64_t frameCount_ = 0;
};

} // namespace orvik
