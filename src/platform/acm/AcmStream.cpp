#include "platform/acm/AcmStream.h"

#include "platform/acm/PcmSamples.h"

#include <algorithm>
#include <limits>

namespace orvik {

namespace {

bool IsPcmLike(const WaveFormat& f) {
    return f.IsPcm() || f.IsFloat();
}

uint32_t Clamp32(uint64_t v) {
    return static_cast<uint32_t>(std::min<uint64_t>(v, std::numeric_limits<uint32_t>::max()));
}

} // namespace

int AcmStream::SuggestPcm(const WaveFormat& source, WaveFormat& out) {
    if (!source.Validate())
        return badFormat;
    uint16_t bits = 16;
    if (source.IsPcm()) {
        uint32_t container = PcmSamples::ContainerBytes(source);
        if (container == 0)
            return badFormat;
        bits = static_cast<uint16_t>(container * 8);
    } else if (!source.IsFloat() && !AudioDecoder::CanDecode(source)) {
        return notPossible;
    }
    out = WaveFormat::MakePcm(source.samplesPerSec, source.channels, bits);
    return ok;
}

int AcmStream::Open(const WaveFormat& source, const WaveFormat& target) {
    Close();
    std::string why;
    if (!source.Validate(&why) || !target.Validate(&why)) {
        error_ = why;
        return badFormat;
    }
    if (!IsPcmLike(target)) {
        error_ = "only PCM sound is made";
        return notPossible;
    }
    targetBytes_ = PcmSamples::ContainerBytes(target);
    if (targetBytes_ == 0) {
        error_ = "unsupported PCM shape for the result";
        return badFormat;
    }
    if (IsPcmLike(source)) {
        sourceBytes_ = PcmSamples::ContainerBytes(source);
        if (sourceBytes_ == 0) {
            error_ = "unsupported PCM shape for the source";
            return badFormat;
        }
        perBlock_ = 1;
    } else {
        if (source.channels != target.channels || source.samplesPerSec != target.samplesPerSec) {
            error_ = "compressed sound converts to its own rate and channel count only";
            return notPossible;
        }
        decoder_ = AudioDecoder::Create(source, &error_);
        if (!decoder_)
            return notPossible;
        perBlock_ = source.SamplesPerBlock();
    }
    source_ = source;
    target_ = target;
    phase_ = 0;
    open_ = true;
    return ok;
}

void AcmStream::Close() {
    open_ = false;
    decoder_.reset();
    carry_.clear();
    phase_ = 0;
    error_.clear();
}

uint64_t AcmStream::OutFrames(uint64_t frames) const {
    uint64_t src = source_.samplesPerSec, dst = target_.samplesPerSec;
    if (src == dst)
        return frames;
    uint64_t end = frames * dst;
    if (phase_ >= end)
        return 0;
    return (end - phase_ + src - 1) / src;
}

uint64_t AcmStream::InFrames(uint64_t outFrames) const {
    uint64_t src = source_.samplesPerSec, dst = target_.samplesPerSec;
    if (src == dst || outFrames == 0)
        return outFrames;
    return (phase_ + (outFrames - 1) * src) / dst + 1;
}

int AcmStream::SizeForSource(uint32_t sourceBytes, uint32_t& destinationBytes) const {
    destinationBytes = 0;
    if (!open_)
        return error;
    uint64_t blocks = sourceBytes / source_.blockAlign;
    uint64_t frames;
    if (perBlock_ != 0)
        frames = blocks * perBlock_;
    else // variable blocks: an estimate from the byte rate
        frames = uint64_t(sourceBytes) * source_.samplesPerSec / source_.avgBytesPerSec +
                 carry_.size() / source_.channels;
    destinationBytes = Clamp32(OutFrames(frames) * target_.blockAlign);
    return ok;
}

int AcmStream::SizeForDestination(uint32_t destinationBytes, uint32_t& sourceBytes) const {
    sourceBytes = 0;
    if (!open_)
        return error;
    uint64_t out = destinationBytes / target_.blockAlign;
    uint64_t frames = InFrames(out);
    uint64_t blocks;
    if (perBlock_ != 0)
        blocks = (frames + perBlock_ - 1) / perBlock_;
    else // variable blocks: the manager cannot say
        return ok;
    sourceBytes = Clamp32(blocks * source_.blockAlign);
    return ok;
}

int AcmStream::Convert(const uint8_t* source, uint32_t sourceBytes, uint8_t* destination,
                       uint32_t destinationBytes, uint32_t& sourceUsed, uint32_t& destinationUsed,
                       bool start) {
    sourceUsed = destinationUsed = 0;
    if (!open_)
        return error;
    if (start) {
        phase_ = 0;
        carry_.clear();
        if (decoder_)
            decoder_->Reset();
    }
    const uint32_t channels = source_.channels;
    const uint64_t room = destinationBytes / target_.blockAlign;
    uint64_t blocks = sourceBytes / source_.blockAlign;

    // How many whole blocks fit the destination.
    if (perBlock_ != 0) {
        uint64_t src = source_.samplesPerSec, dst = target_.samplesPerSec;
        uint64_t maxFrames = src == dst ? room : (phase_ + room * src) / dst;
        blocks = std::min<uint64_t>(blocks, maxFrames / perBlock_);
    }
    uint64_t frames = 0;
    decoded_.clear();
    if (decoder_) {
        if (perBlock_ == 0)
            decoded_.swap(carry_);
        for (uint64_t b = 0; b < blocks; ++b) {
            const uint8_t* block = source + b * source_.blockAlign;
            // Single-frame blocks (mu-law, A-law) decode in one piece.
            uint64_t run = perBlock_ == 1 ? blocks : 1;
            size_t before = decoded_.size();
            if (!decoder_->Decode(block, size_t(run * source_.blockAlign), decoded_)) {
                error_ = decoder_->Error();
                return error;
            }
            // A block decodes to exactly its frames: no more (padding) and
            // no fewer (a damaged block becomes silence).
            if (perBlock_ != 0) {
                decoded_.resize(before + run * perBlock_ * channels, 0);
            }
            b += run - 1;
        }
        frames = decoded_.size() / channels;
        if (perBlock_ == 0 && frames > room) {
            carry_.assign(decoded_.begin() + static_cast<ptrdiff_t>(room * channels),
                          decoded_.end());
            decoded_.resize(room * channels);
            frames = room;
        }
    } else {
        frames = blocks;
        decoded_.resize(frames * channels);
        PcmSamples::Read(source, decoded_.size(), sourceBytes_, source_.IsFloat(), decoded_.data());
    }

    // Channels: one to many repeats it, many to one averages, others keep
    // the channels they share and leave the rest silent.
    const uint32_t outChannels = target_.channels;
    const std::vector<int32_t>* in = &decoded_;
    if (outChannels != channels) {
        mixed_.assign(frames * outChannels, 0);
        for (uint64_t f = 0; f < frames; ++f) {
            const int32_t* s = &decoded_[f * channels];
            int32_t* d = &mixed_[f * outChannels];
            if (channels == 1) {
                std::fill(d, d + outChannels, s[0]);
            } else if (outChannels == 1) {
                int64_t sum = 0;
                for (uint32_t c = 0; c < channels; ++c)
                    sum += s[c];
                d[0] = static_cast<int32_t>(sum / channels);
            } else {
                std::copy(s, s + std::min(channels, outChannels), d);
            }
        }
        in = &mixed_;
    }

    // Rate: linear interpolation at positions phase + k x source rate, in
    // units of 1 / target rate, carried from call to call.
    uint64_t outFrames = frames;
    if (source_.samplesPerSec != target_.samplesPerSec && frames > 0) {
        const uint64_t src = source_.samplesPerSec, dst = target_.samplesPerSec;
        outFrames = std::min<uint64_t>(OutFrames(frames), room);
        resampled_.resize(outFrames * outChannels);
        for (uint64_t k = 0; k < outFrames; ++k) {
            uint64_t pos = phase_ + k * src;
            uint64_t i = pos / dst;
            int64_t f = static_cast<int64_t>(pos % dst);
            uint64_t i2 = std::min(i + 1, frames - 1);
            for (uint32_t c = 0; c < outChannels; ++c) {
                int64_t a = (*in)[i * outChannels + c], b = (*in)[i2 * outChannels + c];
                resampled_[k * outChannels + c] =
                    static_cast<int32_t>(a + (b - a) * f / static_cast<int64_t>(dst));
            }
        }
        phase_ = phase_ + outFrames * src - frames * dst;
        in = &resampled_;
    }

    PcmSamples::Write(in->data(), outFrames * outChannels, targetBytes_, target_.IsFloat(),
                      destination);
    sourceUsed = static_cast<uint32_t>(blocks * source_.blockAlign);
    destinationUsed = static_cast<uint32_t>(outFrames * target_.blockAlign);
    return ok;
}

} // namespace orvik
