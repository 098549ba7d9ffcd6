#include "capture/AviSceneDetect.h"

#include "app/DiagnosticsLog.h"
#include "imaging/Dib.h"
#include "media/MediaFile.h"
#include "media/MediaFiles.h"
#include "media/RawFrameDib.h"
#include "model/Timecode.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvik {

namespace {

// The capture-preview formats: 105 bytes a line, five sample positions.
constexpr int kStoredLineBytes = 105;
constexpr int kStoredOffsets[5] = {25, 36, 57, 78, 99};

} // namespace

AviSceneDetect::AviSceneDetect(const std::string& path) : path_(path) {
    RefPtr<MediaFile> file = OpenMediaFile(path, MediaFile::kindVideo, 0);
    if (!file || !file->IsOpen())
        return; // frameCount stays 0: the run ends at once
    file_ = file;
    const double rate = file_->GetRate();
    if (rate > 0)
        Timecode::SetVideoRate(rate);
    const int64_t frames = std::clamp<int64_t>(file_->GetSampleCount(), 0, INT32_MAX);
    frameCount_ = lastFrame_ = static_cast<int32_t>(frames);
    framesPerSecond = rate > 0 ? static_cast<int32_t>(std::lround(rate)) : 0;

    Rect size = file_->GetFrameRect();
    header_.width = size.Width();
    header_.height = size.Height();
    if (header_.width > 160) {
        header_.width = 160;
        header_.height = 120;
    }
    header_.bitCount = 24;
    header_.compression = 0;
    header_.sizeImage = 0;

    const uint32_t code = file_->GetCompression();
    if (code == Dib::kPcle) {
        sourceMode_ = 1;
        SetGrid(5, 120);
    } else if (code == Dib::kNbxl) {
        sourceMode_ = 2;
        SetGrid(5, 60);
    } else {
        SetGrid(header_.width / 8, header_.height / 8);
    }
}

AviSceneDetect::~AviSceneDetect() = default;

void AviSceneDetect::SetLastFrame(int32_t n) {
    lastFrame_ = n;
    frameCount_ = std::max(0, std::min(frameCount_, n - firstFrame_));
}

void AviSceneDetect::Run(Progress& progress) {
    progress.SetRange(0, frameCount_);
    progress.SetStep(1);
    while (!cancel_ && count_ < frameCount_) {
        progress.SetPosition(count_);
        ProcessNextFrame();
    }
    // A file of fewer than three frames is still one scene.
    if (cuts_.empty() && count_ > 0)
        cuts_.push_back(firstFrame_);
    progress.Finished();
}

bool AviSceneDetect::ProcessNextFrame() {
    if (!file_ || count_ >= frameCount_)
        return false;
    const int64_t frame = int64_t{count_} + firstFrame_;
    int32_t cut = Process([&](uint8_t* signature) { FillSignature(signature, frame); });
    if (cut >= 0)
        cuts_.push_back(cut + firstFrame_);
    return true;
}

void AviSceneDetect::FillSignature(uint8_t* signature, int64_t frame) {
    if (sourceMode_ != 0) {
        FillFromStored(signature, frame, sourceMode_ == 1 ? 120 : 60);
        return;
    }
    BitmapInfoHeader wanted = header_;
    RefPtr<Dib> picture = file_->GetFrame(frame, &wanted);
    if (!picture) {
        // An undecodable frame counts as black; the run goes on.
        LogMessage("AviSceneDetect::ProcessNextFrame GetFrame %d failed\n",
                   static_cast<int>(frame));
        std::memset(signature, 0, static_cast<size_t>(GetSignatureSize()));
        return;
    }
    SignatureOf(*picture, signature);
}

void AviSceneDetect::FillFromStored(uint8_t* signature, int64_t frame, int lines) {
    RefPtr<Dib> stored = file_->GetRawFrame(frame);
    const size_t need = static_cast<size_t>(kStoredLineBytes) * lines;
    // A stored frame shorter than its lines is read as far as it goes; the
    // rest counts as black.
    const auto* raw = dynamic_cast<const RawFrameDib*>(stored.get());
    const std::vector<uint8_t> none;
    const std::vector<uint8_t>& bytes = raw ? raw->Bytes() : none;
    if (bytes.size() < need)
        LogMessage("AviSceneDetect::ProcessNextFrame GetFrame %d failed\n",
                   static_cast<int>(frame));
    for (int line = 0; line < lines; ++line) {
        for (int k = 0; k < 5; ++k) {
            const size_t at = static_cast<size_t>(line) * kStoredLineBytes + kStoredOffsets[k];
            signature[line * 5 + k] = at < bytes.size() ? bytes[at] : 0;
        }
    }
}

} // namespace orvik
