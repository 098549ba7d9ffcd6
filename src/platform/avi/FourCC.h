#pragma once

#include <cstdint>
#include <string>

namespace orvik {

// Four-character codes as RIFF stores them: the first character in the low
// byte of a little-endian 32-bit word.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

constexpr uint32_t MakeFourCC(const char (&s)[5]) {
    return MakeFourCC(s[0], s[1], s[2], s[3]);
}

// Printable form for messages: unprintable bytes become '?'.
inline std::string FourCCText(uint32_t code) {
    std::string s(4, ' ');
    for (int i = 0; i < 4; ++i) {
        char c = static_cast<char>((code >> (8 * i)) & 0xFF);
        s[i] = (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

// ASCII upper case of each character, for codes compared without case.
constexpr uint32_t FourCCUpper(uint32_t code) {
    uint32_t r = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t c = (code >> (8 * i)) & 0xFF;
        if (c >= 'a' && c <= 'z')
            c -= 'a' - 'A';
        r |= c << (8 * i);
    }
    return r;
}

} // namespace orvik
