#pragma once

#include <stdexcept>
#include <string>

namespace orvik {

// An error while reading or writing an object archive.
class ArchiveException : public std::runtime_error {
public:
    enum Cause { generic = 1, readOnly, endOfFile, writeOnly, badIndex, badClass, badSchema };

    ArchiveException(Cause cause, const std::string& detail);
    Cause cause;

    static const char* CauseName(Cause cause);
};

// A file-system error (open, read, write) with the path it concerns.
class FileException : public std::runtime_error {
public:
    FileException(const std::string& path, int error, const std::string& what);
    std::string path;
    int error; // errno
};

} // namespace orvik
