#pragma once

#include "platform/avi/AviStream.h"
#include "platform/avi/RiffFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvik {

// An AVI file opened for reading: the main header, the streams with their
// formats, and each stream's chunks through its OpenDML index ("indx" with
// "ix##" chunks, which also reach the "AVIX" continuation forms past 1 GiB),
// the "idx1" index, or, when neither is there, a walk of the "movi" lists.
//
// Every size read from the file is checked against its chunk and the file
// before it is used; a damaged file opens with what can be trusted or does
// not open, with the reason in Error(). Not thread-safe: one reader, one
// thread at a time.
class AviFile {
public:
    // Which index to read; the others are for checking the indexes against
    // each other.
    enum class IndexUse { preferOpenDml, idx1Only, scanOnly };

    struct MainHeader {
        uint32_t microSecPerFrame = 0;
        uint32_t maxBytesPerSec = 0;
        uint32_t paddingGranularity = 0;
        uint32_t flags = 0;
        uint32_t totalFrames = 0;
        uint32_t initialFrames = 0;
        uint32_t streams = 0;
        uint32_t suggestedBufferSize = 0;
        uint32_t width = 0;
        uint32_t height = 0;
    };

    static constexpr size_t kMaxStreams = 100; // stream numbers are two digits

    AviFile() = default;
    AviFile(const AviFile&) = delete;
    AviFile& operator=(const AviFile&) = delete;

    bool Open(const std::string& path, IndexUse use = IndexUse::preferOpenDml);
    bool OpenMemory(const void* data, size_t size, IndexUse use = IndexUse::preferOpenDml);
    void Close();
    bool IsOpen() const { return open_; }
    const std::string& Error() const { return error_; }

    const MainHeader& Header() const { return header_; }
    uint64_t FileSize() const { return riff_.Size(); }
    const std::string& Path() const { return riff_.Source().Path(); }

    size_t StreamCount() const { return streams_.size(); }
    AviStream* Stream(size_t i) { return i < streams_.size() ? streams_[i].get() : nullptr; }
    // Stream number `index` among the streams of type `fccType` ("vids",
    // "auds"); null (with a reason in Error()) when there is none or it is
    // not usable.
    AviStream* FindStream(uint32_t fccType, size_t index);
    // The file carries "AVIX" continuation forms.
    bool HasContinuation() const { return movis_.size() > 1; }

private:
    bool Parse(IndexUse use);
    bool ReadStreamList(const RiffChunk& strl);
    bool ReadOpenDmlIndex(AviStream& s);
    bool ReadStandardIndex(const uint8_t* d, size_t size, AviStream& s);
    void ReadIdx1(const RiffChunk& idx1, const std::vector<bool>& wanted);
    void Scan(const RiffChunk& list, const std::vector<bool>& wanted, int depth);
    int StreamNumberOf(uint32_t ckid) const;

    RiffFile riff_;
    bool open_ = false;
    std::string error_;
    MainHeader header_;
    std::vector<std::unique_ptr<AviStream>> streams_;
    std::vector<RiffChunk> movis_; // "movi" lists of the AVI form and each AVIX form
};

} // namespace orvik
