// Reads arbitrary bytes as the CD player's title file.
#include "platform/registry/IniFile.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvik::IniFile ini;
    ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    ini.Get("3A0F1B12", "title");
    ini.Get("3a0f1b12", "0", "none");
    ini.Has("", "");
    return 0;
}
