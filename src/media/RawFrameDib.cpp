#include "media/RawFrameDib.h"

#include <cstring>

namespace orvik {

RawFrameDib::RawFrameDib(std::vector<uint8_t> format, std::vector<uint8_t> bytes)
    : format_(std::move(format)), bytes_(std::move(bytes)) {
    if (format_.size() < sizeof(BitmapInfoHeader))
        format_.resize(sizeof(BitmapInfoHeader), 0);
    auto* header = reinterpret_cast<BitmapInfoHeader*>(format_.data());
    header->sizeImage = static_cast<uint32_t>(bytes_.size());
    // A frame with no bytes (a dropped frame) still has a place to point at.
    if (bytes_.empty())
        bytes_.reserve(1);
    Attach(header, bytes_.data());
}

// The base would otherwise look at the header after these buffers are gone.
RawFrameDib::~RawFrameDib() { Release(); }

} // namespace orvik
