// Reads arbitrary bytes as an edit script: the parser either gives steps
// whose operands keep to their limits, or an error naming a line.
#include "edit/EditScript.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace orvik;
    std::string text(reinterpret_cast<const char*>(data), size);
    EditScript script;
    std::string error;
    if (!ParseEditScript(text, script, error)) {
        // One line, beginning with the line it names.
        if (error.rfind("line ", 0) != 0 || error.find('\n') != std::string::npos ||
            !script.steps.empty())
            abort();
        return 0;
    }
    const Time most = MaxScriptTime();
    int previous = 0;
    for (const EditStep& s : script.steps) {
        if (s.line <= previous)
            abort();
        previous = s.line;
        if (s.at < 0 || s.at > most || s.from < 0 || s.to > most || s.duration < 0 ||
            s.duration > most || s.amount < -most || s.amount > most)
            abort();
        if (s.range.first < 0 || s.range.last < s.range.first)
            abort();
        if (s.track != -1 && s.track != 0 && s.track != 1 && s.track != 3 && s.track != 4)
            abort();
    }
    return 0;
}
