#include "cli/CliCommand.h"

#include "cli/DesktopSession.h"

#include "app/Version.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvik {

namespace {

std::vector<CliCommand>& Registry() {
    static std::vector<CliCommand> commands;
    return commands;
}

void PrintHelp() {
    printf("Usage: orvik [PROJECT.orv]\n"
           "       orvik COMMAND [ARGS]\n\n"
           "Orvik, a video editor for home movies. Without a command it starts the desktop\n"
           "application, opening PROJECT when one is named; when it already runs, the\n"
           "project is handed to the running one. The desktop window is not built yet: the\n"
           "application runs without one until it is ended with Ctrl+C. The commands below\n"
           "are its headless front end.\n\n"
           "Commands:\n");
    std::vector<CliCommand> sorted = CliCommands();
    std::sort(sorted.begin(), sorted.end(),
              [](const CliCommand& a, const CliCommand& b) { return strcmp(a.name, b.name) < 0; });
    for (const CliCommand& c : sorted)
        printf("  %-28s %s\n", c.usage, c.summary);
    printf("\nOptions:\n  %-28s %s\n  %-28s %s\n\n", "--help", "show this help", "--version",
           "show the version");
    printf("`orvik COMMAND --help` describes one command. Set ORVIK_HOME=DIR to keep every\n"
           "file Orvik writes (settings, log, working files, movies) under DIR.\n");
}

} // namespace

CliCommandRegistrar::CliCommandRegistrar(const CliCommand& command) {
    Registry().push_back(command);
}

const std::vector<CliCommand>& CliCommands() {
    return Registry();
}

int CliFail(const std::string& message) {
    fprintf(stderr, "orvik: %s\n", message.c_str());
    return 1;
}

bool CliWantsHelp(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--help") != args.end() ||
           std::find(args.begin(), args.end(), "-h") != args.end();
}

} // namespace orvik

int main(int argc, char** argv) {
    using namespace orvik;
    if (argc < 2)
        return RunDesktopSession(std::string());
    std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") {
        PrintHelp();
        return 0;
    }
    if (first == "--version") {
        printf("%s %s\n", kProductName, kProductVersion);
        return 0;
    }
    for (const CliCommand& c : CliCommands()) {
        if (first == c.name) {
            std::vector<std::string> args(argv + 2, argv + argc);
            return c.run(args);
        }
    }
    // `orvik PROJECT`: a file name where a command would stand (a movie
    // file, or any path) starts the desktop with it.
    if (argc == 2 && !first.empty() && first[0] != '-' &&
        (first.find('/') != std::string::npos || first.find('.') != std::string::npos))
        return RunDesktopSession(first);
    return CliFail("unknown command '" + first + "'; see `orvik --help`");
}
