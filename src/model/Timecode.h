#pragma once

#include <cstdint>
#include <string>

namespace orvik {

class Archive;

// Movie time: a signed count of timecode frames at the time base's frames per
// second (30 for NTSC, 25 for PAL). Every position and length in the model is
// one; it carries no rate of its own.
using Time = int32_t;

// Media time: a signed count of 100 ns, used by the engine and the readers.
using MediaTime = int64_t;

// The process-wide time base and the conversions between movie time, video
// samples, milliseconds and media time, with their text forms.
//
// The base is read by engine threads while the user-interface thread may
// change it: every read takes one consistent snapshot.
//
// Rounding: integer divisions truncate toward zero. The video rate is kept
// exactly as a fraction (rate / scale), so half-rate PAL is 12.5 samples per
// second, not 12. Results that would not fit a Time saturate at its limits.
class Timecode {
public:
    static constexpr int32_t kUnitsPerSecond = 10000000; // media time per second
    static constexpr MediaTime kNudge = 20000;           // 2 ms, see ToMediaTime
    static constexpr MediaTime kFromMediaMargin = 10000; // 1 ms, see FromMediaTime
    static constexpr int32_t kMaxFramesPerSample = 1000000;

    struct Parts {
        int32_t hours = 0, minutes = 0, seconds = 0, frames = 0;
        bool operator==(const Parts&) const = default;
    };

    static int32_t GetFramesPerSecond();
    static int32_t GetFramesPerSample();
    // Video samples per second of the media.
    static double GetVideoRate();
    // The video rate as the exact fraction it is kept as.
    static void GetVideoRate(int64_t& rate, int64_t& scale);

    // Frames per second 25 for standards 1 and 2, else 30; the video rate
    // becomes frames per second / frames per sample, exactly.
    static void SetStandard(int32_t standard);
    // 1 when the capture hardware records full frame rate, 2 at half rate.
    // Values outside 1 … kMaxFramesPerSample are refused (false).
    static bool SetFramesPerSample(int32_t framesPerSample);
    // Sets the media's video rate and derives frames per sample from it:
    // n = framesPerSecond / videoRate + 0.5, truncated. A rate that gives no
    // whole sample (n = 0), or is not a positive finite number, is refused
    // with "Timecode::SetVideoRate: Invalid video_rate\n" and changes nothing.
    // A new n is logged as "Timecode::SetVideoRate: frames_per_sample = %d\n".
    // Rates above 1000 samples per second are refused as well.
    static bool SetVideoRate(double videoRate);
    // The same for an exact rate of rate / scale samples per second.
    static bool SetVideoRate(int64_t rate, int64_t scale);
    // Back to the initial base: 30 frames per second, 2 frames per sample,
    // 14.985 samples per second.
    static void Reset();

    // Samples: t / framesPerSample; n × framesPerSample.
    static int32_t ToSample(Time t);
    static Time FromSample(int64_t sample);
    // Milliseconds: t × 1000 / framesPerSecond; ms × framesPerSecond / 1000.
    static int64_t ToMilliseconds(Time t);
    static Time FromMilliseconds(int64_t ms);
    // t × 10 000 000 / (framesPerSample × videoRate), truncated, then
    // + nudge × 2 ms (callers pass 0, or 1 to land safely inside a frame).
    static MediaTime ToMediaTime(Time t, int32_t nudge = 0);
    // (v + 1 ms) × framesPerSample × videoRate / 10 000 000, truncated: a media
    // time a little before a frame boundary still maps to that frame.
    static Time FromMediaTime(MediaTime v);

    static Time FromParts(int64_t hours, int64_t minutes, int64_t seconds, int64_t frames);
    static Time FromSeconds(int64_t seconds, int64_t frames);
    static int32_t Hours(Time t);
    static int32_t Minutes(Time t);
    static int32_t Seconds(Time t);
    static int32_t Frames(Time t);
    static Parts Split(Time t);

    // Replace one field of t and rebuild it. Hours above 99 become 0, minutes
    // and seconds above 59 become 0, frames above framesPerSecond − 1 become
    // framesPerSecond − 1; a negative field becomes 0.
    static Time SetHours(Time t, int32_t hours);
    static Time SetMinutes(Time t, int32_t minutes);
    static Time SetSeconds(Time t, int32_t seconds);
    static Time SetFrames(Time t, int32_t frames);

    // "H:MM:SS.FF"; a negative time is "-" and the form of its magnitude.
    static std::string Format(Time t);
    // Format with every leading '0' and ':' removed (zero is ".00").
    static std::string FormatShort(Time t);
    // "HH:MM:SS:FF" of `frames` at `framesPerSecond`; unless `keepLeading`,
    // leading '0' and ':' characters are removed but the last one stays.
    // A rate below 1 (a damaged scene file) is logged and the base's used.
    static std::string FormatTimecode(int64_t frames, int32_t framesPerSecond, bool keepLeading);

    // The value as 4 bytes.
    static void Serialize(Archive& ar, Time& t);
};

} // namespace orvik
