#include "app/SetModeCommand.h"

#include "app/DiagnosticsLog.h"
#include "app/OrvikApp.h"
#include "platform/archive/Archive.h"

namespace orvik {

ORVIK_IMPLEMENT_SERIAL(SetModeCommand, Command, kVersionableSchema | 1)

uint32_t SetModeCommand::GetNameId() const {
    switch (target) {
    case AppMode::capture:
        return kTextCaptureMode;
    case AppMode::edit:
        return kTextEditMode;
    case AppMode::makeMovie:
        return kTextMakeMovieMode;
    }
    return kTextEditMode;
}

void SetModeCommand::Serialize(Archive& ar) {
    if (ar.IsStoring())
        ar.WriteInt32(static_cast<int32_t>(target));
    else
        target = OrvikApp::ModeFromNumber(ar.ReadInt32());
}

void SetModeCommand::Do(Archive& undoData) {
    OrvikApp* app = OrvikApp::Current();
    if (!app) {
        LogMessage("SetModeCommand::Do: no application\n");
        return;
    }
    undoData.WriteInt32(static_cast<int32_t>(app->GetMode()));
    app->SetMode(target);
}

void SetModeCommand::Undo(Archive& undoData) {
    OrvikApp* app = OrvikApp::Current();
    if (!app) {
        LogMessage("SetModeCommand::Undo: no application\n");
        return;
    }
    app->SetMode(OrvikApp::ModeFromNumber(undoData.ReadInt32()));
}

} // namespace orvik
