#include "app/DiagnosticsLog.h"

#include "platform/fs/Places.h"
#include "platform/sys/SystemProbe.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

namespace orvik {

namespace {

constexpr size_t kBufferSize = 512;

struct Log {
    std::mutex lock;
    FILE* file = nullptr;
    std::string path;
};

Log& TheLog() {
    // Never destroyed: threads may still log while the process exits.
    static Log* log = new Log;
    return *log;
}

void WriteLocked(Log& log, const char* text, size_t n) {
    if (!log.file)
        return;
    fwrite(text, 1, n, log.file);
    fflush(log.file);
}

void Write(const char* format, ...) __attribute__((format(printf, 1, 2)));

void VWrite(const char* format, va_list args) {
    char buffer[kBufferSize];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(buffer, sizeof buffer, format, copy);
    va_end(copy);
    if (n < 0)
        return;
    size_t len = static_cast<size_t>(n);
    if (len >= sizeof buffer) {
        // Cut to 511 characters; a message meant to end its line still does.
        len = sizeof buffer - 1;
        size_t f = strlen(format);
        if (f > 0 && format[f - 1] == '\n')
            buffer[len - 1] = '\n';
    }
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    WriteLocked(log, buffer, len);
}

void Write(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VWrite(format, args);
    va_end(args);
}

std::string CpuFamilyText(const SystemProbe& p) {
    char text[64];
    if (p.cpuVendor.empty() && p.cpuFamily == 0)
        return std::string();
    if (p.cpuIdentified && p.cpuVendor != "GenuineIntel")
        snprintf(text, sizeof text, "Intel Clone CPU Family : %x", p.cpuFamily);
    else if (p.cpuIdentified)
        snprintf(text, sizeof text, "Genuine Intel CPU Family : %x", p.cpuFamily);
    else
        snprintf(text, sizeof text, "CPU Family : %x", p.cpuFamily);
    return text;
}

std::string CpuSpeedText(const SystemProbe& p) {
    if (p.cpuMhz == 0)
        return std::string();
    char text[32];
    snprintf(text, sizeof text, "CPU speed %u MHz", p.cpuMhz);
    return text;
}

std::string CpuFeatureText(const SystemProbe& p) {
    if (!p.cpuIdentified)
        return std::string();
    char text[80];
    if (p.cpuFeatures & (1u << 23))
        snprintf(text, sizeof text, " with MMX(TM) technology. Feature flags %.8x", p.cpuFeatures);
    else
        snprintf(text, sizeof text, "Feature flags %.8x", p.cpuFeatures);
    return text;
}

} // namespace

void LogMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    VWrite(format, args);
    va_end(args);
}

bool OpenLog(const std::string& folder, int updateVersion, const std::string& appTitle) {
    CloseLog();
    if (!Places::EnsureFolder(folder))
        return false;
    std::string path = JoinPath(folder, "Message.log");
    FILE* f = fopen(path.c_str(), "w");
    if (!f)
        return false;
    {
        Log& log = TheLog();
        std::lock_guard<std::mutex> guard(log.lock);
        log.file = f;
        log.path = path;
    }

    time_t now = time(nullptr);
    struct tm local;
    localtime_r(&now, &local);
    char date[16], clock[16];
    strftime(date, sizeof date, "%m/%d/%y", &local);
    strftime(clock, sizeof clock, "%H:%M:%S", &local);
    Write("Torvane %s Debug Message Log, created %s at %s\n\n", appTitle.c_str(), date, clock);
    if (updateVersion < 0)
        updateVersion = 0;
    Write("Caderna Application software version %d.%02d\n", updateVersion / 100,
          updateVersion % 100);

    SystemProbe p = SystemProbe::Read();
    if (p.distribution.empty())
        Write("%s %d.%d (Build %d)\n", p.kernelName.empty() ? "Linux" : p.kernelName.c_str(),
              p.kernelMajor, p.kernelMinor, p.kernelPatch & 0xFFFF);
    else
        Write("%s %d.%d (Build %d) %s\n", p.kernelName.empty() ? "Linux" : p.kernelName.c_str(),
              p.kernelMajor, p.kernelMinor, p.kernelPatch & 0xFFFF, p.distribution.c_str());
    Write("%s\n", CpuFamilyText(p).c_str());
    Write("%s%s\n", CpuSpeedText(p).c_str(), CpuFeatureText(p).c_str());
    // No DirectX on this platform: the version reads as zeros.
    Write("DirectX %d - version is %d.%d.%d.%d\n", 0, 0, 0, 0, 0);
    Write(p.hasSoundDevice ? "DirectSound driver supported\n"
                           : "** DirectSound driver NOT supported\n");
    Write(p.hasDisplay ? "DirectDraw driver supported\n" : "** DirectDraw driver NOT supported\n");
    return true;
}

void CloseLog() {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    if (log.file)
        fclose(log.file);
    log.file = nullptr;
    log.path.clear();
}

bool IsLogOpen() {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.file != nullptr;
}

std::string LogPath() {
    Log& log = TheLog();
    std::lock_guard<std::mutex> guard(log.lock);
    return log.path;
}

} // namespace orvik
