#pragma once

#include <array>

#include "ui/drives.h"
#include "ui/form.h"

class QLabel;
class QPushButton;

namespace tessiloom {

class DriveList;
class FileList;
class FolderList;
class PatternList;

// The program's own modal file chooser: a file list with its pattern drop-down on the left, a folder
// list with its drive drop-down on the right, Ok and Cancel below. Its controls carry the names the
// layout gives them ("File1", "Dir1", "FileType", "Drive1", "Command1" for Ok, "Command2" for Cancel,
// "Label1" for both captions).
//
// One object serves one showing, like the window it stands for: create it on the stack with its owner,
// call exec(), let it go. Construction loads it: the lists start at the working folder and its drive,
// then move to the drive (only the drive) of LastFolder when that is set. However the showing ends
// (Ok, Enter, a double-click on a file, Cancel, Escape, the close box), the unload runs once:
// LastFolder := the folder shown; then, unless Cancel closed it or no file is selected,
// ChosenPath := folder + "/" + file name ("//hill.asc" at the root).
class CommonFileDialog : public Form {
    Q_OBJECT

  public:
    // Over the mounted drives and the program's working folder.
    explicit CommonFileDialog(QWidget* owner = nullptr);
    // Over the given drives and working folder.
    explicit CommonFileDialog(const DriveLayout& layout, QWidget* owner = nullptr);

    // True once the unload has stored an accepted file in ChosenPath; false after Cancel, and after
    // an accepting close with no file selected, both of which leave ChosenPath as it was.
    bool AcceptedFile() const { return acceptedFile_; }

  protected:
    void Unload() override;

  private:
    void CreateControls(const DriveLayout& layout);
    void ConnectControls();
    void PlaceControls();

    void Load();
    void DriveChanged();
    void FolderChanged();
    void PatternChanged();
    void Cancel();

    FileList* fileList_ = nullptr;
    FolderList* folderList_ = nullptr;
    PatternList* patternList_ = nullptr;
    DriveList* driveList_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    std::array<QLabel*, 2> captions_{};

    bool cancelled_ = false;  // true only when Cancel closed this showing
    bool acceptedFile_ = false;
};

}  // namespace tessiloom
