#pragma once

#include <string>
#include <vector>

namespace orvik {

// A subcommand of the `orvik` program. Each registers itself from its own
// source file.
struct CliCommand {
    const char* name;
    const char* usage;   // "demo [DIR]"
    const char* summary; // one line for `orvik --help`
    int (*run)(const std::vector<std::string>& args);
};

struct CliCommandRegistrar {
    explicit CliCommandRegistrar(const CliCommand& command);
};

const std::vector<CliCommand>& CliCommands();

// Writes "orvik: message" to stderr; returns the failure status 1.
int CliFail(const std::string& message);
// True when args hold "--help" or "-h".
bool CliWantsHelp(const std::vector<std::string>& args);

} // namespace orvik
