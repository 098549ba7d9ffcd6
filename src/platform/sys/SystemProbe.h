#pragma once

#include <cstdint>
#include <string>

namespace orvik {

// What this machine is, for the diagnostics log's machine lines and the
// start-up checks. Every field has a plain "unknown" value when its probe
// finds nothing.
struct SystemProbe {
    // Kernel release, split as major.minor and the patch level.
    int kernelMajor = 0, kernelMinor = 0, kernelPatch = 0;
    std::string kernelName;   // "Linux"
    std::string distribution; // "Debian GNU/Linux 12 (bookworm)", or empty
    std::string cpuVendor;    // "GenuineIntel", "AuthenticAMD", … or empty
    bool cpuIdentified = false;
    uint32_t cpuFamily = 0;
    uint32_t cpuMhz = 0;         // 0 when unknown
    uint32_t cpuFeatures = 0;    // the processor's standard feature flags
    uint64_t memoryBytes = 0;    // physical memory
    bool hasDisplay = false;     // an X11 or Wayland display is reachable
    bool hasSoundDevice = false; // sound can be played (see SoundOutputAvailable)

    static SystemProbe Read();
};

// Bytes that can be allocated and touched now: tries one block of `bytes`.
bool CanAllocate(uint64_t bytes);

} // namespace orvik
