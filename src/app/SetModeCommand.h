#pragma once

#include "app/AppMode.h"
#include "edit/Command.h"

namespace orvik {

// Switches the application mode as an undoable step: the mode left is kept
// in the undo data, so undo goes back to it.
class SetModeCommand : public Command {
    ORVIK_DECLARE_SERIAL(SetModeCommand)
public:
    // Menu names, by target mode.
    static constexpr uint32_t kTextCaptureMode = 50137;
    static constexpr uint32_t kTextEditMode = 50138;
    static constexpr uint32_t kTextMakeMovieMode = 50139;

    SetModeCommand() = default;
    explicit SetModeCommand(AppMode target) : target(target) {}

    uint32_t GetNameId() const override;
    void Serialize(Archive& ar) override;
    void Do(Archive& undoData) override;
    void Undo(Archive& undoData) override;

    AppMode target = AppMode::edit;
};

} // namespace orvik
