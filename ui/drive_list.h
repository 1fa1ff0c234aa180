#pragma once

#include <QComboBox>
#include <QStringList>

namespace tessiloom {

// A drop-down of drives, without typing. Its drive text names the selected drive.
class DriveList : public QComboBox {
    Q_OBJECT

  public:
    // Lists `roots` in the order given (see DriveLayout) and selects the first.
    DriveList(const QStringList& roots, QWidget* parent);

    // The selected drive's root folder, with '/' separators; "" when there are no drives.
    QString DriveText() const;

    // Selects the drive whose designation starts `text` ("/home/maps" selects "/home"); the rest of
    // the text is ignored. A text that starts with no listed drive leaves the selection as it is.
    void SetDriveText(const QString& text);

  signals:
    // The selected drive changed, by the user or through SetDriveText.
    void Changed();

  private:
    QStringList roots_;
};

}  // namespace tessiloom
