#pragma once

#include <cstdint>

namespace orvik {

// The 140-byte stream information record the media readers keep for an AVI
// stream, field for field as the readers above expect it.
struct AviStreamInfo {
    struct Rect {
        int32_t left = 0;
        int32_t top = 0;
        int32_t right = 0;
        int32_t bottom = 0;
    };

    uint32_t fccType = 0;    // "vids", "auds", ...
    uint32_t fccHandler = 0; // the stream's handler code ("MJPG", ...)
    uint32_t dwFlags = 0;
    uint32_t dwCaps = 0;
    uint16_t wPriority = 0;
    uint16_t wLanguage = 0;
    uint32_t dwScale = 0;
    uint32_t dwRate = 0; // dwRate / dwScale = samples per second
    uint32_t dwStart = 0;
    uint32_t dwLength = 0; // samples (frames, or sound blocks)
    uint32_t dwInitialFrames = 0;
    uint32_t dwSuggestedBufferSize = 0;
    uint32_t dwQuality = 0;
    uint32_t dwSampleSize = 0; // 0: one chunk per sample; else bytes per sample
    Rect rcFrame;
    uint32_t dwEditCount = 0;
    uint32_t dwFormatChangeCount = 0;
    char szName[64] = {};
};

static_assert(sizeof(AviStreamInfo) == 140, "stream information record is 140 bytes");

} // namespace orvik
