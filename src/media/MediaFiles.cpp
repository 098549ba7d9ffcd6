#include "media/MediaFiles.h"

#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "media/MediaFile.h"
#include "media/VfwFile.h"
#include "media/WaveFile.h"
#include "platform/fs/Places.h"

#include <cctype>
#include <mutex>

namespace orvik {

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The program's own video extension; ".avi" while no resource library is
// loaded (tools, tests).
std::string VideoExtension() {
    std::string text = ResourceText(kTextVideoExtension);
    return text.empty() ? std::string(".avi") : text;
}

// The two shared readers. Kept for the whole run (never destroyed at exit, so
// no reader outlives the log or the object base it reports to).
struct SharedSlots {
    std::mutex lock;
    RefPtr<MediaFile> sound;
    RefPtr<MediaFile> video;
};

SharedSlots& Slots() {
    static SharedSlots* slots = new SharedSlots;
    return *slots;
}

} // namespace

RefPtr<MediaFile> OpenMediaFile(const std::string& name, int32_t kind, int32_t streamIndex) {
    if (name.empty())
        return RefPtr<MediaFile>(new MediaFile(name, kind, streamIndex));
    const bool preferVfw = Lower(ExtensionOf(name)) == Lower(VideoExtension());
    if (preferVfw) {
        RefPtr<MediaFile> f(new VfwFile(name, kind, streamIndex));
        if (f->IsOpen())
            return f;
    }
    if (kind == MediaFile::kindAudio) {
        RefPtr<MediaFile> f(new WaveFile(name, kind, streamIndex));
        if (f->IsOpen())
            return f;
    }
    if (!preferVfw) {
        RefPtr<MediaFile> f(new VfwFile(name, kind, streamIndex));
        if (f->IsOpen())
            return f;
    }
    return RefPtr<MediaFile>(new MediaFile(name, kind, streamIndex));
}

RefPtr<MediaFile> GetMediaFile(const std::string& name, int32_t kind, int32_t streamIndex) {
    if (name.empty() || !FileExists(name))
        return nullptr;
    SharedSlots& slots = Slots();
    std::lock_guard<std::mutex> lock(slots.lock);
    RefPtr<MediaFile>& slot = kind != MediaFile::kindVideo ? slots.sound : slots.video;
    if (!slot || slot->GetFileName() != name || slot->GetStreamIndex() != streamIndex)
        slot = OpenMediaFile(name, kind, streamIndex);
    if (!slot->IsValid()) {
        slot = nullptr;
        return nullptr;
    }
    return slot;
}

void ReleaseMediaFiles() {
    SharedSlots& slots = Slots();
    RefPtr<MediaFile> sound, video;
    {
        std::lock_guard<std::mutex> lock(slots.lock);
        sound = std::move(slots.sound);
        video = std::move(slots.video);
    }
    // Closed even while a holder keeps its reference: the file is about to
    // be rewritten or deleted. A closed reader reopens itself when asked.
    if (sound)
        sound->Close();
    if (video)
        video->Close();
}

bool IsMpegFileName(const std::string& name) {
    std::string ext = Lower(ExtensionOf(name));
    return ext == ".mpg" || ext == ".mpv" || ext == ".m1v";
}

} // namespace orvik
