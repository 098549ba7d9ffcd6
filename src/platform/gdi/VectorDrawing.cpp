#include "platform/gdi/VectorDrawing.h"

#include <cerrno>
#include <cstdlib>
#include <string_view>

namespace orvik {

namespace {

// Splits a line into words separated by spaces or tabs.
std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r'))
            ++i;
        size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
            ++i;
        if (i > start)
            words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool ToInt(std::string_view word, long lo, long hi, int& out) {
    if (word.empty() || word.size() > 12)
        return false;
    std::string s(word);
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(s.c_str(), &end, 10);
    if (errno != 0 || end != s.c_str() + s.size() || v < lo || v > hi)
        return false;
    out = static_cast<int>(v);
    return true;
}

} // namespace

bool VectorDrawing::Parse(const uint8_t* bytes, size_t size, std::string* error) {
    frame_ = Rect();
    shapes_.clear();
    valid_ = false;
    auto fail = [&](int lineNo, const std::string& why) {
        if (error)
            *error = "line " + std::to_string(lineNo) + ": " + why;
        shapes_.clear();
        return false;
    };
    std::string_view text(reinterpret_cast<const char*>(bytes), bytes ? size : 0);
    bool sawMagic = false, sawFrame = false;
    ColorRef color = 0;
    bool hasColor = false;
    size_t points = 0;
    int lineNo = 0;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (line.find('\0') != std::string_view::npos)
            return fail(lineNo, "not a text line");
        std::vector<std::string_view> w = Words(line);
        if (w.empty() || w[0][0] == '#')
            continue;
        if (!sawMagic) {
            int version = 0;
            if (w.size() != 2 || w[0] != kMagic || !ToInt(w[1], 0, 1000, version))
                return fail(lineNo, "not a drawing (expected \"ORVIK-DRAWING 1\")");
            if (version != kVersion)
                return fail(lineNo,
                            "drawing version " + std::to_string(version) + " is not supported");
            sawMagic = true;
            continue;
        }
        std::vector<int> v;
        for (size_t i = 1; i < w.size(); ++i) {
            int n = 0;
            if (!ToInt(w[i], -kMaxCoordinate, kMaxCoordinate, n))
                return fail(lineNo, "bad number \"" + std::string(w[i].substr(0, 20)) + "\"");
            v.push_back(n);
        }
        std::string_view op = w[0];
        if (op == "frame") {
            if (v.size() != 4)
                return fail(lineNo, "frame takes 4 numbers");
            frame_ = Rect(v[0], v[1], v[2], v[3]);
            if (frame_.IsEmpty())
                return fail(lineNo, "empty frame");
            sawFrame = true;
            continue;
        }
        if (op == "color") {
            if (v.size() != 3 || v[0] < 0 || v[0] > 255 || v[1] < 0 || v[1] > 255 || v[2] < 0 ||
                v[2] > 255)
                return fail(lineNo, "color takes 3 numbers from 0 to 255");
            color = Rgb(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]),
                        static_cast<uint8_t>(v[2]));
            hasColor = true;
            continue;
        }
        Shape shape;
        if (op == "polygon") {
            if (v.size() < 6 || v.size() % 2)
                return fail(lineNo, "polygon takes at least 3 points");
            shape.kind = Kind::polygon;
        } else if (op == "line") {
            if (v.size() < 4 || v.size() % 2)
                return fail(lineNo, "line takes at least 2 points");
            shape.kind = Kind::line;
        } else if (op == "ellipse" || op == "rectangle") {
            if (v.size() != 4)
                return fail(lineNo, std::string(op) + " takes 4 numbers");
            shape.kind = op == "ellipse" ? Kind::ellipse : Kind::rectangle;
        } else {
            return fail(lineNo, "unknown record \"" + std::string(op.substr(0, 20)) + "\"");
        }
        points += v.size() / 2;
        if (shapes_.size() >= kMaxShapes || points > kMaxPoints)
            return fail(lineNo, "too many shapes or points");
        shape.coords = std::move(v);
        shape.color = color;
        shape.hasColor = hasColor;
        shapes_.push_back(std::move(shape));
    }
    if (!sawMagic)
        return fail(lineNo, "empty drawing");
    if (!sawFrame)
        return fail(lineNo, "the drawing has no frame");
    valid_ = true;
    return true;
}

std::string VectorDrawing::Text() const {
    // Appended piece by piece (concatenating literals with numbers trips a
    // false overlap warning of the optimiser).
    std::string out = kMagic;
    auto number = [&out](int v) {
        out += ' ';
        out += std::to_string(v);
    };
    number(kVersion);
    out += "\nframe";
    number(frame_.left);
    number(frame_.top);
    number(frame_.right);
    number(frame_.bottom);
    out += '\n';
    bool first = true;
    ColorRef last = 0;
    for (const Shape& s : shapes_) {
        if (s.hasColor && (first || s.color != last)) {
            out += "color";
            number(RedOf(s.color));
            number(GreenOf(s.color));
            number(BlueOf(s.color));
            out += '\n';
            last = s.color;
            first = false;
        }
        switch (s.kind) {
        case Kind::polygon:
            out += "polygon";
            break;
        case Kind::ellipse:
            out += "ellipse";
            break;
        case Kind::rectangle:
            out += "rectangle";
            break;
        case Kind::line:
            out += "line";
            break;
        }
        for (int c : s.coords)
            number(c);
        out += '\n';
    }
    return out;
}

} // namespace orvik
