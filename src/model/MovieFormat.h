#pragma once

#include "platform/archive/RuntimeClass.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace orvik {

class IVideoCompressorList;
class SettingsBase;

// The output format of a rendered movie: frame size and rate, compression,
// and sound. Loaded from and saved to the settings, shaped by the make-movie
// quality presets, derived from the clips of a list, and archived by itself.
//
// Operations that need the settings take them as an optional last argument;
// without one they use the application's current settings.
class MovieFormat : public PersistentObject {
    ORVIK_DECLARE_SERIAL(MovieFormat)
public:
    static constexpr const char* kMpegSystemCompressor = "MPEG-1 (interleave)";

    // Resource texts.
    static constexpr uint32_t kTextDefaultPath = 50260;
    static constexpr uint32_t kTextMono8 = 50401;
    static constexpr uint32_t kTextMono16 = 50402;
    static constexpr uint32_t kTextStereo8 = 50403;
    static constexpr uint32_t kTextStereo16 = 50404;
    static constexpr uint32_t kTextRate11k = 50405;
    static constexpr uint32_t kTextRate22k = 50406;
    static constexpr uint32_t kTextRate44k = 50407;

    // The PCM sound format of the movie, rebuilt on each request.
    struct PcmFormat {
        uint16_t formatTag = 1;
        uint16_t channels = 0;
        uint32_t samplesPerSecond = 0;
        uint32_t averageBytesPerSecond = 0;
        uint16_t blockAlign = 0;
        uint16_t bitsPerSample = 0;
    };

    // What a format is derived from, one entry per clip of a list; the clip
    // list gathers them (DeriveFrom).
    struct ClipFacts {
        int32_t track = 0;
        bool isScene = false;      // a video scene
        bool hasMediaFile = false; // its media file opened
        int32_t width = 0, height = 0, dataRate = 0;
        double frameRate = 0;   // samples per second of its media
        bool hasAudio = false;  // with the media file's sound format below
        bool isCdAudio = false; // CD sound: 44100 Hz, 16 bits, 2 channels
        int32_t audioRate = 0, audioBits = 0, audioChannels = 0;
    };

    // The defaults, with the current settings' capture size.
    MovieFormat();
    explicit MovieFormat(const SettingsBase* settings);

    // The saved fields, in their archive order.
    std::string path;
    int32_t includeVideo = 1;
    std::string videoCompressor; // empty: uncompressed
    int32_t width = 0;
    int32_t height = 0;
    int32_t rate = 15; // frames per second = rate / scale
    int32_t scale = 1;
    int32_t quality = 50; // 0 … 100
    int32_t interleave = 0;
    int32_t dataRate = 0; // bytes per second; 0: the quality decides
    int32_t includeAudio = 1;
    std::string audioCompressor; // empty: PCM
    int32_t audioRate = 11025;
    int32_t audioBits = 16;
    int32_t audioChannels = 1;
    int32_t isMpegSystem = 0;

    bool operator==(const MovieFormat& other) const;

    void SetDefaults(const SettingsBase* settings = nullptr);
    // The preview player's own format: the defaults with 22050 Hz stereo.
    static MovieFormat ForPreview(const SettingsBase* settings = nullptr);

    // The file-output group of settings ("Make movie").
    bool LoadFromSettings(const SettingsBase* settings = nullptr);
    bool SaveToSettings(SettingsBase* settings = nullptr) const;
    // The make-movie group: the same keys in section "Make Video".
    bool LoadFromMakeMovieSettings(const SettingsBase* settings = nullptr);
    bool SaveToMakeMovieSettings(SettingsBase* settings = nullptr) const;

    // Also sets isMpegSystem: whether `name` is the MPEG system compressor.
    void SetVideoCompressor(const std::string& name);
    PcmFormat GetAudioFormat() const;

    // Shapes the format by the make-movie quality preset ("Slider control").
    void ApplyPreset(const SettingsBase* settings = nullptr);

    bool IsPal(const SettingsBase* settings = nullptr) const;
    bool IsFullCaptureSize(const SettingsBase* settings = nullptr) const;
    bool IsHalfWidth(const SettingsBase* settings = nullptr) const;
    bool IsHalfHeight(const SettingsBase* settings = nullptr) const;
    void UpdateInterleave(const SettingsBase* settings = nullptr);
    // 50000 when no compressor of the format's name is installed; otherwise
    // 200000, 300000 or 500000 as both, one or neither side is halved. 0 (and
    // a line in the log) while there is no compressor list.
    int32_t GetDefaultDataRate(const SettingsBase* settings = nullptr) const;
    // Bytes per second of the output, to predict file sizes.
    double EstimateBytesPerSecond() const;

    // The format to render the clips of a list into one file at `path`
    // (empty: in the capture folder). False (and a line in the log) when a
    // part of it could not be made, such as the video compressor while there
    // is no compressor list.
    bool DeriveFrom(const std::vector<ClipFacts>& clips, const std::string& path,
                    const SettingsBase* settings = nullptr);

    // Text helpers of the format pages.
    static std::string RateText(int32_t rate, int32_t scale);
    static std::pair<int32_t, int32_t> ParseRate(const std::string& text);
    static std::string AudioFormatText(int32_t channels, int32_t bits,
                                       const SettingsBase* settings = nullptr);
    static int32_t ParseAudioChannels(const std::string& text,
                                      const SettingsBase* settings = nullptr);
    static int32_t ParseAudioBits(const std::string& text, const SettingsBase* settings = nullptr);
    static std::string AudioRateText(int32_t rate, const SettingsBase* settings = nullptr);
    static int32_t ParseAudioRate(const std::string& text, const SettingsBase* settings = nullptr);
    static const std::vector<std::string>& RateChoices();
    static const std::vector<int32_t>& AudioRateChoices();
    // (channels, bits): mono 8, stereo 8, mono 16, stereo 16.
    static const std::vector<std::pair<int32_t, int32_t>>& AudioFormatChoices();

    // The application's compressor list (not owned); null until it exists.
    static void SetCompressorList(const IVideoCompressorList* list);
    static const IVideoCompressorList* GetCompressorList();

    void Serialize(Archive& ar) override;

private:
    void SetFrameRate(bool half, const SettingsBase* settings);
    bool LoadGroup(const char* section, const SettingsBase& settings);
    bool SaveGroup(const char* section, SettingsBase& settings) const;
};

} // namespace orvik
