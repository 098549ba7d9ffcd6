#pragma once

#include <string>

namespace orvik {

// Writes one piece of text to "Message.log" and flushes it. Safe from any
// thread; the text of one call is written whole. Formats into a 512-byte
// buffer: longer texts are cut to 511 characters (keeping a final line end).
// Dropped without error while the log is closed.
void LogMessage(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Creates "Message.log" in `folder` (truncating an earlier run's log) and
// writes the banner and machine lines. `updateVersion` is the installed
// update level shown as number / 100 "." number % 100. A log that cannot be
// created stays closed; returns whether it opened.
bool OpenLog(const std::string& folder, int updateVersion, const std::string& appTitle = "Orvik");
void CloseLog();
bool IsLogOpen();
// Path of the open log, or empty.
std::string LogPath();

} // namespace orvik
