#include "platform/avi/WaveReader.h"

#include "platform/avi/LittleEndian.h"

#include <algorithm>

namespace orvik {

bool WaveReader::Open(const std::string& path) {
    Close();
    if (!riff_.Open(path, &error_))
        return false;
    return Parse();
}

bool WaveReader::OpenMemory(const void* data, size_t size) {
    Close();
    riff_.OpenMemory(data, size);
    return Parse();
}

void WaveReader::Close() {
    riff_.Close();
    open_ = false;
    error_.clear();
    form_ = RiffChunk{};
    chunks_.clear();
    format_ = WaveFormat{};
    formatBytes_.clear();
    dataOffset_ = dataSize_ = 0;
    hasFact_ = false;
    factFrames_ = 0;
    frameCount_ = 0;
}

bool WaveReader::Parse() {
    auto fail = [&](const std::string& why) {
        error_ = why;
        riff_.Close();
        return false;
    };
    std::vector<RiffChunk> top = riff_.TopChunks();
    if (top.empty() || top[0].id != RiffFile::kRiff || top[0].form != kWave)
        return fail("not a WAVE file");
    form_ = top[0];
    chunks_ = riff_.Children(form_);
    bool haveFormat = false, haveData = false;
    for (const RiffChunk& c : chunks_) {
        if (c.id == kFmt && !haveFormat) {
            if (!riff_.ReadData(c, formatBytes_, 1u << 16))
                return fail("cannot read the format chunk");
            std::string why;
            if (!WaveFormat::Parse(formatBytes_.data(), formatBytes_.size(), format_, &why))
                return fail(why);
            haveFormat = true;
        } else if (c.id == kData && !haveData) {
            dataOffset_ = c.dataOffset;
            dataSize_ = c.available;
            haveData = true;
        } else if (c.id == kFact && !hasFact_ && c.available >= 4) {
            uint8_t b[4];
            if (!riff_.ReadAt(c.dataOffset, b, 4))
                return fail("cannot read the fact chunk");
            factFrames_ = GetLE32(b);
            hasFact_ = true;
        }
    }
    if (!haveFormat)
        return fail("WAVE file without a format chunk");
    if (!haveData)
        return fail("WAVE file without a data chunk");

    uint32_t perBlock = format_.SamplesPerBlock();
    int64_t computed;
    if (perBlock != 0) {
        uint64_t blocks = dataSize_ / format_.blockAlign;
        computed = static_cast<int64_t>(blocks * perBlock);
        // A last, shorter block of ADPCM still decodes the frames it holds.
        uint64_t rest = dataSize_ % format_.blockAlign;
        if (perBlock > 1 && rest > 0) {
            WaveFormat partial = format_;
            partial.blockAlign = static_cast<uint16_t>(rest);
            partial.extra.clear();
            computed += partial.SamplesPerBlock();
        }
        if (hasFact_ && factFrames_ < computed)
            computed = factFrames_;
    } else if (hasFact_) {
        computed = factFrames_;
    } else {
        computed = static_cast<int64_t>(static_cast<double>(dataSize_) * format_.samplesPerSec /
                                        format_.avgBytesPerSec);
    }
    frameCount_ = computed;
    open_ = true;
    return true;
}

size_t WaveReader::ReadData(uint64_t byteOffset, void* buffer, size_t bytes) const {
    if (!open_ || byteOffset >= dataSize_)
        return 0;
    size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, dataSize_ - byteOffset));
    return riff_.Source().ReadSomeAt(dataOffset_ + byteOffset, buffer, n);
}

} // namespace orvik
