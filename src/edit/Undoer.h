#pragma once

#include "edit/Checkpoint.h"
#include "model/RefPtr.h"

#include <cstdint>
#include <functional>
#include <list>
#include <string>

namespace orvik {

// The undo history: checkpoints, newest first, bounded by their total size.
// Consecutive commands of a merging class become one entry. One per
// application; used on the user-interface thread only.
class Undoer {
public:
    static constexpr int64_t kBudget = 100000;

    Undoer();
    ~Undoer();
    Undoer(const Undoer&) = delete;
    Undoer& operator=(const Undoer&) = delete;

    // The application's history, or null.
    static Undoer* Instance();

    void Undo();
    void Redo();
    void Push(const RefPtr<Checkpoint>& checkpoint);
    void ClearRedo();
    void Clear();

    Checkpoint* PeekUndo() const { return undoList_.empty() ? nullptr : undoList_.front().get(); }
    Checkpoint* PeekRedo() const { return redoList_.empty() ? nullptr : redoList_.front().get(); }
    size_t UndoCount() const { return undoList_.size(); }
    size_t RedoCount() const { return redoList_.size(); }
    int64_t UndoBytes() const { return undoBytes_; }
    int64_t RedoBytes() const { return redoBytes_; }

    // The menu items: text and whether they are enabled.
    std::string UndoMenuText() const;
    std::string RedoMenuText() const;
    bool CanUndo() const { return !undoList_.empty(); }
    bool CanRedo() const { return !redoList_.empty(); }

    // Told after every change of the lists (the top bar refreshes its buttons).
    void SetChangedHook(std::function<void()> hook) { changed_ = std::move(hook); }
    void Changed();

private:
    std::list<RefPtr<Checkpoint>> undoList_;
    std::list<RefPtr<Checkpoint>> redoList_;
    int64_t undoBytes_ = 0;
    int64_t redoBytes_ = 0;
    std::function<void()> changed_;
};

} // namespace orvik
