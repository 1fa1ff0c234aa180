#pragma once

#include <QComboBox>
#include <QStringList>

namespace tessiloom {

// A drop-down of wildcard patterns, without typing.
class PatternList : public QComboBox {
    Q_OBJECT

  public:
    // Lists `patterns` in the order given and shows the first.
    PatternList(const QStringList& patterns, QWidget* parent);

    // The index of the entry shown; -1 only while the list is empty.
    int SelectionIndex() const { return currentIndex(); }
    void SetSelectionIndex(int index) { setCurrentIndex(index); }

    // The entry at `index`; "" outside the list.
    QString EntryText(int index) const { return itemText(index); }

  signals:
    // The entry shown changed, by the user or through SetSelectionIndex.
    void Changed();
};

}  // namespace tessiloom
