#include "cli/DesktopSession.h"

#include "app/OrvikApp.h"
#include "app/Version.h"
#include "model/Movie.h"
#include "platform/gui/UserInterface.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace orvik {

namespace {

// Wakes the main loop from the single-instance listener's thread.
class WakePipe {
public:
    WakePipe() {
        if (pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0)
            fds_[0] = fds_[1] = -1;
    }
    ~WakePipe() {
        for (int fd : fds_)
            if (fd >= 0)
                close(fd);
    }
    bool Valid() const { return fds_[0] >= 0; }
    int ReadEnd() const { return fds_[0]; }
    // Any thread; async-signal-safe.
    void Wake() const {
        char c = 1;
        ssize_t n = write(fds_[1], &c, 1);
        (void)n; // a full pipe already wakes the loop
    }
    void Drain() const {
        char buffer[64];
        while (read(fds_[0], buffer, sizeof buffer) > 0) {
        }
    }

private:
    int fds_[2] = {-1, -1};
};

void Report(const Movie* movie) {
    if (!movie)
        return;
    const std::string& path = movie->GetPathName();
    if (path.empty())
        fprintf(stderr, "%s: the movie is a new one\n", kProductName);
    else
        fprintf(stderr, "%s: the movie is %s\n", kProductName, path.c_str());
}

} // namespace

int RunDesktopSession(const std::string& openFile) {
    // SIGINT and SIGTERM end the session through the normal exit. They are
    // blocked before any thread starts, so every thread inherits the mask
    // and only the signal descriptor below receives them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigset_t previousMask;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previousMask);
    int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK);
    WakePipe wake;
    if (signalFd < 0 || !wake.Valid()) {
        if (signalFd >= 0)
            close(signalFd);
        pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
        fprintf(stderr, "%s: cannot wait for events: %s\n", kProductName, strerror(errno));
        return 1;
    }

    // Without windows, messages meant for dialog boxes go to the terminal.
    HeadlessUserInterface ui;
    ui.SetEcho(true);
    UserInterface* previousUi = &UserInterface::Current();
    UserInterface::Install(&ui);

    int status = 0;
    {
        OrvikApp::Options options;
        options.openFile = openFile;
        OrvikApp app(options);
        app.SetRequestHook([&wake] { wake.Wake(); });
        if (!app.InitInstance()) {
            bool handedOver = app.GetStartFailure() == OrvikApp::StartFailure::anotherInstance;
            app.ExitInstance();
            if (handedOver) {
                if (openFile.empty())
                    fprintf(stderr, "%s: already running\n", kProductName);
                else
                    fprintf(stderr, "%s: handed %s to the running %s\n", kProductName,
                            openFile.c_str(), kProductName);
            }
            status = handedOver ? 0 : 1;
        } else {
            fprintf(stderr,
                    "%s: running without a window (the desktop window is not built yet); "
                    "`orvik FILE.orv` opens a project here, Ctrl+C ends\n",
                    kProductName);
            Report(app.GetDocument());
            bool running = true;
            while (running) {
                pollfd fds[2] = {{signalFd, POLLIN, 0}, {wake.ReadEnd(), POLLIN, 0}};
                if (poll(fds, 2, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    fprintf(stderr, "%s: cannot wait for events: %s\n", kProductName,
                            strerror(errno));
                    break;
                }
                if (fds[1].revents & POLLIN) {
                    wake.Drain();
                    if (app.ProcessPendingRequests() > 0)
                        Report(app.GetDocument());
                }
                if (fds[0].revents & POLLIN) {
                    signalfd_siginfo info;
                    if (read(signalFd, &info, sizeof info) == sizeof info)
                        running = false;
                }
            }
            status = app.ExitInstance();
        }
    }

    UserInterface::Install(previousUi);
    close(signalFd);
    pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    return status;
}

} // namespace orvik
