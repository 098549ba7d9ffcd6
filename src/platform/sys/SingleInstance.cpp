#include "platform/sys/SingleInstance.h"

#include "platform/fs/Places.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvik {

namespace {

constexpr size_t kMaxMessage = 4096;

bool MakeAddress(const std::string& path, sockaddr_un* addr) {
    memset(addr, 0, sizeof *addr);
    addr->sun_family = AF_UNIX;
    if (path.size() >= sizeof addr->sun_path)
        return false;
    memcpy(addr->sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool WriteAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Connects to a running instance; -1 when nobody listens.
int Connect(const sockaddr_un& addr) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

std::string SingleInstance::SocketPathIn(const std::string& folder) {
    return JoinPath(folder, "orvik.sock");
}

SingleInstance::~SingleInstance() { Release(); }

SingleInstance::Result SingleInstance::Acquire(const std::string& folder,
                                               const std::string& message,
                                               MessageHandler handler, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return failed;
    };
    if (!Places::EnsureFolder(folder, error))
        return failed;
    std::string path = SocketPathIn(folder);
    sockaddr_un addr;
    if (!MakeAddress(path, &addr))
        return fail(path + ": path too long for a socket");

    for (int attempt = 0; attempt < 2; ++attempt) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return fail(std::string("socket: ") + strerror(errno));
        if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::listen(fd, 8) == 0) {
            if (::pipe2(wakeFd_, O_CLOEXEC) != 0) {
                ::close(fd);
                ::unlink(path.c_str());
                return fail(std::string("pipe: ") + strerror(errno));
            }
            listenFd_ = fd;
            path_ = path;
            handler_ = std::move(handler);
            listener_ = std::thread([this] { Listen(); });
            return first;
        }
        int bindError = errno;
        ::close(fd);
        if (bindError != EADDRINUSE)
            return fail(path + ": " + strerror(bindError));
        int peer = Connect(addr);
        if (peer >= 0) {
            bool sent = WriteAll(peer, message.data(), message.size());
            ::close(peer);
            if (!sent)
                return fail("the running instance did not take the message");
            return another;
        }
        // Nobody answers: a socket left by a crashed run.
        ::unlink(path.c_str());
    }
    return fail(path + ": cannot take over the socket");
}

void SingleInstance::Listen() {
    // Runs on the listener thread until Release writes to the wake pipe.
    for (;;) {
        pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        int conn = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0)
            continue;
        // A later start writes its message and closes; a peer that stalls
        // is given one second.
        std::string message;
        char buffer[512];
        for (;;) {
            pollfd p = {conn, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                break;
            ssize_t n = ::recv(conn, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            message.append(buffer, static_cast<size_t>(n));
            if (message.size() > kMaxMessage) {
                message.clear();
                break;
            }
        }
        ::close(conn);
        if (handler_)
            handler_(message);
    }
}

void SingleInstance::Release() {
    if (listener_.joinable()) {
        char c = 1;
        ssize_t ignored = ::write(wakeFd_[1], &c, 1);
        (void)ignored;
        listener_.join();
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        ::unlink(path_.c_str());
    }
    for (int& fd : wakeFd_) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

} // namespace orvik
