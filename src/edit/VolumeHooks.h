#pragma once

#include "model/Time.h"

#include <cstdint>
#include <string>

namespace orvik {

class VolumeList;

// What the volume commands, the envelope gesture and the volume tool ask of
// the parts around them: the preview player's running graph, the holder of
// the master output volume (the tape output conformer) and the holder of the
// voice-over recording level (the voice-over recorder). Each installs its own
// hooks when it starts and removes them when it ends; where none is installed
// the headless default answers: no graph is held, and the two device levels
// are kept here, in the settings and on the system mixer.
//
// All hooks are called on the user-interface thread.

// The preview player's graph (the player window installs it).
class EnvelopeGraphHooks {
public:
    virtual ~EnvelopeGraphHooks() = default;

    // Whether the player holds a built graph.
    virtual bool HoldsGraph() const { return false; }
    // Hands a changed envelope of `track` to the graph. The envelope is a
    // new object each time; from now on it is only read.
    virtual void SetVolumeList(int32_t /*track*/, VolumeList* /*list*/) {}
};

// The master output volume, 0 … 1000. The default keeps the value, sets the
// system mixer's main output volume and stores the "Master volume" setting of
// "Make Video" (ApplyMasterVolume).
class MasterVolumeHooks {
public:
    virtual ~MasterVolumeHooks() = default;
    virtual int32_t GetMasterVolume() const;
    virtual void SetMasterVolume(int32_t volume);

    // Forgets the kept value: it is read from the settings again.
    void Forget() { known_ = false; }

private:
    mutable bool known_ = false;
    mutable int32_t volume_ = 0;
};

// The voice-over recording level of the microphone, 0 … 1000. The default
// keeps the value, sets the microphone's recording volume on the system mixer
// and stores "Microphone record level" (ApplyRecordLevel).
class RecordLevelHooks {
public:
    virtual ~RecordLevelHooks() = default;
    virtual int32_t GetRecordLevel() const;
    virtual void SetRecordLevel(int32_t level);

    void Forget() { known_ = false; }

private:
    mutable bool known_ = false;
    mutable int32_t level_ = 0;
};

// The hooks in force. Install passes null to go back to the headless default.
struct VolumeHooks {
    static EnvelopeGraphHooks& Graph();
    static MasterVolumeHooks& MasterVolume();
    static RecordLevelHooks& RecordLevel();

    static void Install(EnvelopeGraphHooks* hooks);
    static void Install(MasterVolumeHooks* hooks);
    static void Install(RecordLevelHooks* hooks);
    // Back to the headless defaults, all of them, with nothing kept.
    static void Reset();
};

// What setting a device level does besides moving its slider: the system
// mixer's main output volume (or the microphone's recording volume) becomes
// level ÷ 10 percent, and the setting is stored. Levels outside 0 … 1000 are
// taken as the nearest end. The holders call these from their own setters.
void ApplyMasterVolume(int32_t volume);
void ApplyRecordLevel(int32_t level);

// The name of the microphone line on the system mixer: the "Audio mixer mic"
// setting when the mixer has such a recording line, else "Mike" when it has
// that one, else the setting's name.
std::string MicrophoneLineName();

} // namespace orvik
