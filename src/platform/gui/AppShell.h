#pragma once

namespace orvik {

// The windowing side of the application's start and end: the main window
// class, the component services, the media-file library, the splash screen,
// the document template with its main frame and view, and the main window's
// manners (front, minimise box, dropped files). The desktop application
// installs its Qt implementation; the command line and tests run with the
// headless one, which has no windows and succeeds at every step.
//
// Used on the user-interface thread only.
class AppShell {
public:
    virtual ~AppShell() = default;

    // Component services (OLE in the original platform); false ends start-up.
    virtual bool InitializeServices() = 0;
    // The main window class; false only logs (the class flag stays 0).
    virtual bool RegisterWindowClass() = 0;
    virtual void UnregisterWindowClass() = 0;
    // The video-file library and control containment.
    virtual void InitializeMediaLibrary() = 0;
    virtual void ShutdownMediaLibrary() = 0;

    // Shown without activating it; the splash exists until CloseSplash.
    virtual void ShowSplash() = 0;
    virtual bool SplashExists() const = 0;
    virtual void RefreshSplash() = 0;
    virtual void CloseSplash() = 0;

    // Registers the single document template and makes the main frame and
    // its view; false ends start-up.
    virtual bool CreateMainWindow() = 0;
    virtual void AcceptDroppedFiles() = 0;
    // Restores the main window if minimised and brings it to the foreground.
    virtual void BringToFront() = 0;
    virtual void SetMinimizeBox(bool enabled) = 0;

    // The shell in use (never null: headless until one is installed).
    static AppShell& Current();
    // Installs `shell` (null restores the headless one). Not owned.
    static void Install(AppShell* shell);
};

// No windows: every step succeeds and shows nothing.
class HeadlessAppShell : public AppShell {
public:
    bool InitializeServices() override { return true; }
    bool RegisterWindowClass() override { return true; }
    void UnregisterWindowClass() override {}
    void InitializeMediaLibrary() override {}
    void ShutdownMediaLibrary() override {}
    void ShowSplash() override { splash_ = true; }
    bool SplashExists() const override { return splash_; }
    void RefreshSplash() override {}
    void CloseSplash() override { splash_ = false; }
    bool CreateMainWindow() override { return true; }
    void AcceptDroppedFiles() override {}
    void BringToFront() override {}
    void SetMinimizeBox(bool) override {}

private:
    bool splash_ = false;
};

} // namespace orvik
