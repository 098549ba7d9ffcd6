#include "media/MediaFiles.h"

#include "media/MediaFile.h"
#include "media/MediaReaderTestSupport.h"
#include "media/VfwFile.h"
#include "media/WaveFile.h"

#include <atomic>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

namespace orvik {
namespace {

using test::Ffmpeg;
using test::Sox;

struct Files {
    std::string avi, wav, wav2;
};

Files MakeFiles() {
    Files f;
    f.avi = Ffmpeg("clip.avi", "-f lavfi -i testsrc2=size=160x120:rate=25 "
                               "-f lavfi -i sine=sample_rate=11025 -t 1 -c:v mjpeg -c:a pcm_u8");
    f.wav = Sox("one.wav", "-n -r 8000 -c 1 -b 16", "synth 0.3 sine 440");
    f.wav2 = Sox("two.wav", "-n -r 8000 -c 2 -b 16", "synth 0.3 sine 440 sine 500");
    return f;
}

TEST(MediaFilesTest, SharedReadersAreKeptPerKindAndReplaced) {
    Files f = MakeFiles();
    ASSERT_FALSE(f.avi.empty() || f.wav.empty() || f.wav2.empty()) << test::ToolLog();

    RefPtr<MediaFile> a = GetMediaFile(f.wav, MediaFile::kindAudio, 0);
    ASSERT_TRUE(a);
    EXPECT_EQ(GetMediaFile(f.wav, MediaFile::kindAudio, 0), a);
    // The video slot is another one: the sound reader stays.
    RefPtr<MediaFile> v = GetMediaFile(f.avi, MediaFile::kindVideo, 0);
    ASSERT_TRUE(v);
    EXPECT_EQ(GetMediaFile(f.wav, MediaFile::kindAudio, 0), a);
    EXPECT_EQ(GetMediaFile(f.avi, MediaFile::kindVideo, 0), v);
    // Another file, or another stream, replaces the reader of its slot; the
    // holder's reference keeps the old one alive and open.
    RefPtr<MediaFile> b = GetMediaFile(f.wav2, MediaFile::kindAudio, 0);
    ASSERT_TRUE(b);
    EXPECT_NE(b, a);
    EXPECT_TRUE(a->IsOpen());
    EXPECT_EQ(a->GetSampleCount(), 2400);
    RefPtr<MediaFile> s = GetMediaFile(f.avi, MediaFile::kindAudio, 0);
    ASSERT_TRUE(s);
    EXPECT_NE(s, b);
    EXPECT_EQ(GetMediaFile(f.avi, MediaFile::kindAudio, 0), s);
    EXPECT_EQ(GetMediaFile(f.avi, MediaFile::kindVideo, 0), v);
    // The comparison of names is exact.
    std::string upper = test::InHome("ONE.wav");
    std::filesystem::copy_file(f.wav, upper);
    RefPtr<MediaFile> c = GetMediaFile(upper, MediaFile::kindAudio, 0);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->GetFileName(), upper);

    // Files that are not there or do not open.
    EXPECT_FALSE(GetMediaFile(test::InHome("missing.wav"), MediaFile::kindAudio, 0));
    EXPECT_FALSE(GetMediaFile("", MediaFile::kindAudio, 0));
    EXPECT_FALSE(GetMediaFile(f.wav, MediaFile::kindVideo, 0));
    EXPECT_FALSE(GetMediaFile(f.avi, MediaFile::kindVideo, 1));
    // A failed open empties the slot: the next request opens afresh.
    RefPtr<MediaFile> v2 = GetMediaFile(f.avi, MediaFile::kindVideo, 0);
    ASSERT_TRUE(v2);
    EXPECT_NE(v2, v);
    EXPECT_EQ(GetMediaFile(test::InHome("missing.avi"), MediaFile::kindVideo, 0), nullptr);
    EXPECT_EQ(GetMediaFile(f.avi, MediaFile::kindVideo, 0), v2);

    // Releasing closes both shared readers; a holder's closed reader opens
    // itself again when asked.
    ReleaseMediaFiles();
    EXPECT_FALSE(v2->IsOpen());
    EXPECT_FALSE(c->IsOpen());
    EXPECT_TRUE(v->IsOpen()); // not shared any more, so not closed
    EXPECT_EQ(v2->IsValid(), 1);
    EXPECT_EQ(v2->GetSampleCount(), 25);
    EXPECT_NE(GetMediaFile(f.avi, MediaFile::kindVideo, 0), v2);
    ReleaseMediaFiles();
}

// The program's video extension is tried as AVI first, other sound files as
// WAVE first; what does not open is a plain reader that is not open.
TEST(MediaFilesTest, OpenMediaFileTriesTheLikelyReaderFirst) {
    Files f = MakeFiles();
    ASSERT_FALSE(f.avi.empty() || f.wav.empty()) << test::ToolLog();
    std::string aviNamedWav = test::InHome("clip-avi.wav");
    std::string wavNamedAvi = test::InHome("one-wav.AVI");
    std::filesystem::copy_file(f.avi, aviNamedWav);
    std::filesystem::copy_file(f.wav, wavNamedAvi);
    struct Case {
        std::string name;
        int32_t kind;
        const char* className; // null: not open
    };
    const Case cases[] = {
        {f.avi, 0, "VfwFile"},       {f.avi, 1, "VfwFile"},      {f.wav, 1, "WaveFile"},
        {aviNamedWav, 1, "VfwFile"}, {aviNamedWav, 0, "VfwFile"}, {wavNamedAvi, 1, "WaveFile"},
        {f.wav, 0, nullptr},         {wavNamedAvi, 0, nullptr},  {"", 1, nullptr},
        {test::InHome("none.wav"), 1, nullptr},
    };
    for (const Case& c : cases) {
        RefPtr<MediaFile> file = OpenMediaFile(c.name, c.kind, 0);
        ASSERT_TRUE(file) << c.name;
        EXPECT_EQ(file->GetFileName(), c.name);
        EXPECT_EQ(file->GetKind(), c.kind);
        if (!c.className) {
            EXPECT_FALSE(file->IsOpen()) << c.name << " " << c.kind;
            EXPECT_STREQ(file->GetRuntimeClass()->className, "MediaFile");
            continue;
        }
        EXPECT_TRUE(file->IsOpen()) << c.name << " " << c.kind;
        EXPECT_STREQ(file->GetRuntimeClass()->className, c.className) << c.name << " " << c.kind;
        // A clone is a new open reader of the same stream.
        RefPtr<RefObject> clone(file->Clone());
        auto* copy = DynamicCast<MediaFile>(clone.get());
        ASSERT_NE(copy, nullptr);
        EXPECT_NE(copy, file.get());
        EXPECT_TRUE(copy->IsOpen());
        EXPECT_EQ(copy->GetSampleCount(), file->GetSampleCount());
        EXPECT_STREQ(copy->GetRuntimeClass()->className, c.className);
    }
}

TEST(MediaFilesTest, MpegFileNames) {
    struct Case {
        const char* name;
        bool mpeg;
    };
    for (Case c : {Case{"a.mpg", true}, Case{"C:\\Movies\\B.MPG", true}, Case{"x.Mpv", true},
                   Case{"x.m1v", true}, Case{"x.mpeg", false}, Case{"x.avi", false},
                   Case{"mpg", false}, Case{"x.mpg.wav", false}, Case{"", false},
                   Case{"dir.mpg/file", false}})
        EXPECT_EQ(IsMpegFileName(c.name), c.mpeg) << c.name;
}

// One reader shared by several threads: every call sees the reader's state
// alone, and a frame handed out stays as it was whatever the others do.
TEST(MediaFilesTest, ReadersAreSafeToShareBetweenThreads) {
    Files f = MakeFiles();
    ASSERT_FALSE(f.avi.empty()) << test::ToolLog();
    RefPtr<MediaFile> video = GetMediaFile(f.avi, MediaFile::kindVideo, 0);
    RefPtr<MediaFile> sound = GetMediaFile(f.avi, MediaFile::kindAudio, 0);
    ASSERT_TRUE(video && sound);

    // What each frame and each stretch of sound is, read by one thread.
    const int frames = int(video->GetSampleCount());
    std::vector<std::vector<uint8_t>> pictures(frames);
    for (int n = 0; n < frames; ++n) {
        RefPtr<Dib> d = video->GetFrame(n);
        ASSERT_TRUE(d);
        pictures[n].assign(d->Bits(), d->Bits() + d->ImageSize());
    }
    const WaveFormat target = WaveFormat::MakePcm(22050, 2, 16);
    const int pieces = 20;
    std::vector<std::vector<uint8_t>> sounds(pieces);
    for (int i = 0; i < pieces; ++i) {
        sounds[i].resize(2000);
        sound->ReadConverted(target, 2000, sounds[i].data(), i * 500, i % 2 == 0);
    }

    std::atomic<int> wrong{0};
    auto pictureReader = [&](int start, int step) {
        std::vector<std::pair<int, RefPtr<Dib>>> held;
        for (int round = 0; round < 40; ++round) {
            int n = (start + round * step) % frames;
            RefPtr<Dib> d = video->GetFrame(n);
            if (!d || !std::equal(pictures[n].begin(), pictures[n].end(), d->Bits()))
                ++wrong;
            held.emplace_back(n, d);
            if (held.size() > 3)
                held.erase(held.begin());
            for (auto& [k, kept] : held)
                if (kept && !std::equal(pictures[k].begin(), pictures[k].end(), kept->Bits()))
                    ++wrong;
        }
    };
    auto soundReader = [&](int start) {
        std::vector<uint8_t> buffer(2000);
        for (int round = 0; round < 60; ++round) {
            int i = (start + round * 7) % pieces;
            sound->ReadConverted(target, 2000, buffer.data(), i * 500, i % 2 == 0);
            if (buffer != sounds[i])
                ++wrong;
            int32_t min = 0, max = 0;
            sound->GetPeak(i * 500, i * 500 + 50, min, max);
        }
    };
    std::vector<std::thread> threads;
    threads.emplace_back(pictureReader, 0, 1);
    threads.emplace_back(pictureReader, 7, 3);
    threads.emplace_back(pictureReader, 3, 11);
    threads.emplace_back(soundReader, 0);
    threads.emplace_back(soundReader, 5);
    for (std::thread& t : threads)
        t.join();
    EXPECT_EQ(wrong.load(), 0);
    ReleaseMediaFiles();
}

} // namespace
} // namespace orvik
