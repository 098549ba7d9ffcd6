#pragma once

#include "model/Time.h"

#include <string>

namespace orvik {

class ClipList;

// What the movie document asks of the windows and the player that show it.
// The desktop application and the engine install their own; without them
// (the command line, tests) nothing is shown, the position is 0 and every
// placement is allowed.
class MovieView {
public:
    virtual ~MovieView() = default;

    virtual void RepaintMovieWindow() {}
    // Scroll and zoom the timeline to the saved view.
    virtual void RestoreTimelineView(double /*viewStart*/, double /*viewSpan*/) {}
    // The title of the main frame follows the path and modified flag.
    virtual void UpdateFrameTitle() {}
    // The file output derives its default name from the movie's path.
    virtual void MoviePathChanged(const std::string& /*path*/) {}
    // The active preview item's position, and seeking it.
    virtual Time GetPosition() const { return 0; }
    virtual void SetPosition(Time /*time*/) {}
    // The preview item's option word saved in project files.
    virtual uint32_t GetPlayeeOptions() const { return 0; }
    virtual void StopPlayer() {}
    virtual void RefreshPlayer() {}
    // May the clips of `list` be placed at `time` on `track`? The track's
    // view answers and may fill `reason` with why not.
    virtual bool CanPlace(const ClipList& /*list*/, Time /*time*/, int /*track*/,
                          std::string& /*reason*/) {
        return true;
    }
    // The level the track's envelope shows at a movie time (500 unchanged).
    virtual int32_t TrackLevelAt(int /*track*/, Time /*time*/) const { return 500; }
};

} // namespace orvik
