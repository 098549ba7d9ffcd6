#include "cli/CliCommand.h"
#include "cli/MovieDump.h"

#include "app/OrvikApp.h"
#include "edit/EditScript.h"
#include "edit/EditScriptRunner.h"
#include "edit/Undoer.h"
#include "model/Movie.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace orvik {

namespace {

// Scripts larger than this are refused unread (no edit needs so much).
constexpr std::streamsize kMaxScriptBytes = 16 * 1024 * 1024;

bool ReadScript(const std::string& name, std::string& text, std::string& error) {
    std::istream* in = &std::cin;
    std::ifstream file;
    if (name != "-") {
        file.open(name, std::ios::binary);
        if (!file) {
            error = "cannot read the script " + name;
            return false;
        }
        in = &file;
    }
    std::ostringstream out;
    char buffer[65536];
    std::streamsize total = 0;
    while (in->read(buffer, sizeof buffer) || in->gcount() > 0) {
        total += in->gcount();
        if (total > kMaxScriptBytes) {
            error = "the script " + (name == "-" ? std::string("on standard input") : name) +
                    " is larger than 16 MiB";
            return false;
        }
        out.write(buffer, in->gcount());
    }
    if (in->bad()) {
        error = "cannot read the script " + name;
        return false;
    }
    text = out.str();
    return true;
}

void PrintHelp() {
    printf("Usage: orvik edit [--dry-run] [--dump | --json] PROJECT SCRIPT\n\n"
           "Edits a movie project with a script: each line runs one of the commands a\n"
           "user's clicks and menu choices run, with the same undo history, inside the\n"
           "application core started headless. SCRIPT - reads the script from standard\n"
           "input. When every line has run, the project is saved in place (written\n"
           "beside the file and renamed over it). On the first line that fails, orvik\n"
           "stops with the line number and the reason and leaves the project file as it\n"
           "was (save lines before it have saved).\n\n"
           "  --dry-run   run the script but do not save the project\n"
           "  --dump      then print the project as orvik dump does\n"
           "  --json      then print it as orvik dump --json does\n\n"
           "The movie is shown as a storyboard of one row: clip N is the N-th clip of\n"
           "the movie's clip list (track by track), a page is 8 clips.\n\n%s",
           EditScriptHelp());
}

int RunEdit(const std::vector<std::string>& args) {
    if (CliWantsHelp(args)) {
        PrintHelp();
        return 0;
    }
    bool dryRun = false, dump = false, json = false;
    std::vector<std::string> operands;
    for (const std::string& a : args) {
        if (a == "--dry-run")
            dryRun = true;
        else if (a == "--dump")
            dump = true;
        else if (a == "--json")
            json = true;
        else if (a.size() > 1 && a[0] == '-')
            return CliFail("edit: unknown option " + a);
        else
            operands.push_back(a);
    }
    if (dump && json)
        return CliFail("edit: --dump and --json do not go together");
    if (operands.size() != 2)
        return CliFail("edit takes a project and a script (orvik edit --help)");
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(operands[0], ec);
    const std::string project = ec ? operands[0] : absolute.lexically_normal().string();
    const std::string scriptName = operands[1];
    const std::string label = scriptName == "-" ? std::string("standard input") : scriptName;

    std::string text, error;
    if (!ReadScript(scriptName, text, error))
        return CliFail(error);

    // Runs inside the application core, started headless: the same start-up,
    // settings, history and exit as the desktop program.
    OrvikApp::Options options;
    options.headless = true;
    options.echoMessages = true;
    OrvikApp app(options);
    if (!app.InitInstance()) {
        app.ExitInstance();
        return 1; // the reason is on stderr already
    }
    auto fail = [&](const std::string& message) {
        app.ExitInstance();
        return CliFail(message);
    };
    // Times are read at the frame rate of the settings now in force.
    EditScript script;
    if (!ParseEditScript(text, script, error))
        return fail(label + ": " + error);

    Movie* movie = app.GetDocument();
    Undoer* undoer = app.GetUndoer();
    if (!movie || !undoer)
        return fail("edit: the application has no document");
    if (!movie->OpenFromFile(project))
        return fail("cannot open " + operands[0] + ": " + movie->LastError());

    bool ran = false;
    {
        EditScriptRunner runner(*movie, *undoer, project);
        ran = runner.Run(script, error);
    }
    if (!ran)
        return fail(label + ": " + error);
    if (!dryRun && !movie->SaveToFile(project))
        return fail("cannot save " + operands[0] + ": " + movie->LastError());

    if (dump || json) {
        if (dryRun) {
            PrintMovie(*movie, json);
        } else {
            // What was saved, read back: exactly what orvik dump shows.
            RefPtr<Movie> saved = new Movie;
            if (!saved->OpenFromFile(project)) {
                error = saved->LastError();
                saved = nullptr;
                return fail("cannot read back " + operands[0] + ": " + error);
            }
            PrintMovie(*saved, json);
        }
    }
    app.ExitInstance();
    return 0;
}

const CliCommandRegistrar registrar{{"edit", "edit [--dry-run] [--dump | --json] PROJECT SCRIPT",
                                     "edit a movie project with a script of editing commands",
                                     &RunEdit}};

} // namespace

} // namespace orvik
