#pragma once

#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "conversion/conversion_host.h"
#include "ui/form.h"

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
// Its controls carry the names the layout gives them ("Command1" for Browse, "SourceFile",
// "ProcessBut", "ExitBut", "PresetRanges", "MinPreset", "MaxPreset", "Stat", "Version", "Frame1",
// "Frame2", "Label1", "Label2", "Line1" for both lines of the etched separator).
//
// Construction loads it: the version label, and `openedFile` (a file the program was started with)
// or else the source path remembered in `settingsFile`.
// However the window is closed (Exit, Escape, the close box, any other close request), the unload
// saves the source path to that file, even when empty; a failed save is one line on standard error. Closing
// outside a run then simply hides the last window, which ends the event loop. Closing while a run waits for
// events ends the process through the ProgramEnder right after the save, so the run never writes its image
// (at those points no output or temporary file exists yet). A Process click delivered there is ignored: one
// run at a time.
//
// One local file dropped anywhere on the window puts its path in the source field, as if typed;
// anything else (several files, a folder, a remote address, text) is refused before the drop.
class Main : public Form, public ConversionHost {
    Q_OBJECT

  public:
    explicit Main(std::filesystem::path settingsFile, std::optional<QString> openedFile = std::nullopt);

    // Tests stand in for the chooser and for the end of the process; the defaults are the real ones.
    void SetFileChooser(FileChooser chooseFile) { chooseFile_ = std::move(chooseFile); }
    void SetProgramEnder(ProgramEnder endProgram) { endProgram_ = std::move(endProgram); }

    std::string SourcePathText() override;
    bool UsePresetRanges() override;
    std::string MinPresetText() override;
    std::string MaxPresetText() override;
    void ShowStatus(const std::string& text) override;
    void ShowMessage(const std::string& text) override;
    void SetBusyPointer(bool on) override;
    void DoEvents() override;

  protected:
    void Unload() override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls();
    void CreateFrames();
    void ConnectControls();
    void PlaceControls();

    void Load(const std::optional<QString>& openedFile);
    void Browse();
    void TogglePresetRanges();
    void Process();

    std::filesystem::path settingsFile_;
    FileChooser chooseFile_;
    ProgramEnder endProgram_;
    bool running_ = false;  // a conversion run is on the stack below the current event

    QGroupBox* sourceFrame_ = nullptr;
    QPushButton* browseButton_ = nullptr;
    QLineEdit* sourceField_ = nullptr;
    QPushButton* processButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QGroupBox* rangeFrame_ = nullptr;
    QCheckBox* presetRangesBox_ = nullptr;
    QLabel* minLabel_ = nullptr;
    QLineEdit* minField_ = nullptr;
    QLabel* maxLabel_ = nullptr;
    QLineEdit* maxField_ = nullptr;
    QLabel* statusLabel_ = nullptr;
    QLabel* versionLabel_ = nullptr;
    std::array<QWidget*, 2> etchedLine_{};  // the grey line, then the white one below it
};

}  // namespace tessiloom
