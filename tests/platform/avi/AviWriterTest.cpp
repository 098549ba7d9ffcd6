#include "platform/avi/AviWriter.h"

#include "platform/avi/AviFile.h"
#include "platform/avi/FourCC.h"
#include "platform/avi/MediaTestTools.h"
#include "platform/avi/RiffFile.h"
#include "platform/avi/SyntheticClip.h"
#include "platform/codec/FrameGetter.h"
#include "platform/codec/VideoCompressor.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::SyntheticClip;
using Clip = SyntheticClip;

// JPEG at the board codec's default quality keeps the mean colour of each
// half picture within a few levels.
constexpr double kJpegTolerance = 4.0;

struct Written {
    std::string path;
    int frames = 0;
    int64_t soundFrames = 0;
    uint32_t largestSample = 0;
    int riffCount = 0;
};

enum class SoundOrder { interleaved, soundFirst, videoFirst, none };

// Writes the synthetic clip through the board codec. Interleaved: sound in
// blocks of 1000 sample frames (never aligned to a frame), some given before
// their frame and some after.
Written WriteMjpegClip(const std::string& name, int frames, SoundOrder order,
                       const AviWriter::Options& options = {}) {
    Written w;
    w.path = test::InHome(name);
    w.frames = frames;
    std::string why;
    auto compressor = VideoCompressor::OpenByName("Orvik QX M-JPEG", &why);
    EXPECT_NE(compressor, nullptr) << why;
    if (!compressor)
        return w;
    EXPECT_TRUE(compressor->Begin(Clip::kWidth, Clip::kHeight, Clip::kRate, 1))
        << compressor->Error();

    AviWriter writer;
    EXPECT_TRUE(writer.Open(w.path, options)) << writer.Error();
    EXPECT_TRUE(writer.SetVideoStream(compressor->GetInfo().fccHandler, compressor->Output(),
                                      Clip::kRate, 1))
        << writer.Error();
    if (order != SoundOrder::none) {
        EXPECT_TRUE(
            writer.SetSoundStream(WaveFormat::MakePcm(Clip::kSoundRate, Clip::kSoundChannels, 16)));
    }
    const int64_t totalSound = order == SoundOrder::none ? 0 : Clip::SoundFramesFor(frames);
    int64_t given = 0;
    auto giveSoundUpTo = [&](int64_t until) {
        until = std::min(until, totalSound);
        while (given < until) {
            int64_t n = std::min<int64_t>(1000, totalSound - given);
            std::vector<uint8_t> block = Clip::Tone(given, n);
            EXPECT_TRUE(writer.WriteSound(block.data(), block.size())) << writer.Error();
            given += n;
        }
    };
    if (order == SoundOrder::soundFirst)
        giveSoundUpTo(totalSound);
    for (int f = 0; f < frames; ++f) {
        if (order == SoundOrder::interleaved && f % 3 == 0)
            giveSoundUpTo(Clip::SoundFramesFor(f + 1));
        std::vector<uint8_t> bits = Clip::Picture(f);
        DecodeTarget picture{Clip::kWidth, Clip::kHeight, 24, Clip::Stride(), bits.data()};
        VideoCompressor::Sample sample;
        EXPECT_EQ(compressor->Compress(picture, sample), 1) << compressor->Error();
        w.largestSample = std::max(w.largestSample, uint32_t(sample.size));
        EXPECT_TRUE(writer.WriteVideo(sample.data, sample.size, sample.keyFrame)) << writer.Error();
        if (order == SoundOrder::interleaved && f % 3 != 0)
            giveSoundUpTo(Clip::SoundFramesFor(f + 1));
    }
    giveSoundUpTo(totalSound);
    EXPECT_EQ(writer.VideoFrames(), frames);
    EXPECT_EQ(writer.SoundFrames(), totalSound);
    EXPECT_TRUE(writer.Close()) << writer.Error();
    w.soundFrames = totalSound;
    w.riffCount = writer.RiffCount();
    return w;
}

// Checks every decoded frame of ffmpeg's against the source pictures: the
// mean colour of the top and of the bottom half.
void ExpectFfmpegFrames(const std::string& path, int frames, double tolerance) {
    std::vector<uint8_t> raw = test::FfmpegOutput(path, "-map 0:v -f rawvideo -pix_fmt bgr24");
    const size_t frameBytes = size_t(Clip::kWidth) * Clip::kHeight * 3;
    ASSERT_EQ(raw.size(), frameBytes * frames) << test::ToolLog();
    const size_t row = size_t(Clip::kWidth) * 3;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> source = Clip::Picture(f);
        for (auto [top, bottom] :
             {std::pair{0, Clip::kHeight / 2}, std::pair{Clip::kHeight / 2, Clip::kHeight}}) {
            test::MeanColour want = test::Mean(source.data(), Clip::kWidth, Clip::kHeight,
                                               Clip::Stride(), 3, true, top, bottom);
            test::MeanColour got = test::Mean(raw.data() + f * frameBytes, Clip::kWidth,
                                              Clip::kHeight, row, 3, false, top, bottom);
            EXPECT_LE(test::MaxDifference(want, got), tolerance)
                << "frame " << f << " rows " << top << ".." << bottom;
        }
    }
}

void ExpectFfmpegSound(const std::string& path, int64_t soundFrames) {
    std::vector<uint8_t> pcm = test::FfmpegOutput(path, "-map 0:a -f s16le -c:a pcm_s16le");
    std::vector<uint8_t> want = Clip::Tone(0, soundFrames);
    ASSERT_EQ(pcm.size(), want.size()) << test::ToolLog();
    EXPECT_TRUE(pcm == want);
}

// Our own reader: frames through the frame getter, sound through the stream.
void ExpectReaderFrames(AviFile& file, int frames, int64_t soundFrames) {
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(video, nullptr) << file.Error();
    EXPECT_EQ(video->Handler(), MakeFourCC("MJPG"));
    EXPECT_EQ(video->Length(), frames);
    EXPECT_EQ(video->Rate(), 25.0);
    FrameGetter getter;
    ASSERT_TRUE(getter.Open(*video)) << getter.Error();
    for (int f = 0; f < frames; ++f) {
        const uint8_t* bits = getter.GetFrame(f);
        ASSERT_NE(bits, nullptr) << getter.Error();
        std::vector<uint8_t> source = Clip::Picture(f);
        for (auto [top, bottom] :
             {std::pair{0, Clip::kHeight / 2}, std::pair{Clip::kHeight / 2, Clip::kHeight}}) {
            test::MeanColour want = test::Mean(source.data(), Clip::kWidth, Clip::kHeight,
                                               Clip::Stride(), 3, true, top, bottom);
            test::MeanColour got =
                test::Mean(bits, Clip::kWidth, Clip::kHeight, Clip::Stride(), 3, true, top, bottom);
            EXPECT_LE(test::MaxDifference(want, got), kJpegTolerance)
                << "frame " << f << " rows " << top << ".." << bottom;
        }
    }
    if (soundFrames == 0)
        return;
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    ASSERT_NE(sound, nullptr) << file.Error();
    EXPECT_EQ(sound->Length(), soundFrames);
    std::vector<uint8_t> pcm(size_t(soundFrames) * 4);
    size_t bytes = 0;
    ASSERT_TRUE(sound->Read(0, soundFrames, pcm.data(), pcm.size(), &bytes, nullptr));
    EXPECT_EQ(bytes, pcm.size());
    EXPECT_TRUE(pcm == Clip::Tone(0, soundFrames));
}

TEST(AviWriterTest, MjpegClipWithToneReadsBackWithFfmpegAndOurReader) {
    const int frames = Clip::kFramesPerScene * Clip::kScenes;
    Written w = WriteMjpegClip("clip.avi", frames, SoundOrder::interleaved);
    ASSERT_EQ(w.riffCount, 1);

    auto v = test::ProbeStream(w.path, "v:0",
                               "stream=codec_name,codec_tag_string,width,height,r_frame_rate,"
                               "nb_frames,nb_read_frames",
                               "-count_frames");
    EXPECT_EQ(v["codec_name"], "mjpeg") << test::ToolLog();
    EXPECT_EQ(v["codec_tag_string"], "MJPG");
    EXPECT_EQ(v["width"], "320");
    EXPECT_EQ(v["height"], "240");
    EXPECT_EQ(v["r_frame_rate"], "25/1");
    EXPECT_EQ(v["nb_frames"], std::to_string(frames));
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    auto a =
        test::ProbeStream(w.path, "a:0", "stream=codec_name,sample_rate,channels,bits_per_sample");
    EXPECT_EQ(a["codec_name"], "pcm_s16le");
    EXPECT_EQ(a["sample_rate"], "44100");
    EXPECT_EQ(a["channels"], "2");
    EXPECT_EQ(a["bits_per_sample"], "16");
    // ffprobe gives no duration of its own to the sound of an interleaved
    // file; the file's is the length of the two streams.
    auto format = test::ProbeStream(w.path, "a:0", "format=duration");
    ASSERT_FALSE(format["duration"].empty()) << test::ToolLog();
    EXPECT_NEAR(std::stod(format["duration"]), frames / 25.0, 1e-3);
    ExpectFfmpegFrames(w.path, frames, kJpegTolerance);
    ExpectFfmpegSound(w.path, w.soundFrames);

    AviFile file;
    ASSERT_TRUE(file.Open(w.path)) << file.Error();
    EXPECT_FALSE(file.HasContinuation());
    EXPECT_EQ(file.Header().totalFrames, uint32_t(frames));
    EXPECT_EQ(file.Header().microSecPerFrame, 40000u);
    EXPECT_EQ(file.Header().streams, 2u);
    EXPECT_EQ(file.Header().width, 320u);
    EXPECT_EQ(file.Header().height, 240u);
    // Room for the largest chunk with its header: here a frame's sound.
    EXPECT_EQ(file.Header().suggestedBufferSize, std::max(w.largestSample, 1764u * 4) + 8);
    ExpectReaderFrames(file, frames, w.soundFrames);

    // The stream headers as stored: lengths and buffer sizes filled in.
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    ASSERT_TRUE(video && sound);
    EXPECT_EQ(video->IndexKind(), "idx1");
    EXPECT_EQ(video->Info().dwSuggestedBufferSize, w.largestSample);
    EXPECT_EQ(video->Info().rcFrame.right, 320);
    EXPECT_EQ(video->Info().rcFrame.bottom, 240);
    std::vector<uint8_t> bytes = test::ReadBytes(w.path);
    size_t strh = test::FindId(bytes, "strh");
    ASSERT_NE(strh, std::string::npos);
    EXPECT_EQ(test::LE32(bytes, strh + 8 + 32), uint32_t(frames));
    EXPECT_EQ(test::LE32(bytes, strh + 8 + 36), w.largestSample);
    size_t strh2 = test::FindId(bytes, "strh", strh + 8);
    ASSERT_NE(strh2, std::string::npos);
    EXPECT_EQ(test::LE32(bytes, strh2 + 8 + 32), uint32_t(w.soundFrames));
    EXPECT_EQ(test::LE32(bytes, strh2 + 8 + 36), uint32_t(1764 * 4)); // one frame's sound
    EXPECT_EQ(test::FindId(bytes, "indx"), std::string::npos);        // not an OpenDML file
    EXPECT_EQ(test::FindId(bytes, "AVIX"), std::string::npos);

    // One sound chunk per frame, each next to its frame.
    const auto& ve = video->Entries();
    const auto& se = sound->Entries();
    ASSERT_EQ(se.size(), size_t(frames));
    for (size_t k = 0; k + 1 < se.size(); ++k) {
        EXPECT_EQ(se[k].size, 1764u * 4);
        EXPECT_LT(se[k].offset, ve[k + 1].offset) << k;
        EXPECT_LT(ve[k].offset, se[k + 1].offset) << k;
    }
}

TEST(AviWriterTest, SoundGivenAllBeforeOrAllAfterTheVideo) {
    for (SoundOrder order : {SoundOrder::soundFirst, SoundOrder::videoFirst}) {
        const int frames = 75; // 3 s: more sound than the writer holds back
        Written w = WriteMjpegClip(order == SoundOrder::soundFirst ? "first.avi" : "after.avi",
                                   frames, order);
        ExpectFfmpegSound(w.path, w.soundFrames);
        auto v = test::ProbeStream(w.path, "v:0", "stream=nb_read_frames", "-count_frames");
        EXPECT_EQ(v["nb_read_frames"], std::to_string(frames)) << test::ToolLog();
        AviFile file;
        ASSERT_TRUE(file.Open(w.path)) << file.Error();
        AviStream* sound = file.FindStream(AviStream::kAudio, 0);
        ASSERT_NE(sound, nullptr);
        EXPECT_EQ(sound->Length(), w.soundFrames);
        EXPECT_EQ(sound->Entries().size(), size_t(frames)); // still cut per frame
    }
}

TEST(AviWriterTest, PassingTheRiffLimitGoesOpenDml) {
    AviWriter::Options options;
    options.riffLimit = 200000;
    const int frames = 120;
    Written w = WriteMjpegClip("long.avi", frames, SoundOrder::interleaved, options);
    ASSERT_GT(w.riffCount, 3);

    // Every RIFF form stays within the limit; the first is "AVI ", the rest
    // "AVIX", each with its "movi" list.
    RiffFile riff;
    ASSERT_TRUE(riff.Open(w.path));
    std::vector<RiffChunk> top = riff.TopChunks();
    ASSERT_EQ(top.size(), size_t(w.riffCount));
    std::map<std::string, uint32_t> formsWith;
    for (size_t i = 0; i < top.size(); ++i) {
        EXPECT_EQ(top[i].id, MakeFourCC("RIFF"));
        EXPECT_EQ(top[i].form, MakeFourCC(i == 0 ? "AVI " : "AVIX"));
        EXPECT_FALSE(top[i].overruns);
        EXPECT_LE(top[i].End() - top[i].offset, options.riffLimit) << "form " << i;
        std::vector<RiffChunk> inside = riff.Children(top[i]);
        const RiffChunk* movi = RiffFile::Find(inside, MakeFourCC("LIST"), MakeFourCC("movi"));
        ASSERT_NE(movi, nullptr);
        // Each stream with chunks in the form has its standard index there.
        std::vector<RiffChunk> chunks = riff.Children(*movi);
        for (const char* id : {"00dc", "01wb"}) {
            bool hasChunks = RiffFile::Find(chunks, MakeFourCC(id[0], id[1], id[2], id[3]));
            bool hasIndex = RiffFile::Find(chunks, MakeFourCC('i', 'x', id[0], id[1]));
            EXPECT_EQ(hasIndex, hasChunks) << "form " << i << " " << id;
            formsWith[id] += hasChunks ? 1 : 0;
        }
        EXPECT_TRUE(RiffFile::Find(chunks, MakeFourCC("00dc")) ||
                    RiffFile::Find(chunks, MakeFourCC("01wb")));
        EXPECT_EQ(RiffFile::Find(inside, MakeFourCC("idx1")) != nullptr, i == 0);
    }

    auto v = test::ProbeStream(w.path, "v:0", "stream=codec_name,width,height,nb_read_frames",
                               "-count_frames");
    EXPECT_EQ(v["codec_name"], "mjpeg") << test::ToolLog();
    EXPECT_EQ(v["width"], "320");
    EXPECT_EQ(v["height"], "240");
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    ExpectFfmpegFrames(w.path, frames, kJpegTolerance);
    ExpectFfmpegSound(w.path, w.soundFrames);

    AviFile file;
    ASSERT_TRUE(file.Open(w.path)) << file.Error();
    EXPECT_TRUE(file.HasContinuation());
    ASSERT_EQ(file.StreamCount(), 2u);
    EXPECT_EQ(file.Stream(0)->IndexKind(), "indx");
    EXPECT_EQ(file.Stream(1)->IndexKind(), "indx");
    ExpectReaderFrames(file, frames, w.soundFrames);

    // The OpenDML indexes agree with a walk of every "movi" list.
    AviFile walked;
    ASSERT_TRUE(walked.Open(w.path, AviFile::IndexUse::scanOnly)) << walked.Error();
    for (size_t s = 0; s < 2; ++s) {
        const auto& a = file.Stream(s)->Entries();
        const auto& b = walked.Stream(s)->Entries();
        ASSERT_EQ(a.size(), b.size()) << "stream " << s;
        for (size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].offset, b[i].offset);
            EXPECT_EQ(a[i].size, b[i].size);
        }
    }

    // A reader of the first form only sees its frames: the main header counts
    // those, the OpenDML header all of them.
    std::vector<uint8_t> bytes = test::ReadBytes(w.path);
    size_t idx1 = test::FindId(bytes, "idx1");
    ASSERT_NE(idx1, std::string::npos);
    uint32_t firstFormFrames = 0;
    for (size_t at = idx1 + 8; at < idx1 + 8 + test::LE32(bytes, idx1 + 4); at += 16)
        firstFormFrames += test::LE32(bytes, at) == MakeFourCC("00dc") ? 1 : 0;
    EXPECT_GT(firstFormFrames, 0u);
    EXPECT_LT(firstFormFrames, uint32_t(frames));
    EXPECT_EQ(file.Header().totalFrames, firstFormFrames);
    size_t dmlh = test::FindId(bytes, "dmlh");
    ASSERT_NE(dmlh, std::string::npos);
    EXPECT_EQ(test::LE32(bytes, dmlh + 8), uint32_t(frames));
    size_t strh = test::FindId(bytes, "strh");
    EXPECT_EQ(test::LE32(bytes, strh + 8 + 32), uint32_t(frames));

    // The super indexes: one entry per form with chunks of the stream,
    // durations adding up to the stream's length.
    size_t indx = test::FindId(bytes, "indx");
    ASSERT_NE(indx, std::string::npos);
    uint32_t entries = test::LE32(bytes, indx + 8 + 4);
    EXPECT_EQ(entries, formsWith["00dc"]);
    uint64_t duration = 0;
    for (uint32_t i = 0; i < entries; ++i)
        duration += test::LE32(bytes, indx + 8 + 24 + i * 16 + 12);
    EXPECT_EQ(duration, uint64_t(frames));
    size_t indx2 = test::FindId(bytes, "indx", indx + 8);
    ASSERT_NE(indx2, std::string::npos);
    uint32_t entries2 = test::LE32(bytes, indx2 + 8 + 4);
    EXPECT_EQ(entries2, formsWith["01wb"]);
    uint64_t soundDuration = 0;
    for (uint32_t i = 0; i < entries2; ++i)
        soundDuration += test::LE32(bytes, indx2 + 8 + 24 + i * 16 + 12);
    EXPECT_EQ(soundDuration, uint64_t(w.soundFrames));
    EXPECT_EQ(duration, uint64_t(frames));
}

TEST(AviWriterTest, TooManyFormsForTheSuperIndexFails) {
    std::string path = test::InHome("small-index.avi");
    AviWriter::Options options;
    options.riffLimit = 4096;
    options.superIndexEntries = 3;
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path, options));
    BitmapInfoHeader h;
    h.width = 16, h.height = 16, h.bitCount = 24, h.compression = MakeFourCC("MJPG");
    ASSERT_TRUE(writer.SetVideoStream(MakeFourCC("MJPG"), h, 25, 1));
    std::vector<uint8_t> sample(3000, 0x11);
    bool allWritten = true;
    for (int i = 0; i < 10; ++i)
        allWritten = writer.WriteVideo(sample.data(), sample.size(), true) && allWritten;
    EXPECT_FALSE(allWritten);
    EXPECT_FALSE(writer.Close());
    EXPECT_NE(writer.Error().find("index"), std::string::npos) << writer.Error();
}

TEST(AviWriterTest, UncompressedFramesAreExact) {
    std::string path = test::InHome("dib.avi");
    auto compressor = VideoCompressor::Open(VideoCompressor::kTypeVideo, MakeFourCC("DIB "));
    ASSERT_NE(compressor, nullptr);
    ASSERT_TRUE(compressor->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path));
    AviStreamInfo info;
    info.fccHandler = compressor->GetInfo().fccHandler;
    info.dwRate = 30000;
    info.dwScale = 1001;
    std::memcpy(info.szName, "Pictures", 9);
    ASSERT_TRUE(writer.SetVideoStream(info, compressor->Output().Bytes()));
    const int frames = 12;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> bits = Clip::Picture(f * 5);
        VideoCompressor::Sample sample;
        ASSERT_EQ(compressor->Compress(
                      {Clip::kWidth, Clip::kHeight, 24, Clip::Stride(), bits.data()}, sample),
                  1);
        ASSERT_TRUE(writer.WriteVideo(sample.data, sample.size, sample.keyFrame));
    }
    ASSERT_TRUE(writer.Close()) << writer.Error();

    auto v = test::ProbeStream(path, "v:0", "stream=codec_name,r_frame_rate,nb_read_frames",
                               "-count_frames");
    EXPECT_EQ(v["codec_name"], "rawvideo") << test::ToolLog();
    EXPECT_EQ(v["r_frame_rate"], "30000/1001");
    EXPECT_EQ(v["nb_read_frames"], std::to_string(frames));
    std::vector<uint8_t> raw = test::FfmpegOutput(path, "-f rawvideo -pix_fmt bgr24");
    const size_t row = size_t(Clip::kWidth) * 3;
    const size_t frameBytes = row * Clip::kHeight;
    ASSERT_EQ(raw.size(), frameBytes * frames) << test::ToolLog();
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> source = Clip::Picture(f * 5);
        bool same = true;
        for (int y = 0; y < Clip::kHeight && same; ++y)
            same = std::equal(raw.begin() + f * frameBytes + y * row,
                              raw.begin() + f * frameBytes + (y + 1) * row,
                              source.begin() + (Clip::kHeight - 1 - y) * Clip::Stride());
        EXPECT_TRUE(same) << "frame " << f;
    }
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    EXPECT_NE(test::FindId(bytes, "00db"), std::string::npos);
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    EXPECT_STREQ(file.Stream(0)->Info().szName, "Pictures");
}

TEST(AviWriterTest, DroppedFrameRepeatsThePictureBefore) {
    std::string path = test::InHome("dropped.avi");
    auto compressor = VideoCompressor::OpenByName("Orvik QX M-JPEG");
    ASSERT_NE(compressor, nullptr);
    ASSERT_TRUE(compressor->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.SetVideoStream(MakeFourCC("MJPG"), compressor->Output(), 25, 1));
    for (int f : {0, 15, -1, 35}) {
        if (f < 0) {
            ASSERT_TRUE(writer.WriteVideo(nullptr, 0, false));
            continue;
        }
        std::vector<uint8_t> bits = Clip::Picture(f);
        VideoCompressor::Sample sample;
        ASSERT_EQ(compressor->Compress(
                      {Clip::kWidth, Clip::kHeight, 24, Clip::Stride(), bits.data()}, sample),
                  1);
        ASSERT_TRUE(writer.WriteVideo(sample.data, sample.size, true));
    }
    ASSERT_TRUE(writer.Close()) << writer.Error();
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    AviStream* video = file.FindStream(AviStream::kVideo, 0);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(video->Length(), 4);
    uint32_t bytes = 1;
    ASSERT_TRUE(video->SampleBytes(2, bytes));
    EXPECT_EQ(bytes, 0u);
    EXPECT_FALSE(video->IsKeyFrame(2));
    FrameGetter getter;
    ASSERT_TRUE(getter.Open(*video)) << getter.Error();
    std::vector<uint8_t> second(getter.GetFrame(1), getter.GetFrame(1) + Clip::Stride() * 240);
    const uint8_t* third = getter.GetFrame(2);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(std::equal(second.begin(), second.end(), third));
}

TEST(AviWriterTest, SoundOnlyFile) {
    std::string path = test::InHome("sound.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path));
    ASSERT_TRUE(writer.SetSoundStream(WaveFormat::MakePcm(44100, 2, 16)));
    const int64_t total = 44100 + 123;
    std::vector<uint8_t> pcm = Clip::Tone(0, total);
    ASSERT_TRUE(writer.WriteSound(pcm.data(), pcm.size()));
    EXPECT_FALSE(writer.WriteVideo(pcm.data(), 16, true)); // there is no video stream
    ASSERT_TRUE(writer.Close()) << writer.Error();
    ExpectFfmpegSound(path, total);
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    EXPECT_EQ(file.StreamCount(), 1u);
    EXPECT_EQ(file.Header().microSecPerFrame, 40000u);
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Length(), total);
    // 40 ms chunks: 1764 sample frames each, the last one shorter.
    ASSERT_EQ(sound->Entries().size(), size_t(26));
    EXPECT_EQ(sound->Entries()[0].size, 1764u * 4);
    EXPECT_EQ(sound->Entries().back().size, uint32_t((total - 25 * 1764) * 4));
    EXPECT_EQ(file.Header().totalFrames, 26u);
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    EXPECT_NE(test::FindId(bytes, "00wb"), std::string::npos);
}

TEST(AviWriterTest, EmptyFileIsStillAnAviFile) {
    std::string path = test::InHome("empty.avi");
    AviWriter writer;
    ASSERT_TRUE(writer.Open(path));
    BitmapInfoHeader h;
    h.width = 64, h.height = 48, h.bitCount = 24, h.compression = MakeFourCC("MJPG");
    ASSERT_TRUE(writer.SetVideoStream(MakeFourCC("MJPG"), h, 25, 1));
    ASSERT_TRUE(writer.Close()) << writer.Error();
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    EXPECT_EQ(file.Header().totalFrames, 0u);
    EXPECT_EQ(file.Stream(0)->Length(), 0);
    EXPECT_EQ(std::filesystem::file_size(path), file.FileSize());
}

TEST(AviWriterTest, StreamsAreFixedOnceSamplesAreWritten) {
    AviWriter writer;
    ASSERT_TRUE(writer.Open(test::InHome("late.avi")));
    BitmapInfoHeader h;
    h.width = 16, h.height = 16, h.bitCount = 24, h.compression = MakeFourCC("MJPG");
    ASSERT_TRUE(writer.SetVideoStream(MakeFourCC("MJPG"), h, 25, 1));
    uint8_t sample[10] = {};
    ASSERT_TRUE(writer.WriteVideo(sample, sizeof sample, true));
    EXPECT_FALSE(writer.SetSoundStream(WaveFormat::MakePcm(44100, 2, 16)));
    EXPECT_FALSE(writer.Close());
    EXPECT_NE(writer.Error().find("fixed"), std::string::npos) << writer.Error();
}

TEST(AviWriterTest, RefusesWhatItCannotDescribe) {
    AviWriter writer;
    EXPECT_FALSE(writer.WriteVideo("x", 1, true)); // not open
    EXPECT_FALSE(writer.Error().empty());
    ASSERT_TRUE(writer.Open(test::InHome("refused.avi")));
    WaveFormat adpcm = WaveFormat::MakePcm(22050, 1, 4);
    adpcm.tag = WaveFormat::kImaAdpcm;
    EXPECT_FALSE(writer.SetSoundStream(adpcm));
    EXPECT_NE(writer.Error().find("PCM"), std::string::npos);
    BitmapInfoHeader h;
    h.width = 16, h.height = 16, h.bitCount = 24;
    EXPECT_FALSE(writer.SetVideoStream(0, h, 0, 1)); // no rate
    h.width = 0;
    EXPECT_FALSE(writer.SetVideoStream(0, h, 25, 1)); // no picture
    EXPECT_FALSE(writer.WriteVideo("x", 1, true));    // no video stream declared
    EXPECT_TRUE(writer.Close());
}

TEST(AviWriterTest, MissingFolderFailsToOpen) {
    std::string folder = test::InHome("gone");
    std::filesystem::create_directory(folder);
    std::filesystem::remove(folder);
    AviWriter writer;
    EXPECT_FALSE(writer.Open(folder + "/movie.avi"));
    EXPECT_NE(writer.Error().find("No such file or directory"), std::string::npos)
        << writer.Error();
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(writer.Close());
}

TEST(AviWriterTest, FullDiskIsReportedAtClose) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    AviWriter writer;
    ASSERT_TRUE(writer.Open("/dev/full")) << writer.Error();
    auto compressor = VideoCompressor::Open(0, MakeFourCC("dib "));
    ASSERT_NE(compressor, nullptr);
    ASSERT_TRUE(compressor->Begin(Clip::kWidth, Clip::kHeight, 25, 1));
    ASSERT_TRUE(writer.SetVideoStream(MakeFourCC("DIB "), compressor->Output(), 25, 1));
    ASSERT_TRUE(writer.SetSoundStream(WaveFormat::MakePcm(44100, 2, 16)));
    std::vector<uint8_t> bits = Clip::Picture(0);
    int failedAt = -1;
    for (int f = 0; f < 20 && failedAt < 0; ++f) {
        VideoCompressor::Sample sample;
        ASSERT_EQ(compressor->Compress(
                      {Clip::kWidth, Clip::kHeight, 24, Clip::Stride(), bits.data()}, sample),
                  1);
        std::vector<uint8_t> sound = Clip::Tone(f * 1764, 1764);
        if (!writer.WriteSound(sound.data(), sound.size()) ||
            !writer.WriteVideo(sample.data, sample.size, true))
            failedAt = f;
    }
    EXPECT_GE(failedAt, 0); // 230 KB frames: the buffer is written out within 20
    EXPECT_FALSE(writer.WriteVideo(bits.data(), 100, true)); // nothing more after a failure
    EXPECT_FALSE(writer.Close());
    EXPECT_NE(writer.Error().find("No space left on device"), std::string::npos) << writer.Error();
}

TEST(AviWriterTest, WriterLeftOpenIsClosedWhenDestroyed) {
    std::string path = test::InHome("left-open.avi");
    {
        AviWriter writer;
        ASSERT_TRUE(writer.Open(path));
        ASSERT_TRUE(writer.SetSoundStream(WaveFormat::MakePcm(22050, 1, 16)));
        std::vector<uint8_t> pcm(22050 * 2, 0x10);
        ASSERT_TRUE(writer.WriteSound(pcm.data(), pcm.size()));
    }
    AviFile file;
    ASSERT_TRUE(file.Open(path)) << file.Error();
    AviStream* sound = file.FindStream(AviStream::kAudio, 0);
    ASSERT_NE(sound, nullptr);
    EXPECT_EQ(sound->Length(), 22050);
    EXPECT_EQ(sound->Info().dwLength, 22050u);
}

} // namespace
} // namespace orvik
