#include "platform/codec/AvCompressor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/rational.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <climits>

namespace orvik {

namespace {

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

constexpr int kDefaultKeyInterval = 12;

} // namespace

std::unique_ptr<AvCompressor> AvCompressor::Create(Info info, int codecId, std::string* error) {
    if (!avcodec_find_encoder(static_cast<AVCodecID>(codecId))) {
        if (error)
            *error = info.name + ": libavcodec has no such encoder";
        return nullptr;
    }
    return std::unique_ptr<AvCompressor>(new AvCompressor(std::move(info), codecId));
}

AvCompressor::~AvCompressor() {
    End();
}

int AvCompressor::Quantiser(int quality) {
    quality = std::clamp(quality, 0, kMaxQuality);
    return 31 - (quality * 29 + kMaxQuality / 2) / kMaxQuality;
}

AVCodecContext* AvCompressor::OpenContext(int width, int height, uint32_t rate, uint32_t scale,
                                          std::string* why) const {
    const AVCodec* codec = avcodec_find_encoder(static_cast<AVCodecID>(codecId_));
    if (!codec || width <= 0 || height <= 0 || rate == 0 || scale == 0) {
        *why = "no encoder for this size and rate";
        return nullptr;
    }
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) {
        *why = "out of memory";
        return nullptr;
    }
    int num = 0, den = 0;
    av_reduce(&num, &den, scale, rate, INT_MAX);
    c->width = width;
    c->height = height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{num, den};
    c->framerate = AVRational{den, num};
    c->gop_size = keyInterval_ > 0 ? keyInterval_ : kDefaultKeyInterval;
    c->max_b_frames = 0;
    c->thread_count = 1;
    if (dataRate_ != 0) {
        c->bit_rate = static_cast<int64_t>(dataRate_) * 8;
    } else {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * Quantiser(Quality());
    }
    int r = avcodec_open2(c, codec, nullptr);
    if (r < 0) {
        *why = AvErrorText(r);
        avcodec_free_context(&c);
        return nullptr;
    }
    return c;
}

bool AvCompressor::CanCompress(int width, int height) const {
    std::string why;
    AVCodecContext* c = OpenContext(width, height, 25, 1, &why);
    bool ok = c != nullptr;
    avcodec_free_context(&c);
    return ok;
}

BitmapInfoHeader AvCompressor::OutputFormat(int width, int height) const {
    BitmapInfoHeader h;
    h.width = width;
    h.height = height;
    h.planes = 1;
    h.bitCount = 24;
    h.compression = info_.fccHandler;
    h.sizeImage = static_cast<uint32_t>(static_cast<uint64_t>(width) * height * 3);
    return h;
}

bool AvCompressor::Begin(int width, int height, uint32_t rate, uint32_t scale) {
    End();
    std::string why;
    context_ = OpenContext(width, height, rate, scale, &why);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    if (!context_ || !frame_ || !packet_) {
        error_ = info_.name + ": cannot compress " + std::to_string(width) + " x " +
                 std::to_string(height) + " pictures at " + std::to_string(rate) + "/" +
                 std::to_string(scale) + " per second: " + (why.empty() ? "out of memory" : why);
        End();
        return false;
    }
    frame_->format = AV_PIX_FMT_YUV420P;
    frame_->width = width;
    frame_->height = height;
    int r = av_frame_get_buffer(frame_, 0);
    if (r < 0) {
        error_ = info_.name + ": " + AvErrorText(r);
        End();
        return false;
    }
    width_ = width;
    height_ = height;
    output_ = OutputFormat(width, height);
    nextPts_ = 0;
    draining_ = false;
    started_ = true;
    error_.clear();
    return true;
}

int AvCompressor::Delay() const {
    return context_ ? context_->delay : 0;
}

int AvCompressor::Receive(Sample& out) {
    av_packet_unref(packet_);
    int r = avcodec_receive_packet(context_, packet_);
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return 0;
    if (r < 0) {
        error_ = info_.name + ": " + AvErrorText(r);
        return -1;
    }
    out.data = packet_->data;
    out.size = static_cast<size_t>(packet_->size);
    out.keyFrame = (packet_->flags & AV_PKT_FLAG_KEY) != 0;
    return 1;
}

int AvCompressor::Compress(const DecodeTarget& picture, Sample& out) {
    out = Sample();
    if (!CheckPicture(picture))
        return -1;
    if (draining_) {
        error_ = info_.name + ": a picture after Flush";
        return -1;
    }
    AVPixelFormat source = picture.bitCount == 24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
    scaler_ =
        sws_getCachedContext(scaler_, width_, height_, source, width_, height_, AV_PIX_FMT_YUV420P,
                             SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    int r = scaler_ ? av_frame_make_writable(frame_) : AVERROR(ENOMEM);
    if (r < 0) {
        error_ = info_.name + ": " + AvErrorText(r);
        return -1;
    }
    // Bottom-up rows: start at the top row, which lies last in memory, and
    // step backwards.
    const uint8_t* planes[4] = {picture.bits + (picture.height - 1) * picture.stride, nullptr,
                                nullptr, nullptr};
    int strides[4] = {-static_cast<int>(picture.stride), 0, 0, 0};
    sws_scale(scaler_, planes, strides, 0, height_, frame_->data, frame_->linesize);
    frame_->pts = nextPts_++;
    r = avcodec_send_frame(context_, frame_);
    if (r < 0) {
        error_ = info_.name + ": " + AvErrorText(r);
        return -1;
    }
    return Receive(out);
}

int AvCompressor::Flush(Sample& out) {
    out = Sample();
    if (!started_) {
        error_ = info_.name + ": flushing without Begin";
        return -1;
    }
    if (!draining_) {
        draining_ = true;
        int r = avcodec_send_frame(context_, nullptr);
        if (r < 0 && r != AVERROR_EOF) {
            error_ = info_.name + ": " + AvErrorText(r);
            return -1;
        }
    }
    return Receive(out);
}

void AvCompressor::End() {
    avcodec_free_context(&context_);
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    sws_freeContext(scaler_);
    scaler_ = nullptr;
    started_ = false;
    draining_ = false;
}

} // namespace orvik
