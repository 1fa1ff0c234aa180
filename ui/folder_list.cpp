#include "ui/folder_list.h"

#include <QDir>
#include <QFileInfo>
#include <QStyle>

namespace tessiloom {
namespace {

constexpr int kPathRole = Qt::UserRole;

// The folder's ancestors from the top, then the folder. Worked out from the text alone, because the
// folder may be gone.
QStringList AncestorsAndSelf(const QString& path) {
    QStringList chain{path};
    for (QString parent = QFileInfo(path).path(); parent != chain.first(); parent = QFileInfo(parent).path())
        chain.prepend(parent);
    return chain;
}

}  // namespace

FolderList::FolderList(const DriveLayout& layout, QWidget* parent) : QTreeWidget(parent), layout_(layout) {
    setHeaderHidden(true);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setIndentation(fontMetrics().averageCharWidth() * 2);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &FolderList::MoveToEntry);
}

void FolderList::SetPath(const QString& path) {
    if (path.isEmpty()) return;
    const QString absolute = QDir::cleanPath(QDir(layout_.workingFolder).absoluteFilePath(path));
    if (absolute == path_) return;
    path_ = absolute;
    Fill();
    emit Changed();
}

void FolderList::SetDrive(const QString& driveText) {
    const QString drive = DriveOf(driveText, layout_.roots);
    if (!drive.isEmpty()) SetPath(CurrentFolderOn(drive, layout_));
}

void FolderList::MoveToEntry(const QTreeWidgetItem* entry) {
    SetPath(entry->data(0, kPathRole).toString());
}

void FolderList::Fill() {
    clear();
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);

    QTreeWidgetItem* shown = nullptr;
    for (const QString& folder : AncestorsAndSelf(path_)) {
        const QString name = shown ? QFileInfo(folder).fileName() : QDir::toNativeSeparators(folder);
        shown = shown ? new QTreeWidgetItem(shown, {name}) : new QTreeWidgetItem(this, {name});
        shown->setIcon(0, openIcon);
        shown->setData(0, kPathRole, folder);
    }
    const QDir shownFolder(path_);
    for (const QString& name :
         shownFolder.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase)) {
        auto* subfolder = new QTreeWidgetItem(shown, {name});
        subfolder->setIcon(0, closedIcon);
        subfolder->setData(0, kPathRole, shownFolder.absoluteFilePath(name));
    }
    expandAll();
    setCurrentItem(shown);
    scrollToItem(shown);
}

}  // namespace tessiloom
