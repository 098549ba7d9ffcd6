#pragma once

#include "edit/ClipListCommand.h"
#include "model/Time.h"

#include <cstdint>

namespace orvik {

// A rubber-band rectangle in the movie view's own coordinates.
struct TrackerRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool operator==(const TrackerRect&) const = default;
};

// What the movie window's navigation commands ask of the movie view shown
// (storyboard, timeline or text list): the view's own rules for keys,
// clicks, rectangles, paging and scrolling. Each selection operation applies
// the selection to the movie's clip list and answers the movie time to show
// (−1: nothing in particular). The view that is shown installs itself; with
// none installed nothing is selected, paged or scrolled.
//
// Called on the user-interface thread.
class MovieNavigationHooks {
public:
    // Keys, as the keyboard messages give them.
    static constexpr uint32_t kKeyPageUp = 0x21;
    static constexpr uint32_t kKeyPageDown = 0x22;
    static constexpr uint32_t kKeyEnd = 0x23;
    static constexpr uint32_t kKeyHome = 0x24;
    static constexpr uint32_t kKeyLeft = 0x25;
    static constexpr uint32_t kKeyUp = 0x26;
    static constexpr uint32_t kKeyRight = 0x27;
    static constexpr uint32_t kKeyDown = 0x28;
    static constexpr uint32_t kKeyA = 0x41;

    virtual ~MovieNavigationHooks() = default;

    // `modifiers` and `keys` carry SelectionMap's Shift and Control bits.
    virtual Time SelectViaKeyboard(uint32_t /*key*/, uint32_t /*modifiers*/) { return -1; }
    virtual Time SelectViaMouse(int32_t /*clipPosition*/, uint32_t /*keys*/) { return -1; }
    virtual Time SelectViaTrackerRect(const TrackerRect& /*rect*/, uint32_t /*keys*/) { return -1; }
    virtual void NextPage() {}
    virtual void PrevPage() {}
    virtual void Scroll(int32_t /*position*/) {}

    // The view in force; Install(nullptr) goes back to the default.
    static MovieNavigationHooks& Current();
    static void Install(MovieNavigationHooks* hooks);
};

// The movie window's navigation commands. Each remembers the state, clears
// the album's selection, lets the movie view shown select or page, then shows
// the result and writes what changed into its undo data, so that undo gives
// back the selection, the view's page and the player's position.

// A key pressed in the movie view.
class MovieSelectViaKeyboardCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieSelectViaKeyboardCommand)
public:
    MovieSelectViaKeyboardCommand() = default;
    MovieSelectViaKeyboardCommand(uint32_t key, uint32_t modifiers)
        : key(key), modifiers(modifiers) {}
    uint32_t GetNameId() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    uint32_t key = 0;
    uint32_t modifiers = 0;
};

// A click on the clip at list position `clipPosition`; `clickTime` is the
// movie time under the mouse in the timeline, or −1.
class MovieSelectViaMouseCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieSelectViaMouseCommand)
public:
    MovieSelectViaMouseCommand() = default;
    MovieSelectViaMouseCommand(int32_t clipPosition, uint32_t keys, Time clickTime = -1)
        : clipPosition(clipPosition), keys(keys), clickTime(clickTime) {}
    uint32_t GetNameId() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    int32_t clipPosition = 0;
    uint32_t keys = 0;
    Time clickTime = -1;
};

// A rubber band drawn over the movie view.
class MovieSelectViaTrackerRectCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieSelectViaTrackerRectCommand)
public:
    MovieSelectViaTrackerRectCommand() = default;
    MovieSelectViaTrackerRectCommand(const TrackerRect& rect, uint32_t keys)
        : rect(rect), keys(keys) {}
    uint32_t GetNameId() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    TrackerRect rect;
    uint32_t keys = 0;
};

class MovieNextPageCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieNextPageCommand)
public:
    uint32_t GetNameId() const override;
    void Do(Archive& undoData) override;
};

class MoviePrevPageCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MoviePrevPageCommand)
public:
    uint32_t GetNameId() const override;
    void Do(Archive& undoData) override;
};

// The movie view's scroll bar moved to `position`.
class MovieScrollCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieScrollCommand)
public:
    MovieScrollCommand() = default;
    explicit MovieScrollCommand(int32_t position) : position(position) {}
    uint32_t GetNameId() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    int32_t position = 0;
};

} // namespace orvik
