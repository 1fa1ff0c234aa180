#pragma once

#include <QString>
#include <QStringList>

// Drives as the file chooser sees them. On Linux a drive is the root folder of a mounted file system;
// on Windows it is a drive letter's root ("C:/"). Paths use '/' throughout.
namespace tessiloom {

struct DriveLayout {
    QStringList roots;      // the drives' root folders, the system root first
    QString workingFolder;  // absolute
};

// The readable root folders of the mounted file systems, sorted by path so that the system root
// comes first (it always is one), and the program's current working folder.
DriveLayout CurrentDriveLayout();

// The drive designation at the start of `text`: the longest of `roots` that starts it on a folder
// boundary, so "/homework" does not lie on a drive "/home". "" when no root starts it.
QString DriveOf(const QString& text, const QStringList& roots);

// The folder current on `drive`: the working folder when it lies on that drive, else the drive's root.
QString CurrentFolderOn(const QString& drive, const DriveLayout& layout);

}  // namespace tessiloom
