#include "app/program_arguments.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <string>

namespace tessiloom {
namespace {

// The options QApplication takes out of the arguments for itself, with those that take a value
// first. They are read here only so as not to be refused as unknown before it has taken them.
constexpr const char* kQtOptionsWithValue[] = {"platform",
                                               "platformpluginpath",
                                               "platformtheme",
                                               "plugin",
                                               "qwindowgeometry",
                                               "geometry",
                                               "qwindowicon",
                                               "icon",
                                               "qwindowtitle",
                                               "title",
                                               "session",
                                               "display",
                                               "name",
                                               "visual",
                                               "style",
                                               "stylesheet",
                                               "qmljsdebugger"};
constexpr const char* kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void AcceptQtOptions(QCommandLineParser& parser) {
    for (const char* name : kQtOptionsWithValue) {
        QCommandLineOption option(name, QString(), "value");
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char* name : kQtFlags) {
        QCommandLineOption option(name);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

std::string QtOptionsText() {
    std::string text;
    for (const char* name : kQtOptionsWithValue) text += std::string("  -") + name + " <value>\n";
    for (const char* name : kQtFlags) text += std::string("  -") + name + "\n";
    return text;
}

}  // namespace

ProgramArguments ReadProgramArguments(const QStringList& arguments, std::ostream& out, std::ostream& err) {
    QCommandLineParser parser;
    parser.setApplicationDescription(  // printed as it stands, so broken for 80 columns here
        "Converts ASC triangle-mesh listings of terrain grids into POV-Ray height-field\n"
        "Targa images. The window starts with FILE in its source field, or else with the\n"
        "path it remembered when it last closed. Qt's own options, such as -platform or\n"
        "-style, are taken as well.");
    // Qt's options are single-dash words: "-style" is one option, not -s -t -y -l -e.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    AcceptQtOptions(parser);
    parser.addPositionalArgument("FILE", "the ASC listing to convert", "[FILE]");

    const auto usageError = [&](const QString& problem) {
        err << qPrintable(QCoreApplication::applicationName()) << ": " << qPrintable(problem) << "\n"
            << "Try '" << qPrintable(QCoreApplication::applicationName())
            << " --help' for more information.\n";
        return ProgramArguments{std::nullopt, kUsageError};
    };
    if (!parser.parse(arguments)) return usageError(parser.errorText());
    if (parser.isSet(help) || parser.isSet("help-all")) {
        out << qPrintable(parser.helpText());
        if (parser.isSet("help-all"))
            out << "\nQt's own options, as every Qt program takes them:\n" << QtOptionsText();
        return {std::nullopt, 0};
    }
    if (parser.isSet(version)) {
        out << qPrintable(QCoreApplication::applicationName()) << " "
            << qPrintable(QCoreApplication::applicationVersion()) << "\n";
        return {std::nullopt, 0};
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1) return usageError(QString("one FILE at most, not %1").arg(files.size()));
    return {files.isEmpty() ? std::nullopt : std::optional(files.first()), std::nullopt};
}

}  // namespace tessiloom
