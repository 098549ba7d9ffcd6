#pragma once

#include "edit/ClipListCommand.h"
#include "model/SonicAsset.h"

#include <array>
#include <cstdint>
#include <string>

namespace orvik {

// Adds a piece of generated background music: a clip of a new music asset
// made from the five request texts (style, song, version, volume name,
// library name) at `start` on `track`, lasting `duration`. The sound is
// generated before anything changes; when none can be made the movie stays
// as it was.
class NewSonicCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(NewSonicCommand)
public:
    NewSonicCommand() = default;
    NewSonicCommand(const std::array<std::string, SonicAsset::kRequestCount>& requests,
                    Time duration, Time start, int32_t track = 4)
        : requests(requests), duration(duration), start(start), track(track) {}
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    std::array<std::string, SonicAsset::kRequestCount> requests;
    Time duration = 0;
    Time start = 0;
    int32_t track = 4;
};

// Changes the movie's first selected clip, when it is generated music, to a
// piece made from the five request texts lasting `duration`; the clip keeps
// its comment. Without such a clip, or without sound, nothing changes.
class EditSonicCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(EditSonicCommand)
public:
    EditSonicCommand() = default;
    EditSonicCommand(const std::array<std::string, SonicAsset::kRequestCount>& requests,
                     Time duration)
        : requests(requests), duration(duration) {}
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    std::array<std::string, SonicAsset::kRequestCount> requests;
    Time duration = 0;
};

} // namespace orvik
