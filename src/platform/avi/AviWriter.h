#pragma once

#include "platform/avi/AviStreamInfo.h"
#include "platform/avi/BitmapInfoHeader.h"
#include "platform/avi/RiffWriter.h"
#include "platform/avi/WaveFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// Writes an AVI file: one video stream of any handler code with a picture
// header format, and optionally one PCM sound stream, interleaved in the
// "movi" list, with an "idx1" index. Close fills in what is only known at
// the end: the frame counts and lengths of the main and stream headers, the
// suggested buffer sizes and the data rate.
//
// Before a RIFF form would pass the OpenDML threshold (1 GiB unless the
// options say otherwise) it is ended and the file goes on in "AVIX"
// continuation forms. Such a file carries, per stream, a standard index
// ("ix00", "ix01") at the end of each form's "movi" list and a super index
// ("indx") in its stream header list pointing at them, and an "odml" list
// with the total frame count; the first form keeps its "idx1", so readers
// that know only that form still play its part. Files that stay below the
// threshold are plain AVI files (the room kept for the super indexes stays a
// "JUNK" chunk).
//
// Sound is cut into one chunk per video frame (the sound of that frame's
// time), written as soon as both the sound and the frame before it are
// there; the two streams may be given in either order. A file with sound
// only gets chunks of `soundChunkMicroseconds`.
//
// Use: Open, SetVideoStream and/or SetSoundStream, then WriteVideo and
// WriteSound in any order, then Close. A failed write (a full disk, a
// vanished device) makes every later call do nothing; Close then answers
// false with the reason in Error(), and the caller decides whether to delete
// the file. The destructor closes a file left open. Not thread-safe.
class AviWriter {
public:
    static constexpr uint64_t kOpenDmlThreshold = 1ull << 30;
    // A RIFF form's size must fit 32 bits; larger limits are lowered to this.
    static constexpr uint64_t kMaxRiffLimit = 0xF0000000ull;
    // A chunk's size in a standard index has 31 bits.
    static constexpr size_t kMaxChunkBytes = 0x7FFFFFF0u;

    struct Options {
        // A RIFF form is ended before it would grow past this many bytes.
        uint64_t riffLimit = kOpenDmlThreshold;
        // Room kept in each stream's super index for standard indexes: one
        // per RIFF form, so this many forms at most.
        uint32_t superIndexEntries = 256;
        // Length of one sound chunk in a file without video.
        uint32_t soundChunkMicroseconds = 40000;
    };

    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // Creates (or empties) `path`; false with the system's reason in Error().
    bool Open(const std::string& path, const Options& options);
    bool Open(const std::string& path) { return Open(path, Options()); }

    // The video stream, before the first write: `info` gives the handler
    // code, the rate and scale, quality, frame rectangle and name (its type,
    // length and buffer size are the writer's); `format` is the picture
    // header as stored, perhaps followed by codec bytes.
    bool SetVideoStream(const AviStreamInfo& info, const std::vector<uint8_t>& format);
    bool SetVideoStream(uint32_t handler, const BitmapInfoHeader& header, uint32_t rate,
                        uint32_t scale);
    // The sound stream, before the first write: plain PCM.
    bool SetSoundStream(const WaveFormat& format);

    // One frame's sample as the compressor made it; an empty sample is a
    // dropped frame (players show the one before).
    bool WriteVideo(const void* data, size_t size, bool keyFrame);
    // Sound bytes in the stream's format, in time order, whole sample frames
    // (a part frame left over at Close is dropped).
    bool WriteSound(const void* data, size_t bytes);
    // Writes what is pending, the indexes and the completed headers, and
    // closes; false when any write failed.
    bool Close();

    bool IsOpen() const { return file_.IsOpen(); }
    const std::string& Error() const { return file_.Failed() ? file_.Error() : error_; }

    int64_t VideoFrames() const { return video_.chunks; }
    // Sample frames of sound given so far (written or waiting).
    int64_t SoundFrames() const;
    // Bytes of the file so far.
    uint64_t BytesWritten() const { return file_.Position(); }
    // RIFF forms begun so far: more than 1 once the file has gone OpenDML.
    int RiffCount() const { return riffCount_; }

private:
    struct IndexEntry {
        uint64_t offset = 0; // file offset of the chunk's data
        uint32_t size = 0;
        bool key = true;
    };
    struct SuperEntry {
        uint64_t offset = 0; // file offset of the standard index chunk
        uint32_t size = 0;   // its whole size, header included
        uint32_t duration = 0;
    };
    struct Idx1Entry {
        uint32_t ckid = 0;
        uint32_t flags = 0;
        uint32_t offset = 0; // from the "movi" form type
        uint32_t size = 0;
    };
    struct Stream {
        bool present = false;
        int number = 0;
        uint32_t chunkId = 0;
        AviStreamInfo info;
        std::vector<uint8_t> format;
        uint64_t strhAt = 0; // offset of the stream header's data
        uint64_t indxAt = 0; // offset of the super index's chunk header
        uint32_t maxChunk = 0;
        int64_t chunks = 0;
        int64_t ticks = 0; // frames, or sound blocks
        uint64_t bytes = 0;
        std::vector<IndexEntry> part; // chunks of the current RIFF form
        int64_t partTicks = 0;
        std::vector<SuperEntry> super;
    };

    bool Usable(const char* operation);
    bool CanStillDeclare(const char* operation);
    void WriteHeader();
    void WriteChunkOf(Stream& s, const void* data, size_t size, bool key, int64_t ticks);
    void StartNextRiffIfFull(const Stream& s, size_t size);
    void WritePartIndexes();
    void WriteIdx1();
    void WriteSoundPieces(bool final);
    int64_t SoundPieceEnd(int64_t piece) const;
    void PatchHeaders(bool openDml);
    std::vector<uint8_t> MainHeaderBytes() const;
    std::vector<uint8_t> StreamHeaderBytes(const Stream& s) const;
    std::vector<uint8_t> SuperIndexBytes(const Stream& s) const;
    size_t SuperIndexBytesReserved() const;

    RiffWriter file_;
    Options options_;
    std::string error_;
    Stream video_;
    Stream sound_;
    WaveFormat soundFormat_;
    bool headerWritten_ = false;
    int riffCount_ = 0;
    uint64_t riffAt_ = 0; // header of the current RIFF form
    uint64_t moviAt_ = 0; // header of the current "movi" list
    uint64_t avihAt_ = 0; // data of the main header
    uint64_t dmlhAt_ = 0; // data of the OpenDML header
    int64_t firstRiffFrames_ = -1;
    std::vector<Idx1Entry> idx1_;
    // Sound given but not yet written, from pendingStart_ on.
    std::vector<uint8_t> pending_;
    size_t pendingStart_ = 0;
    int64_t soundPieces_ = 0;
    int64_t soundWrittenFrames_ = 0;
};

} // namespace orvik
