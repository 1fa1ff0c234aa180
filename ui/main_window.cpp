#include "ui/main_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPalette>
#include <QPushButton>
#include <QScopedValueRollback>
#include <cstdlib>
#include <iostream>

#include "conversion/run.h"
#include "formats/targa.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tessiloom/version.h"
#include "ui/common_file_dialog.h"
#include "ui/form_layout.h"
#include "ui/program_state.h"

namespace tessiloom {
namespace {

constexpr QSize kClientTwips{8745, 2490};

QString Title() {
    return QStringLiteral("Tessiloom");
}

// Shows `dialog` modally, then gives the keyboard back to the window under it: with no window
// manager (a bare X server) nothing else does, and the next keys would go nowhere.
void ShowModal(QDialog& dialog) {
    dialog.exec();
    if (QWidget* owner = dialog.parentWidget()) owner->window()->activateWindow();
}

bool ShowCommonFileDialog(QWidget* owner) {
    CommonFileDialog dialog(owner);
    ShowModal(dialog);
    return dialog.AcceptedFile();
}

// No destructors, no atexit handlers and no return into the caller: the conversion run waiting below
// the close request must not get to write its image.
[[noreturn]] void EndProcessNow() {
    std::quick_exit(EXIT_SUCCESS);
}

// The one local file a drag carries; nothing when it carries anything else.
std::optional<QString> DraggedFile(const QMimeData* data) {
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile()) return std::nullopt;
    const QString path = urls.first().toLocalFile();
    if (QFileInfo(path).isDir()) return std::nullopt;
    return path;
}

QLineEdit* RangeField(const QString& text, QWidget* frame) {
    auto* field = new QLineEdit(text, frame);
    field->setEnabled(false);
    return field;
}

QLabel* RangeLabel(const QString& text, QWidget* frame) {
    auto* label = new QLabel(text, frame);
    label->setAlignment(Qt::AlignRight | Qt::AlignTop);  // text level with the field beside it
    return label;
}

}  // namespace

Main::Main(std::filesystem::path settingsFile, std::optional<QString> openedFile)
    : Form(nullptr, Qt::Window),
      settingsFile_(std::move(settingsFile)),
      chooseFile_(ShowCommonFileDialog),
      endProgram_(EndProcessNow) {
    CreateControls();
    ConnectControls();
    PlaceControls();
    Load(openedFile);
}

void Main::CreateControls() {
    setWindowTitle(Title());
    setFont(ArialFont(8));
    setAcceptDrops(true);
    CreateFrames();

    processButton_ = new QPushButton(tr("&Process"), this);
    processButton_->setObjectName("ProcessBut");
    processButton_->setDefault(true);

    exitButton_ = new QPushButton(tr("E&xit"), this);
    exitButton_->setObjectName("ExitBut");
    SetCancelButton(exitButton_);

    const QColor lineColours[] = {QColor(128, 128, 128), Qt::white};  // an etched line: shadow, then light
    for (std::size_t index = 0; index < etchedLine_.size(); ++index) {
        etchedLine_[index] = new QWidget(this);
        etchedLine_[index]->setObjectName("Line1");
        QPalette palette = etchedLine_[index]->palette();
        palette.setColor(etchedLine_[index]->backgroundRole(), lineColours[index]);
        etchedLine_[index]->setPalette(palette);
        etchedLine_[index]->setAutoFillBackground(true);
    }

    // Plain text, one line, cut off at the label's edge: a long "Finished writing: " path must neither
    // wrap nor widen the label, and a path with '<' in it is no markup.
    statusLabel_ = new QLabel(Title(), this);
    statusLabel_->setObjectName("Stat");
    statusLabel_->setFont(ArialFont(9));
    statusLabel_->setTextFormat(Qt::PlainText);
    statusLabel_->setWordWrap(false);

    versionLabel_ = new QLabel(this);
    versionLabel_->setObjectName("Version");
    versionLabel_->setFont(ArialFont(9));
    versionLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Main::CreateFrames() {
    sourceFrame_ = new QGroupBox(tr("Source ASC File"), this);
    sourceFrame_->setObjectName("Frame1");

    browseButton_ = new QPushButton(tr("&Browse"), sourceFrame_);
    browseButton_->setObjectName("Command1");

    sourceField_ = new QLineEdit(sourceFrame_);
    sourceField_->setObjectName("SourceFile");
    // Text dropped into the field would be taken as typed; the window decides what a drop may be.
    sourceField_->setAcceptDrops(false);

    rangeFrame_ = new QGroupBox(this);
    rangeFrame_->setObjectName("Frame2");

    presetRangesBox_ = new QCheckBox(tr("Use Preset Height Ranges"), rangeFrame_);
    presetRangesBox_->setObjectName("PresetRanges");

    minLabel_ = RangeLabel(tr("Min:"), rangeFrame_);
    minLabel_->setObjectName("Label1");
    minField_ = RangeField(QStringLiteral("0.0"), rangeFrame_);
    minField_->setObjectName("MinPreset");

    maxLabel_ = RangeLabel(tr("Max:"), rangeFrame_);
    maxLabel_->setObjectName("Label2");
    maxField_ = RangeField(QStringLiteral("1000.0"), rangeFrame_);
    maxField_->setObjectName("MaxPreset");
}

void Main::ConnectControls() {
    connect(browseButton_, &QPushButton::clicked, this, &Main::Browse);
    connect(presetRangesBox_, &QCheckBox::toggled, this, &Main::TogglePresetRanges);
    connect(processButton_, &QPushButton::clicked, this, &Main::Process);
    connect(exitButton_, &QPushButton::clicked, this, &QDialog::reject);
}

void Main::PlaceControls() {
    Place({
        {sourceFrame_, {120, 120, 6975, 855}},
        {browseButton_, {120, 360, 1215, 375}},
        {sourceField_, {1440, 360, 5415, 375}},
        {processButton_, {7320, 240, 1215, 375}},
        {exitButton_, {7320, 720, 1215, 375}},
        {rangeFrame_, {120, 1080, 6975, 735}},
        {presetRangesBox_, {600, 240, 2295, 375}},
        {minLabel_, {3360, 360, 375, 255}},
        {minField_, {3840, 240, 735, 375}},
        {maxLabel_, {4800, 360, 375, 255}},
        {maxField_, {5280, 240, 735, 375}},
        {statusLabel_, {120, 2160, 6495, 255}},
        {versionLabel_, {7080, 2160, 1575, 255}},
        {etchedLine_[0], {0, 2040, 8760, 15}},
        {etchedLine_[1], {0, 2055, 8760, 15}},
    });
    setFixedSize(FromTwips(kClientTwips));
    SetTabOrder(
        {browseButton_, sourceField_, processButton_, exitButton_, presetRangesBox_, minField_, maxField_});
}

void Main::Load(const std::optional<QString>& openedFile) {
    versionLabel_->setText(
        QStringLiteral("Ver: %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
    sourceField_->setText(openedFile ? *openedFile
                                     : QString::fromStdString(ReadIniValue(
                                           settingsFile_, kSettingsSectionRead, kSourceFileKey)));
    browseButton_->setFocus();
}

void Main::Browse() {
    // Only an accepted file replaces the field: after Cancel, or Ok with nothing selected, a typed or
    // remembered path stays, since the field is what the exit saves.
    if (chooseFile_(this)) sourceField_->setText(ChosenPath);
    statusLabel_->setText(tr("Ready"));
}

void Main::TogglePresetRanges() {
    const bool on = presetRangesBox_->isChecked();
    minField_->setEnabled(on);
    maxField_->setEnabled(on);
}

void Main::Process() {
    // A click delivered while a run waits for events would start a second run inside the first one;
    // it is dropped, and the user presses Process again once the first run has finished.
    if (running_) return;
    const QScopedValueRollback<bool> running(running_, true);
    RunConversion(*this, kTargaFormat);
}

void Main::Unload() {
    const std::string sourcePath = sourceField_->text().toStdString();
    if (const auto failure =
            WriteIniValue(settingsFile_, kSettingsSectionWritten, kSourceFileKey, sourcePath))
        std::cerr << "tessiloom: the source path was not saved: " << *failure << std::endl;
    if (running_) endProgram_();
}

void Main::dragEnterEvent(QDragEnterEvent* event) {
    // Left unaccepted, the drag shows the pointer that refuses it, before anything is dropped.
    if (DraggedFile(event->mimeData())) event->acceptProposedAction();
}

void Main::dropEvent(QDropEvent* event) {
    if (const std::optional<QString> file = DraggedFile(event->mimeData())) {
        sourceField_->setText(*file);
        event->acceptProposedAction();
    }
}

std::string Main::SourcePathText() {
    return sourceField_->text().toStdString();
}

bool Main::UsePresetRanges() {
    return presetRangesBox_->checkState() != Qt::Unchecked;
}

std::string Main::MinPresetText() {
    return minField_->text().toStdString();
}

std::string Main::MaxPresetText() {
    return maxField_->text().toStdString();
}

void Main::ShowStatus(const std::string& text) {
    statusLabel_->setText(QString::fromStdString(text));
}

void Main::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setIcon(QIcon());  // some desktop styles put one on the button
    ShowModal(box);
}

void Main::SetBusyPointer(bool on) {
    if (on) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QGuiApplication::restoreOverrideCursor();
    }
}

void Main::DoEvents() {
    QCoreApplication::processEvents();
}

}  // namespace tessiloom
