#include "app/program_arguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <algorithm>

namespace tessiloom {
namespace {

// Qt's options are single-dash words ("-platform offscreen"); ours are "--" words and -h, -v.
bool MayHoldQtOptions(const QStringList& arguments) {
    return std::any_of(arguments.begin() + 1, arguments.end(), [](const QString& argument) {
        return argument.size() > 2 && argument.startsWith('-') && !argument.startsWith("--");
    });
}

}  // namespace

ProgramArguments ReadProgramArguments(const QStringList& arguments, bool qtOptionsTaken, std::ostream& out,
                                      std::ostream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Converts ASC triangle-mesh listings of terrain grids into POV-Ray height-field Targa images. The "
        "window "
        "starts with FILE in its source field, or else with the path it remembered when it last closed.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    parser.addPositionalArgument("FILE", "the ASC listing to convert", "[FILE]");

    const auto usageError = [&](const QString& problem) {
        err << qPrintable(QCoreApplication::applicationName()) << ": " << qPrintable(problem) << "\n"
            << "Try '" << qPrintable(QCoreApplication::applicationName())
            << " --help' for more information.\n";
        return ProgramArguments{std::nullopt, kUsageError};
    };
    const bool parsed = parser.parse(arguments);
    const QStringList files = parser.positionalArguments();
    if ((!parsed || files.size() > 1) && !qtOptionsTaken && MayHoldQtOptions(arguments)) {
        return {std::nullopt, std::nullopt, true};
    }
    if (!parsed) return usageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet("help-all")) {
        out << qPrintable(parser.helpText());
        return {std::nullopt, 0};
    }
    if (parser.isSet(version)) {
        out << qPrintable(QCoreApplication::applicationName()) << " "
            << qPrintable(QCoreApplication::applicationVersion()) << "\n";
        return {std::nullopt, 0};
    }
    if (files.size() > 1) return usageError(QString("one FILE at most, not %1").arg(files.size()));
    return {files.isEmpty() ? std::nullopt : std::optional(files.first()), std::nullopt};
}

}  // namespace tessiloom
