#pragma once

#include <QApplication>
#include <QHash>
#include <QRect>
#include <QStringList>
#include <QTest>
#include <QWidget>

// What both window tests check of a layout, as a user would see it: every control inside its frame
// or window, no two overlapping, the controls meant to line up lining up, and where Tab goes.
namespace tessiloom {

// A control's name, with its place among controls of the same name ("Line1[1]").
inline QString NameOf(const QWidget* control) {
    const QString name = control->objectName();
    const QList<QWidget*> namesakes =
        control->parentWidget()->findChildren<QWidget*>(name, Qt::FindDirectChildrenOnly);
    return namesakes.size() == 1 ? name : name + '[' + QString::number(namesakes.indexOf(control)) + ']';
}

// The controls of `window` that carry a name of ours (Qt names the parts of its own controls "qt_..."),
// less those named in `unchecked`.
inline QList<QWidget*> NamedControls(const QWidget& window, const QStringList& unchecked = {}) {
    QList<QWidget*> controls = window.findChildren<QWidget*>();
    controls.removeIf([&](const QWidget* control) {
        const QString name = control->objectName();
        return name.isEmpty() || name.startsWith("qt_") || unchecked.contains(name);
    });
    return controls;
}

// Every named control of `window` that sticks out of its frame or window, or overlaps a sibling;
// empty when there is none.
inline QString LayoutFaults(const QWidget& window, const QStringList& unchecked = {}) {
    const QList<QWidget*> controls = NamedControls(window, unchecked);
    QStringList faults;
    for (const QWidget* control : controls) {
        if (!control->parentWidget()->rect().contains(control->geometry()))
            faults << NameOf(control) + " sticks out";
        for (const QWidget* other : controls)
            if (other < control && other->parentWidget() == control->parentWidget() &&
                other->geometry().intersects(control->geometry()))
                faults << NameOf(other) + " and " + NameOf(control) + " overlap";
    }
    return faults.join("; ");
}

// The edges and sizes two controls share. Rows share a top and a height, columns a left and a width.
enum Shared { kLeft = 1, kTop = 2, kWidth = 4, kHeight = 8 };
struct Alignment {
    const char *first, *second;
    int shared;  // Shared values combined
};

// Where each named control of `window` lies, by the name NameOf gives it.
inline QHash<QString, QRect> Geometries(const QWidget& window) {
    QHash<QString, QRect> at;
    for (const QWidget* control : NamedControls(window)) at[NameOf(control)] = control->geometry();
    return at;
}

// Each alignment of `window`'s controls (named as NameOf names them) that does not hold; empty when all hold.
inline QString MisalignedIn(const QWidget& window, std::initializer_list<Alignment> alignments) {
    const QHash<QString, QRect> at = Geometries(window);
    QStringList faults;
    for (const auto& [first, second, shared] : alignments) {
        const QRect a = at.value(first), b = at.value(second);
        const int differ = (a.left() != b.left()) * kLeft | (a.top() != b.top()) * kTop |
                           (a.width() != b.width()) * kWidth | (a.height() != b.height()) * kHeight;
        if (differ & shared) faults << QString("%1 and %2").arg(first, second);
    }
    return faults.join("; ");
}

// The focused control's name, then the names of the `steps` controls Tab moves to from there.
inline QString TabWalk(int steps) {
    QStringList visited{QApplication::focusWidget()->objectName()};
    while (steps--) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    return visited.join(' ');
}

}  // namespace tessiloom
