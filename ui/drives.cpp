#include "ui/drives.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <algorithm>

namespace tessiloom {
namespace {

// A root ends in '/' only when it is a file system's top ("/", "C:/"); comparing without that
// slash lets the same test serve "C:" and "C:/maps" as well as "/home" and "/home/maps".
bool LiesOn(const QString& path, const QString& root) {
    const QString bare = root.endsWith('/') ? root.chopped(1) : root;
    if (!path.startsWith(bare)) return false;
    return path.size() == bare.size() || path.at(bare.size()) == '/';
}

bool CanList(const QString& folder) {
    const QFileInfo info(folder);
    return info.isDir() && info.isReadable() && info.isExecutable();
}

}  // namespace

DriveLayout CurrentDriveLayout() {
    DriveLayout layout;
    layout.workingFolder = QDir::currentPath();
    // A working folder removed under the program has no path; the lists start at the root instead
    // of showing nothing to move from.
    if (layout.workingFolder.isEmpty()) layout.workingFolder = QDir::rootPath();
    // Containers bind-mount single files (/etc/hosts), and some mounts belong to other users; a
    // drive is only worth offering when its root is a folder we can list.
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (volume.isValid() && volume.isReady() && CanList(root) && !layout.roots.contains(root))
            layout.roots.append(root);
    }
    if (!layout.roots.contains(QDir::rootPath())) layout.roots.append(QDir::rootPath());
    // A prefix sorts before everything it starts, so "/" leads.
    std::sort(layout.roots.begin(), layout.roots.end());
    return layout;
}

QString DriveOf(const QString& text, const QStringList& roots) {
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(text));
    if (path.isEmpty()) return {};
    QString drive;
    for (const QString& root : roots) {
        if (LiesOn(path, root) && root.size() > drive.size()) drive = root;
    }
    return drive;
}

QString CurrentFolderOn(const QString& drive, const DriveLayout& layout) {
    return DriveOf(layout.workingFolder, layout.roots) == drive ? layout.workingFolder : drive;
}

}  // namespace tessiloom
