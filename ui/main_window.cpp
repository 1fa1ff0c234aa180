#include "ui/main_window.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPalette>
#include <QPushButton>
#include <QScopedValueRollback>
#include <cstdlib>
#include <iostream>
#include <iterator>

#include "app/program_state.h"
#include "conversion/run.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tessiloom/version.h"
#include "ui/common_file_dialog.h"
#include "ui/twips.h"

namespace tessiloom {
namespace {

constexpr QSize kClientTwips{8745, 2490};

// A window of its own (so it gets a taskbar button) with a close box and a fixed frame, hence no
// minimize or maximize button.
constexpr Qt::WindowFlags kFrameFlags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                        Qt::MSWindowsFixedSizeDialogHint;

QString Title() {
    return QStringLiteral("Tessiloom");
}

QFont ArialFont(double points) {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(points);
    return font;
}

bool ShowCommonFileDialog(QWidget* owner) {
    CommonFileDialog dialog(owner);
    dialog.exec();
    return dialog.AcceptedFile();
}

// No destructors, no atexit handlers and no return into the caller: the conversion run waiting below
// the close request must not get to write its image.
[[noreturn]] void EndProcessNow() {
    std::quick_exit(EXIT_SUCCESS);
}

}  // namespace

Main::Main(const std::filesystem::path& programFolder)
    : QDialog(nullptr, kFrameFlags),
      settingsPath_(SettingsFilePath(programFolder)),
      chooseFile_(ShowCommonFileDialog),
      endProgram_(EndProcessNow) {
    CreateControls();
    ConnectControls();
    PlaceControls();
    Load();
}

void Main::CreateControls() {
    setWindowTitle(Title());
    setFont(ArialFont(8));
    CreateFrames();

    processBut_ = new QPushButton(tr("&Process"), this);
    processBut_->setObjectName("ProcessBut");
    processBut_->setDefault(true);

    exitBut_ = new QPushButton(tr("E&xit"), this);
    exitBut_->setObjectName("ExitBut");

    const QColor lineColours[] = {QColor(128, 128, 128), Qt::white};  // an etched line: shadow, then light
    for (std::size_t index = 0; index < line1_.size(); ++index) {
        line1_[index] = new QWidget(this);
        line1_[index]->setObjectName("Line1");
        QPalette palette = line1_[index]->palette();
        palette.setColor(line1_[index]->backgroundRole(), lineColours[index]);
        line1_[index]->setPalette(palette);
        line1_[index]->setAutoFillBackground(true);
    }

    // Plain text, one line, cut off at the label's edge: a long "Finished writing: " path must neither
    // wrap nor widen the label, and a path with '<' in it is no markup.
    stat_ = new QLabel(Title(), this);
    stat_->setObjectName("Stat");
    stat_->setFont(ArialFont(9));
    stat_->setTextFormat(Qt::PlainText);
    stat_->setWordWrap(false);

    version_ = new QLabel(this);
    version_->setObjectName("Version");
    version_->setFont(ArialFont(9));
    version_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void Main::CreateFrames() {
    frame1_ = new QGroupBox(tr("Source ASC File"), this);
    frame1_->setObjectName("Frame1");

    command1_ = new QPushButton(tr("&Browse"), frame1_);
    command1_->setObjectName("Command1");

    sourceFile_ = new QLineEdit(frame1_);
    sourceFile_->setObjectName("SourceFile");

    frame2_ = new QGroupBox(this);
    frame2_->setObjectName("Frame2");

    presetRanges_ = new QCheckBox(tr("Use Preset Height Ranges"), frame2_);
    presetRanges_->setObjectName("PresetRanges");

    label1_ = new QLabel(tr("Min:"), frame2_);
    label1_->setObjectName("Label1");
    label1_->setAlignment(Qt::AlignRight | Qt::AlignTop);  // text level with the box beside it

    minPreset_ = new QLineEdit(QStringLiteral("0.0"), frame2_);
    minPreset_->setObjectName("MinPreset");
    minPreset_->setEnabled(false);

    label2_ = new QLabel(tr("Max:"), frame2_);
    label2_->setObjectName("Label2");
    label2_->setAlignment(Qt::AlignRight | Qt::AlignTop);  // text level with the box beside it

    maxPreset_ = new QLineEdit(QStringLiteral("1000.0"), frame2_);
    maxPreset_->setObjectName("MaxPreset");
    maxPreset_->setEnabled(false);
}

void Main::ConnectControls() {
    connect(command1_, &QPushButton::clicked, this, &Main::Command1Click);
    connect(presetRanges_, &QCheckBox::toggled, this, &Main::PresetRangesClick);
    connect(processBut_, &QPushButton::clicked, this, &Main::ProcessButClick);
    connect(exitBut_, &QPushButton::clicked, this, &QDialog::reject);
}

void Main::PlaceControls() {
    struct Placement {
        QWidget* control;
        QRect twips;  // left, top, width, height, inside the control's frame or the window
    };
    const Placement placements[] = {
        {frame1_, {120, 120, 6975, 855}},       {command1_, {120, 360, 1215, 375}},
        {sourceFile_, {1440, 360, 5415, 375}},  {processBut_, {7320, 240, 1215, 375}},
        {exitBut_, {7320, 720, 1215, 375}},     {frame2_, {120, 1080, 6975, 735}},
        {presetRanges_, {600, 240, 2295, 375}}, {label1_, {3360, 360, 375, 255}},
        {minPreset_, {3840, 240, 735, 375}},    {label2_, {4800, 360, 375, 255}},
        {maxPreset_, {5280, 240, 735, 375}},    {stat_, {120, 2160, 6495, 255}},
        {version_, {7080, 2160, 1575, 255}},    {line1_[0], {0, 2040, 8760, 15}},
        {line1_[1], {0, 2055, 8760, 15}},
    };
    for (const auto& [control, twips] : placements) control->setGeometry(FromTwips(twips));
    setFixedSize(FromTwips(kClientTwips));

    QWidget* const focusOrder[] = {command1_,     sourceFile_, processBut_, exitBut_,
                                   presetRanges_, minPreset_,  maxPreset_};
    for (std::size_t index = 1; index < std::size(focusOrder); ++index)
        setTabOrder(focusOrder[index - 1], focusOrder[index]);
}

void Main::Load() {
    version_->setText(
        QStringLiteral("Ver: %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
    sourceFile_->setText(
        QString::fromStdString(ReadIniValue(settingsPath_, kSettingsSectionRead, kSourceFileKey)));
    command1_->setFocus();
}

void Main::Command1Click() {
    // Only an accepted file replaces the field: after Cancel, or Ok with nothing selected, a typed or
    // remembered path stays, since the field is what the exit saves.
    if (chooseFile_(this)) sourceFile_->setText(ChosenPath);
    stat_->setText(tr("Ready"));
}

void Main::PresetRangesClick() {
    const bool on = presetRanges_->isChecked();
    minPreset_->setEnabled(on);
    maxPreset_->setEnabled(on);
}

void Main::ProcessButClick() {
    // A click delivered while a run waits for events would start a second run inside the first one;
    // it is dropped, and the user presses Process again once the first run has finished.
    if (running_) return;
    const QScopedValueRollback<bool> running(running_, true);
    RunConversion(*this);
}

void Main::done(int result) {
    // Exit (reject), Escape (through Exit), the close box and any other close request (closeEvent
    // rejects) all end here.
    Unload();
    QDialog::done(result);
}

void Main::keyPressEvent(QKeyEvent* event) {
    // QDialog would reject() on Escape by itself; going through the button makes Escape a press of Exit.
    if (event->matches(QKeySequence::Cancel)) {
        exitBut_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Main::Unload() {
    const std::string sourcePath = sourceFile_->text().toStdString();
    if (const auto failure =
            WriteIniValue(settingsPath_, kSettingsSectionWritten, kSourceFileKey, sourcePath))
        std::cerr << "tessiloom: the source path was not saved: " << *failure << std::endl;
    if (running_) endProgram_();
}

std::string Main::SourcePathText() {
    return sourceFile_->text().toStdString();
}

bool Main::UsePresetRanges() {
    return presetRanges_->checkState() != Qt::Unchecked;
}

std::string Main::MinPresetText() {
    return minPreset_->text().toStdString();
}

std::string Main::MaxPresetText() {
    return maxPreset_->text().toStdString();
}

void Main::ShowStatus(const std::string& text) {
    stat_->setText(QString::fromStdString(text));
}

void Main::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, Title(), QString::fromStdString(text), QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
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
