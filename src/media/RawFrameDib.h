#pragma once

#include "imaging/Dib.h"

#include <cstdint>
#include <vector>

namespace orvik {

// A frame as a video stream stores it (often a compressed picture) with the
// stream format in effect for it: the header block is the format, the pixels
// are the stored bytes. The image keeps its own copies of both, so it stays
// valid whatever its reader does next.
class RawFrameDib : public Dib {
public:
    // `format` starts with a 40-byte picture header (shorter formats are
    // padded with zeros); the header's image size is set to the byte count.
    RawFrameDib(std::vector<uint8_t> format, std::vector<uint8_t> bytes);
    ~RawFrameDib() override;

    const std::vector<uint8_t>& Format() const { return format_; }
    const std::vector<uint8_t>& Bytes() const { return bytes_; }

private:
    std::vector<uint8_t> format_;
    std::vector<uint8_t> bytes_;
};

} // namespace orvik
