#pragma once

#include "model/RefPtr.h"

#include <string>
#include <vector>

namespace orvik {

class Transition;
class Wipe;

// The wipes the transition album offers: the presets of every kind, then a
// bitmap wipe for every picture in the wipe folder.
class WipePresets {
public:
    // The presets in album order (all with noZero off).
    static std::vector<RefPtr<Wipe>> Presets();
    // A bitmap wipe for each bitmap file of `folder` (sorted by name).
    static std::vector<RefPtr<Wipe>> FolderWipes(const std::string& folder);
    // Everything the transition album lists: its plain effects, the presets
    // and the wipes of the wipe folder (BitmapWipe::WipeFolder when empty).
    static std::vector<RefPtr<Transition>> Album(const std::string& wipeFolder = std::string());
};

} // namespace orvik
