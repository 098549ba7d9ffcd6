#pragma once

#include <string>
#include <vector>

namespace orvik {

// The drives a music library volume may be on: the mounted removable media
// (every folder in /media/$USER, /run/media/$USER and /media). A drive's
// root ends with '/'; its volume label is the name of its mount folder, as
// the desktop mounts media under their labels.
std::vector<std::string> LibraryDriveRoots();
std::string DriveVolumeLabel(const std::string& root);
// Whether the drive is still there.
bool DriveAnswers(const std::string& root);
// The paths of the library files ("*.sdi") directly in `folder`, sorted.
std::vector<std::string> LibraryFilesIn(const std::string& folder);

// Replaces the drive list (empty: the mounted media again); for tests and
// for machines whose media are mounted elsewhere.
void SetLibraryDriveRoots(const std::vector<std::string>& roots);

} // namespace orvik
