#pragma once

#include <string>

namespace orvik {

// Can sound be played? Asks the sound library for an output device: true when
// its audio opens with at least one device, or with its "dummy" (or "disk")
// driver chosen through SDL_AUDIODRIVER, which plays silently and counts as a
// device for machines without a sound card. `driver`, when given, receives
// the driver's name (empty when none opened).
bool SoundOutputAvailable(std::string* driver = nullptr);

} // namespace orvik
