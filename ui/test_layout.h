#pragma once

#include <QHash>
#include <QRect>
#include <QStringList>
#include <QWidget>

// What both window tests check of a layout, as a user would see it: every control inside its frame
// or window, no two overlapping, and the controls meant to line up lining up.
namespace tessiloom {

// A control's name, with its place among controls of the same name ("Line1[1]").
inline QString NameOf(const QWidget* control) {
    const QList<QWidget*> namesakes =
        control->parentWidget()->findChildren<QWidget*>(control->objectName(), Qt::FindDirectChildrenOnly);
    return namesakes.size() == 1
               ? control->objectName()
               : control->objectName() + '[' + QString::number(namesakes.indexOf(control)) + ']';
}

// Every named control of `window` that sticks out of its frame or window, or overlaps a sibling.
// The controls of `window` that carry a name of ours (Qt names the parts of its own controls "qt_...").
inline QList<QWidget*> NamedControls(const QWidget& window) {
    QList<QWidget*> controls = window.findChildren<QWidget*>();
    controls.removeIf([](const QWidget* control) {
        return control->objectName().isEmpty() || control->objectName().startsWith("qt_");
    });
    return controls;
}

// Every named control of `window` that sticks out of its frame or window, or overlaps a sibling;
// empty when there is none. The controls named in `unchecked` are left out.
inline QString LayoutFaults(const QWidget& window, const QStringList& unchecked = {}) {
    QList<QWidget*> controls = NamedControls(window);
    controls.removeIf([&](const QWidget* control) { return unchecked.contains(control->objectName()); });
    QStringList faults;
    for (const QWidget* control : controls) {
        if (!control->parentWidget()->rect().contains(control->geometry()))
            faults << NameOf(control) + " sticks out";
        for (const QWidget* other : controls) {
            if (other < control && other->parentWidget() == control->parentWidget() &&
                other->geometry().intersects(control->geometry()))
                faults << NameOf(other) + " and " + NameOf(control) + " overlap";
        }
    }
    return faults.join("; ");
}

// The edges and sizes two controls share. Rows share a top and a height, columns a left and a width.
enum Shared { kLeft = 1, kTop = 2, kWidth = 4, kHeight = 8 };

struct Alignment {
    const char* first;
    const char* second;
    int shared;  // Shared values combined
};

// Each alignment of `window`'s controls (named as NameOf names them) that does not hold; empty when
// all hold.
inline QString MisalignedIn(const QWidget& window, std::initializer_list<Alignment> alignments) {
    QHash<QString, QRect> places;
    for (const QWidget* control : NamedControls(window)) places[NameOf(control)] = control->geometry();
    QStringList faults;
    for (const auto& [first, second, shared] : alignments) {
        const QRect a = places.value(first);
        const QRect b = places.value(second);
        if (((shared & kLeft) && a.left() != b.left()) || ((shared & kTop) && a.top() != b.top()) ||
            ((shared & kWidth) && a.width() != b.width()) || ((shared & kHeight) && a.height() != b.height()))
            faults << QString("%1 and %2").arg(first, second);
    }
    return faults.join("; ");
}

}  // namespace tessiloom
