#pragma once

#include <QString>
#include <QTreeWidget>

#include "ui/drives.h"

namespace tessiloom {

// One folder shown the classic way: its ancestors from the file system's root down, each indented
// one step further, the folder itself highlighted, and its subfolders one step below it.
//
// A double-click on an entry moves to that folder; a single click only highlights it. Subfolders are
// sorted by name regardless of case, hidden ones left out. A folder that does not exist or cannot be
// read still shows its ancestors, so the user can move out of it, but no subfolders.
class FolderList : public QTreeWidget {
    Q_OBJECT

  public:
    // Shows nothing until a path is set. `layout` tells which folder is current on each drive.
    FolderList(const DriveLayout& layout, QWidget* parent);

    // The full path of the folder shown, cleaned, with '/' separators; "" before the first SetPath.
    QString Path() const { return path_; }

    // Moves to `path` (made absolute against the working folder). Setting the path already shown
    // changes nothing and reports nothing; an empty path is ignored.
    void SetPath(const QString& path);

    // Moves to the folder current on the drive that `driveText` starts with; a text that names
    // none of the layout's drives is ignored.
    void SetDrive(const QString& driveText);

  signals:
    // The path changed, by a double-click or through SetPath or SetDrive.
    void Changed();

  protected:
    // Every level is always open, so expand and collapse marks would only promise what a click
    // does not do; the indentation alone shows the tree.
    void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}

  private:
    void Fill();
    void MoveToEntry(const QTreeWidgetItem* entry);

    DriveLayout layout_;
    QString path_;
};

}  // namespace tessiloom
