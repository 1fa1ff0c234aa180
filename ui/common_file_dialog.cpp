#include "ui/common_file_dialog.h"

#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <iterator>

#include "app/program_state.h"
#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ui/pattern_list.h"
#include "ui/twips.h"

namespace tessiloom {
namespace {

constexpr char kAscPattern[] = "*.asc";
constexpr QSize kClientTwips{7380, 4545};

// Close box only: the frame is fixed, so minimize and maximize would have nothing to do.
constexpr Qt::WindowFlags kFrameFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                        Qt::MSWindowsFixedSizeDialogHint;

QFont ArialFont(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

}  // namespace

CommonFileDialog::CommonFileDialog(QWidget* owner) : CommonFileDialog(CurrentDriveLayout(), owner) {}

CommonFileDialog::CommonFileDialog(const DriveLayout& layout, QWidget* owner) : QDialog(owner, kFrameFlags) {
    CreateControls(layout);
    ConnectControls();
    PlaceControls();
    Load();
}

void CommonFileDialog::CreateControls(const DriveLayout& layout) {
    setWindowTitle(tr("Open File"));
    // 8 pt keeps a line of list text inside the 21-pixel drop-downs the layout allows.
    setFont(ArialFont(8));

    file1_ = new FileList(this);
    file1_->setObjectName("File1");
    file1_->SetPattern(kAscPattern);
    file1_->SetFolderPath(layout.workingFolder);

    dir1_ = new FolderList(layout, this);
    dir1_->setObjectName("Dir1");
    dir1_->SetPath(layout.workingFolder);

    fileType_ = new PatternList({kAscPattern}, this);
    fileType_->setObjectName("FileType");

    drive1_ = new DriveList(layout.roots, this);
    drive1_->setObjectName("Drive1");
    drive1_->SetDriveText(layout.workingFolder);

    command1_ = new QPushButton(tr("Ok"), this);
    command1_->setObjectName("Command1");
    command1_->setDefault(true);

    command2_ = new QPushButton(tr("Cancel"), this);
    command2_->setObjectName("Command2");

    const QString captions[] = {tr("File:"), tr("Folder:")};
    for (std::size_t index = 0; index < label1_.size(); ++index) {
        label1_[index] = new QLabel(captions[index], this);
        label1_[index]->setObjectName("Label1");
        label1_[index]->setFont(ArialFont(9.75));
    }
}

void CommonFileDialog::ConnectControls() {
    connect(drive1_, &DriveList::Changed, this, &CommonFileDialog::Drive1Change);
    connect(dir1_, &FolderList::Changed, this, &CommonFileDialog::Dir1Change);
    connect(fileType_, &PatternList::Changed, this, &CommonFileDialog::FileTypeChange);
    connect(file1_, &FileList::DoubleClicked, this, &QDialog::accept);
    connect(command1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(command2_, &QPushButton::clicked, this, &CommonFileDialog::Command2Click);
}

void CommonFileDialog::PlaceControls() {
    struct Placement {
        QWidget* control;
        QRect twips;  // left, top, width, height
    };
    const Placement placements[] = {
        {file1_, {120, 360, 3375, 2820}},     {dir1_, {3720, 360, 3495, 2790}},
        {fileType_, {120, 3240, 3375, 315}},  {drive1_, {3720, 3240, 3495, 315}},
        {command1_, {2040, 3840, 1215, 495}}, {command2_, {3840, 3840, 1215, 495}},
        {label1_[0], {240, 120, 1215, 255}},  {label1_[1], {3840, 120, 1215, 255}},
    };
    for (const auto& [control, twips] : placements) control->setGeometry(FromTwips(twips));
    setFixedSize(FromTwips(kClientTwips));

    QWidget* const focusOrder[] = {file1_, dir1_, fileType_, drive1_, command1_, command2_};
    for (std::size_t index = 1; index < std::size(focusOrder); ++index)
        setTabOrder(focusOrder[index - 1], focusOrder[index]);
}

void CommonFileDialog::Load() {
    // Only the drive of the last folder counts; the folder list then goes to the folder current on it.
    if (!LastFolder.isEmpty()) drive1_->SetDriveText(LastFolder);
    cancelled_ = false;
    fileType_->SetSelectionIndex(0);
    file1_->setFocus();
}

void CommonFileDialog::Drive1Change() {
    dir1_->SetDrive(drive1_->DriveText());
}

void CommonFileDialog::Dir1Change() {
    file1_->SetFolderPath(dir1_->Path());
}

void CommonFileDialog::FileTypeChange() {
    file1_->SetPattern(fileType_->EntryText(fileType_->SelectionIndex()));
}

void CommonFileDialog::Command2Click() {
    cancelled_ = true;
    reject();
}

void CommonFileDialog::done(int result) {
    // accept(), reject() and the close box (through closeEvent) all end here.
    if (!unloaded_) {
        unloaded_ = true;
        Unload();
    }
    QDialog::done(result);
}

void CommonFileDialog::keyPressEvent(QKeyEvent* event) {
    // QDialog would reject() on Escape without the Cancel button knowing; going through the button
    // marks the showing as cancelled, as a click would.
    if (event->matches(QKeySequence::Cancel)) {
        command2_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CommonFileDialog::Unload() {
    LastFolder = dir1_->Path();
    if (cancelled_) return;
    // With nothing selected there is no name to join, and a bare folder is no file to convert.
    const int selected = file1_->SelectionIndex();
    if (selected < 0) return;
    ChosenPath = dir1_->Path() + '/' + file1_->EntryText(selected);
    acceptedFile_ = true;
}

}  // namespace tessiloom
