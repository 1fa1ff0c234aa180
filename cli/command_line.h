#pragma once

#include <ostream>

namespace tessiloom {

inline constexpr int kExitConverted = 0;   // every file converted, warnings or not
inline constexpr int kExitFailed = 1;      // at least one file did not convert
inline constexpr int kExitUsageError = 2;  // the arguments were wrong: nothing was converted

// tessiloom-convert [options] FILE...: converts each file in turn (or with --info describes it),
// whatever happened to the ones before, and returns one of the exit codes above; --help lists and
// explains the options. Help, the version and --info's descriptions go to `out`; status lines,
// messages and usage errors go to `log`.
int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& log);

}  // namespace tessiloom
