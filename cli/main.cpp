#include <iostream>

#include "cli/command_line.h"
#include "platform/atomic_file.h"

int main(int argc, char** argv) {
    tessiloom::RemoveTemporaryFilesOnSignals();  // Ctrl-C leaves no half-written image behind
    return tessiloom::RunCommandLine(argc, argv, std::cout, std::cerr);
}
