#pragma once

#include <string>
#include <vector>

namespace orvik::test {

struct ProgramResult {
    int status = -1; // exit status
    std::string out; // standard output
    std::string err; // standard error
};

// Runs the built `orvik` program with `args` in the test's ORVIK_HOME.
ProgramResult RunOrvik(const std::vector<std::string>& args, const std::string& input = "");

} // namespace orvik::test
