#include <QApplication>
#include <QFile>

#include "settings/settings_file.h"
#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The settings file lives beside the executable, wherever the program was started from.
    const std::string programFolder = QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
    tessiloom::Main window(tessiloom::SettingsFilePath(programFolder));
    window.show();
    return application.exec();
}
