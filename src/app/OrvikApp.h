#pragma once

#include "app/AppMode.h"
#include "app/CommandRouter.h"
#include "model/RefPtr.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace orvik {

class AssetManager;
class HeadlessUserInterface;
class Movie;
class ResourceLibraries;
class Settings;
class SonicDesktop;
class SingleInstance;
class Undoer;
class UserInterface;
class XPalette;

// The application object: brings the program up in a fixed order, owns the
// application-wide singletons and hands them out, keeps a second desktop copy
// from starting, switches the three modes and takes the program down again.
//
// The desktop application and every command-line run go through the same
// start and exit. A headless run (the command line) is not the desktop
// instance: it neither hands its work to a running desktop application nor
// keeps one from starting, leaves the desktop's crash marker and the CD
// auto-play setting alone, and works in a temporary folder of its own that
// it removes at exit.
//
// Lives on the user-interface thread; only the hand-over from a later start
// arrives on another thread (see PendingRequestCount).
class OrvikApp {
public:
    // Bytes that must be free for the program to start (70 MiB).
    static constexpr uint64_t kMemoryNeeded = 73400320;
    // The movie document's file extension.
    static constexpr const char* kMovieExtension = ".orv";
    // A file in the current folder that makes the driver check fail the
    // display, to show the driver warning on purpose.
    static constexpr const char* kShowDriverDialogFile = "show_dx_dialog.txt";

    // Resource texts of the start-up warnings and the crash marker.
    static constexpr uint32_t kTextSmallScreen = 50106;
    static constexpr uint32_t kTextPaletteDisplay = 50107;
    static constexpr uint32_t kTextDriverWarning = 50108;
    static constexpr uint32_t kTextDefaultCaptureName = 50109;

    struct Options {
        // A command-line run (see the class comment).
        bool headless = false;
        // A headless run shows its messages on the standard error stream.
        bool echoMessages = false;
        // The project named on the command line, or empty.
        std::string openFile;
        // Whether a sound device is present; null asks the system probe.
        std::function<bool()> soundDevicePresent;
    };

    // Why start-up ended.
    enum class StartFailure {
        none,
        anotherInstance, // the desktop copy already runs; the file went to it
        services,
        resources,
        memory,
        colours,
        declined, // the user declined a warning
        document,
    };

    // Told the name of each start-up and exit step just before it runs (the
    // order can be watched from outside). Called on the user-interface
    // thread.
    using StepObserver = std::function<void(const std::string& step)>;
    // Told each mode shown (the view shows it). User-interface thread.
    using ModeObserver = std::function<void(AppMode mode)>;

    OrvikApp();
    explicit OrvikApp(Options options);
    ~OrvikApp();
    OrvikApp(const OrvikApp&) = delete;
    OrvikApp& operator=(const OrvikApp&) = delete;

    // The running application (the one whose start-up made the singletons),
    // or null.
    static OrvikApp* Current();

    // Start-up; false ends the program (GetStartFailure says why). Run
    // ExitInstance after it in either case: it undoes only what was done.
    // An application destroyed without ExitInstance leaves the crash marker
    // set, as a crash would.
    bool InitInstance();
    // Exit: releases everything in order; returns the exit status.
    int ExitInstance();

    StartFailure GetStartFailure() const { return failure_; }
    bool IsStarting() const { return starting_; }
    bool IsExiting() const { return exiting_; }
    void SetExiting() { exiting_ = true; }
    bool IsHeadless() const { return options_.headless; }

    // --- The singletons --------------------------------------------------
    Settings* GetSettings() const { return settings_.get(); }
    SonicDesktop* GetSonicDesktop() const { return sonicDesktop_.get(); }
    Undoer* GetUndoer() const { return undoer_.get(); }
    ResourceLibraries* GetResources() const { return resources_.get(); }
    XPalette* GetPalette() const { return palette_.get(); }
    AssetManager* GetAssets() const { return assets_.get(); }
    Movie* GetDocument() const;
    CommandRouter& GetRouter() { return router_; }
    // The working-file folder of this run.
    const std::string& TempFolder() const { return tempFolder_; }

    // --- Modes -----------------------------------------------------------
    AppMode GetMode() const { return mode_; }
    // Shows `mode` and saves it to "Mode". After start-up only
    // SetModeCommand calls this, so that every change can be undone.
    void SetMode(AppMode mode);
    // What the mode buttons and menu items do: a SetModeCommand when the
    // target differs from the current mode. True when one was executed.
    bool RequestMode(AppMode mode);
    void SetModeObserver(ModeObserver observer) { modeObserver_ = std::move(observer); }
    // 0 and 2 are themselves, anything else Edit.
    static AppMode ModeFromNumber(int32_t value);

    // --- Start-up parts --------------------------------------------------
    bool DirectXCertified();
    bool InitializePalette();
    void DisableAutoCd();
    void EnableAutoCd();

    // Opens a movie file into the document (made first when there is none).
    // A path with another extension than the movie files' is refused
    // without a message. Null on failure.
    Movie* OpenDocumentFile(const std::string& path);
    static bool IsMovieFileName(const std::string& path);

    // --- Commands ----------------------------------------------------------
    bool RouteCommand(uint32_t id) { return router_.Route(id); }
    // Called by capture when a recording starts and ends: while it runs
    // only the capture panel receives commands and the main window stays in
    // front without its minimise box.
    void SetCaptureRunning(bool running);
    bool IsCaptureRunning() const { return router_.IsCaptureLocked(); }
    // The application was deactivated: during a recording it comes back to
    // the front.
    void OnDeactivate();

    // --- Hand-over from later starts ---------------------------------------
    // Requests of later desktop starts wait here until the user-interface
    // thread takes them. Safe from any thread.
    size_t PendingRequestCount() const;
    // Opens each handed-over file (an empty request only brings the window
    // to the front). Returns how many requests were handled.
    int ProcessPendingRequests();
    // Called on the single-instance listener's thread after a request is
    // queued, with no lock held: the desktop posts itself a call to
    // ProcessPendingRequests.
    void SetRequestHook(std::function<void()> hook) { requestHook_ = std::move(hook); }

    void SetStepObserver(StepObserver observer) { stepObserver_ = std::move(observer); }

private:
    void Step(const char* name);
    bool Fail(StartFailure why);
    bool StartSingleInstance();
    bool LoadResources();
    bool CheckDisplay();
    void CheckCrashMarker();
    bool OpenStartDocument();
    bool MakeTempFolder();
    void ReceiveRequest(const std::string& message);

    Options options_;
    StartFailure failure_ = StartFailure::none;
    bool starting_ = false;
    bool exiting_ = false;
    bool exited_ = false;
    bool classRegistered_ = false;
    bool mediaLibrary_ = false;
    bool autoCdDisabled_ = false;
    bool crashMarkerSet_ = false;
    bool logOpened_ = false;
    bool ownTempFolder_ = false;
    AppMode mode_ = AppMode::edit;

    std::unique_ptr<SingleInstance> instance_;
    std::unique_ptr<Settings> settings_;
    std::unique_ptr<ResourceLibraries> resources_;
    std::unique_ptr<Undoer> undoer_;
    std::unique_ptr<XPalette> palette_;
    std::unique_ptr<AssetManager> assets_;
    std::unique_ptr<SonicDesktop> sonicDesktop_;
    RefPtr<Movie> document_;
    std::string tempFolder_;
    std::unique_ptr<HeadlessUserInterface> echoUi_;
    UserInterface* previousUi_ = nullptr;
    CommandRouter router_;

    StepObserver stepObserver_;
    ModeObserver modeObserver_;

    std::function<void()> requestHook_;
    mutable std::mutex requestsLock_;
    std::deque<std::string> requests_;
};

} // namespace orvik
