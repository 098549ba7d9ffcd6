#pragma once

// Helpers shared by the media platform tests: they make test files with
// ffmpeg and sox in the test's home and read back what ffmpeg itself makes
// of them. Header-only so that the codec and acm test programs use them too.

#include "support/TestHome.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace orvik::test {

// Runs a shell command; its error output goes to the test's home.
inline bool Run(const std::string& command) {
    std::string line = command + " 2>>" + InHome("tools.log");
    return std::system(line.c_str()) == 0;
}

// The log of the tools run so far, for failure messages.
inline std::string ToolLog() {
    return ReadFile(InHome("tools.log"));
}

// Makes `name` in the test's home with ffmpeg; returns its path, or an empty
// text when ffmpeg failed.
inline std::string Ffmpeg(const std::string& name, const std::string& args) {
    std::string path = InHome(name);
    if (!Run("ffmpeg -nostdin -v error -y " + args + " " + path))
        return {};
    return path;
}

// Makes `name` with sox (`args` are the output options and effects around
// the file name: "-n <opts> {} synth ...").
inline std::string Sox(const std::string& name, const std::string& before,
                       const std::string& after) {
    std::string path = InHome(name);
    if (!Run("sox " + before + " " + path + " " + after))
        return {};
    return path;
}

inline std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// What ffmpeg writes for `input` with the output options `args` (for example
// "-map 0:v -c copy -f data", "-f rawvideo -pix_fmt bgr24").
inline std::vector<uint8_t> FfmpegOutput(const std::string& input, const std::string& args) {
    std::string out = InHome("ffmpeg-output.bin");
    if (!Run("ffmpeg -nostdin -v error -y -i " + input + " " + args + " " + out))
        return {};
    return ReadBytes(out);
}

// One line per packet of the first stream selected by `select` ("v:0",
// "a:0"), as key=value maps of ffprobe's packet fields size, pos and flags.
inline std::vector<std::map<std::string, std::string>> FfprobePackets(const std::string& input,
                                                                      const std::string& select) {
    std::string out = InHome("ffprobe-packets.txt");
    std::vector<std::map<std::string, std::string>> packets;
    if (!Run("ffprobe -v error -select_streams " + select +
             " -show_entries packet=size,pos,flags -of compact=p=0 " + input + " >" + out))
        return packets;
    std::istringstream lines(ReadFile(out));
    std::string line;
    while (std::getline(lines, line)) {
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '|')) {
            auto eq = part.find('=');
            if (eq != std::string::npos)
                fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        packets.push_back(fields);
    }
    return packets;
}

inline uint32_t LE32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}
inline void SetLE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void SetLE16(std::vector<uint8_t>& b, size_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

// Offset of the first chunk header with identifier `id` at or after `from`,
// found by a plain byte search (test files are small and known); npos when
// there is none.
inline size_t FindId(const std::vector<uint8_t>& b, const char* id, size_t from = 0) {
    for (size_t i = from; i + 4 <= b.size(); ++i)
        if (b[i] == uint8_t(id[0]) && b[i + 1] == uint8_t(id[1]) && b[i + 2] == uint8_t(id[2]) &&
            b[i + 3] == uint8_t(id[3]))
            return i;
    return std::string::npos;
}

} // namespace orvik::test
