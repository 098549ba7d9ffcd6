#include "platform/codec/PictureScaler.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libswscale/swscale.h>
}

namespace orvik {

PictureScaler::~PictureScaler() {
    sws_freeContext(context_);
}

bool PictureScaler::Convert(const uint8_t* const planes[], const int strides[], int pixelFormat,
                            int width, int height, const DecodeTarget& out, bool fullRange) {
    if (!out.IsValid() || width <= 0 || height <= 0)
        return false;
    AVPixelFormat dstFormat = out.bitCount == 8    ? AV_PIX_FMT_GRAY8
                              : out.bitCount == 24 ? AV_PIX_FMT_BGR24
                                                   : AV_PIX_FMT_BGRA;
    context_ = sws_getCachedContext(context_, width, height,
                                    static_cast<AVPixelFormat>(pixelFormat), out.width, out.height,
                                    dstFormat, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!context_)
        return false;
    if (fullRange) {
        int* inv = nullptr;
        int* table = nullptr;
        int srcRange = 0, dstRange = 0, brightness = 0, contrast = 0, saturation = 0;
        if (sws_getColorspaceDetails(context_, &inv, &srcRange, &table, &dstRange, &brightness,
                                     &contrast, &saturation) >= 0)
            sws_setColorspaceDetails(context_, inv, 1, table, dstRange, brightness, contrast,
                                     saturation);
    }
    // Bottom-up: start at the last memory row and step backwards.
    uint8_t* dst[4] = {out.Row(0), nullptr, nullptr, nullptr};
    int dstStride[4] = {-static_cast<int>(out.stride), 0, 0, 0};
    int rows = sws_scale(context_, planes, strides, 0, height, dst, dstStride);
    return rows == out.height;
}

} // namespace orvik
