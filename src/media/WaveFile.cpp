#include "media/WaveFile.h"

#include "app/DiagnosticsLog.h"

#include <algorithm>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(WaveFile, MediaFile, kVersionableSchema | 1)

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

} // namespace

WaveFile::WaveFile() = default;

WaveFile::WaveFile(const std::string& name, int32_t kind, int32_t streamIndex) {
    WaveFile::Open(name, kind, streamIndex);
}

WaveFile::~WaveFile() { WaveFile::Close(); }

RefObject* WaveFile::Clone() const {
    Lock lock(lock_);
    return new WaveFile(fileName_, kind_, streamIndex_);
}

int WaveFile::Open(const std::string& name, int32_t kind, int32_t streamIndex) {
    Lock lock(lock_);
    Close();
    MediaFile::Open(name, kind, streamIndex);
    if (name.empty() || kind != kindAudio || streamIndex != 0)
        return 0;
    if (!riff_.Open(name)) {
        LogMessage("WaveFile::Open %s mmioOpen failed\n", name.c_str());
        return 0;
    }
    if (!Parse()) {
        Close();
        return 0;
    }
    // Larger sound is read through the read-ahead buffer.
    buffered_ = dataSize_ > kBufferBytes;
    isOpen_ = true;
    return 1;
}

void WaveFile::Close() {
    Lock lock(lock_);
    riff_.Close();
    dataSize_ = dataOffset_ = 0;
    frameCount_ = 0;
    formatSeen_ = false;
    format_ = WaveFormat{};
    buffered_ = false;
    readAhead_.clear();
    readAhead_.shrink_to_fit();
    readAheadStart_ = 0;
    MediaFile::Close();
}

bool WaveFile::ReadFormatChunk(const RiffChunk& c) {
    const char* name = fileName_.c_str();
    if (formatSeen_) {
        LogMessage("WaveFile: %s has multiple format chunks?\n", name);
        return false;
    }
    if (c.size < kMinFormatSize) {
        LogMessage("WaveFile: %s has format chunk of incorrect size\n", name);
        return false;
    }
    if (c.size > kMaxFormatSize) {
        LogMessage("WaveFile: %s has format chunk larger than expected\n", name);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (c.available < c.size || !riff_.ReadData(c, bytes, c.size) || bytes.size() < c.size) {
        LogMessage("WaveFile: could not read format chunk for file %s \n", name);
        return false;
    }
    formatArea_.fill(0);
    std::memcpy(formatArea_.data(), bytes.data(), bytes.size());
    // The extra bytes the record announces must lie inside the chunk.
    if (c.size >= WaveFormat::kBaseSize &&
        WaveFormat::kBaseSize + Le16(formatArea_.data() + 16) > c.size) {
        LogMessage("WaveFile: %s has format extra bytes past the end of its chunk\n", name);
        return false;
    }
    // A channel, bit, block-align or byte-rate count of 0 would divide by
    // zero in every frame computation.
    std::string why;
    if (!WaveFormat::Parse(formatArea_.data(), c.size, format_, &why)) {
        LogMessage("WaveFile: %s has an unusable format chunk: %s\n", name, why.c_str());
        return false;
    }
    formatSeen_ = true;
    return true;
}

int64_t WaveFile::FramesInData() const {
    uint32_t perBlock = format_.SamplesPerBlock();
    if (perBlock != 0) {
        // Whole blocks; a last, shorter block of ADPCM still holds the frames
        // its bytes code.
        uint64_t blocks = dataSize_ / format_.blockAlign;
        int64_t frames = static_cast<int64_t>(blocks * perBlock);
        uint64_t rest = dataSize_ % format_.blockAlign;
        if (perBlock > 1 && rest > 0) {
            WaveFormat partial = format_;
            partial.blockAlign = static_cast<uint16_t>(rest);
            partial.extra.clear();
            frames += partial.SamplesPerBlock();
        }
        return frames;
    }
    uint64_t bitsPerFrame = uint64_t(format_.bitsPerSample) * format_.channels;
    if (bitsPerFrame < 1)
        return -1;
    return static_cast<int64_t>(dataSize_ * 8 / bitsPerFrame);
}

bool WaveFile::Parse() {
    const char* name = fileName_.c_str();
    std::vector<RiffChunk> top = riff_.TopChunks();
    const RiffChunk* form = RiffFile::Find(top, RiffFile::kRiff, kWave);
    if (!form)
        return false;
    // Every end is computed in 64 bits: a size near 4 GiB cannot wrap round.
    const uint64_t formEnd = form->dataOffset + uint64_t(form->size);
    bool haveData = false;
    for (const RiffChunk& c : riff_.Children(*form)) {
        if (c.dataOffset + uint64_t(c.size) > formEnd) {
            LogMessage("File: %s might be corrupt!\n", name);
            LogMessage("The RIFF chunk ID '%.081x' specifies a size greater than RIFF header "
                       "allows\n",
                       c.id);
            LogMessage("    parent.dwDataOffset: %d\n", static_cast<int>(form->dataOffset));
            LogMessage("          parent.cksize: %d\n", static_cast<int>(form->size));
            LogMessage("  subchunk.dwDataOffset: %d\n", static_cast<int>(c.dataOffset));
            LogMessage("        subchunk.cksize: %d\n", static_cast<int>(c.size));
            return false;
        }
        if (c.id == kFmt) {
            if (!ReadFormatChunk(c))
                return false;
        } else if (c.id == kData) {
            if (haveData) {
                LogMessage("WaveFile: %s has multiple data chunks?\n", name);
                return false;
            }
            haveData = true;
            dataOffset_ = c.dataOffset;
            // A cut-off recording holds the bytes that are there.
            dataSize_ = c.available;
        } else if (c.id == kFact) {
            if (frameCount_ != 0) {
                LogMessage("WaveFile: %s has multiple fact chunks?\n", name);
                return false;
            }
            uint8_t b[4];
            if (c.available >= 4 && riff_.ReadAt(c.dataOffset, b, 4))
                frameCount_ = Le32(b);
        }
    }
    if (!formatSeen_) {
        LogMessage("WaveFile: %s has no format chunk?\n", name);
        return false;
    }
    // Without a data chunk there is nothing to read (and offset 0 would read
    // the file's header as sound).
    if (!haveData) {
        LogMessage("WaveFile: %s has no data chunk?\n", name);
        return false;
    }
    // The data decides, a "fact" that says fewer frames wins.
    int64_t computed = FramesInData();
    if (computed >= 0 && (frameCount_ == 0 || frameCount_ > computed))
        frameCount_ = computed;
    if (frameCount_ == 0) {
        LogMessage("WaveFile: %s could not determine size\n", name);
        return false;
    }
    return true;
}

int64_t WaveFile::GetSoundFrames() {
    Lock lock(lock_);
    return frameCount_;
}

int64_t WaveFile::GetSampleCount() {
    Lock lock(lock_);
    return frameCount_;
}

double WaveFile::GetRate() {
    Lock lock(lock_);
    return formatSeen_ ? static_cast<double>(format_.samplesPerSec) : 0.0;
}

std::optional<WaveFormat> WaveFile::GetWaveFormat() {
    Lock lock(lock_);
    if (!formatSeen_)
        return std::nullopt;
    return format_;
}

uint64_t WaveFile::GetDataOffset() const {
    Lock lock(lock_);
    return dataOffset_;
}

uint64_t WaveFile::GetDataSize() const {
    Lock lock(lock_);
    return dataSize_;
}

uint32_t WaveFile::ReadSource(uint64_t byteOffset, void* buffer, uint32_t bytes) {
    Lock lock(lock_);
    if (!formatSeen_ || !riff_.IsOpen() || !buffer)
        return 0;
    const uint64_t align = std::max<uint16_t>(format_.blockAlign, 1);
    const uint64_t at = byteOffset / align * align;
    if (at >= dataSize_)
        return 0;
    const uint32_t n = static_cast<uint32_t>(std::min<uint64_t>(bytes, dataSize_ - at));
    auto* out = static_cast<uint8_t*>(buffer);
    if (!buffered_ || n > kBufferBytes)
        return static_cast<uint32_t>(riff_.Source().ReadSomeAt(dataOffset_ + at, out, n));

    if (at < readAheadStart_ || at + n > readAheadStart_ + readAhead_.size()) {
        size_t fill = static_cast<size_t>(std::min<uint64_t>(kBufferBytes, dataSize_ - at));
        readAhead_.resize(fill);
        size_t got = riff_.Source().ReadSomeAt(dataOffset_ + at, readAhead_.data(), fill);
        readAhead_.resize(got);
        readAheadStart_ = at;
    }
    uint64_t from = at - readAheadStart_;
    uint32_t have = static_cast<uint32_t>(
        std::min<uint64_t>(n, readAhead_.size() > from ? readAhead_.size() - from : 0));
    if (have)
        std::memcpy(out, readAhead_.data() + from, have);
    return have;
}

} // namespace orvik
