#pragma once

#include <string>

namespace orvik {

// The board's motion-JPEG codec, as the compression manager lists it: a
// compressor whose upper-case name holds "MJPEG" or "M-JPEG" together with
// "KVR" or "QX". Files it writes carry the compression code "MJPG".
bool IsBoardCodecName(const std::string& compressorName);

inline constexpr const char* kBoardCompression = "MJPG";

} // namespace orvik
