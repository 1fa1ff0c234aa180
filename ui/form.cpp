#include "ui/form.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QShortcutEvent>

namespace tessiloom {

Form::Form(QWidget* owner, Qt::WindowType kind)
    : QDialog(owner, kind | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {}

void Form::done(int result) {
    if (!unloaded_) {
        unloaded_ = true;
        Unload();
    }
    QDialog::done(result);
}

void Form::keyPressEvent(QKeyEvent* event) {
    // QDialog would reject() on Escape by itself, behind the button's back; a click lets the button
    // do what it does (Cancel marks the showing as cancelled, Exit closes the window).
    if (cancelButton_ && event->matches(QKeySequence::Cancel)) {
        cancelButton_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form::showEvent(QShowEvent* event) {
    // Here, not in the constructor: the windows make their buttons after it.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->window() == this) button->installEventFilter(this);
    }
    // A dialog centres itself over its owner; a window of its own is placed by the window system,
    // which a position set here would overrule.
    if (windowType() == Qt::Window) {
        QWidget::showEvent(event);
    } else {
        QDialog::showEvent(event);
    }
}

bool Form::eventFilter(QObject* watched, QEvent* event) {
    // An access key clicks its button at once, as the mouse does. Qt's own press waits 100 ms to show
    // the button down, so an Alt+X delivered while a conversion waits for events would come only
    // after the run had gone on to write its image.
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        static_cast<QPushButton*>(watched)->click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tessiloom
