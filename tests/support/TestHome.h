#pragma once

#include <string>

namespace orvik::test {

// The temporary ORVIK_HOME of the running test (made fresh for each test and
// removed after it).
const std::string& Home();

// A path inside the test's home.
std::string InHome(const std::string& name);

// Reads a whole file; empty when it cannot be read.
std::string ReadFile(const std::string& path);

// Waits for `condition` with a deadline, polling; true when it held.
template <class F> bool WaitFor(F condition, int timeoutMs = 10000);

bool WaitForImpl(bool (*check)(void*), void* context, int timeoutMs);

template <class F> bool WaitFor(F condition, int timeoutMs) {
    return WaitForImpl([](void* c) { return (*static_cast<F*>(c))(); }, &condition, timeoutMs);
}

} // namespace orvik::test
