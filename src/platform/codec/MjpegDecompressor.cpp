#include "platform/codec/MjpegDecompressor.h"

extern "C" {
#include <libavcodec/codec_id.h>
#include <libavutil/pixfmt.h>
}
#include <turbojpeg.h>

#include <cstring>

namespace orvik {

namespace {

int PixelFormatFor(int bitCount) {
    return bitCount == 8 ? TJPF_GRAY : bitCount == 24 ? TJPF_BGR : TJPF_BGRX;
}

} // namespace

std::unique_ptr<MjpegDecompressor> MjpegDecompressor::Create(const BitmapInfoHeader& header,
                                                             const std::vector<uint8_t>& format,
                                                             std::string* error) {
    std::unique_ptr<MjpegDecompressor> d(new MjpegDecompressor);
    d->input_ = header;
    d->format_ = format;
    d->handle_ = tjInitDecompress();
    if (!d->handle_) {
        if (error)
            *error = std::string("cannot start TurboJPEG: ") + tjGetErrorStr2(nullptr);
        return nullptr;
    }
    return d;
}

MjpegDecompressor::~MjpegDecompressor() {
    if (handle_)
        tjDestroy(static_cast<tjhandle>(handle_));
}

bool MjpegDecompressor::Send(const uint8_t* data, size_t size) {
    pending_.assign(data, data + size);
    hasPending_ = true;
    return true;
}

int MjpegDecompressor::Next(const DecodeTarget& out) {
    if (!hasPending_)
        return 0;
    hasPending_ = false;
    return DecodeInto(pending_.data(), pending_.size(), out) ? 1 : -1;
}

bool MjpegDecompressor::Decode(const uint8_t* data, size_t size, uint8_t* dst, int width, int pitch,
                               int height, int pixelFormat, int flags) {
    tjhandle h = static_cast<tjhandle>(handle_);
    if (tjDecompress2(h, data, static_cast<unsigned long>(size), dst, width, pitch, height,
                      pixelFormat, flags) == 0)
        return true;
    // A warning (a damaged but decodable picture) still leaves a picture.
    return tjGetErrorCode(h) == TJERR_WARNING;
}

size_t MjpegDecompressor::FindSecondPicture(const uint8_t* data, size_t size) {
    for (size_t i = 2; i + 1 < size; ++i) {
        const void* hit = std::memchr(data + i, 0xFF, size - i - 1);
        if (!hit)
            return 0;
        i = static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
        if (data[i + 1] != 0xD9)
            continue;
        // After the end of the first picture, perhaps after some padding.
        size_t end = std::min(size, i + 2 + 1024);
        for (size_t j = i + 2; j + 2 < end; ++j)
            if (data[j] == 0xFF && data[j + 1] == 0xD8 && data[j + 2] == 0xFF)
                return j;
    }
    return 0;
}

int MjpegDecompressor::Polarity(const uint8_t* data, size_t size) {
    size_t i = 2;
    while (i + 4 <= size && data[i] == 0xFF) {
        uint8_t marker = data[i + 1];
        if (marker == 0xDA || marker == 0xD9) // start of scan, end of image
            break;
        if (marker == 0xFF) { // fill byte
            ++i;
            continue;
        }
        size_t length = size_t(data[i + 2]) << 8 | data[i + 3];
        if (length < 2)
            break;
        if (marker == 0xE0 && length >= 7 && i + 9 <= size &&
            std::memcmp(data + i + 4, "AVI1", 4) == 0)
            return data[i + 8];
        i += 2 + length;
    }
    return 0;
}

bool MjpegDecompressor::DecodeInto(const uint8_t* data, size_t size, const DecodeTarget& out) {
    if (!out.IsValid()) {
        error_ = "bad picture description";
        return false;
    }
    tjhandle h = static_cast<tjhandle>(handle_);
    int width = 0, height = 0, subsamp = 0, colorspace = 0;
    if (!data || size < 4 ||
        tjDecompressHeader3(h, data, static_cast<unsigned long>(size), &width, &height, &subsamp,
                            &colorspace) != 0)
        return Fallback(data, size, out);

    // A picture much lower than the frame is one field of an interlaced frame.
    if (static_cast<int64_t>(height) * 4 < static_cast<int64_t>(input_.AbsHeight()) * 3)
        return DecodeFields(data, size, width, height, out);

    int pf = PixelFormatFor(out.bitCount);
    int pitch = static_cast<int>(out.stride);
    if (out.width == width && out.height == height)
        return Decode(data, size, out.bits, width, pitch, height, pf, TJFLAG_BOTTOMUP) ||
               Fallback(data, size, out);
    int factors = 0;
    const tjscalingfactor* sf = tjGetScalingFactors(&factors);
    for (int i = 0; sf && i < factors; ++i) {
        if (TJSCALED(width, sf[i]) == out.width && TJSCALED(height, sf[i]) == out.height)
            return Decode(data, size, out.bits, out.width, pitch, out.height, pf,
                          TJFLAG_BOTTOMUP) ||
                   Fallback(data, size, out);
    }
    size_t row = static_cast<size_t>(width) * 3;
    temp_.resize(row * static_cast<size_t>(height));
    if (!Decode(data, size, temp_.data(), width, static_cast<int>(row), height, TJPF_BGR, 0))
        return Fallback(data, size, out);
    const uint8_t* planes[4] = {temp_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(row), 0, 0, 0};
    if (!scaler_.Convert(planes, strides, AV_PIX_FMT_BGR24, width, height, out)) {
        error_ = "cannot scale the picture";
        return false;
    }
    return true;
}

bool MjpegDecompressor::DecodeFields(const uint8_t* data, size_t size, int width, int fieldHeight,
                                     const DecodeTarget& out) {
    size_t second = FindSecondPicture(data, size);
    const uint8_t* first = data;
    size_t firstSize = second ? second : size;
    const uint8_t* next = second ? data + second : data; // one field only: shown twice
    size_t nextSize = second ? size - second : size;
    bool bottomFirst = Polarity(data, size) != 0;
    int frameHeight = fieldHeight * 2;

    if (out.width == width && out.height == frameHeight) {
        int pf = PixelFormatFor(out.bitCount);
        int pitch = static_cast<int>(out.stride * 2);
        // Bottom-up rows: the top field's rows start one memory row up.
        uint8_t* top = out.bits + out.stride;
        uint8_t* bottom = out.bits;
        bool ok = Decode(first, firstSize, bottomFirst ? bottom : top, width, pitch, fieldHeight,
                         pf, TJFLAG_BOTTOMUP) &&
                  Decode(next, nextSize, bottomFirst ? top : bottom, width, pitch, fieldHeight, pf,
                         TJFLAG_BOTTOMUP);
        return ok || Fallback(data, size, out);
    }
    size_t row = static_cast<size_t>(width) * 3;
    temp_.resize(row * static_cast<size_t>(frameHeight));
    uint8_t* top = temp_.data();
    uint8_t* bottom = temp_.data() + row;
    int pitch = static_cast<int>(row * 2);
    if (!Decode(first, firstSize, bottomFirst ? bottom : top, width, pitch, fieldHeight, TJPF_BGR,
                0) ||
        !Decode(next, nextSize, bottomFirst ? top : bottom, width, pitch, fieldHeight, TJPF_BGR, 0))
        return Fallback(data, size, out);
    const uint8_t* planes[4] = {temp_.data(), nullptr, nullptr, nullptr};
    int strides[4] = {static_cast<int>(row), 0, 0, 0};
    if (!scaler_.Convert(planes, strides, AV_PIX_FMT_BGR24, width, frameHeight, out)) {
        error_ = "cannot scale the picture";
        return false;
    }
    return true;
}

bool MjpegDecompressor::Fallback(const uint8_t* data, size_t size, const DecodeTarget& out) {
    if (!data || size == 0) {
        error_ = "empty picture";
        return false;
    }
    if (!fallback_) {
        BitmapInfoHeader header = input_;
        header.compression = 0x47504A4D; // "MJPG"
        std::string why;
        fallback_ = AvDecompressor::Create(AV_CODEC_ID_MJPEG, header, format_, &why);
        if (!fallback_) {
            error_ = "not a readable JPEG picture; " + why;
            return false;
        }
    }
    fallback_->Reset();
    if (!fallback_->Send(data, size) || !fallback_->SendEnd() || fallback_->Next(out) != 1) {
        error_ = "not a readable JPEG picture";
        fallback_->Reset();
        return false;
    }
    fallback_->Reset();
    return true;
}

} // namespace orvik
