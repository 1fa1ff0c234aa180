#pragma once

#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/command_line.h"

namespace tessiloom {

using Result = std::tuple<int, std::string, std::string>;  // exit code, standard output, standard error

// Runs tessiloom-convert with `arguments`, its log into `logged` when given.
inline Result Convert(const std::vector<std::string>& arguments, std::stringbuf* logged = nullptr) {
    std::vector<const char*> argv{"tessiloom-convert"};
    for (const auto& argument : arguments) argv.push_back(argument.c_str());
    std::stringbuf ownLog;
    std::ostringstream out;
    std::ostream log(logged ? logged : &ownLog);
    const int code = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, log);
    return {code, out.str(), (logged ? logged : &ownLog)->str()};
}

}  // namespace tessiloom
