#include "media/AviStreamReader.h"

#include "platform/avi/AviFile.h"
#include "platform/avi/AviStream.h"
#include "platform/codec/DecodeTarget.h"
#include "platform/codec/FrameGetter.h"
#include "platform/codec/VideoDecompressor.h"

namespace orvik {

AviStreamReader::AviStreamReader() = default;

AviStreamReader::~AviStreamReader() { Close(); }

AviStreamReader::OpenResult AviStreamReader::Open(const std::string& path, uint32_t fccType,
                                                  int index, std::string* error) {
    Close();
    auto file = std::make_unique<AviFile>();
    if (!file->Open(path)) {
        if (error)
            *error = file->Error();
        return OpenResult::noFile;
    }
    AviStream* stream = index < 0 ? nullptr : file->FindStream(fccType, static_cast<size_t>(index));
    if (!stream) {
        if (error)
            *error = file->Error();
        // Tell a stream that is there but cannot be used (a damaged format)
        // from one that is not there at all.
        size_t seen = 0;
        for (size_t i = 0; i < file->StreamCount(); ++i)
            if (file->Stream(i)->Type() == fccType && seen++ == static_cast<size_t>(index))
                return OpenResult::unusableStream;
        return OpenResult::noStream;
    }
    file_ = std::move(file);
    stream_ = stream;
    return OpenResult::opened;
}

void AviStreamReader::Close() {
    getter_.reset();
    direct_.reset();
    directChecked_ = false;
    stream_ = nullptr;
    file_.reset();
    sample_.clear();
    sample_.shrink_to_fit();
}

uint64_t AviStreamReader::FileSize() const { return file_ ? file_->FileSize() : 0; }

const AviStreamInfo& AviStreamReader::Info() const {
    static const AviStreamInfo none;
    return stream_ ? stream_->Info() : none;
}

int64_t AviStreamReader::Start() const { return stream_ ? stream_->Start() : 0; }
int64_t AviStreamReader::Length() const { return stream_ ? stream_->Length() : 0; }
double AviStreamReader::Rate() const { return stream_ ? stream_->Rate() : 0.0; }
const WaveFormat* AviStreamReader::Sound() const { return stream_ ? stream_->Sound() : nullptr; }

const std::vector<uint8_t>& AviStreamReader::StoredFormat() const {
    static const std::vector<uint8_t> none;
    return stream_ ? stream_->Format() : none;
}

bool AviStreamReader::ReadFormat(int64_t sample, std::vector<uint8_t>& out) const {
    return stream_ && stream_->ReadFormat(sample, out);
}

bool AviStreamReader::SampleBytes(int64_t sample, uint32_t& bytes) const {
    return stream_ && stream_->SampleBytes(sample, bytes);
}

bool AviStreamReader::Read(int64_t sample, int64_t count, void* buffer, size_t bufferBytes,
                           size_t* bytesRead, int64_t* samplesRead) {
    if (!stream_) {
        if (bytesRead)
            *bytesRead = 0;
        if (samplesRead)
            *samplesRead = 0;
        return false;
    }
    return stream_->Read(sample, count, buffer, bufferBytes, bytesRead, samplesRead);
}

std::string AviStreamReader::StreamError() const { return stream_ ? stream_->Error() : "no stream"; }

bool AviStreamReader::OpenFrames(int width, int height, int bitCount, std::string* error) {
    CloseFrames();
    if (!stream_) {
        if (error)
            *error = "no stream";
        return false;
    }
    auto getter = std::make_unique<FrameGetter>();
    bool ok;
    if (width == 0) {
        ok = getter->Open(*stream_);
    } else {
        BitmapInfoHeader wanted;
        wanted.width = width;
        wanted.height = height;
        wanted.bitCount = static_cast<uint16_t>(bitCount);
        ok = getter->Open(*stream_, &wanted);
    }
    if (!ok) {
        if (error)
            *error = getter->Error();
        return false;
    }
    getter_ = std::move(getter);
    return true;
}

void AviStreamReader::CloseFrames() { getter_.reset(); }

bool AviStreamReader::FramesOpen() const { return getter_ != nullptr; }

bool AviStreamReader::GetFrame(int64_t sample, Picture& out, std::string* error) {
    out = Picture{};
    if (!getter_) {
        if (error)
            *error = "no frame getter";
        return false;
    }
    const uint8_t* bits = getter_->GetFrame(sample);
    if (!bits) {
        if (error)
            *error = getter_->Error();
        return false;
    }
    const BitmapInfoHeader& h = getter_->OutputHeader();
    out.bits = bits;
    out.width = h.width;
    out.height = h.AbsHeight();
    out.bitCount = h.bitCount;
    out.stride = static_cast<size_t>(h.Stride());
    out.format = &getter_->OutputFormat();
    return true;
}

bool AviStreamReader::DecodeInto(int64_t sample, const Target& target, std::string* error,
                                 bool* tried) {
    *tried = false;
    if (!stream_ || !stream_->Video())
        return false;
    if (!directChecked_) {
        directChecked_ = true;
        std::string why;
        direct_ = VideoDecompressor::Open(stream_->Format(), stream_->Handler(), &why);
        if (direct_ && !direct_->IsIntraOnly())
            direct_.reset();
    }
    if (!direct_)
        return false;
    DecodeTarget out{target.width, target.height, target.bitCount, target.stride, target.bits};
    if (!out.IsValid() || target.bitCount == 8 || target.width > BitmapInfoHeader::kMaxDimension ||
        target.height > BitmapInfoHeader::kMaxDimension)
        return false;
    *tried = true;
    // An empty sample (a dropped frame) shows the picture before it.
    int64_t k = sample;
    uint32_t bytes = 0;
    if (!stream_->SampleBytes(k, bytes)) {
        if (error)
            *error = "frame out of range";
        return false;
    }
    while (bytes == 0 && k > stream_->Start() && stream_->SampleBytes(k - 1, bytes))
        --k;
    if (bytes == 0) {
        if (error)
            *error = "no picture up to this frame";
        return false;
    }
    sample_.resize(bytes);
    if (!stream_->Read(k, 1, sample_.data(), sample_.size(), nullptr, nullptr)) {
        if (error)
            *error = "cannot read sample: " + stream_->Error();
        return false;
    }
    if (!direct_->DecodeInto(sample_.data(), sample_.size(), out)) {
        if (error)
            *error = direct_->Error();
        return false;
    }
    return true;
}

} // namespace orvik
