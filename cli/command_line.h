#pragma once

#include <ostream>

namespace tessiloom {

inline constexpr int kExitConverted = 0;   // every file converted, warnings or not
inline constexpr int kExitFailed = 1;      // at least one file did not convert
inline constexpr int kExitUsageError = 2;  // the arguments were wrong: nothing was converted

// tessiloom-convert [--min H --max H] [--quiet] FILE...: converts each file in turn, whatever
// happened to the ones before, and returns one of the exit codes above. Help and the version go
// to `out`; status lines, messages and usage errors go to `log`.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& log);

}  // namespace tessiloom
