#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <initializer_list>

class QWidget;

// How the windows are laid out. Their layouts are written in twips (1/1440 inch), the unit they
// were designed in; this is the one place that turns twips into Qt's device-independent pixels, so
// nothing else knows that 15 twips make a pixel.
namespace tessiloom {

// One length in twips as device-independent pixels, rounded to the nearest pixel.
int FromTwips(int twips);

// A width and height in twips as pixels.
QSize FromTwips(const QSize& twips);

// Left, top, width and height in twips as a pixel rectangle. Each of the four is converted on its
// own, so a control's size does not depend on where it sits.
QRect FromTwips(const QRect& twips);

// A control and its place in twips: left and top inside its frame or window, width and height.
struct Placement {
    QWidget* control;
    QRect twips;
};

// Puts every control at its place.
void Place(std::initializer_list<Placement> placements);

// Tab moves through `controls` in the order given.
void SetTabOrder(std::initializer_list<QWidget*> controls);

// Arial at `points`; a metric-compatible face stands in where Arial itself is missing.
QFont ArialFont(double points);

}  // namespace tessiloom
