#pragma once

#include <QDialog>
#include <array>

#include "ui/drives.h"

class QLabel;
class QPushButton;

namespace tessiloom {

class DriveList;
class FileList;
class FolderList;
class PatternList;

// The program's own modal file chooser: a file list with its pattern drop-down on the left, a folder
// list with its drive drop-down on the right, Ok and Cancel below.
//
// One object serves one showing, like the window it stands for: create it on the stack with its owner,
// call exec(), let it go. Construction loads it: the lists start at the working folder and its drive,
// then move to the drive (only the drive) of LastFolder when that is set. However the showing ends
// (Ok, Enter, a double-click on a file, Cancel, Escape, the close box), done() runs the unload once:
// LastFolder := the folder shown; then, unless Cancel closed it or no file is selected,
// ChosenPath := folder + "/" + file name ("//hill.asc" at the root).
class CommonFileDialog : public QDialog {
    Q_OBJECT

  public:
    // Over the mounted drives and the program's working folder.
    explicit CommonFileDialog(QWidget* owner = nullptr);
    // Over the given drives and working folder.
    explicit CommonFileDialog(const DriveLayout& layout, QWidget* owner = nullptr);

    void done(int result) override;

    // True once the unload has stored an accepted file in ChosenPath; false after Cancel, and after
    // an accepting close with no file selected, both of which leave ChosenPath as it was.
    bool AcceptedFile() const { return acceptedFile_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls(const DriveLayout& layout);
    void ConnectControls();
    void PlaceControls();

    void Load();
    void Drive1Change();
    void Dir1Change();
    void FileTypeChange();
    void Command2Click();
    void Unload();

    FileList* file1_ = nullptr;
    FolderList* dir1_ = nullptr;
    PatternList* fileType_ = nullptr;
    DriveList* drive1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QPushButton* command2_ = nullptr;
    std::array<QLabel*, 2> label1_{};

    bool cancelled_ = false;  // true only when Cancel closed this showing
    bool unloaded_ = false;
    bool acceptedFile_ = false;
};

}  // namespace tessiloom
