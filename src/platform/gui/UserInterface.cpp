#include "platform/gui/UserInterface.h"

#include <cstdio>

namespace orvik {

namespace {
HeadlessUserInterface& Headless() {
    static HeadlessUserInterface headless;
    return headless;
}
UserInterface* installed = nullptr;
} // namespace

UserInterface& UserInterface::Current() { return installed ? *installed : Headless(); }

void UserInterface::Install(UserInterface* ui) { installed = ui; }

UserInterface::Answer HeadlessUserInterface::MessageBox(const std::string& text,
                                                        const std::string& caption,
                                                        Buttons buttons, Icon) {
    ++messages_;
    lastMessage_ = text;
    if (echo_)
        fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    switch (buttons) {
    case ok: return answerOk;
    case okCancel: return answerCancel;
    case yesNo: return answerNo;
    case yesNoCancel: return answerCancel;
    }
    return answerOk;
}

bool HeadlessUserInterface::ConfirmWarning(const std::string& text, const std::string& caption,
                                           bool* dontWarnAgain) {
    ++messages_;
    lastMessage_ = text;
    if (echo_)
        fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    if (dontWarnAgain)
        *dontWarnAgain = false;
    return true;
}

} // namespace orvik
