#include "app/CommandRouter.h"

#include "edit/Undoer.h"

namespace orvik {

void CommandRouter::SetHandler(Slot slot, Handler* handler) {
    if (slot == Slot::count)
        return;
    handlers_[static_cast<std::size_t>(slot)] = handler;
}

bool CommandRouter::Offer(Slot slot, uint32_t id) {
    Handler* h = handlers_[static_cast<std::size_t>(slot)];
    return h && h->OnCommand(id);
}

bool CommandRouter::OfferUndoer(uint32_t id) {
    Undoer* undoer = Undoer::Instance();
    if (!undoer)
        return false;
    if (id == kIdUndo) {
        if (undoer->CanUndo())
            undoer->Undo();
        return true;
    }
    if (id == kIdRedo) {
        if (undoer->CanRedo())
            undoer->Redo();
        return true;
    }
    return false;
}

bool CommandRouter::Route(uint32_t id) {
    if (routing_)
        return false;
    routing_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{routing_};

    if (captureLock_)
        return Offer(Slot::capture, id);

    if (Offer(Slot::view, id))
        return true;
    if (playerItem_ == PlayerItem::movie && Offer(Slot::movieWindow, id))
        return true;
    if (playerItem_ == PlayerItem::album && Offer(Slot::album, id))
        return true;
    for (Slot s :
         {Slot::player, Slot::library, Slot::output, Slot::capture, Slot::titler, Slot::voiceover})
        if (Offer(s, id))
            return true;
    return OfferUndoer(id);
}

} // namespace orvik
