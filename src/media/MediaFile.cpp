#include "media/MediaFile.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "platform/acm/AcmStream.h"
#include "platform/acm/PcmSamples.h"
#include "platform/archive/Archive.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(MediaFile, RefObject, kVersionableSchema | 1)

namespace {

// Largest intermediate buffer of a two-step conversion and largest source
// read of the direct resampler: a caller's buffer is far smaller; this only
// stops a nonsensical rate pair from asking for gigabytes.
constexpr uint64_t kMaxWorkBytes = 64u << 20;
constexpr int64_t kMaxFrameIndex = int64_t(1) << 40;

using Lock = std::lock_guard<std::recursive_mutex>;

} // namespace

MediaFile::MediaFile() = default;

MediaFile::MediaFile(const std::string& name, int32_t kind, int32_t streamIndex)
    : fileName_(name), kind_(kind), streamIndex_(streamIndex) {}

MediaFile::~MediaFile() = default;

void MediaFile::Serialize(Archive&) {}

RefObject* MediaFile::Clone() const {
    Lock lock(lock_);
    return new MediaFile(fileName_, kind_, streamIndex_);
}

int MediaFile::Open(const std::string& name, int32_t kind, int32_t streamIndex) {
    Lock lock(lock_);
    fileName_ = name;
    kind_ = kind;
    streamIndex_ = streamIndex;
    return 0;
}

int MediaFile::IsValid() {
    Lock lock(lock_);
    if (isOpen_)
        return 1;
    std::string name = fileName_;
    return Open(name, kind_, streamIndex_);
}

void MediaFile::Close() {
    Lock lock(lock_);
    isOpen_ = false;
    FreePcmFormat();
}

std::string MediaFile::GetFileName() const {
    Lock lock(lock_);
    return fileName_;
}

int32_t MediaFile::GetKind() const {
    Lock lock(lock_);
    return kind_;
}

int32_t MediaFile::GetStreamIndex() const {
    Lock lock(lock_);
    return streamIndex_;
}

int MediaFile::IsOpen() const {
    Lock lock(lock_);
    return isOpen_ ? 1 : 0;
}

uint32_t MediaFile::GetCompression() { return 0; }
Rect MediaFile::GetFrameRect() { return Rect(); }
int64_t MediaFile::GetSampleCount() { return 0; }
double MediaFile::GetRate() { return 0.0; }
int64_t MediaFile::GetFirstSample() { return 0; }
int64_t MediaFile::GetDataRate() { return 0; }

RefPtr<Dib> MediaFile::GetFrame(int64_t, BitmapInfoHeader*, uint8_t*) { return nullptr; }

RefPtr<Dib> MediaFile::GetFrameAt(Time time, BitmapInfoHeader* header, uint8_t* bits) {
    return GetFrame(Timecode::ToSample(time), header, bits);
}

RefPtr<Dib> MediaFile::GetNearestFrame(int64_t& index, BitmapInfoHeader* header, uint8_t* bits) {
    return GetFrame(index, header, bits);
}

RefPtr<Dib> MediaFile::GetRawFrame(int64_t) { return nullptr; }
std::vector<uint8_t> MediaFile::GetFormat(int64_t) { return {}; }

void MediaFile::SetOutputMode(int32_t mode) {
    Lock lock(lock_);
    outputMode_ = mode;
}

int32_t MediaFile::GetOutputMode() const {
    Lock lock(lock_);
    return outputMode_;
}

void MediaFile::SetPlayHint(int32_t hint) {
    Lock lock(lock_);
    playHint_ = hint;
}

int32_t MediaFile::GetPlayHint() const {
    Lock lock(lock_);
    return playHint_;
}

std::optional<WaveFormat> MediaFile::GetWaveFormat() { return std::nullopt; }

int MediaFile::HasPcmFormat() { return GetPcmWaveFormatEx().has_value() ? 1 : 0; }

int64_t MediaFile::Read(int64_t, int64_t, void*, uint32_t) { return 0; }
uint32_t MediaFile::ReadSource(uint64_t, void*, uint32_t) { return 0; }

uint32_t MediaFile::FrameBytesOf(const WaveFormat& f) {
    if (f.IsPcm() || f.IsFloat())
        return f.blockAlign;
    return static_cast<uint32_t>(f.bitsPerSample) * f.channels / 8;
}

int64_t MediaFile::GetSoundFrames() { return 0; }

uint32_t MediaFile::GetBytesPerFrame() {
    Lock lock(lock_);
    std::optional<WaveFormat> f = GetWaveFormat();
    return f ? FrameBytesOf(*f) : 0;
}

std::optional<WaveFormat> MediaFile::GetPcmWaveFormatEx() {
    Lock lock(lock_);
    if (pcmFormat_)
        return pcmFormat_;
    std::optional<WaveFormat> f = GetWaveFormat();
    if (!f || f->tag == WaveFormat::kPcm)
        return f;
    if (f->bitsPerSample == 0 || f->channels == 0)
        return std::nullopt;
    // The format record is rebuilt field by field from the parsed format, so
    // a short format chunk is never read past its end.
    WaveFormat suggested;
    if (AcmStream::SuggestPcm(*f, suggested) != AcmStream::ok) {
        LogMessage("MediaFile::GetPcmWaveFormatEx: could not suggest format\n");
        FreePcmFormat();
        return std::nullopt;
    }
    pcmFormat_ = suggested;
    return pcmFormat_;
}

void MediaFile::FreePcmFormat() {
    Lock lock(lock_);
    pcmFormat_.reset();
}

int MediaFile::ConvertSamples(int result, const char* operationName) {
    if (result == 0)
        return 1;
    LogMessage("ConvertSamples: %s failed, %d\n", operationName, result);
    return 0;
}

void MediaFile::GetPeak(int64_t from, int64_t to, int32_t& min, int32_t& max) {
    Lock lock(lock_);
    min = max = 0;
    int64_t n = std::min(to, GetSampleCount()) - from;
    if (n <= 0)
        return;
    n = std::min(n, kPeakFrames);
    std::optional<WaveFormat> pcm = GetPcmWaveFormatEx();
    if (!pcm)
        return;
    uint32_t container = PcmSamples::ContainerBytes(*pcm);
    if (container == 0)
        return;
    std::vector<uint8_t> bytes(static_cast<size_t>(n) * pcm->blockAlign);
    uint32_t got = ReadPcm(from, static_cast<uint32_t>(n), bytes.data(),
                           static_cast<uint32_t>(bytes.size()), false);
    std::vector<int32_t> values(static_cast<size_t>(got) * pcm->channels);
    PcmSamples::Read(bytes.data(), values.size(), container, pcm->IsFloat(), values.data());
    // Values on the 16-bit scale whatever the depth (8-bit values become
    // (v - 128) x 256).
    for (int32_t v : values) {
        int32_t s = v >> 16;
        max = std::max(max, s);
        min = std::min(min, s);
    }
}

uint32_t MediaFile::ReadAudioAt(const WaveFormat& targetFormat, uint32_t bytes, void* buffer,
                                MediaTime mediaTime, bool allowDirect) {
    Lock lock(lock_);
    std::optional<WaveFormat> f = GetWaveFormat();
    if (!f)
        return 0;
    // In 128 bits: a high sample rate times a long position passes 64 bits.
    __int128 index = (static_cast<__int128>(f->samplesPerSec) * mediaTime + 5000000) / 10000000;
    if (index > std::numeric_limits<int64_t>::max() || index < 0)
        return 0;
    return ReadConverted(targetFormat, bytes, buffer, static_cast<int64_t>(index), allowDirect, 0);
}

uint32_t MediaFile::ReadPcm(int64_t fromFrame, uint32_t count, void* buffer, uint32_t bufferBytes,
                            bool allowDirect) {
    Lock lock(lock_);
    std::optional<WaveFormat> pcm = GetPcmWaveFormatEx();
    if (!pcm)
        return 0;
    uint64_t wanted = static_cast<uint64_t>(count) * FrameBytesOf(*pcm);
    bufferBytes = static_cast<uint32_t>(std::min<uint64_t>(bufferBytes, wanted));
    uint32_t got = ReadConverted(*pcm, bufferBytes, buffer, fromFrame, allowDirect, 0);
    return std::min(got, count);
}

uint32_t MediaFile::ReadSourceBytes(uint64_t byteOffset, uint8_t* out, uint32_t bytes) {
    if (!readFromBuffer_)
        return ReadSource(byteOffset, out, bytes);
    uint32_t n = std::min(bytes, bufferLength_);
    if (n)
        std::memcpy(out, buffer_.data(), n);
    return n;
}

bool MediaFile::DirectAccepts(const WaveFormat& source, const WaveFormat& target) {
    if (!target.Validate() || !source.Validate())
        return false;
    if (!target.IsPcm() || target.channels != 2 || target.bitsPerSample != 16 ||
        target.blockAlign != 4)
        return false;
    if (!source.IsPcm() || (source.channels != 1 && source.channels != 2) ||
        (source.bitsPerSample != 8 && source.bitsPerSample != 16))
        return false;
    // The samples must lie as their bit count says.
    return source.blockAlign == source.channels * source.bitsPerSample / 8;
}

uint32_t MediaFile::DirectResample(const WaveFormat& source, const WaveFormat& target,
                                   uint32_t bytes, uint8_t* buffer, int64_t frameIndex) {
    const double ratio = double(source.samplesPerSec) / double(target.samplesPerSec);
    const uint32_t frameBytes = source.blockAlign;
    const uint64_t outFrames = bytes / 4;
    uint64_t want = static_cast<uint64_t>(double(outFrames) * ratio);
    want = std::min<uint64_t>(want, kMaxWorkBytes / frameBytes);
    if (!readFromBuffer_) {
        const int64_t end = GetSoundFrames();
        if (end > 0)
            want = std::min<uint64_t>(want, end > frameIndex ? uint64_t(end - frameIndex) : 0);
    }
    scratch_.resize(static_cast<size_t>(want * frameBytes));
    uint64_t offset = static_cast<uint64_t>(frameIndex) * frameBytes;
    uint32_t read = want ? ReadSourceBytes(offset, scratch_.data(),
                                           static_cast<uint32_t>(want * frameBytes))
                         : 0;
    const int64_t got = read / frameBytes;
    if (got <= 0)
        return 0;
    // Rounding of got / ratio must never pass the caller's buffer.
    const int64_t count =
        std::min<int64_t>(static_cast<int64_t>(double(got) / ratio), static_cast<int64_t>(outFrames));

    const bool stereo = source.channels == 2;
    const bool eightBit = source.bitsPerSample == 8;
    const uint8_t* in = scratch_.data();
    auto value = [&](int64_t frame, int channel) -> double {
        if (eightBit)
            return (int(in[frame * source.blockAlign + channel]) - 128) * 256;
        int16_t v;
        std::memcpy(&v, in + frame * source.blockAlign + 2 * channel, 2);
        return v;
    };
    int16_t* out = reinterpret_cast<int16_t*>(buffer);
    for (int64_t i = 0; i < count; ++i) {
        double p = double(i) * ratio;
        int64_t k = static_cast<int64_t>(p);
        int64_t k2 = std::min(k + 1, got - 1);
        k = std::min(k, got - 1);
        double f = p - double(k);
        int16_t left = static_cast<int16_t>((1 - f) * value(k, 0) + f * value(k2, 0));
        int16_t right =
            stereo ? static_cast<int16_t>((1 - f) * value(k, 1) + f * value(k2, 1)) : left;
        std::memcpy(out + 2 * i, &left, 2);
        std::memcpy(out + 2 * i + 1, &right, 2);
    }
    return static_cast<uint32_t>(count);
}

uint32_t MediaFile::ReadConverted(const WaveFormat& targetFormat, uint32_t bytes, void* buffer,
                                  int64_t frameIndex, bool allowDirect, int pass) {
    Lock lock(lock_);
    if (bytes == 0 || !buffer)
        return 0;
    // Frame positions stay far below the point where a byte offset would
    // pass 64 bits.
    if (frameIndex < 0 || frameIndex > kMaxFrameIndex) {
        LogMessage("MediaFile::ReadConverted: frame %lld is outside the file\n",
                   static_cast<long long>(frameIndex));
        return 0;
    }
    readFromBuffer_ = pass != 0;
    WaveFormat source;
    if (pass == 0) {
        std::optional<WaveFormat> f = GetWaveFormat();
        if (!f)
            return 0;
        source = *f;
        bufferLength_ = 0;
    } else {
        source = intermediateFormat_;
    }
    struct ResetBufferFlag {
        bool& flag;
        ~ResetBufferFlag() { flag = false; }
    } resetFlag{readFromBuffer_};

    if (allowDirect && DirectAccepts(source, targetFormat))
        return DirectResample(source, targetFormat, bytes, static_cast<uint8_t*>(buffer),
                              frameIndex);

    // Where the converted sound goes, in which format.
    uint8_t* destination = static_cast<uint8_t*>(buffer);
    uint32_t destinationBytes = bytes;
    WaveFormat destinationFormat = targetFormat;
    bool twoStep = false;

    AcmStream stream;
    int result = stream.Open(source, targetFormat);
    if (result == AcmStream::notPossible && pass == 0) {
        // Decode to PCM of the source's own rate and channels first, then
        // convert that PCM to the target in a second pass.
        uint16_t bits = source.EffectiveTag() == WaveFormat::kMuLaw ? 16 : targetFormat.bitsPerSample;
        intermediateFormat_ = WaveFormat::MakePcm(source.samplesPerSec, source.channels, bits);
        uint64_t length = targetFormat.avgBytesPerSec == 0
                              ? 0
                              : uint64_t(intermediateFormat_.avgBytesPerSec) * bytes /
                                    targetFormat.avgBytesPerSec;
        if (length > kMaxWorkBytes) {
            LogMessage("MediaFile::ReadConverted: %llu intermediate bytes are too many\n",
                       static_cast<unsigned long long>(length));
            return 0;
        }
        buffer_.assign(static_cast<size_t>(length), 0);
        bufferLength_ = static_cast<uint32_t>(length);
        destination = buffer_.data();
        destinationBytes = bufferLength_;
        destinationFormat = intermediateFormat_;
        twoStep = true;
        result = stream.Open(source, intermediateFormat_);
    }
    if (!ConvertSamples(result, "acmStreamOpen"))
        return 0;

    // Where to read: whole frames of PCM; whole blocks of compressed sound,
    // dropping the frames before `frameIndex` from the front afterwards.
    uint64_t offset = 0;
    uint32_t skip = 0;
    if (source.IsPcm() || source.IsFloat()) {
        offset = static_cast<uint64_t>(frameIndex) * source.blockAlign;
    } else {
        uint64_t perBlock = source.SamplesPerBlock();
        if (perBlock == 0)
            perBlock = uint64_t(source.samplesPerSec) * source.blockAlign / source.avgBytesPerSec;
        perBlock = std::max<uint64_t>(perBlock, 1);
        offset = static_cast<uint64_t>(frameIndex) / perBlock * source.blockAlign;
        skip = static_cast<uint32_t>(static_cast<uint64_t>(frameIndex) % perBlock);
    }
    const uint32_t outFrameBytes = destinationFormat.blockAlign;
    const uint64_t skipBytes = uint64_t(skip) * outFrameBytes;

    // The file's sound ends before the padding of its last block.
    uint64_t maxMade = UINT64_MAX;
    if (pass == 0) {
        const int64_t end = GetSoundFrames();
        if (end > 0) {
            if (frameIndex >= end)
                return 0;
            maxMade = (uint64_t(end - frameIndex) * destinationFormat.samplesPerSec +
                       source.samplesPerSec - 1) /
                      source.samplesPerSec * outFrameBytes;
        }
    }

    // Source bytes that make the destination (and the frames to skip).
    uint32_t sourceBytes = 0;
    uint64_t wanted = std::min<uint64_t>(destinationBytes + skipBytes, UINT32_MAX);
    if (!ConvertSamples(stream.SizeForDestination(static_cast<uint32_t>(wanted), sourceBytes),
                        "acmStreamSize"))
        return 0;
    if (sourceBytes == 0) // the manager cannot say: one block
        sourceBytes = source.blockAlign;

    // Read the source.
    std::vector<uint8_t> in(sourceBytes);
    uint32_t got = ReadSourceBytes(offset, in.data(), sourceBytes);
    if (got < source.blockAlign)
        return 0;

    // Convert. When the whole blocks read make more than the destination
    // holds (blocks of many frames, frames to skip), convert into a buffer of
    // their size and copy out what fits: a block is never cut off.
    uint32_t produceBytes = 0;
    if (!ConvertSamples(stream.SizeForSource(got, produceBytes), "acmStreamSize"))
        return 0;
    std::vector<uint8_t> temp;
    uint8_t* out = destination;
    uint32_t outBytes = destinationBytes;
    if (produceBytes > destinationBytes || skip != 0) {
        temp.assign(std::max<uint32_t>(produceBytes, destinationBytes), 0);
        out = temp.data();
        outBytes = static_cast<uint32_t>(temp.size());
    }
    uint32_t used = 0, made = 0;
    if (!ConvertSamples(stream.Convert(in.data(), got, out, std::min(produceBytes, outBytes), used,
                                       made, true),
                        "acmStreamConvert"))
        return 0;
    if (made == 0) {
        // Nothing came out: deliver silence rather than stale bytes.
        std::memset(destination, destinationFormat.bitsPerSample == 8 ? 0x80 : 0,
                    destinationBytes);
        made = destinationBytes;
    } else {
        if (out != destination) {
            uint32_t available = made > skipBytes ? made - static_cast<uint32_t>(skipBytes) : 0;
            made = std::min(available, destinationBytes);
            if (made)
                std::memcpy(destination, out + skipBytes, made);
        }
        made = static_cast<uint32_t>(std::min<uint64_t>(made, maxMade));
    }
    stream.Close();

    if (twoStep) {
        bufferLength_ = made;
        return ReadConverted(targetFormat, bytes, buffer, frameIndex, allowDirect, pass + 1);
    }
    return outFrameBytes ? made / outFrameBytes : 0;
}

} // namespace orvik
