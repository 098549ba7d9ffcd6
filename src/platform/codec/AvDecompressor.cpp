#include "platform/codec/AvDecompressor.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstring>

namespace orvik {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

} // namespace

std::unique_ptr<AvDecompressor> AvDecompressor::Create(int codecId, const BitmapInfoHeader& header,
                                                       const std::vector<uint8_t>& format,
                                                       std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(static_cast<AVCodecID>(codecId));
    if (!codec) {
        if (error)
            *error = "no decoder for this compression";
        return nullptr;
    }
    std::unique_ptr<AvDecompressor> d(new AvDecompressor);
    d->input_ = header;
    d->format_ = format;
    d->context_ = avcodec_alloc_context3(codec);
    d->packet_ = av_packet_alloc();
    if (!d->context_ || !d->packet_) {
        if (error)
            *error = "out of memory";
        return nullptr;
    }
    AVCodecContext* c = d->context_;
    c->width = header.width;
    c->height = header.AbsHeight();
    c->codec_tag = header.compression;
    c->bits_per_coded_sample = header.bitCount;
    // One thread: a reader is used by one thread at a time, and frame
    // threads would only add delay to every seek.
    c->thread_count = 1;

    // What follows the picture header: a palette for raw palette pictures,
    // codec set-up bytes for the others.
    size_t headerBytes = std::clamp<size_t>(header.size, BitmapInfoHeader::kSize, format.size());
    const uint8_t* rest = format.data() + headerBytes;
    size_t restBytes = format.size() - headerBytes;
    std::vector<uint8_t> extra;
    if (codec->id == AV_CODEC_ID_RAWVIDEO) {
        if (header.bitCount <= 8 && restBytes >= 4) {
            size_t entries = std::min<size_t>(256, restBytes / 4);
            d->palette_.assign(AVPALETTE_SIZE, 0);
            for (size_t i = 0; i < entries; ++i) {
                uint32_t argb = 0xFF000000u | uint32_t(rest[i * 4 + 2]) << 16 |
                                uint32_t(rest[i * 4 + 1]) << 8 | rest[i * 4];
                std::memcpy(&d->palette_[i * 4], &argb, 4);
            }
        }
        // Uncompressed pictures with a positive height are stored bottom-up.
        if (header.height > 0) {
            const char hint[] = "BottomUp";
            extra.assign(hint, hint + sizeof hint);
        }
    } else {
        extra.assign(rest, rest + restBytes);
    }
    if (!extra.empty()) {
        c->extradata =
            static_cast<uint8_t*>(av_mallocz(extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata) {
            if (error)
                *error = "out of memory";
            return nullptr;
        }
        std::memcpy(c->extradata, extra.data(), extra.size());
        c->extradata_size = static_cast<int>(extra.size());
    }
    int rc = avcodec_open2(c, codec, nullptr);
    if (rc < 0) {
        if (error)
            *error = std::string("cannot open the ") + codec->name + " decoder: " + AvError(rc);
        return nullptr;
    }
    const AVCodecDescriptor* desc = avcodec_descriptor_get(codec->id);
    d->intraOnly_ = desc && (desc->props & AV_CODEC_PROP_INTRA_ONLY);
    return d;
}

AvDecompressor::~AvDecompressor() {
    for (AVFrame* f : ready_)
        av_frame_free(&f);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
}

bool AvDecompressor::Receive() {
    for (;;) {
        AVFrame* frame = av_frame_alloc();
        if (!frame) {
            error_ = "out of memory";
            return false;
        }
        int rc = avcodec_receive_frame(context_, frame);
        if (rc < 0) {
            av_frame_free(&frame);
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return true;
            error_ = "decoding failed: " + AvError(rc);
            return false;
        }
        ready_.push_back(frame);
    }
}

bool AvDecompressor::Send(const uint8_t* data, size_t size) {
    if (ended_)
        Reset();
    av_packet_unref(packet_);
    if (av_new_packet(packet_, static_cast<int>(size)) < 0) {
        error_ = "out of memory";
        return false;
    }
    if (size > 0)
        std::memcpy(packet_->data, data, size);
    if (!palette_.empty()) {
        uint8_t* side = av_packet_new_side_data(packet_, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE);
        if (side)
            std::memcpy(side, palette_.data(), AVPALETTE_SIZE);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = avcodec_send_packet(context_, packet_);
        if (rc == AVERROR(EAGAIN)) {
            if (!Receive())
                return false;
            continue;
        }
        if (rc < 0) {
            // A damaged sample: the decoder goes on with the next one.
            error_ = "decoding failed: " + AvError(rc);
            return Receive();
        }
        return Receive();
    }
    error_ = "decoder accepts no input";
    return false;
}

bool AvDecompressor::SendEnd() {
    if (ended_)
        return true;
    ended_ = true;
    int rc = avcodec_send_packet(context_, nullptr);
    if (rc < 0 && rc != AVERROR_EOF) {
        error_ = "decoding failed: " + AvError(rc);
        return false;
    }
    return Receive();
}

int AvDecompressor::Next(const DecodeTarget& out) {
    if (ready_.empty())
        return 0;
    AVFrame* f = ready_.front();
    ready_.pop_front();
    bool ok = scaler_.Convert(f->data, f->linesize, f->format, f->width, f->height, out,
                              f->color_range == AVCOL_RANGE_JPEG);
    av_frame_free(&f);
    if (!ok) {
        error_ = "cannot convert the decoded picture";
        return -1;
    }
    return 1;
}

void AvDecompressor::Reset() {
    for (AVFrame* f : ready_)
        av_frame_free(&f);
    ready_.clear();
    avcodec_flush_buffers(context_);
    ended_ = false;
}

} // namespace orvik
