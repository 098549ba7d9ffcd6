#pragma once

#include <string>
#include <vector>

namespace orvik {

class Asset;
class Clip;

// Fills the %-conversions of a resource text, in order, with `args` (each
// %s or %d takes the next text); missing arguments leave the rest as it is.
std::string FillText(const std::string& text, const std::vector<std::string>& args);

// The tool tip of a sound or MIDI clip: its duration.
std::string SoundDescription(const Clip* clip, const Asset& asset);
// The plain-text clipboard line of a sound, MIDI or CD clip.
std::string SoundText(const Clip* clip, const Asset& asset);

} // namespace orvik
