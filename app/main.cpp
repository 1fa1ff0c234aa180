#include <QApplication>
#include <QFile>

#include "ui/main_window.h"

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    // The settings file lives beside the executable, wherever the program was started from.
    tessiloom::Main window(QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
    window.show();
    return application.exec();
}
