#include "platform/codec/VideoCompressor.h"

#include "platform/codec/AvCompressor.h"
#include "platform/codec/DibCompressor.h"
#include "platform/codec/MjpegCompressor.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>

namespace orvik {

namespace {

enum class Kind { mjpeg, libavcodec, dib };

struct Installed {
    uint32_t handler;
    const char* name;
    Kind kind;
    AVCodecID codec; // for libavcodec kinds
};

const Installed kInstalled[] = {
    {MakeFourCC("MJPG"), "Orvik QX M-JPEG", Kind::mjpeg, AV_CODEC_ID_NONE},
    {MakeFourCC("mpg1"), "Orvik MPEG-1 Video", Kind::libavcodec, AV_CODEC_ID_MPEG1VIDEO},
    {MakeFourCC("FMP4"), "Orvik MPEG-4 Video", Kind::libavcodec, AV_CODEC_ID_MPEG4},
    {MakeFourCC("DIB "), "Full Frames (Uncompressed)", Kind::dib, AV_CODEC_ID_NONE},
};

bool IsThere(const Installed& c) {
    return c.kind != Kind::libavcodec || avcodec_find_encoder(c.codec) != nullptr;
}

VideoCompressor::Info InfoOf(const Installed& c) {
    VideoCompressor::Info info;
    info.fccType = VideoCompressor::kTypeVideo;
    info.fccHandler = c.handler;
    info.name = c.name;
    info.configurable = false;
    return info;
}

std::unique_ptr<VideoCompressor> Make(const Installed& c, std::string* error) {
    switch (c.kind) {
    case Kind::mjpeg:
        return MjpegCompressor::Create(InfoOf(c), error);
    case Kind::libavcodec:
        return AvCompressor::Create(InfoOf(c), c.codec, error);
    case Kind::dib:
        return DibCompressor::Create(InfoOf(c));
    }
    return nullptr;
}

} // namespace

VideoCompressor::~VideoCompressor() = default;

std::vector<VideoCompressor::Info> VideoCompressor::List() {
    std::vector<Info> list;
    for (const Installed& c : kInstalled)
        if (IsThere(c))
            list.push_back(InfoOf(c));
    return list;
}

bool VideoCompressor::GetInfo(size_t index, Info& out) {
    std::vector<Info> list = List();
    if (index >= list.size())
        return false;
    out = list[index];
    return true;
}

std::unique_ptr<VideoCompressor> VideoCompressor::Open(uint32_t fccType, uint32_t fccHandler,
                                                       std::string* error) {
    if (fccType != 0 && FourCCUpper(fccType) != FourCCUpper(kTypeVideo)) {
        if (error)
            *error = "no video compressor of type " + FourCCText(fccType);
        return nullptr;
    }
    for (const Installed& c : kInstalled)
        if (FourCCUpper(c.handler) == FourCCUpper(fccHandler) && IsThere(c))
            return Make(c, error);
    if (error)
        *error = "no video compressor for " + FourCCText(fccHandler);
    return nullptr;
}

std::unique_ptr<VideoCompressor> VideoCompressor::OpenByName(const std::string& name,
                                                             std::string* error) {
    for (const Installed& c : kInstalled)
        if (name == c.name && IsThere(c))
            return Make(c, error);
    if (error)
        *error = "no video compressor named '" + name + "'";
    return nullptr;
}

void VideoCompressor::SetQuality(int quality) {
    quality_ = quality < 0 ? kDefaultQuality : std::min(quality, kMaxQuality);
}

bool VideoCompressor::CheckPicture(const DecodeTarget& picture) {
    if (!started_) {
        error_ = info_.name + ": compressing without Begin";
        return false;
    }
    if (!picture.IsValid() || picture.bitCount == 8) {
        error_ = info_.name + ": not a picture of 24 or 32 bits";
        return false;
    }
    if (picture.width != width_ || picture.height != height_) {
        error_ = info_.name + ": a picture of " + std::to_string(picture.width) + " x " +
                 std::to_string(picture.height) + " in a stream of " + std::to_string(width_) +
                 " x " + std::to_string(height_);
        return false;
    }
    return true;
}

} // namespace orvik
