#pragma once

#include "model/Time.h"

#include <cstdint>
#include <mutex>
#include <string>

namespace orvik {

class ClipList;

// What the clip editing commands ask of the parts of the editor that show the
// movie and play it: the preview player, the scene album, the current movie
// view (storyboard, timeline or text list), the timeline's zoom, the toolbox
// and the hint line. Each collaborator installs its own hooks when it starts
// and removes them when it ends; where none is installed the headless
// default answers: nothing plays, there is no album, every view is at its
// first position and nothing is shown.
//
// All hooks are called on the user-interface thread.

// The preview player's current item as undo brings it back.
struct PlayerSnapshot {
    int32_t itemId = 0;  // id of the current preview item
    int32_t option = 0;  // the item's option word
    Time position = 0;   // its position
    int32_t counter = 0; // its play counter

    bool operator==(const PlayerSnapshot&) const = default;
};

// What was playing when an edit stopped the player.
enum class PlayingItem { none, movie, album, tool };

// The preview player (the engine's player installs it).
class PlayerHooks {
public:
    virtual ~PlayerHooks() = default;

    // Held while a command changes the player's current item or its position:
    // the player's refresh thread reads both.
    virtual std::recursive_mutex& Lock();
    // What plays now (none when the player is stopped).
    virtual PlayingItem Playing() const { return PlayingItem::none; }
    // Stops playback; answers the position where it stopped.
    virtual Time Stop() { return 0; }
    // The current item's id, option, position and counter.
    virtual PlayerSnapshot GetState() const { return {}; }
    // Stops the player, makes the item with the snapshot's id current and
    // gives it the option, counter and position of the snapshot.
    virtual void RestoreState(const PlayerSnapshot& /*state*/) {}
    // Makes the movie's preview item current; seeks it to `time` when `time`
    // is not negative. The default seeks the movie document.
    virtual void ShowMovieAt(Time time);
};

// The scene album page that is shown (the album installs it).
class AlbumHooks {
public:
    virtual ~AlbumHooks() = default;

    // The clip list of the album page shown, or null when there is none.
    virtual ClipList* GetList() { return nullptr; }
    virtual int32_t GetPage() const { return 0; }
    virtual void SetPage(int32_t /*page*/) {}
    // The album's second position value, kept and given back unchanged.
    virtual int32_t GetItem() const { return 0; }
    virtual void SetItem(int32_t /*item*/) {}
    // Redraws after its selection changed.
    virtual void Refresh() {}
    // Makes the album's preview item current and seeks it to `time`.
    virtual void ShowAt(Time /*time*/) {}
    // The album was playing and an edit stopped it at `position`: it selects
    // and shows what lies there.
    virtual void ShowAfterStop(Time /*position*/) {}
};

// The movie view shown in the movie window: storyboard, timeline or text
// list (the desktop installs it).
class MovieWindowHooks {
public:
    virtual ~MovieWindowHooks() = default;

    // The first visible position (row or item) of the view, and scrolling
    // back to one.
    virtual int32_t GetFirstVisible() const { return 0; }
    virtual void ScrollTo(int32_t /*first*/) {}
    // The view's page value.
    virtual int32_t GetPage() const { return 0; }
    virtual void SetPage(int32_t /*page*/) {}
    virtual bool ShowsStoryboard() const { return false; }
    // Redraws the movie window; with `scrollToPosition` it first scrolls so
    // that the movie's current position is visible.
    virtual void Refresh(bool /*scrollToPosition*/) {}
};

// The timeline's visible range (the timeline view installs it). The default
// reads and writes the range the movie document keeps for its project file.
class TimelineHooks {
public:
    virtual ~TimelineHooks() = default;

    virtual double GetViewStart() const;
    virtual double GetViewSpan() const;
    virtual void SetView(double start, double span);
};

// The toolbox and its current tool (the desktop installs it).
class ToolboxHooks {
public:
    virtual ~ToolboxHooks() = default;

    // Redraws the tool shown after the movie or its selection changed.
    virtual void Refresh() {}
    // The clip kind the current tool works on (the kind filter of the clip
    // list's searches: 0 any, 7 any but transitions, else one kind).
    virtual int KindFilter() const { return 0; }
    virtual bool IsTrimmerActive() const { return false; }
    virtual void RefreshTrimmer() {}
    // A tool was previewing when an edit stopped the player at `position`.
    virtual void ShowAfterStop(Time /*position*/) {}
};

// The application's hint line (the desktop installs it).
class HintHooks {
public:
    virtual ~HintHooks() = default;
    virtual void ShowHint(const std::string& /*text*/) {}
};

// The hooks in force. Install passes null to go back to the headless default.
struct EditorHooks {
    static PlayerHooks& Player();
    static AlbumHooks& Album();
    static MovieWindowHooks& MovieWindow();
    static TimelineHooks& Timeline();
    static ToolboxHooks& Toolbox();
    static HintHooks& Hint();

    static void Install(PlayerHooks* hooks);
    static void Install(AlbumHooks* hooks);
    static void Install(MovieWindowHooks* hooks);
    static void Install(TimelineHooks* hooks);
    static void Install(ToolboxHooks* hooks);
    static void Install(HintHooks* hooks);
    // Back to the headless defaults, all of them.
    static void Reset();
};

} // namespace orvik
