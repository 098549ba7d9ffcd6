#pragma once

#include <string>

namespace orvik {

// `orvik [PROJECT]`: the desktop start. It is the single desktop instance: a
// later start hands its project to the running one and ends. Until the
// desktop's windows exist the running instance has none: it keeps the
// application core up, opens each project handed to it, writes what it does
// to the standard error stream and ends on SIGINT or SIGTERM through the
// normal exit. Returns the process's exit status.
int RunDesktopSession(const std::string& openFile);

} // namespace orvik
