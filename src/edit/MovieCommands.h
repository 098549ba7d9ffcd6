#pragma once

#include "edit/ClipListCommand.h"

#include <string>

namespace orvik {

// The commands that replace or save the whole movie. New and open write the
// complete movie before the change into their checkpoint, followed by the
// state of the views, the player and the modified flag, so undo brings all
// of it back.

class NewMovieCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(NewMovieCommand)
public:
    uint32_t GetNameId() const override { return 50134; }
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;
};

class MovieOpenCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieOpenCommand)
public:
    MovieOpenCommand() = default;
    explicit MovieOpenCommand(const std::string& path) : path(path) {}
    uint32_t GetNameId() const override { return 50135; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;

    std::string path;
    bool result = false; // not saved: the outcome of this run
};

class MovieSaveCommand : public ClipListCommand {
    ORVIK_DECLARE_SERIAL(MovieSaveCommand)
public:
    MovieSaveCommand() = default;
    explicit MovieSaveCommand(const std::string& path) : path(path) {}
    uint32_t GetNameId() const override { return 50136; }
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;

    std::string path;
    bool result = false;
};

// The document's File menu operations (what the desktop's hooks call).
// Each runs its command and shows the failure message.
bool OpenMovieFile(const std::string& path);
bool SaveMovieFile(const std::string& path);
void NewMovie();

} // namespace orvik
