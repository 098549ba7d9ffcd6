#include "platform/sys/SystemProbe.h"

#include "platform/audio/SoundOutput.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>
#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace orvik {

namespace {

std::string Trim(std::string s) {
    size_t b = s.find_first_not_of(" \t\"");
    size_t e = s.find_last_not_of(" \t\"\r\n");
    if (b == std::string::npos)
        return std::string();
    return s.substr(b, e - b + 1);
}

std::string OsRelease() {
    std::ifstream in("/etc/os-release");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("PRETTY_NAME=", 0) == 0)
            return Trim(line.substr(12));
    return std::string();
}

void ReadCpuInfo(SystemProbe& p) {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        std::string key = Trim(line.substr(0, colon));
        std::string value = Trim(line.substr(colon + 1));
        if (key == "vendor_id" && p.cpuVendor.empty())
            p.cpuVendor = value;
        else if (key == "cpu family" && p.cpuFamily == 0)
            p.cpuFamily = static_cast<uint32_t>(strtoul(value.c_str(), nullptr, 10));
        else if (key == "cpu MHz" && p.cpuMhz == 0)
            p.cpuMhz = static_cast<uint32_t>(strtod(value.c_str(), nullptr) + 0.5);
    }
    std::ifstream maxFreq("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
    unsigned long khz = 0;
    if (maxFreq >> khz && khz > 0)
        p.cpuMhz = static_cast<uint32_t>(khz / 1000);
}

} // namespace

SystemProbe SystemProbe::Read() {
    SystemProbe p;
    struct utsname u;
    if (uname(&u) == 0) {
        p.kernelName = u.sysname;
        sscanf(u.release, "%d.%d.%d", &p.kernelMajor, &p.kernelMinor, &p.kernelPatch);
    }
    p.distribution = OsRelease();
    ReadCpuInfo(p);
#if defined(__x86_64__) || defined(__i386__)
    unsigned a, b, c, d;
    if (__get_cpuid(0, &a, &b, &c, &d)) {
        char vendor[13];
        memcpy(vendor, &b, 4);
        memcpy(vendor + 4, &d, 4);
        memcpy(vendor + 8, &c, 4);
        vendor[12] = '\0';
        p.cpuVendor = vendor;
        p.cpuIdentified = true;
        if (__get_cpuid(1, &a, &b, &c, &d)) {
            uint32_t family = (a >> 8) & 0xF;
            if (family == 0xF)
                family += (a >> 20) & 0xFF;
            p.cpuFamily = family;
            p.cpuFeatures = d;
        }
    }
#endif
    struct sysinfo si;
    if (sysinfo(&si) == 0)
        p.memoryBytes = static_cast<uint64_t>(si.totalram) * si.mem_unit;
    const char* display = getenv("DISPLAY");
    const char* wayland = getenv("WAYLAND_DISPLAY");
    p.hasDisplay = (display && *display) || (wayland && *wayland);
    p.hasSoundDevice = SoundOutputAvailable();
    return p;
}

bool CanAllocate(uint64_t bytes) {
    void* block = malloc(static_cast<size_t>(bytes));
    if (!block)
        return false;
    free(block);
    return true;
}

} // namespace orvik
