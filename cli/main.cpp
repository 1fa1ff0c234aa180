#include <iostream>

#include "cli/command_line.h"

int main(int argc, char** argv) {
    return tessiloom::RunCommandLine(argc, argv, std::cout, std::cerr);
}
