#pragma once

#include <string>

namespace orvik {

// What a movie format needs to know of the installed video compressors. The
// application's compressor list answers it once it exists; until one is
// registered with MovieFormat::SetCompressorList, the operations that need it
// log that it is missing and leave the format as it was.
class IVideoCompressorList {
public:
    virtual ~IVideoCompressorList() = default;
    // Whether a compressor of exactly this name (byte for byte) is installed.
    virtual bool HasCompressor(const std::string& name) const = 0;
    // The name of the board's own motion-JPEG compressor, or empty when none
    // is installed.
    virtual std::string BoardCompressorName() const = 0;
};

} // namespace orvik
