#include "model/MovieFormat.h"

#include "app/DiagnosticsLog.h"
#include "app/SettingsBase.h"
#include "model/IVideoCompressorList.h"
#include "model/Timecode.h"
#include "platform/archive/Archive.h"
#include "platform/registry/Registry.h"
#include "platform/sys/DiskSpeed.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(MovieFormat, PersistentObject, kVersionableSchema | 1)

namespace {

using Key = SettingsBase::Key;

std::atomic<const IVideoCompressorList*> compressorList{nullptr};

const SettingsBase* Resolve(const SettingsBase* settings) {
    return settings ? settings : SettingsBase::Current();
}

SettingsBase* Resolve(SettingsBase* settings) {
    return settings ? settings : SettingsBase::Current();
}

// The capture frame size and the full-size output frame size: from the
// settings, or the defaults of the time base's standard without them.
struct FrameSizes {
    int32_t captureWidth, captureHeight, fullWidth, fullHeight;
};

FrameSizes SizesOf(const SettingsBase* settings) {
    if (settings)
        return {settings->GetCaptureWidth(), settings->GetCaptureHeight(),
                settings->GetFullOutputWidth(), settings->GetFullOutputHeight()};
    bool pal = Timecode::GetFramesPerSecond() == 25;
    return {720, pal ? 576 : 480, pal ? 720 : 608, pal ? 540 : 456};
}

std::string Text(uint32_t id, const SettingsBase* settings) {
    return settings ? settings->GetResourceText(id) : std::string();
}

// Whether `text` is the resource text `id`; an empty (missing) text matches
// nothing.
bool IsText(const std::string& text, uint32_t id, const SettingsBase* settings) {
    std::string t = Text(id, settings);
    return !t.empty() && t == text;
}

// The keys of one group, in field order.
struct GroupKey {
    Key key;
    int32_t MovieFormat::*field;
};

const GroupKey kNumberKeys[] = {
    {Key::enableVideo, &MovieFormat::includeVideo},
    {Key::makeVideoWidth, &MovieFormat::width},
    {Key::makeVideoHeight, &MovieFormat::height},
    {Key::makeVideoRate, &MovieFormat::rate},
    {Key::makeVideoScale, &MovieFormat::scale},
    {Key::makeVideoQuality, &MovieFormat::quality},
    {Key::makeVideoInterleave, &MovieFormat::interleave},
    {Key::makeVideoDataRate, &MovieFormat::dataRate},
    {Key::enableAudio, &MovieFormat::includeAudio},
    {Key::makeAudioRate, &MovieFormat::audioRate},
    {Key::makeAudioBits, &MovieFormat::audioBits},
    {Key::makeAudioChannels, &MovieFormat::audioChannels},
};

constexpr const char* kMakeMovieGroup = "Make Video";

} // namespace

MovieFormat::MovieFormat() {
    SetDefaults();
}

MovieFormat::MovieFormat(const SettingsBase* settings) {
    SetDefaults(settings);
}

bool MovieFormat::operator==(const MovieFormat& o) const {
    return path == o.path && includeVideo == o.includeVideo &&
           videoCompressor == o.videoCompressor && width == o.width && height == o.height &&
           rate == o.rate && scale == o.scale && quality == o.quality &&
           interleave == o.interleave && dataRate == o.dataRate && includeAudio == o.includeAudio &&
           audioCompressor == o.audioCompressor && audioRate == o.audioRate &&
           audioBits == o.audioBits && audioChannels == o.audioChannels &&
           isMpegSystem == o.isMpegSystem;
}

void MovieFormat::SetDefaults(const SettingsBase* settings) {
    settings = Resolve(settings);
    FrameSizes sizes = SizesOf(settings);
    path = Text(kTextDefaultPath, settings);
    includeVideo = 1;
    videoCompressor.clear();
    width = sizes.captureWidth;
    height = sizes.captureHeight;
    rate = 15;
    scale = 1;
    quality = 50;
    interleave = 0;
    dataRate = 0;
    includeAudio = 1;
    audioCompressor.clear();
    audioRate = 11025;
    audioBits = 16;
    audioChannels = 1;
    isMpegSystem = 0;
}

MovieFormat MovieFormat::ForPreview(const SettingsBase* settings) {
    MovieFormat format(settings);
    format.audioRate = 22050;
    format.audioBits = 16;
    format.audioChannels = 2;
    return format;
}

// --- Settings -------------------------------------------------------------------

bool MovieFormat::LoadFromSettings(const SettingsBase* settings) {
    const SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::LoadFromSettings: no settings\n");
        return false;
    }
    path = s->GetOutputFile();
    SetVideoCompressor(s->GetVideoCompressor());
    for (const GroupKey& k : kNumberKeys)
        this->*k.field = s->Number(k.key);
    audioCompressor = s->Text(Key::makeAudioCompressor);
    return true;
}

bool MovieFormat::SaveToSettings(SettingsBase* settings) const {
    SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::SaveToSettings: no settings\n");
        return false;
    }
    Registry::Batch batch(s->GetRegistry());
    s->SetOutputFile(path);
    s->SetVideoCompressor(videoCompressor);
    for (const GroupKey& k : kNumberKeys)
        s->SetNumber(k.key, this->*k.field);
    s->SetText(Key::makeAudioCompressor, audioCompressor);
    return true;
}

bool MovieFormat::LoadGroup(const char* section, const SettingsBase& s) {
    const auto tree = RegistryTree::currentUser;
    // Missing keys are written with their defaults: one save for all.
    Registry::Batch batch(s.GetRegistry());
    path = s.ReadText(tree, section, SettingsBase::Info(Key::outputFile).name,
                      s.DefaultText(Key::outputFile));
    SetVideoCompressor(s.ReadText(tree, section, SettingsBase::Info(Key::makeVideoCompressor).name,
                                  s.DefaultText(Key::makeVideoCompressor)));
    for (const GroupKey& k : kNumberKeys)
        this->*k.field =
            s.ReadNumber(tree, section, SettingsBase::Info(k.key).name, s.DefaultNumber(k.key));
    audioCompressor = s.ReadText(tree, section, SettingsBase::Info(Key::makeAudioCompressor).name,
                                 s.DefaultText(Key::makeAudioCompressor));
    return true;
}

bool MovieFormat::SaveGroup(const char* section, SettingsBase& s) const {
    const auto tree = RegistryTree::currentUser;
    Registry::Batch batch(s.GetRegistry());
    bool ok = s.WriteText(tree, section, SettingsBase::Info(Key::outputFile).name, path);
    ok &= s.WriteText(tree, section, SettingsBase::Info(Key::makeVideoCompressor).name,
                      videoCompressor);
    for (const GroupKey& k : kNumberKeys)
        ok &= s.WriteNumber(tree, section, SettingsBase::Info(k.key).name, this->*k.field);
    ok &= s.WriteText(tree, section, SettingsBase::Info(Key::makeAudioCompressor).name,
                      audioCompressor);
    return ok;
}

bool MovieFormat::LoadFromMakeMovieSettings(const SettingsBase* settings) {
    const SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::LoadFromMakeMovieSettings: no settings\n");
        return false;
    }
    return LoadGroup(kMakeMovieGroup, *s);
}

bool MovieFormat::SaveToMakeMovieSettings(SettingsBase* settings) const {
    SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::SaveToMakeMovieSettings: no settings\n");
        return false;
    }
    return SaveGroup(kMakeMovieGroup, *s);
}

// --- Fields ------------------------------------------------------------------------

void MovieFormat::SetVideoCompressor(const std::string& name) {
    videoCompressor = name;
    isMpegSystem = name == kMpegSystemCompressor ? 1 : 0;
}

MovieFormat::PcmFormat MovieFormat::GetAudioFormat() const {
    PcmFormat f;
    f.formatTag = 1;
    f.channels = static_cast<uint16_t>(std::clamp(audioChannels, 0, 0xFFFF));
    f.bitsPerSample = static_cast<uint16_t>(std::clamp(audioBits, 0, 0xFFFF));
    f.samplesPerSecond = static_cast<uint32_t>(std::max(audioRate, 0));
    uint32_t block = (static_cast<uint32_t>(f.channels) * f.bitsPerSample + 7) / 8;
    f.blockAlign = static_cast<uint16_t>(std::min<uint32_t>(block, 0xFFFF));
    uint64_t perSecond = static_cast<uint64_t>(f.samplesPerSecond) * f.blockAlign;
    f.averageBytesPerSecond = static_cast<uint32_t>(std::min<uint64_t>(perSecond, UINT32_MAX));
    return f;
}

void MovieFormat::SetFrameRate(bool half, const SettingsBase* settings) {
    if (IsPal(settings)) {
        rate = 25;
        scale = 1;
    } else {
        rate = 29970;
        scale = 1000;
    }
    if (half)
        scale *= 2;
}

void MovieFormat::ApplyPreset(const SettingsBase* settings) {
    const SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::ApplyPreset: no settings\n");
        return;
    }
    FrameSizes sizes = SizesOf(s);
    int32_t preset = s->GetSliderControl();
    if (preset < 0 || preset > 3)
        return;
    LoadFromMakeMovieSettings(s);
    SetFrameRate(false, s);
    switch (preset) {
    case 0:
        path = s->GetCaptureFolder();
        dataRate = std::max(dataRate, 100000);
        return;
    case 1:
        width = sizes.captureWidth / 2;
        height = sizes.captureHeight / 2;
        SetFrameRate(true, s);
        dataRate = std::min(s->Number(Key::makeVideoDataRate), 800000);
        break;
    case 2:
        width = sizes.fullWidth / 2;
        height = sizes.fullHeight;
        SetFrameRate(false, s);
        dataRate = std::min(dataRate, 1800000);
        break;
    default:
        width = sizes.fullWidth;
        height = sizes.fullHeight;
        SetFrameRate(false, s);
        dataRate = std::min(dataRate, 3000000);
        break;
    }
    audioRate = 44100;
    audioBits = 16;
    audioChannels = 2;
}

// --- Frame size and rate rules --------------------------------------------------------

bool MovieFormat::IsPal(const SettingsBase* settings) const {
    if (rate == 0) {
        const SettingsBase* s = Resolve(settings);
        return s ? s->GetVideoStandard() != 0 : Timecode::GetFramesPerSecond() == 25;
    }
    if (scale == 0)
        return false;
    double x = static_cast<double>(rate) / static_cast<double>(scale);
    if (x < 16)
        x *= 2;
    return std::fabs(x - 25) < 0.1;
}

bool MovieFormat::IsFullCaptureSize(const SettingsBase* settings) const {
    FrameSizes sizes = SizesOf(Resolve(settings));
    return width == sizes.fullWidth || width == sizes.fullWidth / 2;
}

bool MovieFormat::IsHalfWidth(const SettingsBase* settings) const {
    FrameSizes sizes = SizesOf(Resolve(settings));
    return width == (IsFullCaptureSize(settings) ? sizes.fullWidth : sizes.captureWidth) / 2;
}

bool MovieFormat::IsHalfHeight(const SettingsBase* settings) const {
    FrameSizes sizes = SizesOf(Resolve(settings));
    return height == (IsFullCaptureSize(settings) ? sizes.fullHeight : sizes.captureHeight) / 2;
}

void MovieFormat::UpdateInterleave(const SettingsBase* settings) {
    FrameSizes sizes = SizesOf(Resolve(settings));
    interleave = sizes.captureHeight / 2 < height ? 1 : 0;
}

int32_t MovieFormat::GetDefaultDataRate(const SettingsBase* settings) const {
    const IVideoCompressorList* list = GetCompressorList();
    if (!list) {
        LogMessage("MovieFormat::GetDefaultDataRate: no compressor list\n");
        return 0;
    }
    if (!list->HasCompressor(videoCompressor))
        return 50000;
    int halved = (IsHalfWidth(settings) ? 1 : 0) + (IsHalfHeight(settings) ? 1 : 0);
    return halved == 2 ? 200000 : halved == 1 ? 300000 : 500000;
}

double MovieFormat::EstimateBytesPerSecond() const {
    double video = 0;
    if (includeVideo) {
        // rate × height × width does not fit 32 bits (or, for a damaged
        // archive, 64): the product is made in 128.
        double pixels = 0;
        if (scale != 0)
            pixels = static_cast<double>(static_cast<__int128>(rate) * height * width / scale);
        if (!videoCompressor.empty()) {
            double q = quality / 100.0;
            video = dataRate != 0 ? dataRate : pixels * ((1 - q) * 0.05 + q * 0.3);
        } else {
            video = pixels;
        }
    }
    double audio = 0;
    if (includeAudio)
        audio = static_cast<double>(static_cast<__int128>(audioRate) *
                                    (static_cast<__int128>(audioChannels) * audioBits / 8));
    return video + audio;
}

// --- Deriving from clips --------------------------------------------------------------

bool MovieFormat::DeriveFrom(const std::vector<ClipFacts>& clips, const std::string& outputPath,
                             const SettingsBase* settings) {
    const SettingsBase* s = Resolve(settings);
    if (!s) {
        LogMessage("MovieFormat::DeriveFrom: no settings\n");
        return false;
    }
    int32_t maxWidth = 0, maxHeight = 0, maxDataRate = 0;
    double maxRate = 0;
    for (const ClipFacts& c : clips) {
        if (c.track != 0 || !c.isScene || !c.hasMediaFile)
            continue;
        maxWidth = std::max(maxWidth, c.width);
        maxHeight = std::max(maxHeight, c.height);
        maxDataRate = std::max(maxDataRate, c.dataRate);
        if (std::isfinite(c.frameRate))
            maxRate = std::max(maxRate, c.frameRate);
    }

    SetDefaults(s);
    ApplyPreset(s);
    if (maxWidth > 0)
        width = maxWidth;
    if (maxHeight > 0)
        height = maxHeight;
    if (maxDataRate > 0)
        dataRate = maxDataRate;

    // The disk the file goes to bounds the data rate: the drive of the path,
    // or of the capture folder when the path names none.
    std::string target =
        DiskSpeed::DriveOf(outputPath).empty() ? s->GetCaptureFolder() : outputPath;
    dataRate = std::min(dataRate, s->GetDataRateLimitFor(target));

    bool complete = true;
    if (const IVideoCompressorList* list = GetCompressorList()) {
        std::string board = list->BoardCompressorName();
        if (!board.empty())
            SetVideoCompressor(board);
    } else {
        LogMessage("MovieFormat::DeriveFrom: no compressor list\n");
        complete = false;
    }

    if (maxRate > 29 || (maxRate <= 0 && !s->IsPalStandard())) {
        rate = 29970;
        scale = 1000;
    } else {
        rate = 25;
        scale = 1;
    }
    quality = 100;
    UpdateInterleave(s);

    int32_t maxAudioRate = 11025, maxBits = 8, maxChannels = 1;
    for (const ClipFacts& c : clips) {
        if (!c.hasAudio && !c.isCdAudio)
            continue;
        int32_t r = c.isCdAudio ? 44100 : c.audioRate;
        int32_t b = c.isCdAudio ? 16 : c.audioBits;
        int32_t n = c.isCdAudio ? 2 : c.audioChannels;
        maxAudioRate = std::max(maxAudioRate, r);
        maxBits = std::max(maxBits, b);
        maxChannels = std::max(maxChannels, n);
    }
    audioRate = maxAudioRate;
    audioBits = maxBits;
    audioChannels = maxChannels;
    audioCompressor.clear();
    return complete;
}

// --- Texts --------------------------------------------------------------------------------

std::string MovieFormat::RateText(int32_t rate, int32_t scale) {
    int64_t whole = scale != 0 ? static_cast<int64_t>(rate) / scale : 0;
    char text[64];
    switch (whole) {
    case 5:
    case 10:
    case 12:
    case 15:
    case 25:
    case 30:
        snprintf(text, sizeof text, "%d", static_cast<int>(whole));
        return text;
    default:
        break;
    }
    double exact = scale != 0 ? static_cast<double>(rate) / scale : 0.0;
    snprintf(text, sizeof text, "%.3f", exact);
    return text;
}

std::pair<int32_t, int32_t> MovieFormat::ParseRate(const std::string& text) {
    double v = std::strtod(text.c_str(), nullptr);
    if (!std::isfinite(v))
        v = 0;
    // Beyond any frame rate: kept within the fields' range.
    v = std::clamp(v, -2000000.0, 2000000.0);
    if (v == std::trunc(v))
        return {static_cast<int32_t>(v), 1};
    return {static_cast<int32_t>(v * 1000 + 0.05), 1000};
}

std::string MovieFormat::AudioFormatText(int32_t channels, int32_t bits,
                                         const SettingsBase* settings) {
    bool stereo = channels == 2, sixteen = bits == 16;
    uint32_t id =
        stereo ? (sixteen ? kTextStereo16 : kTextStereo8) : (sixteen ? kTextMono16 : kTextMono8);
    return Text(id, Resolve(settings));
}

int32_t MovieFormat::ParseAudioChannels(const std::string& text, const SettingsBase* settings) {
    settings = Resolve(settings);
    return IsText(text, kTextStereo8, settings) || IsText(text, kTextStereo16, settings) ? 2 : 1;
}

int32_t MovieFormat::ParseAudioBits(const std::string& text, const SettingsBase* settings) {
    settings = Resolve(settings);
    return IsText(text, kTextMono16, settings) || IsText(text, kTextStereo16, settings) ? 16 : 8;
}

std::string MovieFormat::AudioRateText(int32_t rate, const SettingsBase* settings) {
    uint32_t id = rate == 22050 ? kTextRate22k : rate == 44100 ? kTextRate44k : kTextRate11k;
    return Text(id, Resolve(settings));
}

int32_t MovieFormat::ParseAudioRate(const std::string& text, const SettingsBase* settings) {
    settings = Resolve(settings);
    if (IsText(text, kTextRate22k, settings))
        return 22050;
    if (IsText(text, kTextRate44k, settings))
        return 44100;
    return 11025;
}

const std::vector<std::string>& MovieFormat::RateChoices() {
    static const std::vector<std::string> choices{"5", "10", "15", "25", "29.97", "30"};
    return choices;
}

const std::vector<int32_t>& MovieFormat::AudioRateChoices() {
    static const std::vector<int32_t> choices{11025, 22050, 44100};
    return choices;
}

const std::vector<std::pair<int32_t, int32_t>>& MovieFormat::AudioFormatChoices() {
    static const std::vector<std::pair<int32_t, int32_t>> choices{{1, 8}, {2, 8}, {1, 16}, {2, 16}};
    return choices;
}

// --- Compressors and archive form ---------------------------------------------------------

void MovieFormat::SetCompressorList(const IVideoCompressorList* list) {
    compressorList = list;
}

const IVideoCompressorList* MovieFormat::GetCompressorList() {
    return compressorList.load();
}

void MovieFormat::Serialize(Archive& ar) {
    if (ar.IsStoring()) {
        ar.WriteText(path);
        ar.WriteInt32(includeVideo);
        ar.WriteText(videoCompressor);
        for (int32_t v : {width, height, rate, scale, quality, interleave, dataRate, includeAudio})
            ar.WriteInt32(v);
        ar.WriteText(audioCompressor);
        for (int32_t v : {audioRate, audioBits, audioChannels, isMpegSystem})
            ar.WriteInt32(v);
    } else {
        path = ar.ReadText();
        includeVideo = ar.ReadInt32();
        videoCompressor = ar.ReadText();
        for (int32_t* v :
             {&width, &height, &rate, &scale, &quality, &interleave, &dataRate, &includeAudio})
            *v = ar.ReadInt32();
        audioCompressor = ar.ReadText();
        for (int32_t* v : {&audioRate, &audioBits, &audioChannels, &isMpegSystem})
            *v = ar.ReadInt32();
    }
}

} // namespace orvik
