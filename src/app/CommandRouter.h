#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvik {

// The main view's command routing: a menu, toolbar or key command is offered
// to the panels in a fixed order until one takes it. Panels register their
// handler when they are made and withdraw it before they go.
//
// Used on the user-interface thread only.
class CommandRouter {
public:
    // The undo history's commands (the edit menu's Undo and Redo).
    static constexpr uint32_t kIdUndo = 0xE12B;
    static constexpr uint32_t kIdRedo = 0xE12C;

    // One panel's side of the routing. Called on the user-interface thread.
    class Handler {
    public:
        virtual ~Handler() = default;
        // True when the panel took the command.
        virtual bool OnCommand(uint32_t id) = 0;
    };

    // The places in the chain, in the order they are offered a command.
    enum class Slot {
        view,        // the view's own handlers
        movieWindow, // only while the player's current item is the movie
        album,       // only while the player's current item is the album's
        player,
        library,
        output,
        capture,
        titler,
        voiceover,
        count
    };

    // What the player is bound to; decides whether the movie window or the
    // album is offered commands.
    enum class PlayerItem { none, movie, album };

    CommandRouter() = default;
    CommandRouter(const CommandRouter&) = delete;
    CommandRouter& operator=(const CommandRouter&) = delete;

    // Not owned; null withdraws the slot's handler.
    void SetHandler(Slot slot, Handler* handler);
    Handler* GetHandler(Slot slot) const { return handlers_[static_cast<std::size_t>(slot)]; }

    void SetPlayerItem(PlayerItem item) { playerItem_ = item; }
    PlayerItem GetPlayerItem() const { return playerItem_; }

    // While a recording runs only the capture panel is offered commands.
    void SetCaptureLock(bool locked) { captureLock_ = locked; }
    bool IsCaptureLocked() const { return captureLock_; }

    // Offers `id` along the chain; true when a handler took it. A command
    // that arrives while one is being routed (a handler sending another) is
    // not handled by the chain.
    bool Route(uint32_t id);
    bool IsRouting() const { return routing_; }

private:
    bool Offer(Slot slot, uint32_t id);
    static bool OfferUndoer(uint32_t id);

    std::array<Handler*, static_cast<std::size_t>(Slot::count)> handlers_{};
    PlayerItem playerItem_ = PlayerItem::none;
    bool captureLock_ = false;
    bool routing_ = false;
};

} // namespace orvik
