#include "platform/acm/AudioDecoder.h"

#include "platform/acm/PcmSamples.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include <cstring>

namespace orvik {

namespace {

AVCodecID CodecFor(const WaveFormat& f) {
    const AVCodecTag* const table[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(table, f.EffectiveTag());
}

int32_t Sample(const AVFrame* f, int channel, int index) {
    AVSampleFormat fmt = static_cast<AVSampleFormat>(f->format);
    bool planar = av_sample_fmt_is_planar(fmt);
    int channels = f->ch_layout.nb_channels;
    const uint8_t* base = planar ? f->extended_data[channel] : f->extended_data[0];
    size_t at = planar ? size_t(index) : size_t(index) * channels + channel;
    switch (av_get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_U8:
        return static_cast<int32_t>(static_cast<uint32_t>(base[at] ^ 0x80) << 24);
    case AV_SAMPLE_FMT_S16: {
        int16_t v;
        std::memcpy(&v, base + at * 2, 2);
        return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint16_t>(v)) << 16);
    }
    case AV_SAMPLE_FMT_S32: {
        int32_t v;
        std::memcpy(&v, base + at * 4, 4);
        return v;
    }
    case AV_SAMPLE_FMT_FLT: {
        float v;
        std::memcpy(&v, base + at * 4, 4);
        return PcmSamples::FromFloat(v);
    }
    case AV_SAMPLE_FMT_DBL: {
        double v;
        std::memcpy(&v, base + at * 8, 8);
        return PcmSamples::FromFloat(v);
    }
    case AV_SAMPLE_FMT_S64: {
        int64_t v;
        std::memcpy(&v, base + at * 8, 8);
        return static_cast<int32_t>(v >> 32);
    }
    default:
        return 0;
    }
}

} // namespace

bool AudioDecoder::CanDecode(const WaveFormat& format) {
    AVCodecID id = CodecFor(format);
    return id != AV_CODEC_ID_NONE && avcodec_find_decoder(id) != nullptr;
}

std::unique_ptr<AudioDecoder> AudioDecoder::Create(const WaveFormat& format, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    AVCodecID id = CodecFor(format);
    const AVCodec* codec = id == AV_CODEC_ID_NONE ? nullptr : avcodec_find_decoder(id);
    if (!codec)
        return fail("no decoder for sound format tag " + std::to_string(format.EffectiveTag()));
    std::unique_ptr<AudioDecoder> d(new AudioDecoder);
    d->format_ = format;
    d->context_ = avcodec_alloc_context3(codec);
    d->packet_ = av_packet_alloc();
    d->frame_ = av_frame_alloc();
    if (!d->context_ || !d->packet_ || !d->frame_)
        return fail("out of memory");
    AVCodecContext* c = d->context_;
    c->sample_rate = static_cast<int>(format.samplesPerSec);
    av_channel_layout_default(&c->ch_layout, format.channels);
    c->block_align = format.blockAlign;
    c->bits_per_coded_sample = format.bitsPerSample;
    c->bit_rate = static_cast<int64_t>(format.avgBytesPerSec) * 8;
    c->thread_count = 1;
    if (!format.extra.empty()) {
        c->extradata =
            static_cast<uint8_t*>(av_mallocz(format.extra.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!c->extradata)
            return fail("out of memory");
        std::memcpy(c->extradata, format.extra.data(), format.extra.size());
        c->extradata_size = static_cast<int>(format.extra.size());
    }
    if (avcodec_open2(c, codec, nullptr) < 0)
        return fail(std::string("cannot open the ") + codec->name + " decoder");
    if (c->ch_layout.nb_channels != format.channels)
        return fail("decoder changes the channel count");
    return d;
}

AudioDecoder::~AudioDecoder() {
    av_frame_free(&frame_);
    av_packet_free(&packet_);
    avcodec_free_context(&context_);
}

bool AudioDecoder::Drain(std::vector<int32_t>& out) {
    for (;;) {
        int rc = avcodec_receive_frame(context_, frame_);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return true;
        if (rc < 0) {
            error_ = "sound decoding failed";
            return false;
        }
        int channels = frame_->ch_layout.nb_channels;
        if (channels != format_.channels) {
            av_frame_unref(frame_);
            error_ = "decoder changed the channel count";
            return false;
        }
        size_t start = out.size();
        out.resize(start + size_t(frame_->nb_samples) * channels);
        int32_t* p = out.data() + start;
        for (int i = 0; i < frame_->nb_samples; ++i)
            for (int ch = 0; ch < channels; ++ch)
                *p++ = Sample(frame_, ch, i);
        av_frame_unref(frame_);
    }
}

bool AudioDecoder::Decode(const uint8_t* data, size_t size, std::vector<int32_t>& out) {
    if (size == 0)
        return true;
    av_packet_unref(packet_);
    if (av_new_packet(packet_, static_cast<int>(size)) < 0) {
        error_ = "out of memory";
        return false;
    }
    std::memcpy(packet_->data, data, size);
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = avcodec_send_packet(context_, packet_);
        if (rc == AVERROR(EAGAIN)) {
            if (!Drain(out))
                return false;
            continue;
        }
        if (rc < 0) {
            error_ = "damaged sound block";
            return Drain(out);
        }
        return Drain(out);
    }
    return false;
}

void AudioDecoder::Reset() {
    avcodec_flush_buffers(context_);
}

} // namespace orvik
