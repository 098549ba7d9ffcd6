#include "platform/board/BoardCodec.h"

#include <cctype>

namespace orvik {

bool IsBoardCodecName(const std::string& compressorName) {
    std::string upper = compressorName;
    for (char& c : upper)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    bool mjpeg = upper.find("MJPEG") != std::string::npos ||
                 upper.find("M-JPEG") != std::string::npos;
    bool board = upper.find("KVR") != std::string::npos || upper.find("QX") != std::string::npos;
    return mjpeg && board;
}

} // namespace orvik
