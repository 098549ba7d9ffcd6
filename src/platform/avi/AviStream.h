#pragma once

#include "platform/avi/AviStreamInfo.h"
#include "platform/avi/BitmapInfoHeader.h"
#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

class ByteSource;

// One stream of an open AviFile: its information record, its format, and its
// samples through the file's index. Sample positions run from Start() to
// Start() + Length() - 1, as the stream information counts them.
//
// A video stream (and a sound stream with a sample size of 0) has one sample
// per chunk; a sound stream with a sample size has one sample per block of
// its format, read across chunk boundaries.
//
// A stream belongs to its AviFile and lives as long as it. It is not
// thread-safe: a reader uses it from one thread at a time.
class AviStream {
public:
    static constexpr uint32_t kVideo = 0x73646976; // "vids"
    static constexpr uint32_t kAudio = 0x73647561; // "auds"

    // One chunk of the stream: where its data lies, how long it is, and
    // whether a decoder can start there.
    struct Entry {
        uint64_t offset = 0; // file offset of the data (after the chunk header)
        uint32_t size = 0;
        bool key = true;
    };

    const AviStreamInfo& Info() const { return info_; }
    uint32_t Type() const { return info_.fccType; }
    uint32_t Handler() const { return info_.fccHandler; }
    // Usable: its format was read and checked and its rate is known.
    bool IsUsable() const { return usable_; }
    // Why the stream is not usable, or the last failure of a read.
    const std::string& Error() const { return error_; }

    int64_t Start() const { return info_.dwStart; }
    int64_t Length() const { return length_; }
    double Rate() const;

    // The format block as stored ("strf").
    const std::vector<uint8_t>& Format() const { return format_; }
    // The format in effect at `sample`: the stored one with the palette
    // changes up to that sample applied. False outside the stream.
    bool ReadFormat(int64_t sample, std::vector<uint8_t>& out) const;
    // The parsed format of a video or sound stream (null for the other kind).
    const BitmapInfoHeader* Video() const { return type_ == kVideo && usable_ ? &video_ : nullptr; }
    const WaveFormat* Sound() const { return type_ == kAudio && usable_ ? &sound_ : nullptr; }
    // Codec-specific bytes kept in the header list ("strd"), often empty.
    const std::vector<uint8_t>& CodecData() const { return codecData_; }

    // Byte size of the sample at `sample`; false outside the stream.
    bool SampleBytes(int64_t sample, uint32_t& bytes) const;
    // Reads samples from `sample` on. Sound blocks: as many whole samples as
    // `count`, the buffer and the stream allow. One-chunk samples: exactly
    // one, which must fit the buffer. With a null buffer only the sizes are
    // reported. False on failure (out of range, buffer too small, read error).
    bool Read(int64_t sample, int64_t count, void* buffer, size_t bufferBytes, size_t* bytesRead,
              int64_t* samplesRead);

    bool IsKeyFrame(int64_t sample) const;
    // The nearest key frame at or before `sample`; -1 when there is none.
    int64_t PrevKeyFrame(int64_t sample) const;
    // The next key frame after `sample`; -1 when there is none.
    int64_t NextKeyFrame(int64_t sample) const;

    // The chunks as indexed, in stream order.
    const std::vector<Entry>& Entries() const { return entries_; }
    // Which index supplied the chunks: "indx", "idx1", "scan" or "".
    const std::string& IndexKind() const { return indexKind_; }

private:
    friend class AviFile;

    struct PaletteChange {
        int64_t entry = 0; // takes effect from this chunk on
        std::vector<uint8_t> data;
    };

    AviStream() = default;
    // Completes the stream once the index is read: length, keys, byte sums.
    void Finish(uint32_t avihMicroSecPerFrame);
    // Chunk index holding byte `pos` of a block-sampled stream.
    size_t ChunkOfByte(uint64_t pos) const;

    const ByteSource* source_ = nullptr;
    AviStreamInfo info_;
    uint32_t type_ = 0;
    bool usable_ = false;
    std::string error_;
    std::vector<uint8_t> format_;
    std::vector<uint8_t> codecData_;
    BitmapInfoHeader video_;
    WaveFormat sound_;
    std::vector<uint8_t> superIndex_; // "indx" as stored
    std::vector<Entry> entries_;
    std::vector<uint64_t> byteStarts_; // block-sampled: stream byte where each chunk starts
    std::vector<int64_t> keys_;        // chunk numbers of key frames, ascending
    std::vector<PaletteChange> paletteChanges_;
    uint32_t blockBytes_ = 0; // bytes per sample for block-sampled streams, else 0
    int64_t length_ = 0;
    std::string indexKind_;
};

} // namespace orvik
