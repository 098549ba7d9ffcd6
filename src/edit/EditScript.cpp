#include "edit/EditScript.h"

#include "model/Timecode.h"
#include "model/Transition.h"

#include <algorithm>
#include <limits>

namespace orvik {

namespace {

// Clip numbers above this are refused (a movie holds far fewer clips).
constexpr int64_t kMaxClipNumber = 1000000;

bool AllDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A whole number of at most nine digits (so it never overflows).
bool ParseCount(const std::string& s, int64_t& out) {
    if (!AllDigits(s) || s.size() > 9)
        return false;
    out = 0;
    for (char c : s)
        out = out * 10 + (c - '0');
    return true;
}

std::string Quoted(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (c < 0x20 || c == 0x7f) {
            static const char* hex = "0123456789abcdef";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// The words of one line. Blanks separate them; a double-quoted word may hold
// blanks, with \" for a quote and \\ for a backslash.
bool SplitWords(const std::string& line, std::vector<std::string>& words, std::string& error) {
    size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q == '\\') {
                    if (i < line.size() && (line[i] == '"' || line[i] == '\\')) {
                        word += line[i++];
                        continue;
                    }
                    error = "a backslash in quotes must be followed by \" or \\";
                    return false;
                }
                word += q;
            }
            if (!closed) {
                error = "a quoted word is not closed";
                return false;
            }
            if (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                error = "a blank must follow a quoted word";
                return false;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
                if (line[i] == '"') {
                    error = "a quote inside a word";
                    return false;
                }
                word += line[i++];
            }
        }
        words.push_back(word);
    }
    return true;
}

bool ParseTrack(const std::string& s, int32_t& track, std::string& error) {
    static const std::pair<const char*, int32_t> kNames[] = {
        {"video", 0}, {"0", 0}, {"graphic", 1}, {"title", 1}, {"1", 1},
        {"sound", 3}, {"3", 3}, {"music", 4},   {"4", 4},
    };
    for (const auto& [name, number] : kNames) {
        if (s == name) {
            track = number;
            return true;
        }
    }
    error = "unknown track " + Quoted(s) + " (0 or video, 1 or graphic, 3 or sound, 4 or music)";
    return false;
}

// Reads a line's words left to right.
class LineReader {
public:
    explicit LineReader(std::vector<std::string> words) : words_(std::move(words)) {}

    bool AtEnd() const { return next_ >= words_.size(); }
    const std::string& Peek() const {
        static const std::string none;
        return AtEnd() ? none : words_[next_];
    }
    bool Take(const char* keyword) {
        if (!AtEnd() && words_[next_] == keyword) {
            ++next_;
            return true;
        }
        return false;
    }
    bool Word(const char* what, std::string& out) {
        if (AtEnd())
            return Fail(std::string(what) + " expected");
        out = words_[next_++];
        return true;
    }
    bool TimeValue(const char* what, bool allowSign, Time& out) {
        std::string word;
        if (!Word(what, word))
            return false;
        std::string why;
        if (!ParseScriptTime(word, allowSign, out, why))
            return Fail(std::string(what) + ": " + why);
        return true;
    }
    bool Number(const char* what, int64_t low, int64_t high, int32_t& out) {
        std::string word;
        if (!Word(what, word))
            return false;
        int64_t v = 0;
        if (!ParseCount(word, v) || v < low || v > high)
            return Fail(std::string(what) + ": " + Quoted(word) + " is not a number from " +
                        std::to_string(low) + " to " + std::to_string(high));
        out = static_cast<int32_t>(v);
        return true;
    }
    // The "at TIME" and "track TRACK" clauses, in either order; `at` is
    // required when `needAt`.
    bool Placement(const char* atWord, bool needAt, bool allowTrack, EditStep& step) {
        bool haveAt = false, haveTrack = false;
        while (!AtEnd()) {
            if (!haveAt && Take(atWord)) {
                if (!TimeValue("time", false, step.at))
                    return false;
                haveAt = true;
            } else if (allowTrack && !haveTrack && Take("track")) {
                std::string word, why;
                if (!Word("track", word))
                    return false;
                if (!ParseTrack(word, step.track, why))
                    return Fail(why);
                haveTrack = true;
            } else {
                break;
            }
        }
        if (needAt && !haveAt)
            return Fail(std::string("\"") + atWord + " TIME\" expected");
        return true;
    }
    bool End() {
        if (!AtEnd())
            return Fail("unexpected " + Quoted(words_[next_]));
        return true;
    }
    bool Fail(const std::string& why) {
        error = why;
        return false;
    }

    std::string error;

private:
    std::vector<std::string> words_;
    size_t next_ = 0;
};

bool ParseInsert(LineReader& r, EditStep& s) {
    std::string what;
    if (!r.Word("what to insert (scene, graphic, sound or transition)", what))
        return false;
    if (what == "scene") {
        s.verb = EditStep::Verb::InsertScene;
        if (!r.Word("file", s.path) || !r.TimeValue("first frame", false, s.from) ||
            !r.TimeValue("end frame", false, s.to))
            return false;
        if (s.to <= s.from)
            return r.Fail("the end frame must come after the first frame");
    } else if (what == "graphic") {
        s.verb = EditStep::Verb::InsertGraphic;
        if (!r.Word("file", s.path) || !r.TimeValue("duration", false, s.duration))
            return false;
        if (s.duration <= 0)
            return r.Fail("the duration must not be 0");
    } else if (what == "sound") {
        s.verb = EditStep::Verb::InsertSound;
        if (!r.Word("file", s.path))
            return false;
        if (r.Peek() != "at" && r.Peek() != "track") {
            if (!r.TimeValue("first frame", false, s.from) ||
                !r.TimeValue("end frame", false, s.to))
                return false;
            if (s.to <= s.from)
                return r.Fail("the end frame must come after the first frame");
            s.hasRange = true;
        }
    } else if (what == "transition") {
        s.verb = EditStep::Verb::InsertTransition;
        if (!r.Number("effect kind", 0, Transition::effectKindCount - 1, s.effect) ||
            !r.Number("effect number", 0, 999999999, s.effectNumber) ||
            !r.TimeValue("duration", false, s.duration))
            return false;
        if (s.duration <= 0)
            return r.Fail("the duration must not be 0");
    } else {
        return r.Fail("cannot insert " + Quoted(what) + " (scene, graphic, sound or transition)");
    }
    if (s.path.empty() && s.verb != EditStep::Verb::InsertTransition)
        return r.Fail("the file name is empty");
    return r.Placement("at", true, true, s) && r.End();
}

bool ParseClipRange(LineReader& r, const std::string& word, EditStep::Range& range) {
    size_t dash = word.find('-');
    int64_t a = 0, b = 0;
    bool ok = dash == std::string::npos
                  ? ParseCount(word, a) && (b = a, true)
                  : ParseCount(word.substr(0, dash), a) && ParseCount(word.substr(dash + 1), b);
    if (!ok || a < 1 || b < 1 || a > kMaxClipNumber || b > kMaxClipNumber)
        return r.Fail("clip " + Quoted(word) + ": a clip number from 1, or a range like 2-5");
    if (b < a)
        return r.Fail("clip range " + Quoted(word) + " runs backwards");
    range.first = static_cast<int32_t>(a - 1);
    range.last = static_cast<int32_t>(b - 1);
    return true;
}

bool ParseSelect(LineReader& r, EditStep& s) {
    static const std::pair<const char*, int32_t> kSteps[] = {
        {"first", 0}, {"last", 1},          {"previous", 2},
        {"next", 3},  {"previous-page", 4}, {"next-page", 5},
    };
    if (r.AtEnd())
        return r.Fail("which clips? (N, A-B, add, toggle, at TIME, all, none, first, last, next, "
                      "previous)");
    if (r.Take("all")) {
        s.verb = EditStep::Verb::SelectAll;
        return r.End();
    }
    if (r.Take("none")) {
        s.verb = EditStep::Verb::SelectNone;
        return r.End();
    }
    if (r.Peek() == "at") {
        s.verb = EditStep::Verb::SelectAt;
        return r.Placement("at", true, true, s) && r.End();
    }
    for (const auto& [name, code] : kSteps) {
        if (r.Take(name)) {
            s.verb = EditStep::Verb::SelectStep;
            s.step = code;
            s.extend = r.Take("extend");
            return r.End();
        }
    }
    s.verb = EditStep::Verb::SelectClips;
    if (r.Take("add"))
        s.verb = EditStep::Verb::SelectAdd;
    else if (r.Take("toggle"))
        s.verb = EditStep::Verb::SelectToggle;
    std::string word;
    if (!r.Word("clip", word) || !ParseClipRange(r, word, s.range))
        return false;
    if (s.verb == EditStep::Verb::SelectToggle && s.range.first != s.range.last)
        return r.Fail("toggle takes one clip");
    return r.End();
}

bool ParseLine(LineReader& r, EditStep& s) {
    using V = EditStep::Verb;
    std::string verb;
    r.Word("command", verb);
    if (verb == "insert")
        return ParseInsert(r, s);
    if (verb == "select")
        return ParseSelect(r, s);
    if (verb == "delete" || verb == "cut" || verb == "undo" || verb == "redo") {
        s.verb = verb == "delete" ? V::Delete
                 : verb == "cut"  ? V::Cut
                 : verb == "undo" ? V::Undo
                                  : V::Redo;
        return r.End();
    }
    if (verb == "copy") {
        if (r.AtEnd()) {
            s.verb = V::Copy;
            return true;
        }
        s.verb = V::CopyTo;
        return r.Placement("to", true, true, s) && r.End();
    }
    if (verb == "paste") {
        s.verb = V::Paste;
        return r.Placement("at", true, true, s) && r.End();
    }
    if (verb == "move") {
        s.verb = V::Move;
        return r.Placement("to", true, true, s) && r.End();
    }
    if (verb == "trim") {
        std::string edge;
        if (!r.Word("start, end, overlap or transition", edge))
            return false;
        if (edge == "start")
            s.verb = V::TrimStart;
        else if (edge == "end")
            s.verb = V::TrimEnd;
        else if (edge == "overlap")
            s.verb = V::OverlapTrim;
        else if (edge == "transition")
            s.verb = V::TransitionDuration;
        else
            return r.Fail("trim " + Quoted(edge) + ": start, end, overlap or transition");
        if (!r.TimeValue("amount", true, s.amount))
            return false;
        if (s.amount == 0)
            return r.Fail("the amount must not be 0");
        return r.End();
    }
    if (verb == "reset") {
        std::string edge;
        if (!r.Word("start or end", edge))
            return false;
        if (edge == "start")
            s.verb = V::ResetStart;
        else if (edge == "end")
            s.verb = V::ResetEnd;
        else
            return r.Fail("reset " + Quoted(edge) + ": start or end");
        return r.End();
    }
    if (verb == "split") {
        s.verb = V::Split;
        return r.Placement("at", true, false, s) && r.End();
    }
    if (verb == "reverse") {
        s.verb = V::Reverse;
        if (r.Take("off"))
            s.on = false;
        else
            r.Take("on");
        return r.End();
    }
    if (verb == "comment") {
        s.verb = V::Comment;
        return true; // the text is taken from the line itself
    }
    if (verb == "save") {
        s.verb = V::Save;
        if (!r.AtEnd()) {
            r.Word("file", s.path);
            if (s.path.empty())
                return r.Fail("the file name is empty");
        }
        return r.End();
    }
    return r.Fail("unknown command " + Quoted(verb));
}

// The text of a comment line: everything after the word "comment" and the
// blanks after it, as written (trailing blanks dropped), or one quoted word.
bool CommentText(const std::string& line, std::string& text, std::string& error) {
    size_t at = line.find("comment");
    size_t i = at + 7;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    std::string rest = line.substr(i);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t'))
        rest.pop_back();
    if (!rest.empty() && rest[0] == '"') {
        std::vector<std::string> words;
        if (!SplitWords(rest, words, error))
            return false;
        if (words.size() != 1) {
            error = "unexpected " + Quoted(words[1]) + " after the quoted comment";
            return false;
        }
        text = words[0];
        return true;
    }
    text = rest;
    return true;
}

} // namespace

Time MaxScriptTime() {
    return Timecode::FromParts(99, 59, 59, Timecode::GetFramesPerSecond() - 1);
}

bool ParseScriptTime(const std::string& text, bool allowSign, Time& out, std::string& error) {
    std::string s = text;
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        if (!allowSign) {
            error = Quoted(text) + " is not a time here (no sign allowed)";
            return false;
        }
        negative = s[0] == '-';
        s.erase(0, 1);
    }
    const std::string form = " is not a time (frames like 95, or a timecode like 1:02.15 or "
                             "00:01:02:15)";
    if (s.empty()) {
        error = Quoted(text) + form;
        return false;
    }
    const int64_t fps = Timecode::GetFramesPerSecond();
    int64_t frames = 0;
    if (AllDigits(s)) {
        if (s.size() > 12) {
            error = Quoted(text) + " is too long a time";
            return false;
        }
        frames = std::stoll(s);
    } else {
        // Fields from the left: hours, minutes, seconds, then frames after
        // a '.' or as the last ':' field.
        std::vector<std::string> fields;
        std::string framesText;
        size_t dot = s.find('.');
        std::string left = s;
        if (dot != std::string::npos) {
            framesText = s.substr(dot + 1);
            left = s.substr(0, dot);
            if (framesText.find('.') != std::string::npos ||
                framesText.find(':') != std::string::npos) {
                error = Quoted(text) + form;
                return false;
            }
        }
        size_t from = 0;
        if (!left.empty() || dot == std::string::npos) {
            while (true) {
                size_t colon = left.find(':', from);
                fields.push_back(left.substr(from, colon == std::string::npos ? std::string::npos
                                                                              : colon - from));
                if (colon == std::string::npos)
                    break;
                from = colon + 1;
            }
        }
        if (dot == std::string::npos) {
            framesText = fields.back();
            fields.pop_back();
        }
        if (fields.size() > 3) {
            error = Quoted(text) + form;
            return false;
        }
        int64_t values[3] = {0, 0, 0}; // seconds, minutes, hours
        int64_t frameValue = 0;
        if (!ParseCount(framesText, frameValue)) {
            error = Quoted(text) + form;
            return false;
        }
        for (size_t k = 0; k < fields.size(); ++k) {
            // fields are hours..seconds from the left; count from the right.
            const std::string& f = fields[fields.size() - 1 - k];
            if (!ParseCount(f, values[k])) {
                error = Quoted(text) + form;
                return false;
            }
            // A field below the leading one is a clock field.
            if (k < fields.size() - 1 && k < 2 && values[k] > 59) {
                error =
                    Quoted(text) + ": " + (k == 0 ? "seconds" : "minutes") + " must be below 60";
                return false;
            }
        }
        if (frameValue >= fps) {
            error = Quoted(text) + ": frames must be below " + std::to_string(fps);
            return false;
        }
        frames = frameValue + (values[0] + values[1] * 60 + values[2] * 3600) * fps;
    }
    if (frames > MaxScriptTime()) {
        error = Quoted(text) + " is longer than " + Timecode::Format(MaxScriptTime());
        return false;
    }
    out = static_cast<Time>(negative ? -frames : frames);
    return true;
}

bool ParseEditScript(const std::string& text, EditScript& out, std::string& error) {
    out.steps.clear();
    EditScript script;
    size_t pos = 0;
    int lineNumber = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        std::string line =
            text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return false;
        };
        for (unsigned char c : line)
            if ((c < 0x20 && c != '\t') || c == 0x7f)
                return fail("control character " + Quoted(std::string(1, static_cast<char>(c))) +
                            " in the line");
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::vector<std::string> words;
        std::string why;
        // Comment text is taken whole; only its first word is split here.
        bool isComment =
            line.compare(first, 7, "comment") == 0 &&
            (first + 7 == line.size() || line[first + 7] == ' ' || line[first + 7] == '\t');
        if (isComment)
            words.push_back("comment");
        else if (!SplitWords(line, words, why))
            return fail(why);
        LineReader reader(std::move(words));
        EditStep step;
        step.line = lineNumber;
        if (!ParseLine(reader, step))
            return fail(reader.error);
        if (isComment && !CommentText(line.substr(first), step.text, why))
            return fail(why);
        script.steps.push_back(std::move(step));
    }
    out = std::move(script);
    return true;
}

const char* EditScriptHelp() {
    return "An edit script has one command a line. Blank lines and lines whose first\n"
           "character (after blanks) is # are skipped. Words are separated by blanks; a\n"
           "word with blanks is written in double quotes, with \\\" for a quote and \\\\ for\n"
           "a backslash.\n"
           "\n"
           "TIME is a number of frames (95) or a timecode as Orvik shows it: H:MM:SS.FF\n"
           "and its short forms (1:02.15, 4.00, .05) or HH:MM:SS:FF and its short forms\n"
           "(4:00 is four seconds). BY is a TIME with an optional sign (+10, -1.00).\n"
           "TRACK is 0 or video, 1 or graphic (title), 3 or sound, 4 or music; without\n"
           "one a clip goes to the natural track of what it shows. Clips are numbered\n"
           "from 1 in the order of the movie's clip list, as in the table of orvik dump.\n"
           "Each line is one command, like one gesture of a user: undo takes back one\n"
           "line. The editing commands act on the selection, like the menu commands.\n"
           "\n"
           "  insert scene FILE FIRST END at TIME [track TRACK]\n"
           "      the frames FIRST up to END (not included) of a captured video file\n"
           "  insert graphic FILE DURATION at TIME [track TRACK]\n"
           "      a picture or title file shown for DURATION\n"
           "  insert sound FILE [FIRST END] at TIME [track TRACK]\n"
           "      a WAV file, whole or the part FIRST up to END\n"
           "  insert transition KIND NUMBER DURATION at TIME [track TRACK]\n"
           "      an effect of kind KIND (0-19; 1 dissolve, 2 fade) with album NUMBER\n"
           "  select N | A-B          exactly clip N, or clips A to B (a click, a rubber\n"
           "                          band)\n"
           "  select add N | A-B      these clips as well (with Shift)\n"
           "  select toggle N         clip N the other way (a click with Control)\n"
           "  select at TIME [track TRACK]   the clip playing at TIME, as a click there\n"
           "  select all | none\n"
           "  select first|last|next|previous|next-page|previous-page [extend]\n"
           "      as the keys Home, End, arrows and page keys (extend: with Shift)\n"
           "  delete                  the selected clips and their transitions\n"
           "  cut                     the same, onto the clipboard\n"
           "  copy                    the selected clips onto the clipboard\n"
           "  copy to TIME [track TRACK]   a copy of the selected clips at TIME\n"
           "  move to TIME [track TRACK]   the selected clips to TIME\n"
           "  paste at TIME [track TRACK]  the clipboard's clips at TIME\n"
           "  trim start BY           the first selected clip's start (+ later, shorter)\n"
           "  trim end BY             its end (+ later, longer)\n"
           "  trim overlap BY         the cut at its end (BY > 0) or start (BY < 0),\n"
           "                          moving its neighbour's edge with it\n"
           "  trim transition BY      the first selected transition's duration\n"
           "  reset start | end       the first selected clip back to its source's edge\n"
           "  split at TIME           the first selected clip, at movie time TIME\n"
           "  reverse [on|off]        the direction of the selected transition under the\n"
           "                          movie's position\n"
           "  comment TEXT            the first selected clip's comment: the rest of the\n"
           "                          line, or one quoted word (\"\" clears it)\n"
           "  undo | redo\n"
           "  save [FILE]             the project, to its own file or FILE\n";
}

} // namespace orvik
