#pragma once

#include "edit/EditScript.h"
#include "edit/HeadlessMovieView.h"
#include "model/Time.h"

#include <string>

namespace orvik {

class Clip;
class ClipList;
class Movie;
class Undoer;

// Runs an edit script on the application's movie through the same commands
// and the same undo history as a user's clicks and menu choices. The movie
// is shown in a headless storyboard (HeadlessMovieView) that keeps the
// selection's anchor and the movie's position between the lines.
//
// Every line is checked against the movie before its command runs: a line
// that names a missing clip or file, has nothing to act on, or asks for what
// the command would refuse stops the run with "line N: what is wrong" and
// changes nothing more. Used on the user-interface thread only.
class EditScriptRunner {
public:
    // `movie` must be the current document with `undoer` as the history;
    // `projectPath` is where "save" without a file writes.
    EditScriptRunner(Movie& movie, Undoer& undoer, std::string projectPath);
    ~EditScriptRunner();
    EditScriptRunner(const EditScriptRunner&) = delete;
    EditScriptRunner& operator=(const EditScriptRunner&) = delete;

    // Runs the steps in order; false at the first that fails, with the
    // reason in `error`.
    bool Run(const EditScript& script, std::string& error);
    bool RunStep(const EditStep& step, std::string& why);

    // The longest movie a script may make: twice the longest script time.
    static Time MaxMovieTime();

private:
    bool Insert(const EditStep& step, std::string& why);
    bool Select(const EditStep& step, std::string& why);
    bool Trim(const EditStep& step, std::string& why);
    bool NeedSelection(std::string& why);
    // Whether the movie may grow by `extra` frames after `at`.
    bool Fits(Time at, int64_t extra, std::string& why);
    // The first selected clip that is (or with `transition` off, is not) a
    // transition, and its list position.
    Clip* FirstSelected(bool transition, int32_t* position = nullptr);
    ClipList& List();

    Movie& movie_;
    Undoer& undoer_;
    std::string projectPath_;
    HeadlessMovieView view_;
};

} // namespace orvik
