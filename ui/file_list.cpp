#include "ui/file_list.h"

#include <QDir>
#include <QMouseEvent>

namespace tessiloom {

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemDoubleClicked, this, &FileList::DoubleClicked);
}

void FileList::SetFolderPath(const QString& path) {
    folderPath_ = path;
    Fill();
}

void FileList::SetPattern(const QString& pattern) {
    pattern_ = pattern;
    Fill();
}

int FileList::SelectionIndex() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void FileList::focusInEvent(QFocusEvent* event) {
    // The view makes the first entry current when it gets the focus, outlined but not selected: Ok
    // would take nothing, and Down would skip the entry to the one after it.
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!hadCurrent) selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void FileList::mousePressEvent(QMouseEvent* event) {
    // The view would clear the selection, and Ok would then take nothing.
    if (!indexAt(event->position().toPoint()).isValid()) return;
    QListWidget::mousePressEvent(event);
}

QModelIndex FileList::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) {
    // With no entry current, the view starts every move at the first entry, End too.
    if (action == MoveEnd && !currentIndex().isValid() && count() > 0)
        return indexFromItem(item(count() - 1));
    return QListWidget::moveCursor(action, modifiers);
}

QString FileList::EntryText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

void FileList::Fill() {
    clear();
    if (folderPath_.isEmpty() || pattern_.isEmpty()) return;
    // Name filters ignore case unless QDir::CaseSensitive is asked for, and leaving out QDir::Hidden
    // drops dot files; an unreadable folder simply yields no names.
    const QDir folder(folderPath_);
    addItems(folder.entryList(pattern_.split(';', Qt::SkipEmptyParts), QDir::Files,
                              QDir::Name | QDir::IgnoreCase));
}

}  // namespace tessiloom
