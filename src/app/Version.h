#pragma once

namespace orvik {

// The program's version record.
inline constexpr const char* kProductName = "Orvik";
inline constexpr const char* kCompanyName = "Torvane";
#ifdef ORVIK_VERSION
inline constexpr const char* kProductVersion = ORVIK_VERSION;
#else
inline constexpr const char* kProductVersion = "0.0.0";
#endif

} // namespace orvik
