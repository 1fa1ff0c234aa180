#include <QApplication>
#include <QFile>
#include <iostream>

#include "app/program_arguments.h"
#include "platform/atomic_file.h"
#include "settings/settings_file.h"
#include "tessiloom/version.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QCoreApplication::setApplicationName("tessiloom");
    QCoreApplication::setApplicationVersion(tessiloom::kVersionText);
    QGuiApplication::setDesktopFileName("tessiloom");  // so that a desktop shows the entry's name and icon
    tessiloom::ProgramArguments arguments;
    {
        // The parser takes the program's name from an application object; a plain one needs no
        // display, so that --help and --version answer anywhere.
        const QCoreApplication core(argc, argv);
        arguments = tessiloom::ReadProgramArguments(QCoreApplication::arguments(), std::cout, std::cerr);
    }
    if (arguments.exitCode) return *arguments.exitCode;

    tessiloom::RemoveTemporaryFilesOnSignals();  // a logout during a conversion leaves no half-written image
    QApplication application(argc, argv);        // takes Qt's own options (-platform, -style ...) out
    const std::string programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    tessiloom::Main window(tessiloom::ChooseSettingsFile(tessiloom::CurrentSettingsPlaces(programFolder)),
                           arguments.file);
    window.show();
    return application.exec();
}
