// Reads arbitrary bytes as a resource library file.
#include "platform/resources/ResourceLibrary.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvik::ResourceLibrary lib;
    if (lib.Parse(data, size)) {
        lib.Text(50000);
        lib.Find(orvik::ResourceLibrary::bitmap, "PALETTE");
        lib.Count(orvik::ResourceLibrary::data);
    }
    return 0;
}
