#include "platform/avi/BitmapInfoHeader.h"

#include "platform/avi/LittleEndian.h"

namespace orvik {

bool BitmapInfoHeader::Parse(const uint8_t* data, size_t size, BitmapInfoHeader& out,
                             std::string* error) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    if (!data || size < kSize)
        return fail("picture format shorter than 40 bytes");
    BitmapInfoHeader h;
    h.size = GetLE32(data);
    h.width = static_cast<int32_t>(GetLE32(data + 4));
    h.height = static_cast<int32_t>(GetLE32(data + 8));
    h.planes = GetLE16(data + 12);
    h.bitCount = GetLE16(data + 14);
    h.compression = GetLE32(data + 16);
    h.sizeImage = GetLE32(data + 20);
    h.xPelsPerMeter = static_cast<int32_t>(GetLE32(data + 24));
    h.yPelsPerMeter = static_cast<int32_t>(GetLE32(data + 28));
    h.clrUsed = GetLE32(data + 32);
    h.clrImportant = GetLE32(data + 36);
    if (h.width <= 0 || h.width > kMaxDimension)
        return fail("picture width out of range");
    if (h.height == 0 || h.height < -kMaxDimension || h.height > kMaxDimension)
        return fail("picture height out of range");
    if (h.bitCount > 64)
        return fail("picture bit count out of range");
    out = h;
    return true;
}

std::vector<uint8_t> BitmapInfoHeader::Bytes() const {
    std::vector<uint8_t> b(kSize);
    PutLE32(&b[0], size);
    PutLE32(&b[4], static_cast<uint32_t>(width));
    PutLE32(&b[8], static_cast<uint32_t>(height));
    PutLE16(&b[12], planes);
    PutLE16(&b[14], bitCount);
    PutLE32(&b[16], compression);
    PutLE32(&b[20], sizeImage);
    PutLE32(&b[24], static_cast<uint32_t>(xPelsPerMeter));
    PutLE32(&b[28], static_cast<uint32_t>(yPelsPerMeter));
    PutLE32(&b[32], clrUsed);
    PutLE32(&b[36], clrImportant);
    return b;
}

} // namespace orvik
