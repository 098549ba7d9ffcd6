#include "platform/avi/WaveWriter.h"

#include "platform/avi/MediaTestTools.h"
#include "platform/avi/SyntheticClip.h"
#include "platform/avi/WaveReader.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace orvik {
namespace {

using test::SyntheticClip;

// What sox says of a file ("-r", "-c", "-s", "-b", "-e").
std::string SoxInfo(const std::string& path, const std::string& option) {
    std::string out = test::InHome("soxi.txt");
    if (!test::Run("sox --i " + option + " " + path + " >" + out))
        return {};
    std::string text = test::ReadFile(out);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

TEST(WaveWriterTest, ToneReadsBackWithSoxFfmpegAndOurReader) {
    std::string path = test::InHome("tone.wav");
    const int64_t frames = 44100 + 777;
    std::vector<uint8_t> pcm = SyntheticClip::Tone(0, frames);
    WaveWriter writer;
    ASSERT_TRUE(writer.Open(path, WaveFormat::MakePcm(44100, 2, 16))) << writer.Error();
    // In uneven pieces, as a renderer hands them over.
    const size_t pieces[] = {4, 4000, 65536, 12};
    for (size_t at = 0, i = 0; at < pcm.size(); ++i) {
        size_t n = std::min(pieces[i % 4], pcm.size() - at);
        ASSERT_TRUE(writer.Write(pcm.data() + at, n));
        at += n;
    }
    EXPECT_EQ(writer.Frames(), frames);
    ASSERT_TRUE(writer.Close()) << writer.Error();

    EXPECT_EQ(SoxInfo(path, "-r"), "44100") << test::ToolLog();
    EXPECT_EQ(SoxInfo(path, "-c"), "2");
    EXPECT_EQ(SoxInfo(path, "-b"), "16");
    EXPECT_EQ(SoxInfo(path, "-s"), std::to_string(frames));
    EXPECT_EQ(SoxInfo(path, "-e"), "Signed Integer PCM");
    std::vector<uint8_t> decoded = test::FfmpegOutput(path, "-f s16le -c:a pcm_s16le");
    EXPECT_TRUE(decoded == pcm) << decoded.size() << " bytes " << test::ToolLog();

    WaveReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    EXPECT_EQ(reader.Format(), WaveFormat::MakePcm(44100, 2, 16));
    EXPECT_EQ(reader.FrameCount(), frames);
    EXPECT_EQ(reader.DataSize(), pcm.size());
    EXPECT_EQ(reader.DataOffset(), 44u); // the plain 44-byte header
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    EXPECT_EQ(test::LE32(bytes, 4), uint32_t(bytes.size() - 8));
    EXPECT_EQ(test::LE32(bytes, 16), 16u); // "fmt " of plain PCM
}

TEST(WaveWriterTest, OddDataGetsItsPadByte) {
    std::string path = test::InHome("odd.wav");
    WaveWriter writer;
    ASSERT_TRUE(writer.Open(path, WaveFormat::MakePcm(8000, 1, 8)));
    std::vector<uint8_t> pcm(8001);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = uint8_t(128 + 100 * std::sin(i * 0.3));
    ASSERT_TRUE(writer.Write(pcm.data(), pcm.size()));
    ASSERT_TRUE(writer.Close()) << writer.Error();
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    ASSERT_EQ(bytes.size(), 44u + 8001 + 1);
    EXPECT_EQ(test::LE32(bytes, 40), 8001u);
    EXPECT_EQ(test::LE32(bytes, 4), uint32_t(bytes.size() - 8));
    EXPECT_EQ(SoxInfo(path, "-s"), "8001") << test::ToolLog();
    std::vector<uint8_t> decoded = test::FfmpegOutput(path, "-f u8 -c:a pcm_u8");
    EXPECT_TRUE(decoded == pcm) << test::ToolLog();
}

TEST(WaveWriterTest, EmptyFileIsAValidSoundFile) {
    std::string path = test::InHome("empty.wav");
    WaveWriter writer;
    ASSERT_TRUE(writer.Open(path, WaveFormat::MakePcm(48000, 2, 24)));
    ASSERT_TRUE(writer.Close());
    WaveReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    EXPECT_EQ(reader.FrameCount(), 0);
    EXPECT_EQ(reader.Format().bitsPerSample, 24);
    EXPECT_EQ(std::filesystem::file_size(path), 44u);
}

TEST(WaveWriterTest, RefusesFormatsOtherThanPlainPcm) {
    WaveWriter writer;
    EXPECT_FALSE(writer.Open(test::InHome("float.wav"), WaveFormat::MakeFloat(44100, 2)));
    EXPECT_NE(writer.Error().find("PCM"), std::string::npos);
    WaveFormat odd = WaveFormat::MakePcm(44100, 2, 16);
    odd.blockAlign = 3;
    EXPECT_FALSE(writer.Open(test::InHome("odd.wav"), odd));
    EXPECT_FALSE(std::filesystem::exists(test::InHome("odd.wav")));
    EXPECT_FALSE(writer.Write("ab", 2));
}

TEST(WaveWriterTest, FailedWritesAreReportedAtClose) {
    WaveWriter missing;
    EXPECT_FALSE(missing.Open(test::InHome("no/such/folder.wav"), WaveFormat::MakePcm(8000, 1, 8)));
    EXPECT_FALSE(missing.Error().empty());

    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    WaveWriter writer;
    ASSERT_TRUE(writer.Open("/dev/full", WaveFormat::MakePcm(44100, 2, 16))) << writer.Error();
    std::vector<uint8_t> pcm = SyntheticClip::Tone(0, 1000);
    bool allWritten = true;
    for (int i = 0; i < 400; ++i) // 1.6 MB, more than the writer buffers
        allWritten = writer.Write(pcm.data(), pcm.size()) && allWritten;
    EXPECT_FALSE(allWritten);
    EXPECT_FALSE(writer.Close());
    EXPECT_NE(writer.Error().find("No space left on device"), std::string::npos) << writer.Error();
}

TEST(WaveWriterTest, WriterLeftOpenIsClosedWhenDestroyed) {
    std::string path = test::InHome("left-open.wav");
    std::vector<uint8_t> pcm = SyntheticClip::Tone(0, 500);
    {
        WaveWriter writer;
        ASSERT_TRUE(writer.Open(path, WaveFormat::MakePcm(44100, 2, 16)));
        ASSERT_TRUE(writer.Write(pcm.data(), pcm.size()));
    }
    WaveReader reader;
    ASSERT_TRUE(reader.Open(path)) << reader.Error();
    EXPECT_EQ(reader.FrameCount(), 500);
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    EXPECT_EQ(test::LE32(bytes, 40), uint32_t(pcm.size())); // the data size was filled in
}

} // namespace
} // namespace orvik
