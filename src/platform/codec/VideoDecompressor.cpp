#include "platform/codec/VideoDecompressor.h"

#include "platform/avi/FourCC.h"
#include "platform/codec/AvDecompressor.h"
#include "platform/codec/MjpegDecompressor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <set>

namespace orvik {

namespace {

constexpr uint32_t kMotionJpeg[] = {
    MakeFourCC("MJPG"), MakeFourCC("AVRN"), MakeFourCC("AVDJ"), MakeFourCC("DMB1"),
    MakeFourCC("JPEG"), MakeFourCC("IJPG"), MakeFourCC("QIVG"), MakeFourCC("SLMJ"),
    MakeFourCC("CJPG"), MakeFourCC("JPGL"), MakeFourCC("MVJP"),
};

// Uncompressed pictures: plain RGB and RGB with bit fields.
constexpr uint32_t kRgb = 0;
constexpr uint32_t kBitFields = 3;

AVCodecID CodecIdFor(uint32_t code) {
    if (code == kRgb || code == kBitFields)
        return AV_CODEC_ID_RAWVIDEO;
    const AVCodecTag* const table[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(table, code);
    if (id == AV_CODEC_ID_NONE)
        id = av_codec_get_id(table, FourCCUpper(code));
    return id;
}

} // namespace

VideoDecompressor::~VideoDecompressor() = default;

bool VideoDecompressor::IsMotionJpeg(uint32_t code) {
    uint32_t upper = FourCCUpper(code);
    return std::find(std::begin(kMotionJpeg), std::end(kMotionJpeg), upper) !=
           std::end(kMotionJpeg);
}

bool VideoDecompressor::CanDecode(uint32_t compression, uint32_t handler) {
    if (IsMotionJpeg(compression) || (compression != kRgb && IsMotionJpeg(handler)))
        return true;
    for (uint32_t code : {compression, handler}) {
        AVCodecID id = CodecIdFor(code);
        if (id != AV_CODEC_ID_NONE && avcodec_find_decoder(id))
            return true;
    }
    return false;
}

std::unique_ptr<VideoDecompressor> VideoDecompressor::Open(const std::vector<uint8_t>& format,
                                                           uint32_t handler, std::string* error) {
    BitmapInfoHeader header;
    if (!BitmapInfoHeader::Parse(format.data(), format.size(), header, error))
        return nullptr;
    uint32_t code = header.compression;
    if (IsMotionJpeg(code))
        return MjpegDecompressor::Create(header, format, error);
    AVCodecID id = CodecIdFor(code);
    if (id == AV_CODEC_ID_NONE && code != kRgb) {
        // Some writers leave the picture header's code unknown and name the
        // codec in the stream header only.
        if (IsMotionJpeg(handler))
            return MjpegDecompressor::Create(header, format, error);
        id = CodecIdFor(handler);
    }
    if (id == AV_CODEC_ID_MJPEG)
        return MjpegDecompressor::Create(header, format, error);
    if (id == AV_CODEC_ID_NONE || !avcodec_find_decoder(id)) {
        if (error)
            *error = "no decompressor for " + FourCCText(code);
        return nullptr;
    }
    return AvDecompressor::Create(id, header, format, error);
}

std::vector<VideoDecompressor::CodecInfo> VideoDecompressor::List() {
    std::vector<CodecInfo> list;
    for (const char* code : {"MJPG", "AVRn", "dmb1", "jpeg"})
        list.push_back(
            {MakeFourCC(code[0], code[1], code[2], code[3]), "mjpeg", "Motion JPEG (TurboJPEG)"});
    const AVCodecTag* const table[] = {avformat_get_riff_video_tags(), nullptr};
    std::set<int> seen{AV_CODEC_ID_MJPEG};
    void* it = nullptr;
    while (const AVCodec* codec = av_codec_iterate(&it)) {
        if (!av_codec_is_decoder(codec) || codec->type != AVMEDIA_TYPE_VIDEO)
            continue;
        if (!seen.insert(codec->id).second)
            continue;
        uint32_t tag = av_codec_get_tag(table, codec->id);
        if (tag == 0 || IsMotionJpeg(tag))
            continue;
        list.push_back({tag, codec->name, codec->long_name ? codec->long_name : codec->name});
    }
    return list;
}

bool VideoDecompressor::DecodeInto(const uint8_t* data, size_t size, const DecodeTarget& out) {
    Reset();
    if (!Send(data, size) || !SendEnd())
        return false;
    int rc = Next(out);
    Reset();
    if (rc != 1 && error_.empty())
        error_ = "no picture in the sample";
    return rc == 1;
}

} // namespace orvik
