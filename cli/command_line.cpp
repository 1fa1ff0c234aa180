#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>
#include <vector>

#include "cli/console_host.h"
#include "cli/preset_number.h"
#include "conversion/run.h"
#include "tessiloom/version.h"

namespace tessiloom {
namespace {

constexpr const char* kProgramName = "tessiloom-convert";

struct Arguments {
    std::string min;
    std::string max;
    bool quiet = false;
    std::vector<std::string> files;
};

const CLI::Validator kNumberInFull(
    [](std::string& text) { return IsNumberInFull(text) ? std::string() : "'" + text + "' is not a number"; },
    "HEIGHT");

void Describe(CLI::App& app, Arguments& arguments) {
    app.description(
        "Converts ASC triangle-mesh listings of square terrain grids into 16-bit POV-Ray height-field Targa "
        "images. Each image goes beside its listing, named after it with the last four characters replaced "
        "by \".tga\" (hill.asc gives hill.tga).");
    app.set_version_flag("--version", std::string(kProgramName) + " " + kVersionText);
    auto* min = app.add_option("--min", arguments.min, "the height that maps to 0 (given with --max)")
                    ->check(kNumberInFull);
    auto* max = app.add_option("--max", arguments.max, "the height that maps to 65535 (given with --min)")
                    ->check(kNumberInFull);
    min->needs(max);
    max->needs(min);
    app.add_flag("-q,--quiet", arguments.quiet, "print only the messages, no status lines");
    app.add_option("FILE", arguments.files, "the ASC listings to convert")->required();
    app.footer(
        "Without --min and --max the range runs from the lowest to the highest height (at least 0 to 65000 "
        "wide).\nExit status: 0 when every file converted (warnings allowed), 1 when any failed, 2 for a "
        "usage error.");
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& log) {
    CLI::App app;
    app.name(kProgramName);
    Arguments arguments;
    Describe(app, arguments);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help, out, log);
    } catch (const CLI::CallForVersion& version) {
        return app.exit(version, out, log);
    } catch (const CLI::ParseError& error) {
        app.exit(error, out, log);
        return kExitUsageError;
    }

    std::optional<PresetTexts> preset;
    if (!arguments.min.empty()) preset = PresetTexts{arguments.min, arguments.max};
    int exitCode = kExitConverted;
    for (const std::string& file : arguments.files) {
        ConsoleHost host(file, preset, arguments.quiet, log);
        if (!RunConversion(host).converted) exitCode = kExitFailed;
    }
    return exitCode;
}

}  // namespace tessiloom
