#include "platform/audio/SystemMixer.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cmath>

namespace orvik {

namespace {

int32_t ClampPercent(int32_t percent) {
    return std::clamp<int32_t>(percent, 0, 100);
}

SystemMixer* installed = nullptr;

// ALSA writes its own complaints to stderr when there is no card; a machine
// without one simply gets the in-memory mixer.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}
std::unique_ptr<SystemMixer> machine;

// ALSA's simple mixer: a line is a simple element of that name with a
// playback volume (playback destination) or a capture volume (recording
// destination); the main output volume is the playback volume of "Master",
// or of "PCM" on cards without one. The element's raw range is mapped onto
// percent, rounded to the nearest step.
class AlsaMixer : public SystemMixer {
public:
    AlsaMixer(snd_mixer_t* handle, std::string name) : handle_(handle), name_(std::move(name)) {}
    ~AlsaMixer() override { snd_mixer_close(handle_); }

    std::string GetName() const override { return name_; }

    bool HasLine(Destination destination, const std::string& line) const override {
        return Find(destination, line) != nullptr;
    }

    bool GetVolume(Destination destination, const std::string& line, int32_t& left,
                   int32_t& right) const override {
        snd_mixer_elem_t* elem = Find(destination, line);
        if (!elem)
            return false;
        return ReadChannel(elem, destination, SND_MIXER_SCHN_FRONT_LEFT, left) &&
               ReadChannel(elem, destination,
                           Mono(elem, destination) ? SND_MIXER_SCHN_FRONT_LEFT
                                                   : SND_MIXER_SCHN_FRONT_RIGHT,
                           right);
    }

    bool SetVolume(Destination destination, const std::string& line, int32_t left,
                   int32_t right) override {
        snd_mixer_elem_t* elem = Find(destination, line);
        if (!elem)
            return false;
        if (Mono(elem, destination))
            return WriteChannel(elem, destination, SND_MIXER_SCHN_MONO, left);
        return WriteChannel(elem, destination, SND_MIXER_SCHN_FRONT_LEFT, left) &&
               WriteChannel(elem, destination, SND_MIXER_SCHN_FRONT_RIGHT, right);
    }

    bool GetMasterVolume(int32_t& percent) const override {
        snd_mixer_elem_t* elem = MasterElement();
        return elem && ReadChannel(elem, Destination::playback, SND_MIXER_SCHN_FRONT_LEFT, percent);
    }

    bool SetMasterVolume(int32_t percent) override {
        snd_mixer_elem_t* elem = MasterElement();
        if (!elem)
            return false;
        long low = 0, high = 0;
        snd_mixer_selem_get_playback_volume_range(elem, &low, &high);
        return snd_mixer_selem_set_playback_volume_all(elem, ToRaw(percent, low, high)) == 0;
    }

private:
    static long ToRaw(int32_t percent, long low, long high) {
        return low + std::lround(static_cast<double>(high - low) * ClampPercent(percent) / 100.0);
    }
    static int32_t ToPercent(long raw, long low, long high) {
        if (high <= low)
            return 0;
        return static_cast<int32_t>(std::lround(100.0 * (raw - low) / (high - low)));
    }

    snd_mixer_elem_t* Find(Destination destination, const std::string& line) const {
        snd_mixer_selem_id_t* id = nullptr;
        snd_mixer_selem_id_alloca(&id);
        snd_mixer_selem_id_set_index(id, 0);
        snd_mixer_selem_id_set_name(id, line.c_str());
        snd_mixer_elem_t* elem = snd_mixer_find_selem(handle_, id);
        if (!elem)
            return nullptr;
        bool has = destination == Destination::playback ? snd_mixer_selem_has_playback_volume(elem)
                                                        : snd_mixer_selem_has_capture_volume(elem);
        return has ? elem : nullptr;
    }

    snd_mixer_elem_t* MasterElement() const {
        snd_mixer_elem_t* elem = Find(Destination::playback, "Master");
        return elem ? elem : Find(Destination::playback, "PCM");
    }

    static bool Mono(snd_mixer_elem_t* elem, Destination destination) {
        return destination == Destination::playback ? snd_mixer_selem_is_playback_mono(elem)
                                                    : snd_mixer_selem_is_capture_mono(elem);
    }

    static bool ReadChannel(snd_mixer_elem_t* elem, Destination destination,
                            snd_mixer_selem_channel_id_t channel, int32_t& percent) {
        long low = 0, high = 0, raw = 0;
        if (destination == Destination::playback) {
            snd_mixer_selem_get_playback_volume_range(elem, &low, &high);
            if (snd_mixer_selem_get_playback_volume(elem, channel, &raw) != 0)
                return false;
        } else {
            snd_mixer_selem_get_capture_volume_range(elem, &low, &high);
            if (snd_mixer_selem_get_capture_volume(elem, channel, &raw) != 0)
                return false;
        }
        percent = ToPercent(raw, low, high);
        return true;
    }

    static bool WriteChannel(snd_mixer_elem_t* elem, Destination destination,
                             snd_mixer_selem_channel_id_t channel, int32_t percent) {
        long low = 0, high = 0;
        if (destination == Destination::playback) {
            snd_mixer_selem_get_playback_volume_range(elem, &low, &high);
            return snd_mixer_selem_set_playback_volume(elem, channel, ToRaw(percent, low, high)) ==
                   0;
        }
        snd_mixer_selem_get_capture_volume_range(elem, &low, &high);
        return snd_mixer_selem_set_capture_volume(elem, channel, ToRaw(percent, low, high)) == 0;
    }

    snd_mixer_t* handle_;
    std::string name_;
};

} // namespace

std::unique_ptr<SystemMixer> SystemMixer::OpenAlsa(const std::string& card) {
    snd_mixer_t* handle = nullptr;
    if (snd_mixer_open(&handle, 0) != 0 || !handle)
        return nullptr;
    if (snd_mixer_attach(handle, card.c_str()) != 0 ||
        snd_mixer_selem_register(handle, nullptr, nullptr) != 0 || snd_mixer_load(handle) != 0 ||
        snd_mixer_get_count(handle) == 0) {
        snd_mixer_close(handle);
        return nullptr;
    }
    std::string name = card;
    snd_ctl_t* ctl = nullptr;
    if (snd_ctl_open(&ctl, card.c_str(), 0) == 0) {
        snd_ctl_card_info_t* info = nullptr;
        snd_ctl_card_info_alloca(&info);
        if (snd_ctl_card_info(ctl, info) == 0)
            name = snd_ctl_card_info_get_name(info);
        snd_ctl_close(ctl);
    }
    return std::make_unique<AlsaMixer>(handle, name);
}

SystemMixer& SystemMixer::Get() {
    if (installed)
        return *installed;
    if (!machine) {
        snd_lib_error_set_handler(&QuietAlsa);
        machine = OpenAlsa("default");
        snd_lib_error_set_handler(nullptr);
        if (!machine)
            machine = std::make_unique<MemoryMixer>();
    }
    return *machine;
}

void SystemMixer::Install(SystemMixer* mixer) {
    installed = mixer;
}

void SystemMixer::Close() {
    machine.reset();
}

MemoryMixer::MemoryMixer() {
    for (const char* line : {"CD", "Line", "Mic", "MIDI", "Wave"})
        AddLine(Destination::playback, line, 50);
    for (const char* line : {"CD", "Line", "Mic", "MIDI"})
        AddLine(Destination::recording, line, 50);
}

bool MemoryMixer::HasLine(Destination destination, const std::string& line) const {
    return lines_.count({destination, line}) != 0;
}

bool MemoryMixer::GetVolume(Destination destination, const std::string& line, int32_t& left,
                            int32_t& right) const {
    auto found = lines_.find({destination, line});
    if (found == lines_.end())
        return false;
    left = found->second.first;
    right = found->second.second;
    return true;
}

bool MemoryMixer::SetVolume(Destination destination, const std::string& line, int32_t left,
                            int32_t right) {
    auto found = lines_.find({destination, line});
    if (found == lines_.end())
        return false;
    found->second = {ClampPercent(left), ClampPercent(right)};
    return true;
}

bool MemoryMixer::GetMasterVolume(int32_t& percent) const {
    percent = master_;
    return true;
}

bool MemoryMixer::SetMasterVolume(int32_t percent) {
    master_ = ClampPercent(percent);
    return true;
}

void MemoryMixer::AddLine(Destination destination, const std::string& line, int32_t percent) {
    lines_[{destination, line}] = {ClampPercent(percent), ClampPercent(percent)};
}

void MemoryMixer::RemoveLine(Destination destination, const std::string& line) {
    lines_.erase({destination, line});
}

} // namespace orvik
