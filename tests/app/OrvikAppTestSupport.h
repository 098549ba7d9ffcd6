#pragma once

#include "app/OrvikApp.h"
#include "platform/gui/AppShell.h"
#include "platform/gui/UserInterface.h"

#include <string>
#include <vector>

namespace orvik::test {

// Records every call the application makes on its shell and its user
// interface into one list, in order ("shell:ShowSplash", "message:...").
struct AppRecording {
    std::vector<std::string> calls;
    void Add(const std::string& call) { calls.push_back(call); }
};

class RecordingShell : public AppShell {
public:
    explicit RecordingShell(AppRecording& r) : r_(r) {}
    bool InitializeServices() override { return Note("InitializeServices", servicesOk); }
    bool RegisterWindowClass() override { return Note("RegisterWindowClass", true); }
    void UnregisterWindowClass() override { Note("UnregisterWindowClass", true); }
    void InitializeMediaLibrary() override { Note("InitializeMediaLibrary", true); }
    void ShutdownMediaLibrary() override { Note("ShutdownMediaLibrary", true); }
    void ShowSplash() override { splash_ = Note("ShowSplash", true); }
    bool SplashExists() const override { return splash_; }
    void RefreshSplash() override { Note("RefreshSplash", true); }
    void CloseSplash() override { splash_ = !Note("CloseSplash", true); }
    bool CreateMainWindow() override { return Note("CreateMainWindow", true); }
    void AcceptDroppedFiles() override { Note("AcceptDroppedFiles", true); }
    void BringToFront() override { Note("BringToFront", true); }
    void SetMinimizeBox(bool on) override { Note(on ? "MinimizeBox:1" : "MinimizeBox:0", true); }

    bool servicesOk = true;

private:
    bool Note(const char* call, bool result) {
        r_.Add(std::string("shell:") + call);
        return result;
    }
    AppRecording& r_;
    bool splash_ = false;
};

class RecordingUi : public UserInterface {
public:
    explicit RecordingUi(AppRecording& r) : r_(r) {}
    Display GetDisplay() const override { return display; }
    Answer MessageBox(const std::string& text, const std::string&, Buttons, Icon) override {
        r_.Add("message:" + text);
        return answerOk;
    }
    bool ConfirmWarning(const std::string& text, const std::string&, bool* dontWarn) override {
        r_.Add("warning:" + text);
        if (dontWarn)
            *dontWarn = tickDontWarn;
        return confirm;
    }
    std::string ChooseOpenFile(const std::string&, const std::string&,
                               const std::string&) override {
        return std::string();
    }
    void SetWaitCursor(bool) override {}
    void SetStatusText(const std::string&) override {}

    Display display;
    bool confirm = true;
    bool tickDontWarn = false;

private:
    AppRecording& r_;
};

// Installs the recording shell and user interface for one test.
struct AppHarness {
    AppRecording rec;
    RecordingShell shell{rec};
    RecordingUi ui{rec};

    AppHarness() {
        AppShell::Install(&shell);
        UserInterface::Install(&ui);
    }
    ~AppHarness() {
        AppShell::Install(nullptr);
        UserInterface::Install(nullptr);
    }

    // A desktop start on a machine with working drivers.
    static OrvikApp::Options Desktop(const std::string& openFile = std::string()) {
        OrvikApp::Options o;
        o.openFile = openFile;
        o.soundDevicePresent = [] { return true; };
        return o;
    }
    static OrvikApp::Options Headless() {
        OrvikApp::Options o = Desktop();
        o.headless = true;
        return o;
    }

    // The calls recorded that start with `prefix`.
    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const std::string& c : rec.calls)
            if (c.rfind(prefix, 0) == 0)
                out.push_back(c);
        return out;
    }
};

} // namespace orvik::test
