#include "ImagingTestSupport.h"

#include "app/DiagnosticsLog.h"
#include "support/TestHome.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace orvik::test {

void OpenTestLog() {
    OpenLog(Home(), 0);
}

std::string LogText() {
    return ReadFile(LogPath());
}

bool LogHas(const std::string& line) {
    return LogText().find(line) != std::string::npos;
}

RefPtr<Dib> MakeGrey8(const std::vector<std::vector<int>>& rows) {
    RefPtr<Dib> d = new Dib;
    d->Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 8);
    d->SetColorRamp(256, Rgb(0, 0, 0), Rgb(255, 255, 255));
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x)
            *d->PixelAddress(static_cast<int>(x), static_cast<int>(y)) =
                static_cast<uint8_t>(rows[y][x]);
    return d;
}

RefPtr<Dib> Make24(const std::vector<std::vector<uint32_t>>& rows) {
    RefPtr<Dib> d = new Dib;
    d->Create(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()), 24);
    for (size_t y = 0; y < rows.size(); ++y)
        for (size_t x = 0; x < rows[y].size(); ++x) {
            uint8_t* p = d->PixelAddress(static_cast<int>(x), static_cast<int>(y));
            ColorRef c = rows[y][x];
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
        }
    return d;
}

std::vector<std::vector<uint32_t>> PixelsOf(const Dib& dib) {
    std::vector<std::vector<uint32_t>> out(dib.AbsHeight());
    for (int y = 0; y < dib.AbsHeight(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            out[y].push_back(dib.GetPixel(x, y));
    return out;
}

std::vector<std::vector<int>> Bytes8(const Dib& dib) {
    std::vector<std::vector<int>> out(dib.AbsHeight());
    for (int y = 0; y < dib.AbsHeight(); ++y)
        for (int x = 0; x < dib.Width(); ++x)
            out[y].push_back(*dib.PixelAddress(x, y));
    return out;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> RunCommand(const std::string& command, int* status) {
    std::vector<uint8_t> out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        if (status)
            *status = -1;
        return out;
    }
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.insert(out.end(), buf, buf + n);
    int rc = pclose(p);
    if (status)
        *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string ImageMagickConvert() {
    // A stand-in "convert" earlier on the path may not be ImageMagick: ask
    // each candidate for its version.
    for (const char* c : {"convert-im6.q16", "/usr/bin/convert", "magick", "convert"}) {
        int status = 0;
        std::vector<uint8_t> v = RunCommand(std::string(c) + " -version 2>/dev/null", &status);
        std::string text(v.begin(), v.end());
        if (status == 0 && text.find("ImageMagick") != std::string::npos)
            return c;
    }
    return std::string();
}

void PutU16(std::vector<uint8_t>& v, uint16_t x) {
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}

void PutU32(std::vector<uint8_t>& v, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}

uint32_t GetU32(const std::vector<uint8_t>& v, size_t at) {
    return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

uint16_t GetU16(const std::vector<uint8_t>& v, size_t at) {
    return static_cast<uint16_t>(v[at] | (v[at + 1] << 8));
}

} // namespace orvik::test
