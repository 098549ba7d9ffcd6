#include "media/VfwFile.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "media/AviStreamReader.h"
#include "media/MediaFiles.h"
#include "media/RawFrameDib.h"

#include <algorithm>
#include <cstring>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(VfwFile, MediaFile, kVersionableSchema | 1)

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

// Bytes of one row of an uncompressed picture (rows are 4-byte aligned).
size_t RowBytes(int width, int bitCount) {
    return ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
}

} // namespace

VfwFile::VfwFile() = default;

VfwFile::VfwFile(const std::string& name, int32_t kind, int32_t streamIndex) {
    VfwFile::Open(name, kind, streamIndex);
}

VfwFile::~VfwFile() { VfwFile::Close(); }

RefObject* VfwFile::Clone() const {
    Lock lock(lock_);
    return new VfwFile(fileName_, kind_, streamIndex_);
}

int VfwFile::Open(const std::string& name, int32_t kind, int32_t streamIndex) {
    Lock lock(lock_);
    Close();
    MediaFile::Open(name, kind, streamIndex);
    if (name.empty())
        return 0;
    uint32_t type = kind == kindVideo   ? AviStreamReader::kVideo
                    : kind == kindAudio ? AviStreamReader::kAudio
                                        : 0;
    if (type == 0) {
        LogMessage("VfwFile::Open %s: no stream kind %d\n", name.c_str(), kind);
        return 0;
    }
    auto reader = std::make_unique<AviStreamReader>();
    std::string why;
    switch (reader->Open(name, type, streamIndex, &why)) {
    case AviStreamReader::OpenResult::opened:
        break;
    case AviStreamReader::OpenResult::noFile:
        LogMessage("VfwFile::Open %s: %s\n", name.c_str(), why.c_str());
        return 0;
    case AviStreamReader::OpenResult::noStream:
        LogMessage("VfwFile: can't get stream info %s\n", name.c_str());
        return 0;
    case AviStreamReader::OpenResult::unusableStream:
        LogMessage("VfwFile: can't get stream info %s\n", name.c_str());
        LogMessage("VfwFile::Open %s: %s\n", name.c_str(), why.c_str());
        return 0;
    }
    if (kind == kindAudio) {
        // The extra bytes a sound format announces must lie inside its chunk.
        const std::vector<uint8_t>& f = reader->StoredFormat();
        if (f.size() >= WaveFormat::kBaseSize &&
            WaveFormat::kBaseSize + (f[16] | f[17] << 8) > f.size()) {
            LogMessage("VfwFile::Open %s: sound format extra bytes pass the end of its chunk\n",
                       name.c_str());
            return 0;
        }
    }
    info_ = reader->Info();
    reader_ = std::move(reader);
    isOpen_ = true;
    return 1;
}

void VfwFile::Close() {
    Lock lock(lock_);
    reader_.reset();
    info_ = AviStreamInfo{};
    getterWidth_ = getterHeight_ = getterBits_ = 0;
    getterOpen_ = false;
    soundFormat_.reset();
    lastFrame_ = nullptr;
    MediaFile::Close();
}

AviStreamInfo VfwFile::GetStreamInfo() const {
    Lock lock(lock_);
    return info_;
}

uint32_t VfwFile::GetCompression() {
    Lock lock(lock_);
    return info_.fccHandler;
}

Rect VfwFile::GetFrameRect() {
    Lock lock(lock_);
    return Rect(info_.rcFrame.left, info_.rcFrame.top, info_.rcFrame.right, info_.rcFrame.bottom);
}

int64_t VfwFile::GetSoundFrames() {
    Lock lock(lock_);
    if (!reader_ || kind_ != kindAudio)
        return 0;
    const WaveFormat* f = reader_->Sound();
    return f ? reader_->Length() * f->SamplesPerBlock() : 0;
}

int64_t VfwFile::GetSampleCount() {
    Lock lock(lock_);
    return reader_ ? reader_->Length() : 0;
}

double VfwFile::GetRate() {
    Lock lock(lock_);
    return reader_ ? reader_->Rate() : 0.0;
}

int64_t VfwFile::GetFirstSample() {
    Lock lock(lock_);
    return reader_ ? reader_->Start() : 0;
}

int64_t VfwFile::GetDataRate() {
    Lock lock(lock_);
    if (!reader_ || kind_ != kindVideo)
        return 0;
    const int64_t frames = reader_->Length();
    if (frames <= 0)
        return 0;
    double bytes = static_cast<double>(reader_->FileSize());
    // The sound stream, read by a reader of its own. Its samples are the
    // sound format's blocks.
    RefPtr<MediaFile> sound = OpenMediaFile(fileName_, kindAudio, 0);
    if (sound->IsOpen()) {
        if (std::optional<WaveFormat> f = sound->GetWaveFormat())
            bytes -= static_cast<double>(sound->GetSampleCount()) * f->blockAlign;
    }
    double rate = bytes / static_cast<double>(frames) * reader_->Rate();
    return rate > 0 ? static_cast<int64_t>(rate) : 0;
}

RefPtr<Dib> VfwFile::GetFrame(int64_t index, BitmapInfoHeader* header, uint8_t* bits) {
    Lock lock(lock_);
    if (!reader_ || kind_ != kindVideo)
        return nullptr;
    const int64_t sample = reader_->Start() + index;

    // Straight into the caller's memory when it is a plain bottom-up picture
    // of 24 or 32 bits and the stream's pictures stand alone.
    if (header && bits && header->compression == Dib::compressionRgb && header->height > 0 &&
        (header->bitCount == 24 || header->bitCount == 32)) {
        AviStreamReader::Target target{bits, header->width, header->height, header->bitCount,
                                       RowBytes(header->width, header->bitCount)};
        bool tried = false;
        std::string why;
        if (reader_->DecodeInto(sample, target, &why, &tried)) {
            RefPtr<Dib> dib(new Dib);
            dib->Attach(header, bits);
            return dib;
        }
        if (tried) {
            LogMessage("VfwFile::GetFrame failed\n");
            return nullptr;
        }
    }

    // The frame getter, for the size (and depth) wanted.
    int width = 0, height = 0, bitCount = 24;
    if (header) {
        width = header->width;
        height = header->height < 0 ? -header->height : header->height;
        bitCount = header->bitCount == 32 ? 32 : 24;
    }
    if (getterOpen_ && (width != getterWidth_ || height != getterHeight_ || bitCount != getterBits_)) {
        reader_->CloseFrames();
        getterOpen_ = false;
    }
    if (!getterOpen_) {
        std::string why;
        if (!reader_->OpenFrames(width, height, bitCount, &why)) {
            LogMessage("VfwFile::AVIStreamGetFrameOpen failed\n");
            return nullptr;
        }
        getterOpen_ = true;
        getterWidth_ = width;
        getterHeight_ = height;
        getterBits_ = bitCount;
    }
    AviStreamReader::Picture picture;
    std::string why;
    if (!reader_->GetFrame(sample, picture, &why)) {
        LogMessage("VfwFile::GetFrame failed\n");
        return nullptr;
    }

    // The decoded picture as an image, without copying.
    BitmapInfoHeader wrapHeader;
    wrapHeader.width = picture.width;
    wrapHeader.height = picture.height;
    wrapHeader.bitCount = static_cast<uint16_t>(picture.bitCount);
    wrapHeader.sizeImage = static_cast<uint32_t>(picture.stride * picture.height);
    Dib wrapper;
    wrapper.Attach(&wrapHeader, const_cast<uint8_t*>(picture.bits));

    if (header && bits) {
        RefPtr<Dib> dib(new Dib);
        dib->Attach(header, bits);
        if (!dib->Copy(wrapper))
            return nullptr;
        return dib;
    }
    // The getter's picture changes with the next call, from any thread: hand
    // out an image that owns its pixels. The last one is reused when nobody
    // holds it any more.
    RefPtr<Dib> frame = lastFrame_;
    if (!frame || frame->RefCount() != 2 || frame->Width() != picture.width ||
        frame->Height() != picture.height || frame->BitCount() != picture.bitCount) {
        frame = new Dib;
        if (!frame->Create(picture.width, picture.height, picture.bitCount))
            return nullptr;
    }
    std::memcpy(frame->Bits(), picture.bits, std::min<size_t>(frame->ImageSize(), wrapHeader.sizeImage));
    lastFrame_ = frame;
    return frame;
}

RefPtr<Dib> VfwFile::GetRawFrame(int64_t index) {
    Lock lock(lock_);
    if (!reader_ || kind_ != kindVideo)
        return nullptr;
    const int64_t sample = reader_->Start() + index;
    uint32_t size = 0;
    if (!reader_->SampleBytes(sample, size)) {
        LogMessage("VfwFile::AVIStreamSampleSize failed\n");
        return nullptr;
    }
    std::vector<uint8_t> bytes(size);
    if (size != 0 && !reader_->Read(sample, 1, bytes.data(), bytes.size(), nullptr, nullptr)) {
        LogMessage("VfwFile::Read failed, pos: %d, count: %d\n", static_cast<int>(sample), 1);
        return nullptr;
    }
    std::vector<uint8_t> format = GetFormat(index);
    if (format.empty())
        return nullptr;
    return RefPtr<Dib>(new RawFrameDib(std::move(format), std::move(bytes)));
}

std::vector<uint8_t> VfwFile::GetFormat(int64_t index) {
    Lock lock(lock_);
    std::vector<uint8_t> format;
    if (!reader_ || !reader_->ReadFormat(reader_->Start() + index, format) || format.empty()) {
        LogMessage("VfwFile::AVIStreamReadFormat failed\n");
        return {};
    }
    return format;
}

std::optional<WaveFormat> VfwFile::GetWaveFormat() {
    Lock lock(lock_);
    if (kind_ != kindAudio || !reader_)
        return std::nullopt;
    if (!soundFormat_) {
        const WaveFormat* f = reader_->Sound();
        if (!f) {
            LogMessage("VfwFile::GetWaveFormatEx() couldn't read WAVEFORMATEX?\n");
            return std::nullopt;
        }
        soundFormat_ = *f;
    }
    return soundFormat_;
}

int64_t VfwFile::Read(int64_t sample, int64_t count, void* buffer, uint32_t bufferBytes) {
    Lock lock(lock_);
    if (!reader_)
        return 0;
    const int64_t at = reader_->Start() + sample;
    int64_t samples = 0;
    if (!reader_->Read(at, count, buffer, bufferBytes, nullptr, &samples)) {
        LogMessage("VfwFile::Read failed, pos: %d, count: %d\n", static_cast<int>(at),
                   static_cast<int>(count));
        return 0;
    }
    return samples;
}

uint32_t VfwFile::ReadSource(uint64_t byteOffset, void* buffer, uint32_t bytes) {
    Lock lock(lock_);
    if (!reader_) {
        LogMessage("VfwFile::ReadSource _pstream is NULL\n");
        return 0;
    }
    std::optional<WaveFormat> f = GetWaveFormat();
    if (!f || !buffer)
        return 0;
    const uint64_t block = f->blockAlign;
    const uint64_t first = byteOffset / block;
    int64_t count = static_cast<int64_t>(bytes / block);
    const int64_t length = reader_->Length();
    // Reading at or after the end of the stream is not an error: there is
    // nothing more.
    if (count <= 0 || first >= static_cast<uint64_t>(length))
        return 0;
    count = std::min<int64_t>(count, length - static_cast<int64_t>(first));
    const int64_t at = reader_->Start() + static_cast<int64_t>(first);
    size_t got = 0;
    if (!reader_->Read(at, count, buffer, bytes, &got, nullptr)) {
        LogMessage("VfwFile::Read failed, pos: %d, count: %d\n", static_cast<int>(at),
                   static_cast<int>(count));
        return 0;
    }
    return static_cast<uint32_t>(got);
}

} // namespace orvik
