#include "ui/drive_list.h"

#include <QDir>

#include "ui/drives.h"

namespace tessiloom {

DriveList::DriveList(const QStringList& roots, QWidget* parent) : QComboBox(parent), roots_(roots) {
    for (const QString& root : roots_) addItem(QDir::toNativeSeparators(root));
    connect(this, &QComboBox::currentIndexChanged, this, &DriveList::Changed);
}

QString DriveList::DriveText() const {
    const int index = currentIndex();
    return index < 0 ? QString() : roots_.at(index);
}

void DriveList::SetDriveText(const QString& text) {
    const int index = roots_.indexOf(DriveOf(text, roots_));
    if (index >= 0) setCurrentIndex(index);
}

}  // namespace tessiloom
