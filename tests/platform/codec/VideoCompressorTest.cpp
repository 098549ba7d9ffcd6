#include "platform/codec/VideoCompressor.h"

#include "platform/avi/AviFile.h"
#include "platform/avi/AviWriter.h"
#include "platform/avi/MediaTestTools.h"
#include "platform/avi/SyntheticClip.h"
#include "platform/board/BoardCodec.h"
#include "platform/codec/AvCompressor.h"
#include "platform/codec/FrameGetter.h"
#include "platform/codec/MjpegCompressor.h"
#include "platform/codec/VideoDecompressor.h"

#include <gtest/gtest.h>

namespace orvik {
namespace {

using Clip = test::SyntheticClip;

DecodeTarget PictureOf(std::vector<uint8_t>& bits, int bytesPerPixel = 3, int width = Clip::kWidth,
                       int height = Clip::kHeight) {
    return {width, height, bytesPerPixel * 8, Clip::Stride(width, bytesPerPixel), bits.data()};
}

TEST(VideoCompressorTest, ListsTheInstalledCompressorsWithTheBoardCodecFirst) {
    std::vector<VideoCompressor::Info> list = VideoCompressor::List();
    ASSERT_GE(list.size(), 3u);
    EXPECT_EQ(list[0].name, "Orvik QX M-JPEG");
    EXPECT_EQ(list[0].fccHandler, MakeFourCC("MJPG"));
    int boardCodecs = 0;
    bool mpeg1 = false, dib = false;
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].fccType, VideoCompressor::kTypeVideo);
        EXPECT_FALSE(list[i].name.empty());
        boardCodecs += IsBoardCodecName(list[i].name) ? 1 : 0;
        mpeg1 = mpeg1 || list[i].fccHandler == MakeFourCC("mpg1");
        dib = dib || list[i].fccHandler == MakeFourCC("DIB ");
        VideoCompressor::Info byIndex;
        ASSERT_TRUE(VideoCompressor::GetInfo(i, byIndex));
        EXPECT_EQ(byIndex.name, list[i].name);
        // Every listed one opens by its codes and by its name.
        std::string why;
        auto c = VideoCompressor::Open(list[i].fccType, list[i].fccHandler, &why);
        ASSERT_NE(c, nullptr) << list[i].name << ": " << why;
        EXPECT_EQ(c->GetInfo().name, list[i].name);
        EXPECT_NE(VideoCompressor::OpenByName(list[i].name), nullptr);
    }
    EXPECT_EQ(boardCodecs, 1);
    EXPECT_TRUE(mpeg1);
    EXPECT_TRUE(dib);
    VideoCompressor::Info none;
    EXPECT_FALSE(VideoCompressor::GetInfo(list.size(), none));
}

TEST(VideoCompressorTest, OpensByHandlerInAnyCaseButByExactNameOnly) {
    EXPECT_NE(VideoCompressor::Open(MakeFourCC("VIDC"), MakeFourCC("mjpg")), nullptr);
    EXPECT_NE(VideoCompressor::Open(0, MakeFourCC("MPG1")), nullptr);
    std::string why;
    EXPECT_EQ(VideoCompressor::Open(MakeFourCC("vidc"), MakeFourCC("XYZW"), &why), nullptr);
    EXPECT_NE(why.find("XYZW"), std::string::npos) << why;
    EXPECT_EQ(VideoCompressor::Open(MakeFourCC("auds"), MakeFourCC("MJPG"), &why), nullptr);
    EXPECT_EQ(VideoCompressor::OpenByName("orvik qx m-jpeg", &why), nullptr);
    EXPECT_NE(why.find("orvik qx m-jpeg"), std::string::npos);
}

TEST(VideoCompressorTest, MjpegKeepsTheBottomUpPictureTheRightWayUp) {
    auto c = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Delay(), 0);
    ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1)) << c->Error();
    const BitmapInfoHeader& out = c->Output();
    EXPECT_EQ(out.compression, MakeFourCC("MJPG"));
    EXPECT_EQ(out.width, Clip::kWidth);
    EXPECT_EQ(out.height, Clip::kHeight);
    EXPECT_EQ(out.bitCount, 24);

    // Scene 4 is red at the bottom and blue at the top.
    const int frame = 4 * Clip::kFramesPerScene;
    std::vector<uint8_t> bits = Clip::Picture(frame);
    VideoCompressor::Sample sample;
    ASSERT_EQ(c->Compress(PictureOf(bits), sample), 1) << c->Error();
    EXPECT_TRUE(sample.keyFrame);
    ASSERT_GT(sample.size, 2u);
    EXPECT_EQ(sample.data[0], 0xFF); // a JPEG picture
    EXPECT_EQ(sample.data[1], 0xD8);
    std::vector<uint8_t> jpeg(sample.data, sample.data + sample.size);

    // The project's decompressor, and ffmpeg, see the same picture.
    auto d = VideoDecompressor::Open(out.Bytes(), out.compression);
    ASSERT_NE(d, nullptr);
    std::vector<uint8_t> decoded(bits.size());
    ASSERT_TRUE(d->DecodeInto(jpeg.data(), jpeg.size(), PictureOf(decoded))) << d->Error();
    for (auto [top, bottom] : {std::pair{0, 60}, std::pair{180, 240}}) {
        auto want = test::Mean(bits.data(), Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true,
                               top, bottom);
        auto got = test::Mean(decoded.data(), Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true,
                              top, bottom);
        EXPECT_LE(test::MaxDifference(want, got), 4.0) << top;
    }
    std::string jpegPath = test::InHome("frame.jpg");
    ASSERT_TRUE(test::WriteBytes(jpegPath, jpeg));
    std::vector<uint8_t> ff = test::FfmpegOutput(jpegPath, "-f rawvideo -pix_fmt bgr24");
    ASSERT_EQ(ff.size(), size_t(Clip::kWidth) * Clip::kHeight * 3) << test::ToolLog();
    auto ffTop =
        test::Mean(ff.data(), Clip::kWidth, Clip::kHeight, Clip::kWidth * 3, 3, false, 0, 60);
    auto srcTop =
        test::Mean(bits.data(), Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true, 0, 60);
    EXPECT_LE(test::MaxDifference(ffTop, srcTop), 4.0);
    EXPECT_GT(ffTop.b, ffTop.r + 100); // blue on top
    auto info = test::ProbeStream(jpegPath, "v:0", "stream=pix_fmt");
    EXPECT_EQ(info["pix_fmt"], "yuvj422p"); // the board's 4:2:2
}

TEST(VideoCompressorTest, MjpegTakes32BitPicturesAndIgnoresTheFourthByte) {
    auto c = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    ASSERT_NE(c, nullptr);
    ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
    std::vector<uint8_t> bits24 = Clip::Picture(25, 3), bits32 = Clip::Picture(25, 4);
    VideoCompressor::Sample sample;
    ASSERT_EQ(c->Compress(PictureOf(bits24, 3), sample), 1);
    std::vector<uint8_t> a(sample.data, sample.data + sample.size);
    ASSERT_EQ(c->Compress(PictureOf(bits32, 4), sample), 1) << c->Error();
    std::vector<uint8_t> b(sample.data, sample.data + sample.size);
    EXPECT_TRUE(a == b);
}

TEST(VideoCompressorTest, MjpegQualityChangesTheSamples) {
    EXPECT_EQ(MjpegCompressor::JpegQuality(0), 1);
    EXPECT_EQ(MjpegCompressor::JpegQuality(10000), 100);
    EXPECT_EQ(MjpegCompressor::JpegQuality(5000), 51);
    std::vector<uint8_t> bits = Clip::Picture(20); // the grey ramp
    std::vector<size_t> sizes;
    for (int quality : {500, 5000, 9500}) {
        auto c = VideoCompressor::OpenByName("Orvik QX M-JPEG");
        c->SetQuality(quality);
        EXPECT_EQ(c->Quality(), quality);
        ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
        VideoCompressor::Sample sample;
        ASSERT_EQ(c->Compress(PictureOf(bits), sample), 1);
        sizes.push_back(sample.size);
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
    auto c = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    c->SetQuality(VideoCompressor::kDefaultQuality);
    EXPECT_EQ(c->Quality(), c->DefaultQuality());
    c->SetQuality(20000);
    EXPECT_EQ(c->Quality(), VideoCompressor::kMaxQuality);
}

TEST(VideoCompressorTest, RefusesPicturesThatDoNotFitTheStream) {
    auto c = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    std::vector<uint8_t> bits = Clip::Picture(0);
    VideoCompressor::Sample sample;
    EXPECT_EQ(c->Compress(PictureOf(bits), sample), -1); // not begun
    EXPECT_NE(c->Error().find("Begin"), std::string::npos);
    EXPECT_FALSE(c->Begin(0, 240, 25, 1));
    EXPECT_FALSE(c->Begin(320, 240, 0, 1));
    EXPECT_FALSE(c->Error().empty());
    ASSERT_TRUE(c->Begin(160, 120, 25, 1));
    EXPECT_EQ(c->Compress(PictureOf(bits), sample), -1);
    EXPECT_NE(c->Error().find("320 x 240"), std::string::npos) << c->Error();
    DecodeTarget grey{160, 120, 8, 160, bits.data()};
    EXPECT_EQ(c->Compress(grey, sample), -1);
    EXPECT_EQ(sample.data, nullptr);
    EXPECT_FALSE(c->CanCompress(0, 10));
    EXPECT_TRUE(c->CanCompress(720, 576));
}

TEST(VideoCompressorTest, FullFramesAreHandedOutInPlace) {
    auto c = VideoCompressor::Open(VideoCompressor::kTypeVideo, MakeFourCC("DIB "));
    ASSERT_NE(c, nullptr);
    BitmapInfoHeader f = c->OutputFormat(321, 10);
    EXPECT_EQ(f.compression, 0u);
    EXPECT_EQ(f.sizeImage, 964u * 10); // rows padded to four bytes
    ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
    std::vector<uint8_t> bits = Clip::Picture(7);
    VideoCompressor::Sample sample;
    ASSERT_EQ(c->Compress(PictureOf(bits), sample), 1);
    EXPECT_EQ(sample.data, bits.data());
    EXPECT_EQ(sample.size, bits.size());
    std::vector<uint8_t> bits32 = Clip::Picture(7, 4);
    ASSERT_EQ(c->Compress(PictureOf(bits32, 4), sample), 1);
    ASSERT_EQ(sample.size, bits.size());
    EXPECT_TRUE(std::equal(bits.begin(), bits.end(), sample.data));

    // Odd widths: the padding is made, whatever the caller's stride.
    ASSERT_TRUE(c->Begin(5, 2, 25, 1));
    std::vector<uint8_t> odd(2 * 20, 0xEE);
    ASSERT_EQ(c->Compress({5, 2, 24, 20, odd.data()}, sample), 1);
    ASSERT_EQ(sample.size, 32u);
    std::vector<uint8_t> want(32, 0xEE);
    for (int row = 0; row < 2; ++row)
        want[row * 16 + 15] = 0;
    EXPECT_TRUE(std::equal(want.begin(), want.end(), sample.data));
}

struct AvCase {
    const char* name;
    const char* handler;
    const char* codec; // as ffprobe names it
    int delay;
};

class AvCompressorCase : public testing::TestWithParam<AvCase> {};

// Compresses the synthetic clip, writes it into an AVI file and has ffmpeg
// and the frame getter decode it.
TEST_P(AvCompressorCase, ClipDecodesWithKeyFramesWhereAsked) {
    const AvCase& p = GetParam();
    auto c = VideoCompressor::OpenByName(p.name);
    ASSERT_NE(c, nullptr);
    c->SetKeyFrameInterval(10);
    c->SetQuality(9000);
    ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1)) << c->Error();
    EXPECT_EQ(c->Delay(), p.delay);
    EXPECT_EQ(c->Output().compression,
              MakeFourCC(p.handler[0], p.handler[1], p.handler[2], p.handler[3]));
    std::string path = test::InHome(std::string(p.handler) + ".avi");
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.SetVideoStream(c->GetInfo().fccHandler, c->Output(), 25, 1));
    const int frames = 30;
    std::vector<bool> keys;
    auto put = [&](const VideoCompressor::Sample& s) {
        keys.push_back(s.keyFrame);
        ASSERT_TRUE(writer.WriteVideo(s.data, s.size, s.keyFrame)) << writer.Error();
    };
    VideoCompressor::Sample sample;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> bits = Clip::Picture(f * 2);
        int r = c->Compress(PictureOf(bits), sample);
        ASSERT_GE(r, 0) << c->Error();
        EXPECT_EQ(r, f < p.delay ? 0 : 1) << f;
        if (r == 1)
            put(sample);
    }
    int r;
    while ((r = c->Flush(sample)) == 1)
        put(sample);
    ASSERT_EQ(r, 0) << c->Error();
    std::vector<uint8_t> late = Clip::Picture(0);
    EXPECT_EQ(c->Compress(PictureOf(late), sample), -1); // nothing after the end
    c->End();
    ASSERT_TRUE(writer.Close()) << writer.Error();
    ASSERT_EQ(keys.size(), size_t(frames));
    for (int f = 0; f < frames; ++f)
        EXPECT_EQ(keys[f], f % 10 == 0) << f;

    auto v = test::ProbeStream(path, "v:0", "stream=codec_name,width,height,nb_read_frames",
                               "-count_frames");
    EXPECT_EQ(v["codec_name"], p.codec) << test::ToolLog();
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    auto packets = test::FfprobePackets(path, "v:0");
    ASSERT_EQ(packets.size(), size_t(frames));
    for (int f = 0; f < frames; ++f)
        EXPECT_EQ(packets[f]["flags"].find('K') != std::string::npos, f % 10 == 0) << f;

    std::vector<uint8_t> raw =
        test::FfmpegOutput(path, "-fps_mode passthrough -f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = size_t(Clip::kWidth) * Clip::kHeight * 3;
    ASSERT_EQ(raw.size(), frameBytes * frames) << test::ToolLog();
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    FrameGetter getter;
    ASSERT_TRUE(getter.Open(*file.FindStream(AviStream::kVideo, 0))) << getter.Error();
    for (int f = frames - 1; f >= 0; f -= 3) {
        std::vector<uint8_t> source = Clip::Picture(f * 2);
        auto want = test::Mean(source.data(), Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true,
                               0, Clip::kHeight / 2);
        auto ff = test::Mean(raw.data() + f * frameBytes, Clip::kWidth, Clip::kHeight,
                             Clip::kWidth * 3, 3, false, 0, Clip::kHeight / 2);
        EXPECT_LE(test::MaxDifference(want, ff), 6.0) << "ffmpeg frame " << f;
        const uint8_t* ours = getter.GetFrame(f);
        ASSERT_NE(ours, nullptr) << getter.Error();
        auto got = test::Mean(ours, Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true, 0,
                              Clip::kHeight / 2);
        EXPECT_LE(test::MaxDifference(want, got), 6.0) << "frame getter frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(Mpeg, AvCompressorCase,
                         testing::Values(AvCase{"Orvik MPEG-1 Video", "mpg1", "mpeg1video", 1},
                                         AvCase{"Orvik MPEG-4 Video", "FMP4", "mpeg4", 0}),
                         [](const auto& info) { return std::string(info.param.handler); });

TEST(VideoCompressorTest, Mpeg1RefusesRatesItCannotCarry) {
    auto c = VideoCompressor::OpenByName("Orvik MPEG-1 Video");
    ASSERT_NE(c, nullptr);
    EXPECT_FALSE(c->Begin(320, 240, 3, 1));
    EXPECT_NE(c->Error().find("3/1"), std::string::npos) << c->Error();
    EXPECT_TRUE(c->Begin(320, 240, 30000, 1001)) << c->Error();
    EXPECT_TRUE(c->CanCompress(352, 288));
    EXPECT_FALSE(c->CanCompress(5000, 288)); // past MPEG-1's 4095
    EXPECT_EQ(AvCompressor::Quantiser(10000), 2);
    EXPECT_EQ(AvCompressor::Quantiser(0), 31);
}

TEST(VideoCompressorTest, Mpeg1AimsAtADataRate) {
    // Grainy pictures, so that the rate and not the picture decides.
    std::vector<std::vector<uint8_t>> pictures;
    uint32_t noise = 1;
    for (int f = 0; f < 50; ++f) {
        std::vector<uint8_t> bits = Clip::Picture(f);
        for (uint8_t& b : bits) {
            noise = noise * 1664525u + 1013904223u;
            b = uint8_t(std::clamp(int(b) + int(noise >> 27) - 16, 0, 255));
        }
        pictures.push_back(std::move(bits));
    }
    std::vector<size_t> totals;
    for (uint32_t rate : {200000u, 400000u}) {
        auto c = VideoCompressor::OpenByName("Orvik MPEG-1 Video");
        c->SetDataRate(rate);
        ASSERT_TRUE(c->Begin(Clip::kWidth, Clip::kHeight, 25, 1)) << c->Error();
        size_t total = 0;
        VideoCompressor::Sample sample;
        for (auto& bits : pictures) {
            ASSERT_GE(c->Compress(PictureOf(bits), sample), 0) << c->Error();
            total += sample.size;
        }
        while (c->Flush(sample) == 1)
            total += sample.size;
        totals.push_back(total);
        // 2 s of pictures: near twice the rate (the rate control settles
        // within the first second, so the total overshoots a little).
        EXPECT_LT(total, 2 * rate * 2) << rate;
        EXPECT_GT(total, 2 * rate / 2) << rate;
    }
    EXPECT_GT(totals[1], totals[0] * 3 / 2);
}

} // namespace
} // namespace orvik
