#include "platform/codec/FrameGetter.h"

#include "platform/avi/AviStream.h"

namespace orvik {

FrameGetter::~FrameGetter() {
    Close();
}

bool FrameGetter::Open(AviStream& stream, const BitmapInfoHeader* wanted) {
    Close();
    const BitmapInfoHeader* own = stream.Video();
    if (!own) {
        error_ = "not a usable video stream";
        return false;
    }
    int width = wanted ? wanted->width : own->width;
    int height = wanted ? wanted->AbsHeight() : own->AbsHeight();
    int bits = wanted && wanted->bitCount ? wanted->bitCount : 24;
    if (width <= 0 || height <= 0 || width > BitmapInfoHeader::kMaxDimension ||
        height > BitmapInfoHeader::kMaxDimension) {
        error_ = "picture size out of range";
        return false;
    }
    if (bits != 8 && bits != 24 && bits != 32) {
        error_ = "pictures are made in 8, 24 or 32 bits only";
        return false;
    }
    decoder_ = VideoDecompressor::Open(stream.Format(), stream.Handler(), &error_);
    if (!decoder_)
        return false;
    stream_ = &stream;
    header_ = BitmapInfoHeader{};
    header_.width = width;
    header_.height = height;
    header_.bitCount = static_cast<uint16_t>(bits);
    header_.sizeImage = static_cast<uint32_t>(header_.Stride() * static_cast<uint64_t>(height));
    header_.clrUsed = bits == 8 ? 256 : 0;
    outputFormat_ = header_.Bytes();
    if (bits == 8)
        for (int i = 0; i < 256; ++i)
            outputFormat_.insert(outputFormat_.end(),
                                 {uint8_t(i), uint8_t(i), uint8_t(i), uint8_t(0)});
    picture_.assign(header_.sizeImage, 0);
    return true;
}

void FrameGetter::Close() {
    decoder_.reset();
    stream_ = nullptr;
    picture_.clear();
    picture_.shrink_to_fit();
    sample_.clear();
    shown_ = decoded_ = -1;
    nextFeed_ = nextOut_ = 0;
    ended_ = false;
    fresh_ = true;
}

bool FrameGetter::ReadSample(int64_t rel) {
    uint32_t bytes = 0;
    int64_t at = stream_->Start() + rel;
    if (!stream_->SampleBytes(at, bytes)) {
        error_ = "sample out of range";
        return false;
    }
    sample_.resize(bytes);
    if (bytes == 0)
        return true;
    if (!stream_->Read(at, 1, sample_.data(), sample_.size(), nullptr, nullptr)) {
        error_ = "cannot read sample: " + stream_->Error();
        return false;
    }
    return true;
}

const uint8_t* FrameGetter::GetFrame(int64_t sample) {
    if (!decoder_) {
        error_ = "not open";
        return nullptr;
    }
    int64_t rel = sample - stream_->Start();
    if (rel < 0 || rel >= stream_->Length()) {
        error_ = "frame out of range";
        return nullptr;
    }
    if (rel == shown_)
        return picture_.data();
    bool ok = decoder_->IsIntraOnly() ? DecodeIntra(rel) : DecodeInter(rel);
    return ok ? picture_.data() : nullptr;
}

bool FrameGetter::DecodeIntra(int64_t rel) {
    // An empty sample repeats the picture before it.
    int64_t k = rel;
    uint32_t bytes = 0;
    while (k >= 0 && stream_->SampleBytes(stream_->Start() + k, bytes) && bytes == 0)
        --k;
    if (k < 0) {
        error_ = "no picture up to this frame";
        return false;
    }
    if (k != decoded_) {
        shown_ = decoded_ = -1;
        if (!ReadSample(k))
            return false;
        DecodeTarget out{header_.width, header_.height, header_.bitCount,
                         static_cast<size_t>(header_.Stride()), picture_.data()};
        if (!decoder_->DecodeInto(sample_.data(), sample_.size(), out)) {
            error_ = decoder_->Error();
            return false;
        }
        decoded_ = k;
    }
    shown_ = rel;
    return true;
}

bool FrameGetter::DecodeInter(int64_t rel) {
    int64_t key = stream_->PrevKeyFrame(stream_->Start() + rel);
    key = key < 0 ? 0 : key - stream_->Start();
    if (fresh_ || ended_ || rel < nextOut_ || key > nextFeed_) {
        decoder_->Reset();
        nextFeed_ = nextOut_ = key;
        ended_ = false;
    }
    fresh_ = false;
    shown_ = -1;
    DecodeTarget out{header_.width, header_.height, header_.bitCount,
                     static_cast<size_t>(header_.Stride()), picture_.data()};
    const int64_t length = stream_->Length();
    for (int64_t guard = 0; guard < 2 * length + 16; ++guard) {
        int r = decoder_->Next(out);
        if (r < 0)
            break;
        if (r == 1) {
            if (nextOut_++ == rel) {
                shown_ = rel;
                return true;
            }
            continue;
        }
        if (nextFeed_ < length) {
            if (!ReadSample(nextFeed_)) {
                fresh_ = true;
                return false;
            }
            ++nextFeed_;
            if (sample_.empty()) {
                // A dropped frame: the picture before it once more.
                if (nextOut_++ == rel && nextOut_ > 1) {
                    shown_ = rel;
                    return true;
                }
                continue;
            }
            if (!decoder_->Send(sample_.data(), sample_.size()))
                break;
        } else if (!ended_) {
            decoder_->SendEnd();
            ended_ = true;
        } else {
            decoder_->Reset();
            fresh_ = true;
            error_ = "the decoder gave no picture for this frame";
            return false;
        }
    }
    fresh_ = true;
    error_ = decoder_->Error().empty() ? "decoding failed" : decoder_->Error();
    return false;
}

} // namespace orvik
