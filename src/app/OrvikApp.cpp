#include "app/OrvikApp.h"

#include "app/AutoCd.h"
#include "app/DiagnosticsLog.h"
#include "app/ResourceIds.h"
#include "app/ResourceLibraries.h"
#include "app/SetModeCommand.h"
#include "app/Settings.h"
#include "app/Version.h"
#include "audio/SonicDesktop.h"
#include "edit/MovieCommands.h"
#include "edit/Undoer.h"
#include "imaging/XPalette.h"
#include "model/AssetManager.h"
#include "model/Movie.h"
#include "model/RefObject.h"
#include "platform/fs/Places.h"
#include "platform/gui/AppShell.h"
#include "platform/gui/UserInterface.h"
#include "platform/sys/SingleInstance.h"
#include "platform/sys/SystemProbe.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <strings.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace orvik {

namespace {

OrvikApp* theApp = nullptr;

// A resource text, or `fallback` while the libraries do not carry it (the
// component-services failure comes before they load).
std::string TextOr(uint32_t id, const char* fallback) {
    std::string text = ResourceText(id);
    return text.empty() ? std::string(fallback) : text;
}

std::string Caption() {
    std::string caption = ResourceText(kTextLibraryLoadCaption);
    return caption.empty() ? std::string(kProductName) : caption;
}

void ShowError(uint32_t id, const char* fallback) {
    UserInterface::Current().MessageBox(TextOr(id, fallback), Caption(), UserInterface::ok,
                                        UserInterface::error);
}

} // namespace

OrvikApp::OrvikApp() : OrvikApp(Options()) {}

OrvikApp::OrvikApp(Options options) : options_(std::move(options)) {}

OrvikApp::~OrvikApp() {
    // Ending without ExitInstance is how a crashed run looks to the next
    // start: the crash marker and the play command stay as they are. Only
    // what other objects still point at is let go here.
    if (!exited_) {
        if (palette_)
            XPalette::SetAppPalette(nullptr);
        if (echoUi_)
            UserInterface::Install(previousUi_);
    }
    if (theApp == this)
        theApp = nullptr;
}

OrvikApp* OrvikApp::Current() {
    return theApp;
}

Movie* OrvikApp::GetDocument() const {
    return document_.get();
}

void OrvikApp::Step(const char* name) {
    if (stepObserver_)
        stepObserver_(name);
}

bool OrvikApp::Fail(StartFailure why) {
    failure_ = why;
    return false;
}

AppMode OrvikApp::ModeFromNumber(int32_t value) {
    if (value == 0)
        return AppMode::capture;
    if (value == 2)
        return AppMode::makeMovie;
    return AppMode::edit;
}

bool OrvikApp::IsMovieFileName(const std::string& path) {
    return strcasecmp(ExtensionOf(path).c_str(), kMovieExtension) == 0;
}

// --- Start-up ------------------------------------------------------------------------

bool OrvikApp::InitInstance() {
    starting_ = true;
    failure_ = StartFailure::none;
    exited_ = false;
    if (options_.headless && options_.echoMessages) {
        previousUi_ = &UserInterface::Current();
        echoUi_ = std::make_unique<HeadlessUserInterface>();
        echoUi_->SetEcho(true);
        UserInterface::Install(echoUi_.get());
    }
    AppShell& shell = AppShell::Current();

    // Only the desktop application is single: command-line runs go on
    // beside it.
    if (!options_.headless) {
        Step("SingleInstance");
        if (!StartSingleInstance())
            return Fail(StartFailure::anotherInstance);
    }

    Step("InitializeServices");
    if (!shell.InitializeServices()) {
        ShowError(kTextServicesFailed, "The program could not start its component services.");
        return Fail(StartFailure::services);
    }

    Step("RegisterWindowClass");
    classRegistered_ = shell.RegisterWindowClass();
    if (!classRegistered_)
        LogMessage("Class Registration Failed: %s\n", "the shell refused the class");

    Step("InitializeMediaLibrary");
    shell.InitializeMediaLibrary();
    mediaLibrary_ = true;

    Step("Settings");
    settings_ = std::make_unique<Settings>();
    settings_->MakeCurrent();
    theApp = this;

    Step("ResourceLibraries");
    if (!LoadResources())
        return Fail(StartFailure::resources);

    Step("DefaultTapeName");
    settings_->LoadResourceTexts(*resources_);

    Step("MemoryCheck");
    if (!CanAllocate(kMemoryNeeded)) {
        ShowError(kTextMemoryShort, "There is not enough free memory to start.");
        return Fail(StartFailure::memory);
    }

    Step("OpenLog");
    logOpened_ = true;
    if (!OpenLog(settings_->GetProgramFolder(), settings_->GetUpdateVersion(), kProductName))
        fprintf(stderr, "%s: cannot create the diagnostics log in %s\n", kProductName,
                settings_->GetProgramFolder().c_str());
    settings_->LogPendingReports();

    Step("Undoer");
    undoer_ = std::make_unique<Undoer>();

    Step("AssetManager");
    MakeTempFolder();
    // A command-line run keeps its rendered scene groups in its own folder
    // too: the manager clears its folders of working files when it starts
    // and ends, and the capture folder's belong to the desktop.
    assets_ = std::make_unique<AssetManager>(
        tempFolder_, options_.headless ? tempFolder_ : settings_->GetCaptureFolder());
    // The background-music service: its library starts on first use, and
    // generated-music clips get their sound through it from now on.
    sonicDesktop_ = std::make_unique<SonicDesktop>(settings_.get());

    Step("DisplayChecks");
    if (!CheckDisplay())
        return false;

    Step("InitializePalette");
    palette_ = std::make_unique<XPalette>();
    if (!InitializePalette())
        LogMessage("OrvikView::InitializePalette(): could not initialize palette\n");
    XPalette::SetAppPalette(palette_.get());

    Step("DirectXCertified");
    if (!DirectXCertified())
        return Fail(StartFailure::declined);

    Step("ShowSplash");
    shell.ShowSplash();

    // Creates the disk-speed keys when they are missing; the value is not
    // needed yet.
    Step("DataRateLimit");
    (void)settings_->GetDataRateLimit();

    // The crash marker belongs to the desktop application: a command-line
    // run beside it must neither take its marker for a crash nor clear it.
    if (!options_.headless) {
        Step("CrashMarker");
        CheckCrashMarker();
    }

    Step("CreateMainWindow");
    if (!shell.CreateMainWindow())
        return Fail(StartFailure::document);

    Step("OpenDocument");
    if (!OpenStartDocument())
        return Fail(StartFailure::document);

    // The view's first show enters Edit mode.
    Step("FirstShow");
    if (options_.headless)
        mode_ = AppMode::edit;
    else
        SetMode(AppMode::edit);

    Step("AcceptDroppedFiles");
    shell.AcceptDroppedFiles();

    if (!options_.headless) {
        Step("DisableAutoCd");
        DisableAutoCd();
    }

    if (shell.SplashExists()) {
        Step("RefreshSplash");
        shell.RefreshSplash();
        Step("CloseSplash");
        shell.CloseSplash();
    }

    Step("Started");
    starting_ = false;
    return true;
}

bool OrvikApp::StartSingleInstance() {
    // The running copy has another current folder: hand it a full path.
    std::string message;
    if (!options_.openFile.empty()) {
        std::error_code ec;
        std::filesystem::path full = std::filesystem::absolute(options_.openFile, ec);
        message = ec ? options_.openFile : full.lexically_normal().string();
    }
    instance_ = std::make_unique<SingleInstance>();
    std::string error;
    SingleInstance::Result r = instance_->Acquire(
        Places::RuntimeFolder(), message,
        [this](const std::string& request) { ReceiveRequest(request); }, &error);
    if (r == SingleInstance::another) {
        instance_.reset();
        return false;
    }
    if (r == SingleInstance::failed) {
        // Without the guard the program still works; a second copy could
        // then start beside this one.
        fprintf(stderr, "%s: cannot watch for a second start: %s\n", kProductName, error.c_str());
        instance_.reset();
    }
    return true;
}

bool OrvikApp::LoadResources() {
    resources_ = std::make_unique<ResourceLibraries>();
    ResourceLibraries::SetCurrent(resources_.get());
    resources_->SetWarningHandler([](const std::string& text, const std::string& caption) {
        UserInterface::Current().MessageBox(text, caption, UserInterface::ok,
                                            UserInterface::warning);
    });
    UserInterface::Display d = UserInterface::Current().GetDisplay();
    return resources_->Load(settings_->GetLanguage(), settings_->GetForceResolution(), d.width,
                            d.height);
}

bool OrvikApp::CheckDisplay() {
    UserInterface& ui = UserInterface::Current();
    UserInterface::Display d = ui.GetDisplay();
    if (d.bitsPerPixel * d.planes <= 7) {
        ShowError(kTextNeed256Colours, "The display needs at least 256 colours.");
        return Fail(StartFailure::colours);
    }
    if ((d.width < 800 || d.height < 600) && settings_->GetWarn640x480() != 0) {
        bool dontWarn = false;
        bool go = ui.ConfirmWarning(TextOr(kTextSmallScreen,
                                           "The screen is smaller than 800 x 600; parts of the "
                                           "program will not fit."),
                                    kProductName, &dontWarn);
        if (dontWarn)
            settings_->SetWarn640x480(0);
        if (!go)
            return Fail(StartFailure::declined);
    }
    if (d.paletteBased && d.paletteEntries == 256 && settings_->GetWarn256Colors() != 0) {
        bool dontWarn = false;
        bool go = ui.ConfirmWarning(
            TextOr(kTextPaletteDisplay,
                   "The display shows only 256 colours; pictures will look coarse."),
            kProductName, &dontWarn);
        if (dontWarn)
            settings_->SetWarn256Colors(0);
        if (!go)
            return Fail(StartFailure::declined);
    }
    return true;
}

bool OrvikApp::InitializePalette() {
    if (!palette_ || !resources_)
        return false;
    const std::vector<uint8_t>* entries = resources_->FindPalette();
    if (!entries || !palette_->CreateFromEntries(entries->data(), entries->size()))
        return false;
    // Only a palette-based display has a system palette to realise into.
    if (UserInterface::Current().GetDisplay().paletteBased)
        return palette_->SetSystemPalette() != 0;
    return true;
}

bool OrvikApp::DirectXCertified() {
    bool displayOk = UserInterface::Current().GetDisplay().present;
    bool soundOk = options_.soundDevicePresent ? options_.soundDevicePresent()
                                               : SystemProbe::Read().hasSoundDevice;
    if (FileExists(kShowDriverDialogFile))
        displayOk = false;
    if (displayOk && soundOk)
        return true;
    LogMessage("OrvikApp::DirectXCertified(): ddraw_OK=%d, dsound_OK=%d\n", displayOk ? 1 : 0,
               soundOk ? 1 : 0);
    // A command-line run plays nothing and has nobody to ask.
    if (options_.headless || !settings_ || settings_->GetWarnDirectXCertified() == 0)
        return true;
    std::string text =
        TextOr(kTextDriverWarning, "The display or sound drivers may not support video playback.");
    text += " (display " + std::to_string(displayOk ? 1 : 0) + ", sound " +
            std::to_string(soundOk ? 1 : 0) + ")";
    bool dontWarn = false;
    // A question whose default answer starts the program: not under the
    // "cannot start" caption of the errors.
    bool go = UserInterface::Current().ConfirmWarning(text, kProductName, &dontWarn);
    if (dontWarn)
        settings_->SetWarnDirectXCertified(0);
    return go;
}

void OrvikApp::CheckCrashMarker() {
    if (settings_->GetReset() != 0) {
        // The last run ended without ExitInstance: its capture file may be
        // damaged, so the next recording goes to a file of another name.
        std::string name = ResourceText(kTextDefaultCaptureName);
        if (name.empty())
            name = "Capture" + settings_->GetVideoFileExtension();
        std::string path = settings_->GetCaptureFolder() + "__reset" + name;
        LogMessage("OrvikApp::InitInstance(): the last run did not end normally; capturing to "
                   "%s\n",
                   path.c_str());
        settings_->SetCapturedVideoFile(path);
    }
    if (!settings_->SetNumber(SettingsBase::Key::reset, 1))
        LogMessage("OrvikApp::InitInstance(): could not set the crash marker\n");
    crashMarkerSet_ = true;
}

bool OrvikApp::OpenStartDocument() {
    document_ = new Movie;
    document_->MakeCurrent();
    if (options_.openFile.empty())
        return true;
    if (OpenDocumentFile(options_.openFile))
        return true;
    UserInterface::Current().MessageBox(options_.openFile + ": " + document_->LastError(),
                                        Caption(), UserInterface::ok, UserInterface::error);
    return false;
}

bool OrvikApp::MakeTempFolder() {
    std::string cache = Places::CacheFolder();
    if (!options_.headless) {
        tempFolder_ = JoinPath(cache, "Temp");
        return true;
    }
    std::string error;
    if (!Places::EnsureFolder(cache, &error))
        LogMessage("OrvikApp: cannot make the cache folder: %s\n", error.c_str());
    std::string pattern = JoinPath(cache, "run-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data())) {
        tempFolder_ = buffer.data();
        ownTempFolder_ = true;
        return true;
    }
    LogMessage("OrvikApp: cannot make a temporary folder in %s: %s\n", cache.c_str(),
               strerror(errno));
    // The manager then works without a folder of its own and logs its
    // failures; the desktop's folder stays untouched.
    tempFolder_ = JoinPath(cache, "run-" + std::to_string(getpid()));
    return false;
}

// --- Exit --------------------------------------------------------------------------------

int OrvikApp::ExitInstance() {
    if (exited_)
        return 0;
    exited_ = true;
    exiting_ = true;
    AppShell& shell = AppShell::Current();

    // No later start can hand this copy anything from here on.
    if (instance_) {
        Step("ReleaseSingleInstance");
        instance_.reset();
    }
    if (classRegistered_) {
        Step("UnregisterWindowClass");
        shell.UnregisterWindowClass();
        classRegistered_ = false;
    }
    if (shell.SplashExists()) {
        Step("CloseSplash");
        shell.CloseSplash();
    }
    // Only what this run changed is put back: a start that ended early has
    // neither kept the play command aside nor set the crash marker, and must
    // not clear a marker an earlier run left.
    if (autoCdDisabled_) {
        Step("EnableAutoCd");
        EnableAutoCd();
    }
    if (crashMarkerSet_ && settings_) {
        Step("ClearCrashMarker");
        settings_->SetReset(0);
        crashMarkerSet_ = false;
    }
    // The frame closes the document before the application ends.
    if (document_) {
        Step("CloseDocument");
        document_ = nullptr;
    }
    // Ends any preview and leaves generated-music clips without a generator.
    sonicDesktop_.reset();
    if (assets_) {
        Step("DestroyAssetManager");
        assets_.reset();
    }
    if (ownTempFolder_) {
        std::error_code ec;
        std::filesystem::remove_all(tempFolder_, ec);
        if (ec)
            LogMessage("OrvikApp: cannot remove %s: %s\n", tempFolder_.c_str(),
                       ec.message().c_str());
        ownTempFolder_ = false;
    }
    if (settings_) {
        Step("DestroySettings");
        settings_.reset();
    }
    if (undoer_) {
        Step("DestroyUndoer");
        undoer_.reset();
    }
    if (resources_) {
        Step("FreeResourceLibraries");
        resources_->Free();
        resources_.reset();
    }
    if (palette_) {
        Step("DestroyPalette");
        XPalette::SetAppPalette(nullptr);
        palette_.reset();
    }
    if (mediaLibrary_) {
        Step("ShutdownMediaLibrary");
        shell.ShutdownMediaLibrary();
        mediaLibrary_ = false;
    }
    // The sweep names every object left over in the log, so the log closes
    // after it, last of all.
    // Only the application that made the singletons sweeps: a start that
    // ended at once (another copy runs) owns none of the objects about.
    if (theApp == this) {
        Step("SweepOrphans");
        RefObject::SweepOrphans();
    }
    if (logOpened_) {
        Step("CloseLog");
        CloseLog();
        logOpened_ = false;
    }
    if (echoUi_) {
        UserInterface::Install(previousUi_);
        echoUi_.reset();
    }
    if (theApp == this)
        theApp = nullptr;
    starting_ = false;
    return 0;
}

// --- Modes ---------------------------------------------------------------------------

void OrvikApp::SetMode(AppMode mode) {
    UserInterface& ui = UserInterface::Current();
    ui.SetWaitCursor(true);
    mode_ = mode;
    if (modeObserver_)
        modeObserver_(mode);
    if (settings_)
        settings_->SetMode(static_cast<int32_t>(mode));
    ui.SetWaitCursor(false);
}

bool OrvikApp::RequestMode(AppMode mode) {
    if (mode == mode_)
        return false;
    SetModeCommand command(mode);
    command.Execute();
    return true;
}

// --- Auto-play, documents, capture lock -------------------------------------------------

void OrvikApp::DisableAutoCd() {
    if (!settings_)
        return;
    AutoCd::Disable(settings_->GetRegistry());
    autoCdDisabled_ = true;
}

void OrvikApp::EnableAutoCd() {
    if (!settings_)
        return;
    AutoCd::Enable(settings_->GetRegistry());
    autoCdDisabled_ = false;
}

Movie* OrvikApp::OpenDocumentFile(const std::string& path) {
    if (!IsMovieFileName(path))
        return nullptr;
    if (!document_) {
        document_ = new Movie;
        document_->MakeCurrent();
    }
    if (!document_->OpenFromFile(path))
        return nullptr;
    return document_.get();
}

void OrvikApp::SetCaptureRunning(bool running) {
    router_.SetCaptureLock(running);
    AppShell& shell = AppShell::Current();
    if (running)
        shell.BringToFront();
    shell.SetMinimizeBox(!running);
}

void OrvikApp::OnDeactivate() {
    if (router_.IsCaptureLocked())
        AppShell::Current().BringToFront();
}

// --- Hand-over -----------------------------------------------------------------------------

void OrvikApp::ReceiveRequest(const std::string& message) {
    // The single-instance listener's thread: only queue it.
    {
        std::lock_guard<std::mutex> lock(requestsLock_);
        requests_.push_back(message);
    }
    if (requestHook_)
        requestHook_();
}

size_t OrvikApp::PendingRequestCount() const {
    std::lock_guard<std::mutex> lock(requestsLock_);
    return requests_.size();
}

int OrvikApp::ProcessPendingRequests() {
    std::deque<std::string> taken;
    {
        std::lock_guard<std::mutex> lock(requestsLock_);
        taken.swap(requests_);
    }
    for (const std::string& path : taken) {
        AppShell::Current().BringToFront();
        if (!path.empty())
            OpenMovieFile(path);
    }
    return static_cast<int>(taken.size());
}

} // namespace orvik
