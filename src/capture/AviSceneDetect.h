#pragma once

#include "capture/SceneDetect.h"
#include "model/RefPtr.h"
#include "platform/avi/BitmapInfoHeader.h"

#include <atomic>
#include <functional>
#include <string>
#include <vector>

namespace orvik {

class MediaFile;

// What a long job shows while it runs (the progress dialog, or a line on the
// terminal).
class Progress {
public:
    virtual ~Progress() = default;
    virtual void SetRange(int64_t low, int64_t high) = 0;
    virtual void SetStep(int64_t step) { (void)step; }
    virtual void SetPosition(int64_t position) = 0;
    // The job has ended (the dialog closes itself).
    virtual void Finished() {}
};

// Finds the scenes of a captured video file: reads it frame by frame, makes
// each frame a signature and collects the cuts. Frames are decoded at no more
// than 160 pixels across; the capture-preview formats are read as stored.
class AviSceneDetect : public SceneDetect {
public:
    // Message to the progress window when the run has ended.
    static constexpr uint32_t kDoneMessage = 3033;

    explicit AviSceneDetect(const std::string& path);
    ~AviSceneDetect() override;

    bool IsOpen() const { return file_ != nullptr; }
    void SetFirstFrame(int32_t n) { firstFrame_ = n; }
    void SetLastFrame(int32_t n);
    int32_t GetFrameCount() const { return frameCount_; }
    int32_t GetSourceMode() const { return sourceMode_; }
    int32_t GetDecodeWidth() const { return header_.width; }
    int32_t GetDecodeHeight() const { return header_.height; }

    // Runs over the frames until the end or a cancel.
    void Run(Progress& progress);
    // Any thread: the loop stops before its next frame.
    void Cancel() { cancel_ = true; }
    bool IsCancelled() const { return cancel_; }

    // Processes one frame; false at the end.
    bool ProcessNextFrame();

    // The frames where scenes start, the first frame first.
    const std::vector<int32_t>& GetCuts() const { return cuts_; }

private:
    void FillSignature(uint8_t* signature, int64_t frame);
    void FillFromStored(uint8_t* signature, int64_t frame, int lines);

    std::string path_;
    RefPtr<MediaFile> file_;
    std::vector<int32_t> cuts_;
    int32_t frameCount_ = 0;
    int32_t firstFrame_ = 0;
    int32_t lastFrame_ = 0;
    int32_t sourceMode_ = 0; // 0 decoded frames, 1 "pcle", 2 "nbxl"
    std::atomic<bool> cancel_{false};
    BitmapInfoHeader header_;
};

} // namespace orvik
