#include "platform/archive/ArchiveException.h"

namespace orvik {

const char* ArchiveException::CauseName(Cause cause) {
    switch (cause) {
    case generic: return "archive error";
    case readOnly: return "archive is read-only";
    case endOfFile: return "unexpected end of file";
    case writeOnly: return "archive is write-only";
    case badIndex: return "bad object index";
    case badClass: return "bad class";
    case badSchema: return "bad schema";
    }
    return "archive error";
}

ArchiveException::ArchiveException(Cause c, const std::string& detail)
    : std::runtime_error(detail.empty() ? std::string(CauseName(c))
                                        : std::string(CauseName(c)) + ": " + detail),
      cause(c) {}

FileException::FileException(const std::string& p, int e, const std::string& what)
    : std::runtime_error(what), path(p), error(e) {}

} // namespace orvik
