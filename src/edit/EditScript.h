#pragma once

#include "model/Time.h"

#include <cstdint>
#include <string>
#include <vector>

namespace orvik {

// One line of an edit script (`orvik edit`): what to do, with its operands
// already checked. Each line is one command, as one gesture of a user is:
// one line is one entry of the undo history. Clip numbers are list positions
// from 0 (the script text counts from 1, like the rows of `orvik dump`).
struct EditStep {
    enum class Verb {
        InsertScene,      // path, from, to, at, track
        InsertGraphic,    // path, duration, at, track
        InsertSound,      // path, [from, to when hasRange], at, track
        InsertTransition, // effect, effectNumber, duration, at, track
        SelectClips,      // range: exactly these clips
        SelectAdd,        // range: these clips as well
        SelectToggle,     // range (one clip): selected or not, the other way
        SelectAt,         // at, track
        SelectAll,
        SelectNone,
        SelectStep, // step (a key), extend
        Delete,
        Cut,
        Copy,   // to the clipboard
        CopyTo, // at, track
        Paste,  // at, track
        Move,   // at, track
        TrimStart,
        TrimEnd,
        OverlapTrim,
        TransitionDuration, // amount
        ResetStart,
        ResetEnd,
        Split,   // at
        Reverse, // on
        Comment, // text
        Undo,
        Redo,
        Save, // path (empty: the project's own)
    };
    // A run of clips first..last (list positions, first <= last).
    struct Range {
        int32_t first = 0;
        int32_t last = 0;
        bool operator==(const Range&) const = default;
    };

    Verb verb = Verb::Undo;
    int line = 0; // 1-based line of the script
    std::string path;
    std::string text;
    Time from = 0;
    Time to = 0;
    bool hasRange = false;
    Time duration = 0;
    Time at = 0;
    Time amount = 0;
    int32_t track = -1; // -1: the natural track of what is placed
    int32_t effect = 0;
    int32_t effectNumber = 0;
    Range range;
    int32_t step = 0; // the keyboard step codes of SelectionMap
    bool extend = false;
    bool on = true;
};

struct EditScript {
    std::vector<EditStep> steps;
};

// The longest time a script may name: 99:59:59 and the last frame, at the
// current frame rate. Larger values are refused so that sums of script times
// stay far from the limits of a movie time.
Time MaxScriptTime();

// Reads a time: a whole number of frames ("95"), or a timecode as the
// program shows them: "H:MM:SS.FF" and its short forms ("1:02.15", "4.00",
// ".05"), or "HH:MM:SS:FF" and its short forms ("4:00" is 4 seconds). With
// `allowSign`, a leading "+" or "-". False with the reason in `error`.
bool ParseScriptTime(const std::string& text, bool allowSign, Time& out, std::string& error);

// Parses a whole script. False with "line N: what is wrong" in `error`; no
// step is returned then.
bool ParseEditScript(const std::string& text, EditScript& out, std::string& error);

// The language, for `orvik edit --help`.
const char* EditScriptHelp();

} // namespace orvik
