#include "support/RunOrvik.h"

#include "support/TestHome.h"

#include <cstdio>
#include <fstream>
#include <sys/wait.h>

namespace orvik::test {

namespace {
std::string Quote(const std::string& arg) {
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}
} // namespace

ProgramResult RunOrvik(const std::vector<std::string>& args, const std::string& input) {
    std::string command = Quote(std::string(ORVIK_BIN_DIR) + "/orvik");
    for (const std::string& a : args)
        command += " " + Quote(a);
    std::string errFile = InHome("orvik-stderr.txt");
    std::string inFile = InHome("orvik-stdin.txt");
    std::ofstream(inFile) << input;
    command += " <" + Quote(inFile) + " 2>" + Quote(errFile);
    ProgramResult r;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return r;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, p)) > 0)
        r.out.append(buffer, n);
    int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = ReadFile(errFile);
    return r;
}

} // namespace orvik::test
