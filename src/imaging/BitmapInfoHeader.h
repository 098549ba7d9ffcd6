#pragma once

// The bitmap information header and colour-table entry of images. The
// header is one type with the picture format the video file layer reads
// from stream formats, so frames attach to images without conversion.
#include "imaging/RgbQuad.h"
#include "platform/avi/BitmapInfoHeader.h"
#include "platform/avi/FourCC.h"
