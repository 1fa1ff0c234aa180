#pragma once

#include <QListWidget>
#include <QString>

namespace tessiloom {

// The names of the files in one folder that match a wildcard pattern, one per line.
//
// Names match regardless of case ("*.asc" lists HILL.ASC), are sorted by name regardless of case, and
// hidden files are left out. Setting the folder or the pattern refills the list with no entry
// selected. A folder that does not exist or cannot be read gives an empty list.
//
// As in the classic list, no entry is current until the user moves to one: the first Down (or
// Home) selects the first entry and End the last, so that what looks chosen is always what is
// selected; a click below the entries leaves the selection as it was.
class FileList : public QListWidget {
    Q_OBJECT

  public:
    explicit FileList(QWidget* parent);

    QString FolderPath() const { return folderPath_; }
    void SetFolderPath(const QString& path);

    // One wildcard pattern, or several separated by ';' ("*.asc;*.txt").
    void SetPattern(const QString& pattern);

    // The index of the selected entry; -1 when none is selected.
    int SelectionIndex() const;

    // The file name at `index`, without folder; "" outside the list.
    QString EntryText(int index) const;

  signals:
    // An entry was double-clicked; it is then the selected one.
    void DoubleClicked();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

  private:
    void Fill();

    QString folderPath_;
    QString pattern_;
};

}  // namespace tessiloom
