// Builds one resource library file from its source folder:
//   texts.txt      lines "NUMBER text" with \n, \t, \\ and \" escapes; '#' starts a comment line
//   palette.txt    256 lines "red green blue"
//   bitmaps/*.bmp  bitmap files; a file named by digits is a numbered bitmap, else a named one
//   data/NUMBER.*  data resources (vector drawings) by number
//   dialogs/*, menus/*  templates, by name or number as bitmaps are
#include "platform/fs/File.h"
#include "platform/resources/ResourceLibrary.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace orvik;

namespace {

bool Fail(const std::string& what) {
    fprintf(stderr, "orvik-rescomp: %s\n", what.c_str());
    return false;
}

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return isdigit(c); });
}

bool Unescape(const std::string& in, std::string& out) {
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        char c = in[i];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (++i == in.size())
            return false;
        switch (in[i]) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case '\\': out += '\\'; break;
        case '"': out += '"'; break;
        default: return false;
        }
    }
    return true;
}

bool ReadTexts(const fs::path& file, ResourceLibraryWriter& w) {
    std::string content, error;
    if (!File::ReadAll(file.string(), content, &error))
        return Fail(error);
    std::istringstream in(content);
    std::string line;
    std::set<unsigned long> seen;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        std::string where = file.string() + ":" + std::to_string(lineNo);
        if (line.empty() || line[0] == '#')
            continue;
        size_t space = line.find_first_of(" \t");
        std::string number = line.substr(0, space);
        if (!AllDigits(number) || number.size() > 5)
            return Fail(where + ": expected a text number");
        unsigned long id = std::stoul(number);
        if (id > 0xFFFF)
            return Fail(where + ": text number above 65535");
        if (!seen.insert(id).second)
            return Fail(where + ": text " + number + " defined twice");
        std::string raw = space == std::string::npos ? std::string() : line.substr(space + 1);
        std::string text;
        if (!Unescape(raw, text))
            return Fail(where + ": bad escape");
        w.AddText(static_cast<uint32_t>(id), text);
    }
    return true;
}

bool ReadPalette(const fs::path& file, ResourceLibraryWriter& w) {
    std::string content, error;
    if (!File::ReadAll(file.string(), content, &error))
        return Fail(error);
    std::istringstream in(content);
    std::vector<uint8_t> entries;
    int r, g, b;
    while (in >> r >> g >> b) {
        if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255)
            return Fail(file.string() + ": colour value out of range");
        entries.insert(entries.end(), {static_cast<uint8_t>(r), static_cast<uint8_t>(g),
                                       static_cast<uint8_t>(b), 0});
    }
    if (entries.size() != 256 * 4)
        return Fail(file.string() + ": a palette has 256 colours");
    w.Add(ResourceLibrary::palette, "PALETTE", std::move(entries));
    return true;
}

bool ReadFolder(const fs::path& folder, ResourceLibrary::Type type, bool stripBmpHeader,
                ResourceLibraryWriter& w) {
    if (!fs::is_directory(folder))
        return true;
    std::vector<fs::path> files;
    for (auto& e : fs::directory_iterator(folder))
        if (e.is_regular_file())
            files.push_back(e.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& f : files) {
        std::string content, error;
        if (!File::ReadAll(f.string(), content, &error))
            return Fail(error);
        std::vector<uint8_t> bytes(content.begin(), content.end());
        if (stripBmpHeader) {
            // Kept packed: the 14-byte file header is dropped.
            if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M')
                return Fail(f.string() + ": not a bitmap file");
            bytes.erase(bytes.begin(), bytes.begin() + 14);
        }
        std::string stem = f.stem().string();
        if (AllDigits(stem) && stem.size() <= 9)
            w.Add(type, static_cast<uint32_t>(std::stoul(stem)), std::move(bytes));
        else
            w.Add(type, stem, std::move(bytes));
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: orvik-rescomp OUTPUT SOURCE-FOLDER\n");
        return 2;
    }
    fs::path src = argv[2];
    if (!fs::is_directory(src))
        return Fail(src.string() + ": not a folder"), 1;
    ResourceLibraryWriter w;
    if (fs::exists(src / "texts.txt") && !ReadTexts(src / "texts.txt", w))
        return 1;
    if (fs::exists(src / "palette.txt") && !ReadPalette(src / "palette.txt", w))
        return 1;
    if (!ReadFolder(src / "bitmaps", ResourceLibrary::bitmap, true, w) ||
        !ReadFolder(src / "data", ResourceLibrary::data, false, w) ||
        !ReadFolder(src / "dialogs", ResourceLibrary::dialog, false, w) ||
        !ReadFolder(src / "menus", ResourceLibrary::menu, false, w))
        return 1;
    std::string error;
    if (!w.Save(argv[1], &error))
        return Fail(error), 1;
    return 0;
}
