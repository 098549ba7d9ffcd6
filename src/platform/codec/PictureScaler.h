#pragma once

#include "platform/codec/DecodeTarget.h"

#include <cstdint>

struct SwsContext;

namespace orvik {

// Converts and scales a decoded picture (any libavutil pixel format, rows
// top-down) into a DecodeTarget with libswscale. Keeps its scaler between
// calls of the same shape.
class PictureScaler {
public:
    PictureScaler() = default;
    ~PictureScaler();
    PictureScaler(const PictureScaler&) = delete;
    PictureScaler& operator=(const PictureScaler&) = delete;

    // `pixelFormat` is an AVPixelFormat; `fullRange` marks JPEG-range YUV
    // given in a plain YUV format.
    bool Convert(const uint8_t* const planes[], const int strides[], int pixelFormat, int width,
                 int height, const DecodeTarget& out, bool fullRange = false);

private:
    SwsContext* context_ = nullptr;
};

} // namespace orvik
