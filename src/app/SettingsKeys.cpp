#include "app/SettingsKeys.h"

#include "app/SettingsBase.h"

#include <cctype>

namespace orvik {

namespace {

using K = SettingsKeys::Key;
using T = SettingsKeys::Type;
using D = SettingsKeys::DefaultRule;
using R = SettingsKeys::ReadRule;

constexpr bool user = false;
constexpr bool machine = true;
constexpr bool cached = true;
constexpr bool plain = false;

SettingsKeys::KeyInfo N(K key, const char* section, const char* name, bool tree, bool c,
                        int32_t number, R read = R::asStored) {
    return {key, section, name, tree, T::number, c, D::fixed, number, number, nullptr, read};
}

SettingsKeys::KeyInfo ByStandard(K key, const char* section, const char* name, bool tree, bool c,
                                 int32_t ntsc, int32_t pal, R read = R::asStored) {
    return {key, section, name, tree, T::number, c, D::byStandard, ntsc, pal, nullptr, read};
}

SettingsKeys::KeyInfo Seconds(K key, const char* section, const char* name, bool tree, bool c,
                              int32_t seconds) {
    return {key,        section, name,    tree,    T::number,  c,
            D::seconds, seconds, seconds, nullptr, R::asStored};
}

SettingsKeys::KeyInfo S(K key, const char* section, const char* name, bool tree, bool c,
                        const char* text, R read = R::asStored) {
    return {key, section, name, tree, T::text, c, D::fixed, 0, 0, text, read};
}

SettingsKeys::KeyInfo UnderMain(K key, const char* section, const char* name, bool tree, bool c,
                                const char* suffix) {
    return {key, section, name, tree, T::text, c, D::mainPath, 0, 0, suffix, R::asStored};
}

std::vector<SettingsKeys::KeyInfo> MakeTable() {
    const char* install = "Install";
    const char* prefs = "Preferences";
    const char* make = "Make movie";
    const char* capture = "Capture";
    const char* mixer = "Caderna Mixer";
    const char* tape = "Make tape";
    const char* video = "Make Video";
    return {
        S(K::mainPath, install, "Main Path", machine, cached, ""),
        N(K::videoStandard, install, "Video standard", machine, cached, 0, R::standard),
        N(K::warn640x480, install, "Warn 640x480", machine, plain, 1),
        N(K::warn256Colors, install, "Warn 256 colors", machine, plain, 1),
        N(K::warnDirectXCertified, install, "Warn DirectX Certified", machine, plain, 1),
        S(K::installedFrom, install, "Installed From", machine, plain, ""),
        S(K::language, install, "Language", machine, plain, "US"),
        S(K::updateVersion, install, "Update Version", machine, plain, "0"),

        N(K::maximized, prefs, "Maximized", user, cached, 1),
        S(K::windowPosition, prefs, "Window position", user, cached, "None"),
        N(K::forceResolution, prefs, "Force resolution", user, cached, 0),
        N(K::largeThumbnails, prefs, "Large thumbnails", user, cached, 0),
        N(K::mode, prefs, "Mode", user, cached, 1, R::mode),
        N(K::movieView, prefs, "Movie view", user, cached, 1, R::movieView),
        S(K::capturedVideoFile, prefs, "Captured video file", user, cached, ""),
        S(K::graphicFile, prefs, "Graphic file", user, cached, ""),
        S(K::soundFile, prefs, "Sound file", user, cached, ""),
        S(K::movieFile, prefs, "Movie file", user, cached, ""),
        S(K::cdName, prefs, "CD name", user, cached, ""),
        N(K::autoTrimAmount, prefs, "Auto-trim amount", user, cached, 0),
        N(K::displayAutoTrim, prefs, "Display auto-trim", user, cached, 0),
        Seconds(K::volumeFadeDuration, prefs, "Volume fade duration", user, cached, 2),
        Seconds(K::transitionDuration, prefs, "Transition duration", user, cached, 1),
        Seconds(K::graphicDuration, prefs, "Graphic duration", user, cached, 4),
        N(K::toolTips, prefs, "Tool tips", user, cached, 1),
        N(K::grabberSource, prefs, "Grabber source", user, cached, 0),
        UnderMain(K::grabberPath, prefs, "Grabber path", user, cached, "Grabber"),
        N(K::cdRecordLevel, prefs, "CD record level", user, cached, 65),
        N(K::microphoneRecordLevel, prefs, "Microphone record level", user, cached, 100),
        N(K::midiRecordLevel, prefs, "MIDI record level", user, cached, 10),
        UnderMain(K::smartSoundFolder, prefs, "SmartSound Folder", user, plain, "SmartSound"),
        {K::defaultTapeName, prefs, "Default Tape Name", user, T::text, cached, D::resourceText,
         static_cast<int32_t>(SettingsBase::kTextDefaultTapeName), 0, "", R::asStored},
        N(K::captureVideoPanel, prefs, "Capture video panel", user, plain, 0),
        N(K::captureAudioPanel, prefs, "Capture audio panel", user, plain, 0),

        N(K::reset, prefs, "Reset", machine, plain, 0),
        S(K::audioMixerLineIn, prefs, "Audio mixer line-in", machine, plain, "Line"),
        S(K::audioMixerMic, prefs, "Audio mixer mic", machine, plain, "Mic"),
        S(K::audioMixerCd, prefs, "Audio mixer CD", machine, plain, "CD"),
        S(K::audioMixerWave, prefs, "Audio mixer wave", machine, plain, "Wave"),

        N(K::conformer, make, "Conformer", user, cached, 0, R::flag),
        S(K::outputFile, make, "Output file", user, cached, ""),
        S(K::makeVideoCompressor, make, "Video compressor", user, cached, "QX5 MJPEG"),
        N(K::enableVideo, make, "Enable video", user, cached, 1),
        N(K::makeVideoWidth, make, "Video width", user, cached, 640),
        ByStandard(K::makeVideoHeight, make, "Video height", user, cached, 480, 576),
        ByStandard(K::makeVideoRate, make, "Video rate", user, cached, 30, 25),
        N(K::makeVideoScale, make, "Video scale", user, cached, 1),
        N(K::makeVideoQuality, make, "Video quality", user, cached, 100),
        N(K::makeVideoDataRate, make, "Video data rate", user, cached, 3000000),
        N(K::makeVideoInterleave, make, "Video interleave", user, cached, 0),
        UnderMain(K::makeMovieLog, make, "Make movie log", user, cached, "CadtarnMovies.log"),
        N(K::makeFileInitialized, make, "Make file initialized", user, plain, 0),
        N(K::sliderControl, make, "Slider control", user, plain, 0),
        S(K::makeAudioCompressor, make, "Audio compressor", user, plain, "PCM"),
        N(K::enableAudio, make, "Enable audio", user, plain, 1),
        N(K::makeAudioRate, make, "Audio rate", user, plain, 44100),
        N(K::makeAudioBits, make, "Audio bits", user, plain, 16),
        N(K::makeAudioChannels, make, "Audio channels", user, plain, 2),

        N(K::reduceFlicker, capture, "Reduce flicker", user, cached, 1),
        N(K::audioInput, capture, "Audio input", user, plain, 0),
        N(K::voiceoverRate, capture, "Voiceover rate", user, plain, 44100),
        N(K::voiceoverBits, capture, "Voiceover bits", user, plain, 16),
        N(K::voiceoverChannels, capture, "Voiceover channels", user, plain, 2),
        N(K::captureVideoQuality, capture, "Video quality", user, plain, 2),
        N(K::videoSource, capture, "Video source", user, plain, 0),
        N(K::videoBrightness, capture, "Video brightness", user, plain, 128),
        N(K::videoContrast, capture, "Video contrast", user, plain, 128),
        N(K::videoSharpness, capture, "Video sharpness", user, plain, 128),
        N(K::videoHue, capture, "Video hue", user, plain, 128),
        N(K::videoSaturation, capture, "Video saturation", user, plain, 128),
        N(K::audioEnabled, capture, "Audio enabled", user, plain, 1),
        S(K::captureVideoCompressor, capture, "Video compressor", user, plain, "QX5 MJPEG",
          R::nonEmpty),
        {K::captureVideoEnable, capture, "Video enable", user, T::number, plain, D::none, 0, 0,
         nullptr, R::asStored},
        ByStandard(K::captureVideoWidth, capture, "Video width", user, plain, 608, 720),
        ByStandard(K::captureVideoHeight, capture, "Video height", user, plain, 456, 540),
        ByStandard(K::captureVideoRate, capture, "Video rate", user, plain, 30, 25, R::positive),
        N(K::captureVideoScale, capture, "Video scale", user, plain, 1, R::positiveOne),
        N(K::captureVideoDataRate, capture, "Video data rate", user, plain, 0),
        N(K::captureVideoInterleave, capture, "Video interleave", user, plain, 0),
        N(K::captureAudioEnable, capture, "Audio enable", user, plain, 1),
        S(K::captureAudioCompressor, capture, "Audio compressor", user, plain, ""),
        N(K::captureAudioRate, capture, "Audio rate", user, plain, 44100),
        N(K::captureAudioBits, capture, "Audio bits", user, plain, 16),
        N(K::captureAudioChannels, capture, "Audio channels", user, plain, 2),
        N(K::sceneDetect, capture, "Scene detect", user, plain, 0),
        N(K::subdivideSeconds, capture, "Subdivide seconds", user, plain, 10),

        N(K::mixerVideoFormat, mixer, "Video format", machine, cached, 0, R::flag),
        N(K::mixerVideoWidth, mixer, "Video width", machine, cached, 720),
        ByStandard(K::mixerVideoHeight, mixer, "Video height", machine, cached, 480, 576),
        Seconds(K::graphicLoad, mixer, "Graphic load", machine, cached, 4),
        Seconds(K::alphaLoad, mixer, "Alpha load", machine, cached, 2),
        Seconds(K::effectLoad, mixer, "Effect load", machine, cached, 1),

        N(K::makeTapeConstraints, tape, "Make tape constraints", machine, cached, 0),
        N(K::makeTapeMasterVolume, tape, "Master volume", machine, cached, 100),

        N(K::makeVideoAudioEnabled, video, "Audio enabled", user, plain, 1),
        N(K::makeVideoMasterVolume, video, "Master volume", user, plain, 700),
    };
}

bool SameNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && b[i] == '\0';
}

} // namespace

const std::vector<SettingsKeys::KeyInfo>& SettingsKeys::All() {
    static const std::vector<KeyInfo> table = MakeTable();
    return table;
}

const SettingsKeys::KeyInfo& SettingsKeys::Info(Key key) {
    return All()[static_cast<size_t>(key)];
}

const SettingsKeys::KeyInfo* SettingsKeys::Find(const std::string& section,
                                                const std::string& name) {
    for (const KeyInfo& info : All())
        if (SameNoCase(section, info.section) && SameNoCase(name, info.name))
            return &info;
    return nullptr;
}

} // namespace orvik
