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
    // Qt's own options (-platform, -style ...) may be what did not read: read them again once the
    // QApplication has taken those out.
    bool readAgain = false;
};

// Reads `arguments`, the program's name first, with an application object in place. --help and
// --version print to `out`; a usage error (an unknown option, more than one file) prints to `err`
// and ends the program with kUsageError. Until `qtOptionsTaken`, arguments that may be Qt's own
// single-dash options make a usage error readAgain instead.
ProgramArguments ReadProgramArguments(const QStringList& arguments, bool qtOptionsTaken, std::ostream& out,
                                      std::ostream& err);

}  // namespace tessiloom
