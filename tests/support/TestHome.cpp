#include "support/TestHome.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace orvik::test {

namespace detail {
std::string home;
}

const std::string& Home() { return detail::home; }

std::string InHome(const std::string& name) { return detail::home + "/" + name; }

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool WaitForImpl(bool (*check)(void*), void* context, int timeoutMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (check(context))
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

} // namespace orvik::test
