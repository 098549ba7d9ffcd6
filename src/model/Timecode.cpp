#include "model/Timecode.h"

#include "app/DiagnosticsLog.h"
#include "platform/archive/Archive.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <numeric>

namespace orvik {

namespace {

struct TimeBase {
    int32_t framesPerSecond = 30;
    int32_t framesPerSample = 2;
    // Video rate as rate / scale samples per second, reduced.
    int64_t rate = 14985;
    int64_t scale = 1000;
};

std::mutex& BaseLock() {
    static std::mutex lock;
    return lock;
}

TimeBase& Base() {
    static TimeBase base;
    return base;
}

TimeBase Snapshot() {
    std::lock_guard<std::mutex> guard(BaseLock());
    return Base();
}

Time Saturate(__int128 v) {
    if (v > std::numeric_limits<Time>::max())
        return std::numeric_limits<Time>::max();
    if (v < std::numeric_limits<Time>::min())
        return std::numeric_limits<Time>::min();
    return static_cast<Time>(v);
}

void Reduce(int64_t& rate, int64_t& scale) {
    int64_t g = std::gcd(rate, scale);
    if (g > 1) {
        rate /= g;
        scale /= g;
    }
}

// Frames per sample for a rate of rate / scale at `fps`: fps / rate + 0.5,
// truncated, in exact integer arithmetic. -1 when it does not fit.
int64_t SamplesFor(int32_t fps, int64_t rate, int64_t scale) {
    // fps × scale / rate + 1/2 = (2 × fps × scale + rate) / (2 × rate)
    __int128 n =
        (static_cast<__int128>(2) * fps * scale + rate) / (static_cast<__int128>(2) * rate);
    if (n > std::numeric_limits<int32_t>::max())
        return -1;
    return static_cast<int64_t>(n);
}

// Rates and scales are kept at or below this, so every conversion stays
// within 128-bit arithmetic.
constexpr int64_t kMaxRateTerm = 1000000000;
constexpr double kMaxVideoRate = 1000.0;

bool ApplyVideoRate(int64_t rate, int64_t scale) {
    if (rate <= 0 || scale <= 0)
        return false;
    Reduce(rate, scale);
    if (rate > kMaxRateTerm || scale > kMaxRateTerm) {
        // Kept to a millionth of a sample per second.
        double r = static_cast<double>(rate) / static_cast<double>(scale);
        if (r > kMaxVideoRate)
            return false;
        rate = std::llround(r * 1e6);
        scale = 1000000;
        if (rate <= 0)
            return false;
        Reduce(rate, scale);
    }
    int64_t n = 0;
    bool changed = false;
    {
        std::lock_guard<std::mutex> guard(BaseLock());
        TimeBase& b = Base();
        n = SamplesFor(b.framesPerSecond, rate, scale);
        // The rate is checked before anything is stored: a refused rate leaves
        // the base as it was.
        if (n <= 0)
            return false;
        b.rate = rate;
        b.scale = scale;
        if (n != b.framesPerSample) {
            b.framesPerSample = static_cast<int32_t>(n);
            changed = true;
        }
    }
    if (changed)
        LogMessage("Timecode::SetVideoRate: frames_per_sample = %d\n", static_cast<int>(n));
    return true;
}

bool SetRateOrLog(int64_t rate, int64_t scale) {
    if (ApplyVideoRate(rate, scale))
        return true;
    LogMessage("Timecode::SetVideoRate: Invalid video_rate\n");
    return false;
}

std::string StripLeading(std::string text, bool keepLast) {
    size_t i = 0;
    size_t limit = keepLast ? text.size() - 1 : text.size();
    while (i < limit && (text[i] == '0' || text[i] == ':'))
        ++i;
    return text.substr(i);
}

std::string FormatMagnitude(int64_t t, int32_t fps) {
    int64_t h = t / (static_cast<int64_t>(fps) * 3600);
    int64_t m = t / (static_cast<int64_t>(fps) * 60) % 60;
    int64_t s = t / fps % 60;
    int64_t f = t % fps;
    char text[64];
    snprintf(text, sizeof text, "%01lld:%02lld:%02lld.%02lld", static_cast<long long>(h),
             static_cast<long long>(m), static_cast<long long>(s), static_cast<long long>(f));
    return text;
}

Time Rebuild(Time t, int field, int32_t value) {
    int32_t fps = Timecode::GetFramesPerSecond();
    Timecode::Parts p = Timecode::Split(t);
    if (value < 0)
        value = 0;
    switch (field) {
    case 0:
        p.hours = value > 99 ? 0 : value;
        break;
    case 1:
        p.minutes = value > 59 ? 0 : value;
        break;
    case 2:
        p.seconds = value > 59 ? 0 : value;
        break;
    default:
        p.frames = value > fps - 1 ? fps - 1 : value;
        break;
    }
    return Timecode::FromParts(p.hours, p.minutes, p.seconds, p.frames);
}

} // namespace

int32_t Timecode::GetFramesPerSecond() {
    return Snapshot().framesPerSecond;
}
int32_t Timecode::GetFramesPerSample() {
    return Snapshot().framesPerSample;
}

double Timecode::GetVideoRate() {
    TimeBase b = Snapshot();
    return static_cast<double>(b.rate) / static_cast<double>(b.scale);
}

void Timecode::GetVideoRate(int64_t& rate, int64_t& scale) {
    TimeBase b = Snapshot();
    rate = b.rate;
    scale = b.scale;
}

void Timecode::SetStandard(int32_t standard) {
    std::lock_guard<std::mutex> guard(BaseLock());
    TimeBase& b = Base();
    b.framesPerSecond = (standard == 1 || standard == 2) ? 25 : 30;
    b.rate = b.framesPerSecond;
    b.scale = b.framesPerSample;
    Reduce(b.rate, b.scale);
}

bool Timecode::SetFramesPerSample(int32_t framesPerSample) {
    if (framesPerSample < 1 || framesPerSample > kMaxFramesPerSample)
        return false;
    std::lock_guard<std::mutex> guard(BaseLock());
    Base().framesPerSample = framesPerSample;
    return true;
}

bool Timecode::SetVideoRate(double videoRate) {
    if (!std::isfinite(videoRate) || videoRate <= 0 || videoRate > kMaxVideoRate)
        return SetRateOrLog(0, 1);
    // Kept to a millionth of a sample per second: 29.97 stays 2997 / 100.
    return SetRateOrLog(std::llround(videoRate * 1e6), 1000000);
}

bool Timecode::SetVideoRate(int64_t rate, int64_t scale) {
    return SetRateOrLog(rate, scale);
}

void Timecode::Reset() {
    std::lock_guard<std::mutex> guard(BaseLock());
    Base() = TimeBase();
}

int32_t Timecode::ToSample(Time t) {
    return t / GetFramesPerSample();
}

Time Timecode::FromSample(int64_t sample) {
    return Saturate(static_cast<__int128>(sample) * GetFramesPerSample());
}

int64_t Timecode::ToMilliseconds(Time t) {
    return static_cast<int64_t>(t) * 1000 / GetFramesPerSecond();
}

Time Timecode::FromMilliseconds(int64_t ms) {
    return Saturate(static_cast<__int128>(ms) * GetFramesPerSecond() / 1000);
}

MediaTime Timecode::ToMediaTime(Time t, int32_t nudge) {
    TimeBase b = Snapshot();
    // t × 10^7 / (framesPerSample × rate / scale), exact, truncated.
    __int128 v = static_cast<__int128>(t) * kUnitsPerSecond * b.scale /
                 (static_cast<__int128>(b.framesPerSample) * b.rate);
    return static_cast<MediaTime>(v) + static_cast<MediaTime>(nudge) * kNudge;
}

Time Timecode::FromMediaTime(MediaTime v) {
    TimeBase b = Snapshot();
    __int128 shifted = static_cast<__int128>(v) + kFromMediaMargin;
    return Saturate(shifted * b.framesPerSample * b.rate /
                    (static_cast<__int128>(b.scale) * kUnitsPerSecond));
}

Time Timecode::FromParts(int64_t hours, int64_t minutes, int64_t seconds, int64_t frames) {
    __int128 secs = static_cast<__int128>(seconds) + static_cast<__int128>(minutes) * 60 +
                    static_cast<__int128>(hours) * 3600;
    return Saturate(frames + secs * GetFramesPerSecond());
}

Time Timecode::FromSeconds(int64_t seconds, int64_t frames) {
    return Saturate(static_cast<__int128>(frames) +
                    static_cast<__int128>(seconds) * GetFramesPerSecond());
}

int32_t Timecode::Hours(Time t) {
    return t / (GetFramesPerSecond() * 3600);
}
int32_t Timecode::Minutes(Time t) {
    return t / (GetFramesPerSecond() * 60) % 60;
}
int32_t Timecode::Seconds(Time t) {
    return t / GetFramesPerSecond() % 60;
}
int32_t Timecode::Frames(Time t) {
    return t % GetFramesPerSecond();
}

Timecode::Parts Timecode::Split(Time t) {
    int32_t fps = GetFramesPerSecond();
    Parts p;
    p.hours = t / (fps * 3600);
    p.minutes = t / (fps * 60) % 60;
    p.seconds = t / fps % 60;
    p.frames = t % fps;
    return p;
}

Time Timecode::SetHours(Time t, int32_t hours) {
    return Rebuild(t, 0, hours);
}
Time Timecode::SetMinutes(Time t, int32_t minutes) {
    return Rebuild(t, 1, minutes);
}
Time Timecode::SetSeconds(Time t, int32_t seconds) {
    return Rebuild(t, 2, seconds);
}
Time Timecode::SetFrames(Time t, int32_t frames) {
    return Rebuild(t, 3, frames);
}

std::string Timecode::Format(Time t) {
    int32_t fps = GetFramesPerSecond();
    int64_t v = t;
    if (v < 0)
        return "-" + FormatMagnitude(-v, fps);
    return FormatMagnitude(v, fps);
}

std::string Timecode::FormatShort(Time t) {
    int32_t fps = GetFramesPerSecond();
    int64_t v = t;
    if (v < 0)
        return "-" + StripLeading(FormatMagnitude(-v, fps), false);
    return StripLeading(FormatMagnitude(v, fps), false);
}

std::string Timecode::FormatTimecode(int64_t frames, int32_t framesPerSecond, bool keepLeading) {
    if (framesPerSecond < 1) {
        LogMessage("Timecode::FormatTimecode: invalid frame rate %d\n",
                   static_cast<int>(framesPerSecond));
        framesPerSecond = GetFramesPerSecond();
    }
    bool negative = frames < 0;
    // The magnitude of the most negative count does not fit: one frame less
    // changes nothing that can be shown.
    uint64_t v =
        negative ? static_cast<uint64_t>(-(frames + 1)) + 1 : static_cast<uint64_t>(frames);
    uint64_t fps = static_cast<uint64_t>(framesPerSecond);
    char text[96];
    snprintf(text, sizeof text, "%02llu:%02llu:%02llu:%02llu",
             static_cast<unsigned long long>(v / (fps * 3600)),
             static_cast<unsigned long long>(v / (fps * 60) % 60),
             static_cast<unsigned long long>(v / fps % 60),
             static_cast<unsigned long long>(v % fps));
    std::string out = keepLeading ? std::string(text) : StripLeading(text, true);
    return negative ? "-" + out : out;
}

void Timecode::Serialize(Archive& ar, Time& t) {
    if (ar.IsStoring())
        ar.WriteInt32(t);
    else
        t = ar.ReadInt32();
}

} // namespace orvik
