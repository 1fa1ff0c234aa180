#pragma once

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>

#include "conversion/conversion_host.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessiloom {

// Shows the file chooser modally over `owner` and returns once it has closed: true when it accepted a
// file, whose full path is then in ChosenPath; false when nothing was chosen (ChosenPath as it was).
using FileChooser = std::function<bool(QWidget* owner)>;

// Ends the process at once: no destructors, nothing else of the program runs. The real one never
// returns; a test's stand-in does, and the interrupted run then carries on.
using ProgramEnder = std::function<void()>;

// The program's one window: the source path with its Browse button, the preset height range, Process
// and Exit, a status line and the version. It is the host of the conversion runs it starts, and every
// value it hands a run is read from its controls at the moment the run asks.
//
// Construction loads it: the version label, and the source path remembered in the settings file of
// `programFolder`. However the window is closed (Exit, Escape, the close box, any other close
// request), done() saves the source path to that file, even when empty; a failed save is one line on
// standard error. Closing outside a run then simply hides the last window, which ends the event loop.
// Closing while a run waits for events ends the process through the ProgramEnder right after the save,
// so the run never writes its image (at those points no output or temporary file exists yet).
// A Process click delivered there is ignored: one run at a time.
class Main : public QDialog, public ConversionHost {
    Q_OBJECT

  public:
    explicit Main(const std::filesystem::path& programFolder);

    // Tests stand in for the chooser and for the end of the process; the defaults are the real ones.
    void SetFileChooser(FileChooser chooseFile) { chooseFile_ = std::move(chooseFile); }
    void SetProgramEnder(ProgramEnder endProgram) { endProgram_ = std::move(endProgram); }

    void done(int result) override;

    std::string SourcePathText() override;
    bool UsePresetRanges() override;
    std::string MinPresetText() override;
    std::string MaxPresetText() override;
    void ShowStatus(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void SetBusyPointer(bool on) override;
    void DoEvents() override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void CreateFrames();
    void ConnectControls();
    void PlaceControls();

    void Load();
    void Command1Click();
    void PresetRangesClick();
    void ProcessButClick();
    void Unload();

    std::filesystem::path settingsPath_;
    FileChooser chooseFile_;
    ProgramEnder endProgram_;
    bool running_ = false;  // a conversion run is on the stack below the current event

    QGroupBox* frame1_ = nullptr;
    QPushButton* command1_ = nullptr;
    QLineEdit* sourceFile_ = nullptr;
    QPushButton* processBut_ = nullptr;
    QPushButton* exitBut_ = nullptr;
    QGroupBox* frame2_ = nullptr;
    QCheckBox* presetRanges_ = nullptr;
    QLabel* label1_ = nullptr;
    QLineEdit* minPreset_ = nullptr;
    QLabel* label2_ = nullptr;
    QLineEdit* maxPreset_ = nullptr;
    QLabel* stat_ = nullptr;
    QLabel* version_ = nullptr;
    std::array<QWidget*, 2> line1_{};
};

}  // namespace tessiloom
