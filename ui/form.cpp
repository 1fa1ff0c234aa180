#include "ui/form.h"

#include <QKeyEvent>
#include <QPushButton>

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

}  // namespace tessiloom
