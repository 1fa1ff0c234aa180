#pragma once

#include <QStringList>
#include <optional>
#include <ostream>

namespace tessiloom {

inline constexpr int kUsageError = 2;

// What the command line asks of the window program: tessiloom [FILE].
struct ProgramArguments {
    std::optional<QString> file;  // shown in place of the remembered path
    std::optional<int> exitCode;  // set when the program is to end at once: 0 after --help or --version
};

// Reads `arguments`, the program's name first, with the application object in place. --help and
// --version print to `out`; a usage error (an unknown option, more than one file) prints to `err`
// and ends the program with kUsageError.
ProgramArguments ReadProgramArguments(const QStringList& arguments, std::ostream& out, std::ostream& err);

}  // namespace tessiloom
