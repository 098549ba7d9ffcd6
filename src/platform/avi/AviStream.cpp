#include "platform/avi/AviStream.h"

#include "platform/avi/ByteSource.h"

#include <algorithm>
#include <limits>

namespace orvik {

double AviStream::Rate() const {
    if (info_.dwScale == 0)
        return 0.0;
    return static_cast<double>(info_.dwRate) / info_.dwScale;
}

void AviStream::Finish(uint32_t avihMicroSecPerFrame) {
    // A rate or scale of 0 would make every time computation divide by zero:
    // take the rate from the main header (video) or the sound format instead.
    if (info_.dwScale == 0 || info_.dwRate == 0) {
        if (type_ == kVideo && avihMicroSecPerFrame != 0) {
            info_.dwRate = 1000000;
            info_.dwScale = avihMicroSecPerFrame;
        } else if (type_ == kAudio && usable_) {
            info_.dwRate = sound_.avgBytesPerSec;
            info_.dwScale = sound_.blockAlign;
        } else {
            info_.dwRate = 0;
            info_.dwScale = 0;
        }
    }
    if (info_.dwScale == 0 || info_.dwRate == 0) {
        if (usable_)
            error_ = "stream has no rate";
        usable_ = false;
    }

    blockBytes_ = (type_ == kAudio && usable_ && info_.dwSampleSize != 0) ? sound_.blockAlign : 0;
    if (blockBytes_ != 0) {
        byteStarts_.resize(entries_.size());
        uint64_t total = 0;
        for (size_t i = 0; i < entries_.size(); ++i) {
            byteStarts_[i] = total;
            total += entries_[i].size;
        }
        length_ = static_cast<int64_t>(total / blockBytes_);
        info_.dwSampleSize = blockBytes_;
    } else {
        length_ = static_cast<int64_t>(entries_.size());
        bool anyKey = false;
        for (const Entry& e : entries_)
            anyKey = anyKey || e.key;
        // An index without a single key flag would make every frame
        // unreachable; such files come from writers that never set the flag.
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].key || !anyKey)
                keys_.push_back(static_cast<int64_t>(i));
    }
    length_ = std::min<int64_t>(length_, std::numeric_limits<uint32_t>::max() - info_.dwStart);
    info_.dwLength = static_cast<uint32_t>(length_);

    if (info_.dwSuggestedBufferSize == 0)
        for (const Entry& e : entries_)
            info_.dwSuggestedBufferSize = std::max(info_.dwSuggestedBufferSize, e.size);
    if (type_ == kVideo && usable_ && info_.rcFrame.right <= info_.rcFrame.left &&
        info_.rcFrame.bottom <= info_.rcFrame.top) {
        info_.rcFrame = {0, 0, video_.width, video_.AbsHeight()};
    }
    info_.dwFormatChangeCount = static_cast<uint32_t>(paletteChanges_.size());
}

bool AviStream::ReadFormat(int64_t sample, std::vector<uint8_t>& out) const {
    int64_t rel = sample - Start();
    if (rel < 0 || (rel >= length_ && !(rel == 0 && length_ == 0))) {
        out.clear();
        return false;
    }
    out = format_;
    if (paletteChanges_.empty() || type_ != kVideo)
        return true;
    size_t paletteOffset = std::clamp<size_t>(video_.size, BitmapInfoHeader::kSize, out.size());
    for (const PaletteChange& change : paletteChanges_) {
        if (change.entry > rel)
            break;
        const std::vector<uint8_t>& d = change.data;
        if (d.size() < 4)
            continue;
        size_t first = d[0];
        size_t count = d[1] == 0 ? 256 : d[1];
        count = std::min(count, (d.size() - 4) / 4);
        for (size_t i = 0; i < count && first + i < 256; ++i) {
            size_t at = paletteOffset + (first + i) * 4;
            if (at + 4 > out.size())
                break;
            const uint8_t* e = &d[4 + i * 4]; // red, green, blue, flags
            out[at] = e[2];
            out[at + 1] = e[1];
            out[at + 2] = e[0];
            out[at + 3] = 0;
        }
    }
    return true;
}

bool AviStream::SampleBytes(int64_t sample, uint32_t& bytes) const {
    int64_t rel = sample - Start();
    if (rel < 0 || rel >= length_)
        return false;
    bytes = blockBytes_ != 0 ? blockBytes_ : entries_[static_cast<size_t>(rel)].size;
    return true;
}

size_t AviStream::ChunkOfByte(uint64_t pos) const {
    auto it = std::upper_bound(byteStarts_.begin(), byteStarts_.end(), pos);
    return static_cast<size_t>(it - byteStarts_.begin()) - 1;
}

bool AviStream::Read(int64_t sample, int64_t count, void* buffer, size_t bufferBytes,
                     size_t* bytesRead, int64_t* samplesRead) {
    if (bytesRead)
        *bytesRead = 0;
    if (samplesRead)
        *samplesRead = 0;
    int64_t rel = sample - Start();
    if (!usable_ || rel < 0 || rel >= length_) {
        error_ = "sample out of range";
        return false;
    }
    if (blockBytes_ != 0) {
        int64_t n = std::max<int64_t>(0, std::min(count, length_ - rel));
        if (buffer) {
            int64_t fits = static_cast<int64_t>(bufferBytes / blockBytes_);
            if (n > 0 && fits == 0) {
                error_ = "buffer too small";
                return false;
            }
            n = std::min(n, fits);
        }
        uint64_t bytes = static_cast<uint64_t>(n) * blockBytes_;
        if (buffer) {
            uint64_t pos = static_cast<uint64_t>(rel) * blockBytes_;
            uint8_t* out = static_cast<uint8_t*>(buffer);
            uint64_t left = bytes;
            while (left > 0) {
                size_t chunk = ChunkOfByte(pos);
                const Entry& e = entries_[chunk];
                uint64_t within = pos - byteStarts_[chunk];
                size_t take = static_cast<size_t>(std::min<uint64_t>(left, e.size - within));
                if (!source_->ReadAt(e.offset + within, out, take)) {
                    error_ = "read failed";
                    return false;
                }
                out += take;
                pos += take;
                left -= take;
            }
        }
        if (bytesRead)
            *bytesRead = static_cast<size_t>(bytes);
        if (samplesRead)
            *samplesRead = n;
        return true;
    }
    const Entry& e = entries_[static_cast<size_t>(rel)];
    if (buffer) {
        if (bufferBytes < e.size) {
            error_ = "buffer too small";
            return false;
        }
        if (!source_->ReadAt(e.offset, buffer, e.size)) {
            error_ = "read failed";
            return false;
        }
    }
    if (bytesRead)
        *bytesRead = e.size;
    if (samplesRead)
        *samplesRead = 1;
    return true;
}

bool AviStream::IsKeyFrame(int64_t sample) const {
    int64_t rel = sample - Start();
    if (rel < 0 || rel >= length_)
        return false;
    if (blockBytes_ != 0)
        return true;
    return std::binary_search(keys_.begin(), keys_.end(), rel);
}

int64_t AviStream::PrevKeyFrame(int64_t sample) const {
    int64_t rel = sample - Start();
    if (rel < 0 || length_ == 0)
        return -1;
    rel = std::min(rel, length_ - 1);
    if (blockBytes_ != 0)
        return Start() + rel;
    auto it = std::upper_bound(keys_.begin(), keys_.end(), rel);
    if (it == keys_.begin())
        return -1;
    return Start() + *(it - 1);
}

int64_t AviStream::NextKeyFrame(int64_t sample) const {
    int64_t rel = sample - Start();
    if (blockBytes_ != 0)
        return rel + 1 < length_ ? Start() + std::max<int64_t>(rel + 1, 0) : -1;
    auto it = std::upper_bound(keys_.begin(), keys_.end(), rel);
    if (it == keys_.end())
        return -1;
    return Start() + *it;
}

} // namespace orvik
