#include "model/AssetText.h"

#include "app/ResourceLibraries.h"
#include "model/Asset.h"
#include "model/Clip.h"
#include "model/Timecode.h"

namespace orvik {

std::string FillText(const std::string& text, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == 's' || text[i + 1] == 'd') &&
            next < args.size()) {
            out += args[next++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string SoundDescription(const Clip* clip, const Asset& asset) {
    Time duration = clip ? clip->GetDuration() : asset.GetDuration();
    return FillText(ResourceText(50328), {Timecode::FormatShort(duration)});
}

std::string SoundText(const Clip* clip, const Asset&) {
    if (!clip)
        return std::string();
    return "    " + clip->GetCaption() + "\t" + Timecode::Format(clip->GetTrimStart()) + "\t" +
           Timecode::Format(clip->GetDuration()) + "\t" + Timecode::Format(clip->GetStart());
}

} // namespace orvik
