#pragma once

#include <QDialog>

class QPushButton;

namespace tessiloom {

// A window that behaves as the classic forms did: a fixed frame with a close box and no minimize
// or maximize button, Escape and access keys pressing their buttons as a click would, and one way
// out. However it closes (accept(), reject(), the close box, any other close request), done() runs
// Unload() once, before the window goes.
class Form : public QDialog {
    Q_OBJECT

  public:
    // `kind`: Qt::Window for a window with a taskbar button of its own, placed by the window system;
    // Qt::Dialog for one without, centred over its owner.
    Form(QWidget* owner, Qt::WindowType kind);

    void done(int result) override;

  protected:
    // The button Escape presses.
    void SetCancelButton(QPushButton* button) { cancelButton_ = button; }
    virtual void Unload() = 0;

    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QPushButton* cancelButton_ = nullptr;
    bool unloaded_ = false;
};

}  // namespace tessiloom
