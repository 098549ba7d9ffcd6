#include "edit/VolumeHooks.h"

#include "app/DiagnosticsLog.h"
#include "app/SettingsBase.h"
#include "platform/audio/SystemMixer.h"

#include <algorithm>

namespace orvik {

namespace {

EnvelopeGraphHooks defaultGraph;
MasterVolumeHooks defaultMaster;
RecordLevelHooks defaultRecordLevel;

EnvelopeGraphHooks* graph = nullptr;
MasterVolumeHooks* master = nullptr;
RecordLevelHooks* recordLevel = nullptr;

int32_t ClampLevel(int32_t level) {
    return std::clamp<int32_t>(level, 0, 1000);
}

} // namespace

EnvelopeGraphHooks& VolumeHooks::Graph() {
    return graph ? *graph : defaultGraph;
}
MasterVolumeHooks& VolumeHooks::MasterVolume() {
    return master ? *master : defaultMaster;
}
RecordLevelHooks& VolumeHooks::RecordLevel() {
    return recordLevel ? *recordLevel : defaultRecordLevel;
}

void VolumeHooks::Install(EnvelopeGraphHooks* hooks) {
    graph = hooks;
}
void VolumeHooks::Install(MasterVolumeHooks* hooks) {
    master = hooks;
}
void VolumeHooks::Install(RecordLevelHooks* hooks) {
    recordLevel = hooks;
}

void VolumeHooks::Reset() {
    graph = nullptr;
    master = nullptr;
    recordLevel = nullptr;
    defaultMaster.Forget();
    defaultRecordLevel.Forget();
}

int32_t MasterVolumeHooks::GetMasterVolume() const {
    if (!known_) {
        SettingsBase* settings = SettingsBase::Current();
        volume_ = settings ? settings->Number(SettingsBase::Key::makeVideoMasterVolume) : 700;
        known_ = true;
    }
    return volume_;
}

void MasterVolumeHooks::SetMasterVolume(int32_t volume) {
    volume_ = ClampLevel(volume);
    known_ = true;
    ApplyMasterVolume(volume_);
}

int32_t RecordLevelHooks::GetRecordLevel() const {
    if (!known_) {
        SettingsBase* settings = SettingsBase::Current();
        level_ = ClampLevel((settings ? settings->GetMicrophoneRecordLevel() : 100) * 10);
        known_ = true;
    }
    return level_;
}

void RecordLevelHooks::SetRecordLevel(int32_t level) {
    level_ = ClampLevel(level);
    known_ = true;
    ApplyRecordLevel(level_);
}

void ApplyMasterVolume(int32_t volume) {
    volume = ClampLevel(volume);
    if (!SystemMixer::Get().SetMasterVolume(volume / 10))
        LogMessage("ApplyMasterVolume: no main output volume on the mixer\n");
    if (SettingsBase* settings = SettingsBase::Current())
        settings->SetNumber(SettingsBase::Key::makeVideoMasterVolume, volume);
}

void ApplyRecordLevel(int32_t level) {
    level = ClampLevel(level);
    std::string line = MicrophoneLineName();
    if (!SystemMixer::Get().SetVolume(SystemMixer::Destination::recording, line, level / 10,
                                      level / 10))
        LogMessage("ApplyRecordLevel: no recording line '%s' on the mixer\n", line.c_str());
    if (SettingsBase* settings = SettingsBase::Current())
        settings->SetMicrophoneRecordLevel(level / 10);
}

std::string MicrophoneLineName() {
    SettingsBase* settings = SettingsBase::Current();
    std::string first = settings ? settings->GetAudioMixerMic() : std::string("Mic");
    SystemMixer& mixer = SystemMixer::Get();
    if (mixer.HasLine(SystemMixer::Destination::recording, first))
        return first;
    if (mixer.HasLine(SystemMixer::Destination::recording, "Mike"))
        return "Mike";
    return first;
}

} // namespace orvik
