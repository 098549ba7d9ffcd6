#pragma once

#include "media/MediaFile.h"
#include "platform/avi/AviStreamInfo.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvik {

class AviStreamReader;

// One stream of an AVI file, read through the platform's AVI file services:
// a video stream's frames (decoded, or as stored) and a sound stream's
// samples. The sound path of MediaFile works on a sound stream.
class VfwFile : public MediaFile {
    ORVIK_DECLARE_SERIAL(VfwFile)
public:
    VfwFile();
    // Opens the stream (see Open).
    VfwFile(const std::string& name, int32_t kind, int32_t streamIndex);
    ~VfwFile() override;

    RefObject* Clone() const override;

    // Stream `streamIndex` of type "vids" (kind 0) or "auds" (kind 1).
    int Open(const std::string& name, int32_t kind, int32_t streamIndex) override;
    void Close() override;
    uint32_t GetCompression() override;
    Rect GetFrameRect() override;
    int64_t GetSampleCount() override;
    double GetRate() override;
    int64_t GetFirstSample() override;
    // Video streams: the file's bytes less its sound, per second of video.
    int64_t GetDataRate() override;
    RefPtr<Dib> GetFrame(int64_t index, BitmapInfoHeader* header = nullptr,
                         uint8_t* bits = nullptr) override;
    RefPtr<Dib> GetRawFrame(int64_t index) override;
    std::vector<uint8_t> GetFormat(int64_t index) override;
    std::optional<WaveFormat> GetWaveFormat() override;
    int64_t Read(int64_t sample, int64_t count, void* buffer, uint32_t bufferBytes) override;
    uint32_t ReadSource(uint64_t byteOffset, void* buffer, uint32_t bytes) override;

    // The stream information record.
    AviStreamInfo GetStreamInfo() const;

protected:
    int64_t GetSoundFrames() override;

private:
    std::unique_ptr<AviStreamReader> reader_;
    AviStreamInfo info_;
    // What the frame getter was opened for (width 0: the stream's own).
    int getterWidth_ = 0;
    int getterHeight_ = 0;
    int getterBits_ = 0;
    bool getterOpen_ = false;
    std::optional<WaveFormat> soundFormat_;
    // The last frame handed out; reused only once nobody else holds it.
    RefPtr<Dib> lastFrame_;
};

} // namespace orvik
