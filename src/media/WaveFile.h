#pragma once

#include "media/MediaFile.h"
#include "platform/avi/RiffFile.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// A RIFF WAVE file read by the system itself: its "fmt " chunk, its "fact"
// frame count and its "data" chunk, with the strict rules of a sound file
// reader (one format, one data and one fact chunk, every chunk inside the
// RIFF chunk, a format that the sound arithmetic can use). Sound data is read
// through a 64 KiB read-ahead buffer when there is more than that.
class WaveFile : public MediaFile {
    ORVIK_DECLARE_SERIAL(WaveFile)
public:
    static constexpr uint32_t kWave = 0x45564157; // "WAVE"
    static constexpr uint32_t kFmt = 0x20746D66;  // "fmt "
    static constexpr uint32_t kData = 0x61746164; // "data"
    static constexpr uint32_t kFact = 0x74636166; // "fact"
    static constexpr size_t kFormatAreaSize = 144;
    static constexpr uint32_t kMinFormatSize = 14;
    static constexpr uint32_t kMaxFormatSize = 100;
    static constexpr uint32_t kBufferBytes = 65536;

    WaveFile();
    // Opens the file (see Open).
    WaveFile(const std::string& name, int32_t kind, int32_t streamIndex);
    ~WaveFile() override;

    RefObject* Clone() const override;

    // Only sound (kind 1), stream 0, of a non-empty name is opened.
    int Open(const std::string& name, int32_t kind, int32_t streamIndex) override;
    void Close() override;
    int64_t GetSampleCount() override;
    double GetRate() override;
    std::optional<WaveFormat> GetWaveFormat() override;
    // Bytes of the data chunk from `byteOffset` (rounded down to whole
    // blocks), never past the chunk's end.
    uint32_t ReadSource(uint64_t byteOffset, void* buffer, uint32_t bytes) override;

    // Where the sound data lies in the file and how long it is.
    uint64_t GetDataOffset() const;
    uint64_t GetDataSize() const;

protected:
    int64_t GetSoundFrames() override;

private:
    bool Parse();
    bool ReadFormatChunk(const RiffChunk& chunk);
    // Frames the data chunk holds by the format alone; -1 when the format
    // does not say.
    int64_t FramesInData() const;

    std::array<uint8_t, kFormatAreaSize> formatArea_{};
    WaveFormat format_;
    bool formatSeen_ = false;
    RiffFile riff_;
    uint64_t dataSize_ = 0;
    uint64_t dataOffset_ = 0;
    int64_t frameCount_ = 0;
    // Read-ahead over the data chunk.
    bool buffered_ = false;
    std::vector<uint8_t> readAhead_;
    uint64_t readAheadStart_ = 0; // data-chunk offset of readAhead_[0]
};

} // namespace orvik
