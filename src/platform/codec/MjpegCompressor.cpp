#include "platform/codec/MjpegCompressor.h"

#include <turbojpeg.h>

#include <algorithm>

namespace orvik {

namespace {

constexpr int kSubsampling = TJSAMP_422;

} // namespace

std::unique_ptr<MjpegCompressor> MjpegCompressor::Create(Info info, std::string* error) {
    std::unique_ptr<MjpegCompressor> c(new MjpegCompressor(std::move(info)));
    c->handle_ = tjInitCompress();
    if (!c->handle_) {
        if (error)
            *error = std::string("cannot start TurboJPEG: ") + tjGetErrorStr2(nullptr);
        return nullptr;
    }
    return c;
}

MjpegCompressor::~MjpegCompressor() {
    End();
    if (handle_)
        tjDestroy(static_cast<tjhandle>(handle_));
}

int MjpegCompressor::JpegQuality(int quality) {
    quality = std::clamp(quality, 0, kMaxQuality);
    return 1 + (quality * 99 + kMaxQuality / 2) / kMaxQuality;
}

bool MjpegCompressor::CanCompress(int width, int height) const {
    return width > 0 && height > 0 && width <= BitmapInfoHeader::kMaxDimension &&
           height <= BitmapInfoHeader::kMaxDimension;
}

BitmapInfoHeader MjpegCompressor::OutputFormat(int width, int height) const {
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = 24;
    h.compression = info_.fccHandler;
    h.sizeImage = static_cast<uint32_t>(static_cast<uint64_t>(width) * height * 3);
    return h;
}

bool MjpegCompressor::Begin(int width, int height, uint32_t rate, uint32_t scale) {
    End();
    if (!CanCompress(width, height) || rate == 0 || scale == 0) {
        error_ = info_.name + ": cannot compress " + std::to_string(width) + " x " +
                 std::to_string(height) + " pictures at " + std::to_string(rate) + "/" +
                 std::to_string(scale) + " per second";
        return false;
    }
    bufferBytes_ = tjBufSize(width, height, kSubsampling);
    buffer_ = tjAlloc(static_cast<int>(bufferBytes_));
    if (!buffer_) {
        error_ = info_.name + ": out of memory";
        return false;
    }
    width_ = width;
    height_ = height;
    jpegQuality_ = JpegQuality(Quality());
    output_ = OutputFormat(width, height);
    started_ = true;
    error_.clear();
    return true;
}

int MjpegCompressor::Compress(const DecodeTarget& picture, Sample& out) {
    out = Sample();
    if (!CheckPicture(picture))
        return -1;
    tjhandle h = static_cast<tjhandle>(handle_);
    unsigned char* dst = buffer_;
    unsigned long size = bufferBytes_;
    int pixelFormat = picture.bitCount == 24 ? TJPF_BGR : TJPF_BGRX;
    if (tjCompress2(h, picture.bits, width_, static_cast<int>(picture.stride), height_, pixelFormat,
                    &dst, &size, kSubsampling, jpegQuality_,
                    TJFLAG_BOTTOMUP | TJFLAG_NOREALLOC) != 0) {
        error_ = info_.name + ": " + tjGetErrorStr2(h);
        return -1;
    }
    out.data = dst;
    out.size = size;
    out.keyFrame = true;
    return 1;
}

void MjpegCompressor::End() {
    if (buffer_)
        tjFree(buffer_);
    buffer_ = nullptr;
    bufferBytes_ = 0;
    started_ = false;
}

} // namespace orvik
