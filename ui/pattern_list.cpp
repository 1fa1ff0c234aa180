#include "ui/pattern_list.h"

namespace tessiloom {

PatternList::PatternList(const QStringList& patterns, QWidget* parent) : QComboBox(parent) {
    addItems(patterns);
    connect(this, &QComboBox::currentIndexChanged, this, &PatternList::Changed);
}

}  // namespace tessiloom
