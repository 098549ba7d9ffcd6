#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace orvik {

// Keeps a second copy of the program from running: the first start listens
// on a Unix-domain socket in the runtime folder; a later start finds it there,
// hands it its message (the file to open, or nothing) and ends. A socket left
// behind by a crash is noticed (nobody answers) and replaced.
class SingleInstance {
public:
    // Called on the listener's own thread with each message a later start
    // sent (an empty text when it only wants the first one in front).
    using MessageHandler = std::function<void(const std::string& message)>;

    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum Result { first, another, failed };

    // Becomes the first instance, or finds another one running. With
    // `another`, `message` has been handed to the running instance.
    Result Acquire(const std::string& folder, const std::string& message, MessageHandler handler,
                   std::string* error = nullptr);

    // Stops listening and removes the socket (also done by the destructor).
    void Release();

    const std::string& SocketPath() const { return path_; }

    static std::string SocketPathIn(const std::string& folder);

private:
    void Listen();

    std::string path_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::thread listener_;
    MessageHandler handler_;
};

} // namespace orvik
