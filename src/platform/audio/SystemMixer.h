#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>

namespace orvik {

// The sound card's mixer as the program uses it: named lines under two
// destinations (playback and recording), each with a volume per channel in
// percent (0 … 100), and the playback destination's own volume, the main
// output volume.
//
// The mixer of this machine sits on ALSA's simple mixer when a sound card
// with a mixer exists; otherwise (headless machines, tests) it is an
// in-memory mixer with the usual lines. Callers never know which.
//
// Used on the user-interface thread only.
class SystemMixer {
public:
    enum class Destination { playback, recording };

    virtual ~SystemMixer() = default;

    // The device's name, for the log.
    virtual std::string GetName() const = 0;
    // Whether the destination has a line of this name with a volume.
    virtual bool HasLine(Destination destination, const std::string& line) const = 0;
    // A line's volume per channel; false when there is no such line.
    virtual bool GetVolume(Destination destination, const std::string& line, int32_t& left,
                           int32_t& right) const = 0;
    // Sets both channels; percentages outside 0 … 100 are taken as the
    // nearest end. False when there is no such line or the card refused.
    virtual bool SetVolume(Destination destination, const std::string& line, int32_t left,
                           int32_t right) = 0;
    // The main output volume (both channels alike).
    virtual bool GetMasterVolume(int32_t& percent) const = 0;
    virtual bool SetMasterVolume(int32_t percent) = 0;

    // The mixer in force: an installed one, else the machine's, opened on
    // first use (ALSA's default card when it has a mixer, else in memory).
    static SystemMixer& Get();
    // Installs `mixer` (not owned) in place of the machine's; null goes back.
    static void Install(SystemMixer* mixer);
    // Drops the machine's mixer, so the next Get opens it again.
    static void Close();

    // ALSA's simple mixer of `card` ("default", "hw:0"); null when there is
    // no such card or it has no mixer elements.
    static std::unique_ptr<SystemMixer> OpenAlsa(const std::string& card = "default");
};

// A mixer that keeps its levels in memory. It starts with the lines of a
// common sound card: "CD", "Line", "Mic", "MIDI" and "Wave" for playback,
// "CD", "Line", "Mic" and "MIDI" for recording, all at 50 percent, and a main
// output volume of 50 percent.
class MemoryMixer : public SystemMixer {
public:
    MemoryMixer();

    std::string GetName() const override { return "Memory mixer"; }
    bool HasLine(Destination destination, const std::string& line) const override;
    bool GetVolume(Destination destination, const std::string& line, int32_t& left,
                   int32_t& right) const override;
    bool SetVolume(Destination destination, const std::string& line, int32_t left,
                   int32_t right) override;
    bool GetMasterVolume(int32_t& percent) const override;
    bool SetMasterVolume(int32_t percent) override;

    // Adds (or replaces) a line.
    void AddLine(Destination destination, const std::string& line, int32_t percent);
    void RemoveLine(Destination destination, const std::string& line);

private:
    using Key = std::pair<Destination, std::string>;
    std::map<Key, std::pair<int32_t, int32_t>> lines_;
    int32_t master_ = 50;
};

} // namespace orvik
