#include "ui/form_layout.h"

#include <QWidget>
#include <QtGlobal>

namespace tessiloom {
namespace {

constexpr double kTwipsPerPixel = 15;

}  // namespace

int FromTwips(int twips) {
    return qRound(twips / kTwipsPerPixel);
}

QSize FromTwips(const QSize& twips) {
    return {FromTwips(twips.width()), FromTwips(twips.height())};
}

QRect FromTwips(const QRect& twips) {
    return {FromTwips(twips.left()), FromTwips(twips.top()), FromTwips(twips.width()),
            FromTwips(twips.height())};
}

void Place(std::initializer_list<Placement> placements) {
    for (const auto& [control, twips] : placements) control->setGeometry(FromTwips(twips));
}

void SetTabOrder(std::initializer_list<QWidget*> controls) {
    QWidget* previous = nullptr;
    for (QWidget* control : controls) {
        if (previous) QWidget::setTabOrder(previous, control);
        previous = control;
    }
}

QFont ArialFont(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

}  // namespace tessiloom
