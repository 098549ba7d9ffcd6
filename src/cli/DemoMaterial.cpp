#include "cli/DemoMaterial.h"

#include "imaging/Dib.h"
#include "model/Clip.h"
#include "model/ClipList.h"
#include "model/GraphicAsset.h"
#include "model/Movie.h"
#include "model/Scene.h"
#include "model/SonicAsset.h"
#include "model/SourceTape.h"
#include "model/Timecode.h"
#include "model/Transition.h"
#include "model/WaveAsset.h"
#include "platform/avi/AviWriter.h"
#include "platform/avi/WaveWriter.h"
#include "platform/codec/VideoCompressor.h"
#include "platform/fs/Places.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace orvik {

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kSceneSamples = 45; // about three seconds each at half NTSC rate
constexpr uint32_t kSoundRate = 22050;

// Draws sample `n` of scene `scene` into a bottom-up BGR picture: each scene
// has its own look and moves, so scene detection has something to find.
void DrawFrame(std::vector<uint8_t>& bits, size_t stride, int scene, int n) {
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = bits.data() + static_cast<size_t>(kHeight - 1 - y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            uint8_t b = 0, g = 0, r = 0;
            switch (scene % 4) {
            case 0: // a sunset gradient that drifts
                r = static_cast<uint8_t>(200 + 55 * y / kHeight);
                g = static_cast<uint8_t>((y * 160 / kHeight + n * 2) & 0xFF);
                b = static_cast<uint8_t>(60);
                break;
            case 1: { // a green field with a moving ball
                int cx = 40 + n * 5, cy = 120;
                bool ball = (x - cx) * (x - cx) + (y - cy) * (y - cy) < 30 * 30;
                r = ball ? 250 : 40;
                g = ball ? 250 : static_cast<uint8_t>(120 + y / 4);
                b = ball ? 250 : 40;
                break;
            }
            case 2: // blue water with waves
                b = static_cast<uint8_t>(160 + 60 * std::sin((x + n * 6) * 0.08));
                g = static_cast<uint8_t>(90 + 30 * std::sin(y * 0.1));
                r = 20;
                break;
            default: // a checkerboard of sand and shade
                bool dark = (((x + n * 3) / 40) + (y / 40)) % 2 != 0;
                r = dark ? 120 : 230;
                g = dark ? 100 : 200;
                b = dark ? 70 : 150;
                break;
            }
            row[x * 3] = b;
            row[x * 3 + 1] = g;
            row[x * 3 + 2] = r;
        }
    }
}

bool MakeTape(const std::string& path, int scenes, std::vector<std::pair<Time, Time>>& where,
              std::string& error) {
    std::unique_ptr<VideoCompressor> mjpeg = VideoCompressor::Open(
        VideoCompressor::kTypeVideo, MakeFourCC("MJPG"), &error);
    if (!mjpeg)
        return false;
    int64_t rate = 0, scale = 1;
    Timecode::GetVideoRate(rate, scale);
    if (!mjpeg->Begin(kWidth, kHeight, static_cast<uint32_t>(rate), static_cast<uint32_t>(scale))) {
        error = mjpeg->Error();
        return false;
    }
    AviWriter avi;
    if (!avi.Open(path) ||
        !avi.SetVideoStream(MakeFourCC("MJPG"), mjpeg->Output(), static_cast<uint32_t>(rate),
                            static_cast<uint32_t>(scale)) ||
        !avi.SetSoundStream(WaveFormat::MakePcm(kSoundRate, 1, 16))) {
        error = avi.Error();
        return false;
    }
    size_t stride = (static_cast<size_t>(kWidth) * 3 + 3) & ~size_t{3};
    std::vector<uint8_t> bits(stride * kHeight);
    DecodeTarget picture;
    picture.width = kWidth;
    picture.height = kHeight;
    picture.bitCount = 24;
    picture.stride = stride;
    picture.bits = bits.data();
    double samplesOfSound = static_cast<double>(kSoundRate) * static_cast<double>(scale) /
                            static_cast<double>(rate);
    int64_t soundWritten = 0;
    int framesPerSample = Timecode::GetFramesPerSample();
    for (int s = 0; s < scenes; ++s) {
        where.emplace_back(s * kSceneSamples * framesPerSample, kSceneSamples * framesPerSample);
        double tone = 330.0 * (1 + s * 0.25); // each scene hums its own note
        for (int n = 0; n < kSceneSamples; ++n) {
            DrawFrame(bits, stride, s, n);
            VideoCompressor::Sample sample;
            if (mjpeg->Compress(picture, sample) != 1 ||
                !avi.WriteVideo(sample.data, sample.size, sample.keyFrame)) {
                error = mjpeg->Error().empty() ? avi.Error() : mjpeg->Error();
                return false;
            }
            int64_t target = static_cast<int64_t>((s * kSceneSamples + n + 1) * samplesOfSound);
            std::vector<int16_t> pcm;
            for (; soundWritten < target; ++soundWritten)
                pcm.push_back(static_cast<int16_t>(
                    6000 * std::sin(2 * M_PI * tone * static_cast<double>(soundWritten) / kSoundRate)));
            if (!avi.WriteSound(pcm.data(), pcm.size() * 2)) {
                error = avi.Error();
                return false;
            }
        }
    }
    mjpeg->End();
    if (!avi.Close()) {
        error = avi.Error();
        return false;
    }
    return true;
}

bool MakeSound(const std::string& path, std::string& error) {
    WaveWriter wav;
    if (!wav.Open(path, WaveFormat::MakePcm(kSoundRate, 1, 16))) {
        error = wav.Error();
        return false;
    }
    // A falling chirp that dies away: a "whoosh".
    std::vector<int16_t> pcm(kSoundRate);
    uint32_t noise = 12345;
    for (size_t i = 0; i < pcm.size(); ++i) {
        double t = static_cast<double>(i) / kSoundRate;
        noise = noise * 1103515245u + 12345u;
        double n = (static_cast<int>((noise >> 16) & 0x7FFF) - 16384) / 16384.0;
        double v = (0.6 * std::sin(2 * M_PI * (900 - 600 * t) * t) + 0.4 * n) * std::exp(-3 * t);
        pcm[i] = static_cast<int16_t>(12000 * v);
    }
    if (!wav.Write(pcm.data(), pcm.size() * 2) || !wav.Close()) {
        error = wav.Error();
        return false;
    }
    return true;
}

bool MakePicture(const std::string& path, std::string& error) {
    RefPtr<Dib> dib = new Dib;
    if (!dib->Create(kWidth, kHeight, 24)) {
        error = "cannot make a picture";
        return false;
    }
    // A framed title card: dark blue with a golden border and band.
    size_t stride = (static_cast<size_t>(kWidth) * 3 + 3) & ~size_t{3};
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* row = dib->Bits() + static_cast<size_t>(y) * stride;
        for (int x = 0; x < kWidth; ++x) {
            bool border = x < 8 || y < 8 || x >= kWidth - 8 || y >= kHeight - 8;
            bool band = y > kHeight / 2 - 20 && y < kHeight / 2 + 20 && x > 40 && x < kWidth - 40;
            row[x * 3] = border || band ? 40 : 90;
            row[x * 3 + 1] = border || band ? 190 : 30;
            row[x * 3 + 2] = border || band ? 230 : 20;
        }
    }
    if (!dib->SaveToFile(path)) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

} // namespace

bool MakeDemoMaterial(const std::string& folder, DemoMaterial& out, std::string& error) {
    out.tape = JoinPath(folder, "tape1.avi");
    out.sound = JoinPath(folder, "whoosh.wav");
    out.picture = JoinPath(folder, "title.bmp");
    out.scenes.clear();
    return MakeTape(out.tape, 4, out.scenes, error) && MakeSound(out.sound, error) &&
           MakePicture(out.picture, error);
}

RefPtr<Movie> BuildDemoMovie(const DemoMaterial& m) {
    RefPtr<Movie> movie = new Movie;
    ClipList& list = *movie->GetClipList();
    RefPtr<SourceTape> tape = new SourceTape(m.tape, 0);
    RefPtr<ClipList> album = new ClipList;
    Time at = 0;
    for (size_t i = 0; i < m.scenes.size(); ++i) {
        RefPtr<Scene> scene = new Scene(m.tape, m.scenes[i].first, m.scenes[i].second);
        scene->SetTape(tape.get());
        RefPtr<Clip> clip = new Clip(scene.get(), at, 0);
        list.Add(clip.get());
        album->Add(RefPtr<Clip>(new Clip(scene.get(), 0, 0)).get());
        if (i == 0) {
            // A dissolve into the second scene.
            RefPtr<Clip> t = new Clip(new Transition(1, 50500), at + m.scenes[i].second, 0);
            t->SetDuration(30);
            list.Add(t.get());
        }
        at += m.scenes[i].second;
    }
    // The scene file beside the tape, as the album keeps it.
    tape->SetSceneList(album.get());
    tape->WriteSceneFile();
    tape->SetSceneList(nullptr);

    RefPtr<Clip> title = new Clip(new GraphicAsset(m.picture, 90, 0), 15, 1);
    title->SetPinned(true);
    list.Add(title.get());
    RefPtr<Clip> whoosh = new Clip(new WaveAsset(m.sound, 0, 30), 60, 3);
    whoosh->SetPinned(true);
    list.Add(whoosh.get());
    RefPtr<Clip> music =
        new Clip(new SonicAsset({"Acoustic", "Summer Walk", "Full", "HardDisk", "Orvik"}, at), 0, 4);
    list.Add(music.get());
    list.FixTimes(nullptr, false, false, false);
    movie->SetViewRange(0, at);
    return movie;
}

} // namespace orvik
