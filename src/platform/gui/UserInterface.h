#pragma once

#include <memory>
#include <string>

namespace orvik {

// What the system asks of the screen and of the person in front of it:
// message boxes, questions, file choosers, the wait cursor, the display's
// properties, the status text. The desktop application installs its Qt
// implementation; everything else (the command line, tests) runs with the
// headless one, which has a virtual 1024 x 768 x 24 display, shows nothing
// and answers every question with its default.
class UserInterface {
public:
    enum Buttons { ok, okCancel, yesNo, yesNoCancel };
    enum Icon { none, information, warning, question, error };
    enum Answer { answerOk = 1, answerCancel = 2, answerYes = 6, answerNo = 7 };

    struct Display {
        int width = 1024;
        int height = 768;
        int bitsPerPixel = 24;
        int planes = 1;
        bool paletteBased = false;
        int paletteEntries = 0;
        bool present = true; // a real or virtual display exists
    };

    virtual ~UserInterface() = default;

    virtual Display GetDisplay() const = 0;
    // Shows a message; returns the button chosen.
    virtual Answer MessageBox(const std::string& text, const std::string& caption,
                              Buttons buttons = ok, Icon icon = none) = 0;
    // A warning with a "do not show again" box; true to go on. The default
    // answer goes on and leaves the box unticked.
    virtual bool ConfirmWarning(const std::string& text, const std::string& caption,
                                bool* dontWarnAgain) = 0;
    // An open-file chooser; empty when cancelled.
    virtual std::string ChooseOpenFile(const std::string& startPath, const std::string& filter,
                                       const std::string& defaultExtension) = 0;
    virtual void SetWaitCursor(bool on) = 0;
    virtual void SetStatusText(const std::string& text) = 0;

    // The interface in use (never null: headless until one is installed).
    static UserInterface& Current();
    // Installs `ui` (null restores the headless one). Not owned.
    static void Install(UserInterface* ui);
};

// No display, no person: the defaults of every question, messages written to
// the standard error stream when asked to (the command line does).
class HeadlessUserInterface : public UserInterface {
public:
    Display GetDisplay() const override { return display_; }
    Answer MessageBox(const std::string& text, const std::string& caption, Buttons buttons,
                      Icon icon) override;
    bool ConfirmWarning(const std::string& text, const std::string& caption,
                        bool* dontWarnAgain) override;
    std::string ChooseOpenFile(const std::string&, const std::string&,
                               const std::string&) override {
        return std::string();
    }
    void SetWaitCursor(bool) override {}
    void SetStatusText(const std::string& text) override { status_ = text; }

    void SetDisplay(const Display& d) { display_ = d; }
    void SetEcho(bool echo) { echo_ = echo; }
    const std::string& LastMessage() const { return lastMessage_; }
    int MessageCount() const { return messages_; }
    const std::string& StatusText() const { return status_; }

private:
    Display display_;
    bool echo_ = false;
    std::string lastMessage_;
    std::string status_;
    int messages_ = 0;
};

} // namespace orvik
