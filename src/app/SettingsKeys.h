#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// The table of every settings key: its section, name and tree, its type,
// whether the settings cache it, how its default is made and how a stored
// value reads. The order of the table is the order of Key.
class SettingsKeys {
public:
    enum class Type : uint8_t { number, text };

    enum class Key : int {
        // "Install" (machine-wide)
        mainPath,
        videoStandard,
        warn640x480,
        warn256Colors,
        warnDirectXCertified,
        installedFrom,
        language,
        updateVersion,
        // "Preferences" (per-user)
        maximized,
        windowPosition,
        forceResolution,
        largeThumbnails,
        mode,
        movieView,
        capturedVideoFile,
        graphicFile,
        soundFile,
        movieFile,
        cdName,
        autoTrimAmount,
        displayAutoTrim,
        volumeFadeDuration,
        transitionDuration,
        graphicDuration,
        toolTips,
        grabberSource,
        grabberPath,
        cdRecordLevel,
        microphoneRecordLevel,
        midiRecordLevel,
        smartSoundFolder,
        defaultTapeName,
        captureVideoPanel,
        captureAudioPanel,
        // "Preferences" (machine-wide)
        reset,
        audioMixerLineIn,
        audioMixerMic,
        audioMixerCd,
        audioMixerWave,
        // "Make movie" (per-user)
        conformer,
        outputFile,
        makeVideoCompressor,
        enableVideo,
        makeVideoWidth,
        makeVideoHeight,
        makeVideoRate,
        makeVideoScale,
        makeVideoQuality,
        makeVideoDataRate,
        makeVideoInterleave,
        makeMovieLog,
        makeFileInitialized,
        sliderControl,
        makeAudioCompressor,
        enableAudio,
        makeAudioRate,
        makeAudioBits,
        makeAudioChannels,
        // "Capture" (per-user)
        reduceFlicker,
        audioInput,
        voiceoverRate,
        voiceoverBits,
        voiceoverChannels,
        captureVideoQuality,
        videoSource,
        videoBrightness,
        videoContrast,
        videoSharpness,
        videoHue,
        videoSaturation,
        audioEnabled,
        captureVideoCompressor,
        captureVideoEnable,
        captureVideoWidth,
        captureVideoHeight,
        captureVideoRate,
        captureVideoScale,
        captureVideoDataRate,
        captureVideoInterleave,
        captureAudioEnable,
        captureAudioCompressor,
        captureAudioRate,
        captureAudioBits,
        captureAudioChannels,
        sceneDetect,
        subdivideSeconds,
        // "Caderna Mixer" (machine-wide)
        mixerVideoFormat,
        mixerVideoWidth,
        mixerVideoHeight,
        graphicLoad,
        alphaLoad,
        effectLoad,
        // "Make tape" (machine-wide)
        makeTapeConstraints,
        makeTapeMasterVolume,
        // "Make Video" (per-user)
        makeVideoAudioEnabled,
        makeVideoMasterVolume,
        count
    };

    // How a key's default is made.
    enum class DefaultRule : uint8_t {
        fixed,        // `number` or `text`
        byStandard,   // `number` for NTSC, `palNumber` for the 25-frame standards
        seconds,      // `number` seconds in frames of the video standard
        mainPath,     // the main path + `text`
        resourceText, // the resource text `number`
        none,         // written only: no default, never written by a read
    };

    // How a stored value reads.
    enum class ReadRule : uint8_t {
        asStored,
        standard,    // 1 and 2 stay, anything else is 0
        mode,        // 0 and 2 stay, anything else is 1
        movieView,   // 2 and 3 stay, anything else is 1
        flag,        // 1 stays, anything else is 0
        positive,    // 0 or less reads as the default
        positiveOne, // 0 or less reads as 1
        nonEmpty,    // an empty text reads as the default
    };

    struct KeyInfo {
        Key key;
        const char* section;
        const char* name;
        bool machineWide;
        Type type;
        bool cached;
        DefaultRule rule;
        int32_t number;
        int32_t palNumber;
        const char* text;
        ReadRule read;
    };

    static const KeyInfo& Info(Key key);
    static const std::vector<KeyInfo>& All();
    // The key of `section` and `name` (ASCII case-blind), or null.
    static const KeyInfo* Find(const std::string& section, const std::string& name);
};

} // namespace orvik
