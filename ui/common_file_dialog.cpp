#include "ui/common_file_dialog.h"

#include <QLabel>
#include <QPushButton>

#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ui/form_layout.h"
#include "ui/pattern_list.h"
#include "ui/program_state.h"

namespace tessiloom {
namespace {

constexpr char kAscPattern[] = "*.asc";
constexpr QSize kClientTwips{7380, 4545};

}  // namespace

CommonFileDialog::CommonFileDialog(QWidget* owner) : CommonFileDialog(CurrentDriveLayout(), owner) {}

CommonFileDialog::CommonFileDialog(const DriveLayout& layout, QWidget* owner) : Form(owner, Qt::Dialog) {
    CreateControls(layout);
    ConnectControls();
    PlaceControls();
    Load();
}

void CommonFileDialog::CreateControls(const DriveLayout& layout) {
    setWindowTitle(tr("Open File"));
    // 8 pt keeps a line of list text inside the 21-pixel drop-downs the layout allows.
    setFont(ArialFont(8));

    fileList_ = new FileList(this);
    fileList_->setObjectName("File1");
    fileList_->SetPattern(kAscPattern);
    fileList_->SetFolderPath(layout.workingFolder);

    folderList_ = new FolderList(layout, this);
    folderList_->setObjectName("Dir1");
    folderList_->SetPath(layout.workingFolder);

    patternList_ = new PatternList({kAscPattern}, this);
    patternList_->setObjectName("FileType");

    driveList_ = new DriveList(layout.roots, this);
    driveList_->setObjectName("Drive1");
    driveList_->SetDriveText(layout.workingFolder);

    okButton_ = new QPushButton(tr("Ok"), this);
    okButton_->setObjectName("Command1");
    okButton_->setDefault(true);

    cancelButton_ = new QPushButton(tr("Cancel"), this);
    cancelButton_->setObjectName("Command2");
    SetCancelButton(cancelButton_);

    const QString captions[] = {tr("File:"), tr("Folder:")};
    for (std::size_t index = 0; index < captions_.size(); ++index) {
        captions_[index] = new QLabel(captions[index], this);
        captions_[index]->setObjectName("Label1");
        captions_[index]->setFont(ArialFont(9.75));
    }
}

void CommonFileDialog::ConnectControls() {
    connect(driveList_, &DriveList::Changed, this, &CommonFileDialog::DriveChanged);
    connect(folderList_, &FolderList::Changed, this, &CommonFileDialog::FolderChanged);
    connect(patternList_, &PatternList::Changed, this, &CommonFileDialog::PatternChanged);
    connect(fileList_, &FileList::DoubleClicked, this, &QDialog::accept);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &CommonFileDialog::Cancel);
}

void CommonFileDialog::PlaceControls() {
    Place({
        {fileList_, {120, 360, 3375, 2820}},
        {folderList_, {3720, 360, 3495, 2790}},
        {patternList_, {120, 3240, 3375, 315}},
        {driveList_, {3720, 3240, 3495, 315}},
        {okButton_, {2040, 3840, 1215, 495}},
        {cancelButton_, {3840, 3840, 1215, 495}},
        {captions_[0], {240, 120, 1215, 255}},
        {captions_[1], {3840, 120, 1215, 255}},
    });
    setFixedSize(FromTwips(kClientTwips));
    SetTabOrder({fileList_, folderList_, patternList_, driveList_, okButton_, cancelButton_});
}

void CommonFileDialog::Load() {
    // Only the drive of the last folder counts; the folder list then goes to the folder current on it.
    if (!LastFolder.isEmpty()) driveList_->SetDriveText(LastFolder);
    cancelled_ = false;
    patternList_->SetSelectionIndex(0);
    fileList_->setFocus();
}

void CommonFileDialog::DriveChanged() {
    folderList_->SetDrive(driveList_->DriveText());
}

void CommonFileDialog::FolderChanged() {
    fileList_->SetFolderPath(folderList_->Path());
}

void CommonFileDialog::PatternChanged() {
    fileList_->SetPattern(patternList_->EntryText(patternList_->SelectionIndex()));
}

void CommonFileDialog::Cancel() {
    cancelled_ = true;
    reject();
}

void CommonFileDialog::Unload() {
    LastFolder = folderList_->Path();
    if (cancelled_) return;
    // With nothing selected there is no name to join, and a bare folder is no file to convert.
    const int selected = fileList_->SelectionIndex();
    if (selected < 0) return;
    ChosenPath = folderList_->Path() + '/' + fileList_->EntryText(selected);
    acceptedFile_ = true;
}

}  // namespace tessiloom
