#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvik {

// Where the live picture goes: a rectangle of a window, in its pixels.
struct PreviewPlacement {
    intptr_t window = 0; // the platform's window handle; 0 for none
    int left = 0, top = 0, width = 0, height = 0;
};

// The five picture settings of the board's video input, each 0-255.
struct PictureSettings {
    int brightness = 128, contrast = 128, sharpness = 128, hue = 128, saturation = 128;
};

// What the board reports at the end of a recording.
struct RecordingReport {
    bool ok = false;
    uint32_t frames = 0;
    uint32_t droppedFrames = 0;
    std::string error; // why a failed recording failed
};

// The board's capture driver: live preview, recording into a motion-JPEG AVI
// file, grabbing a frame. Called on the user-interface thread; the end of a
// recording is reported through the callback given to StartRecording, on a
// thread of the driver's own.
class ICaptureDriver {
public:
    virtual ~ICaptureDriver() = default;

    virtual bool ShowPreview(const PreviewPlacement& placement) = 0;
    virtual void StopPreview() = 0;

    // Records into `path` with the quality preset, the video input and the
    // picture settings; `withAudio` adds the sound card's sound.
    virtual bool StartRecording(const std::string& path, int qualityPreset, int videoInput,
                                const PictureSettings& picture, bool withAudio,
                                std::function<void(const RecordingReport&)> onEnd) = 0;
    virtual void StopRecording() = 0;

    virtual bool EnterGrabMode() = 0;
    virtual void LeaveGrabMode() = 0;
    // Puts the frame shown in grab mode on the clipboard as a bitmap.
    virtual bool GrabToClipboard() = 0;
};

} // namespace orvik
