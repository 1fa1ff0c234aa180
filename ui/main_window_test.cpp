#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "conversion/test_listing.h"
#include "files/test_files.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "ui/file_list.h"
#include "ui/form_layout.h"
#include "ui/program_state.h"

namespace tessiloom {

constexpr char kEarlierChoice[] = "/maps/earlier.asc";
constexpr char kTypedPath[] = "/maps/typed.asc";
// The 2 x 2 listing with heights 0, 10, 20, 30 over its own range: rows top first, blue, low, high.
const std::string kFullRangeImage = std::string("\0\0\2\0\0\0\0\0\0\0\0\0\2\0\2\0\x18\x20", 18) +
                                    std::string("\0\xaa\xaa\0\xff\xff\0\0\0\0\x55\x55", 12);

// Answers each modal dialog once it is up, from that dialog's own event loop, as a user would.
class DialogAnswerer : public QObject {
  public:
    explicit DialogAnswerer(std::function<void(QDialog*)> answer) : answer_(std::move(answer)) {
        qApp->installEventFilter(this);
    }
    ~DialogAnswerer() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && dialog->isModal())
            QMetaObject::invokeMethod(
                dialog, [this, dialog] { answer_(dialog); }, Qt::QueuedConnection);
        return false;
    }

  private:
    std::function<void(QDialog*)> answer_;
};

// A message box as "title: text", marking an icon, buttons other than OK, or a pointer not busy.
QString Described(const QMessageBox* box) {
    const QCursor* pointer = QGuiApplication::overrideCursor();
    return box->windowTitle() + (box->icon() == QMessageBox::NoIcon ? "" : " (icon)") +
           (box->standardButtons() == QMessageBox::Ok ? "" : " (buttons)") +
           (pointer && pointer->shape() == Qt::WaitCursor ? "" : " (idle)") + ": " + box->text();
}

// Queues `request` so that the first (point 1) or the second (point 2) delivery of events meets it.
void QueueFor(int point, const std::function<void()>& request) {
    const auto queue = [](const std::function<void()>& call) {
        QMetaObject::invokeMethod(qApp, call, Qt::QueuedConnection);
    };
    // Events queued while events are being delivered wait for the next delivery.
    if (point == 1) queue(request);
    if (point == 2) queue([=] { queue(request); });
}

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        ChosenPath = kEarlierChoice;
        folder_ = std::make_unique<TemporaryFolder>();
    }
    void cleanup() { window_.reset(); }

    void LoadsVersionAndStoredPath_data();
    void LoadsVersionAndStoredPath();
    void FocusStartsOnBrowseAndSkipsDisabledRangeBoxes();
    void PresetToggleSwitchesBothBoxesAndKeepsTexts();
    void BrowseTakesOnlyAnAcceptedFile_data();
    void BrowseTakesOnlyAnAcceptedFile();
    void ProcessConvertsThroughTheWindow_data();
    void ProcessConvertsThroughTheWindow();
    void KeyRoutes_data();
    void KeyRoutes();
    void ClosingSavesThePath_data();
    void ClosingSavesThePath();
    void ClosingDuringARunSavesAndEndsBeforeTheImage_data();
    void ClosingDuringARunSavesAndEndsBeforeTheImage();
    void ProcessClickDuringARunIsIgnored();
    void ControlsSitAtTheirTwips_data();
    void ControlsSitAtTheirTwips();
    void LongStatusAndEtchedLineKeepTheirPlace();

  private:
    // The window over the test's program folder, created on first use (after any Store()), with an
    // ender that fails the test: outside a run, closing the window must not end the process.
    Main& Window() {
        if (!window_) {
            window_ = std::make_unique<Main>(SettingsFilePath(folder_->Path()));
            // The real ender would end this test process with status 0, every later test unrun.
            window_->SetProgramEnder([] { QFAIL("the program was ended outside a run"); });
        }
        return *window_;
    }
    template <typename T = QWidget>
    T* Control(const char* name) {
        return Window().findChild<T*>(name);
    }
    bool Shown() {
        Window().show();
        return QTest::qWaitForWindowActive(&Window());
    }
    std::string Stored() const {
        return ReadIniValue(SettingsFilePath(folder_->Path()), "App", "SourceFile");
    }
    void Store(const std::string& path) const {
        WriteIniValue(SettingsFilePath(folder_->Path()), "App", "SourceFile", path);
    }
    QByteArray Image(const std::string& name) const {
        return QByteArray::fromStdString(ReadFile(*folder_ / name));
    }
    QString Finished(const std::string& name) const {
        return QString::fromStdString("Finished writing: " + *folder_ / name);
    }
    // A 2 x 2 listing with heights 0, 10, 20, 30 in the program folder.
    QString Listed(const std::string& name = "hill.asc") const {
        WriteFile(*folder_ / name, GridListing({"0", "10", "20", "30"}));
        return QString::fromStdString(*folder_ / name);
    }

    std::unique_ptr<TemporaryFolder> folder_;  // the program folder, fresh for every test
    std::unique_ptr<Main> window_;
};

void MainWindowTest::LoadsVersionAndStoredPath_data() {
    QTest::addColumn<QString>("stored");
    QTest::newRow("first start, no settings file") << QString();
    QTest::newRow("stored path") << QString("/maps/hill.asc");
}

void MainWindowTest::LoadsVersionAndStoredPath() {
    QFETCH(QString, stored);
    if (!stored.isEmpty()) Store(stored.toStdString());
    QCOMPARE(Window().windowTitle(), QString("Tessiloom"));
    QCOMPARE(Control<QLabel>("Version")->text(), QString("Ver: 1.0.4"));
    QCOMPARE(Control<QLineEdit>("SourceFile")->text(), stored);
    QCOMPARE(Control<QLabel>("Stat")->text(), QString("Tessiloom"));
    QVERIFY(!Control<QCheckBox>("PresetRanges")->isChecked());
    QCOMPARE(Control<QLineEdit>("MinPreset")->text(), QString("0.0"));
    QCOMPARE(Control<QLineEdit>("MaxPreset")->text(), QString("1000.0"));
    QVERIFY(!Control<QLineEdit>("MinPreset")->isEnabled() && !Control<QLineEdit>("MaxPreset")->isEnabled());
}

void MainWindowTest::FocusStartsOnBrowseAndSkipsDisabledRangeBoxes() {
    QVERIFY(Shown());
    const auto tabsVisit = [](const QStringList& names) {
        for (const QString& name : names) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget()->objectName() != name) return false;
        }
        return true;
    };
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("Command1"));
    QVERIFY(tabsVisit({"SourceFile", "ProcessBut", "ExitBut", "PresetRanges", "Command1"}));
    Control<QCheckBox>("PresetRanges")->click();
    QVERIFY(tabsVisit(
        {"SourceFile", "ProcessBut", "ExitBut", "PresetRanges", "MinPreset", "MaxPreset", "Command1"}));
}

void MainWindowTest::PresetToggleSwitchesBothBoxesAndKeepsTexts() {
    QVERIFY(Shown());
    auto* presetRanges = Control<QCheckBox>("PresetRanges");
    auto* minPreset = Control<QLineEdit>("MinPreset");
    auto* maxPreset = Control<QLineEdit>("MaxPreset");
    QTest::mouseClick(presetRanges, Qt::LeftButton);
    QVERIFY(minPreset->isEnabled() && maxPreset->isEnabled());
    QTest::keyClicks(minPreset, "-5");
    QTest::keyClicks(maxPreset, "x");
    QTest::keyClick(presetRanges, Qt::Key_Space);
    QVERIFY(!minPreset->isEnabled() && !maxPreset->isEnabled());
    QCOMPARE(minPreset->text(), QString("0.0-5"));
    QCOMPARE(maxPreset->text(), QString("1000.0x"));
}

void MainWindowTest::BrowseTakesOnlyAnAcceptedFile_data() {
    QTest::addColumn<bool>("selectFile");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("takesFile");
    QTest::newRow("Ok on a file") << true << QString("Command1") << true;
    QTest::newRow("Cancel on a file") << true << QString("Command2") << false;
    QTest::newRow("Ok with nothing selected") << false << QString("Command1") << false;
}

void MainWindowTest::BrowseTakesOnlyAnAcceptedFile() {
    QFETCH(bool, selectFile);
    QFETCH(QString, button);
    QFETCH(bool, takesFile);
    const QString hill = Listed();
    const QString savedWorkingFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QString::fromStdString(folder_->Path().string())));
    Control<QLineEdit>("SourceFile")->setText(kTypedPath);
    QWidget* owner = nullptr;
    DialogAnswerer answerer([&](QDialog* chooser) {
        owner = chooser->parentWidget();
        if (selectFile) chooser->findChild<FileList*>("File1")->setCurrentRow(0);
        chooser->findChild<QPushButton*>(button)->click();
    });
    Control<QPushButton>("Command1")->click();
    QDir::setCurrent(savedWorkingFolder);

    QCOMPARE(owner, &Window());
    QCOMPARE(Control<QLineEdit>("SourceFile")->text(),
             takesFile ? QFileInfo(hill).canonicalFilePath() : kTypedPath);
    QCOMPARE(Control<QLabel>("Stat")->text(), QString("Ready"));
}

void MainWindowTest::ProcessConvertsThroughTheWindow_data() {
    QTest::addColumn<QString>("minPreset");  // empty: the range of the data
    QTest::addColumn<QString>("maxPreset");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("pixels");
    QTest::newRow("range of the data")
        << QString() << QString() << QStringList() << QByteArray("\0\xaa\xaa\0\xff\xff\0\0\0\0\x55\x55", 12);
    QTest::newRow("preset range inside the data")
        << QString("10") << QString("20")
        << QStringList{"Tessiloom: Warning: a height value was lower than your minimum height range!",
                       "Tessiloom: Warning: a height value in was higher than your maximum height range!"}
        << QByteArray("\0\xff\xff\0\xff\xff\0\0\0\0\0\0", 12);
}

void MainWindowTest::ProcessConvertsThroughTheWindow() {
    QFETCH(QString, minPreset);
    QFETCH(QString, maxPreset);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, pixels);
    Control<QLineEdit>("SourceFile")->setText(Listed());
    if (!minPreset.isEmpty()) {
        Control<QCheckBox>("PresetRanges")->click();
        Control<QLineEdit>("MinPreset")->setText(minPreset);
        Control<QLineEdit>("MaxPreset")->setText(maxPreset);
    }
    QStringList shown;
    DialogAnswerer answerer([&](QDialog* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        shown << Described(box);
        box->button(QMessageBox::Ok)->click();
    });
    QTest::mouseClick(Control<QPushButton>("ProcessBut"), Qt::LeftButton);

    QCOMPARE(shown, messages);
    QCOMPARE(Control<QLabel>("Stat")->text(), Finished("hill.tga"));
    QCOMPARE(Image("hill.tga"), QByteArray::fromStdString(kFullRangeImage.substr(0, 18)) + pixels);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void MainWindowTest::KeyRoutes_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("pressed");
    const auto row = [](const char* focus, Qt::Key key, Qt::KeyboardModifiers modifiers,
                        const char* pressed) {
        QTest::addRow("%s on %s", QKeySequence(key | modifiers).toString().toLatin1().data(), focus)
            << QString(focus) << int(key) << int(modifiers.toInt()) << QString(pressed);
    };
    for (const char* focus : {"SourceFile", "PresetRanges", "MinPreset", "MaxPreset", "ProcessBut"})
        row(focus, Qt::Key_Return, Qt::NoModifier, "Process");
    row("SourceFile", Qt::Key_Enter, Qt::KeypadModifier, "Process");
    row("Command1", Qt::Key_Return, Qt::NoModifier, "Browse");
    row("ExitBut", Qt::Key_Return, Qt::NoModifier, "Exit");
    for (const char* focus : {"SourceFile", "Command1", "ProcessBut", "PresetRanges", "MaxPreset"})
        row(focus, Qt::Key_Escape, Qt::NoModifier, "Exit");
    row("SourceFile", Qt::Key_B, Qt::AltModifier, "Browse");
    row("MinPreset", Qt::Key_P, Qt::AltModifier, "Process");
    row("PresetRanges", Qt::Key_X, Qt::AltModifier, "Exit");
}

void MainWindowTest::KeyRoutes() {
    QFETCH(QString, focus);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, pressed);
    QStringList done;
    Window().SetFileChooser([&](QWidget*) {
        done << "Browse";
        return false;
    });
    Control<QLineEdit>("SourceFile")->setText(Listed());
    Control<QCheckBox>("PresetRanges")->setChecked(true);
    QVERIFY(Shown());
    Window().findChild<QWidget*>(focus)->setFocus();
    connect(Control<QPushButton>("ProcessBut"), &QPushButton::clicked, [&] { done << "Process"; });
    connect(&Window(), &QDialog::finished, [&] { done << "Exit"; });

    QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QTRY_COMPARE(done, QStringList{pressed});
    QCOMPARE(Control<QLabel>("Stat")->text().startsWith("Finished writing: "), pressed == "Process");
    QCOMPARE(Stored().empty(), pressed != "Exit");
}

void MainWindowTest::ClosingSavesThePath_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("text");
    for (const char* route : {"Exit", "close box"}) {  // Escape: KeyRoutes
        QTest::addRow("%s with a path", route) << QString(route) << QString(kTypedPath);
        QTest::addRow("%s with an empty field", route) << QString(route) << QString();
    }
}

void MainWindowTest::ClosingSavesThePath() {
    QFETCH(QString, route);
    QFETCH(QString, text);
    Store(kEarlierChoice);
    QVERIFY(Shown());
    Control<QLineEdit>("SourceFile")->setText(text);
    if (route == "Exit") QTest::mouseClick(Control<QPushButton>("ExitBut"), Qt::LeftButton);
    if (route == "close box") Window().close();
    QVERIFY(!Window().isVisible());
    QCOMPARE(QString::fromStdString(Stored()), text);
}

void MainWindowTest::ClosingDuringARunSavesAndEndsBeforeTheImage_data() {
    QTest::addColumn<int>("point");
    QTest::addColumn<QString>("route");
    QTest::addColumn<QString>("status");
    for (const char* route : {"Exit", "Escape", "close box"}) {
        QTest::addRow("%s while reading", route) << 1 << QString(route) << QString("Reading Vertices...");
        QTest::addRow("%s while writing", route)
            << 2 << QString(route) << QString("Writing POV-Ray Targa file...");
    }
}

void MainWindowTest::ClosingDuringARunSavesAndEndsBeforeTheImage() {
    QFETCH(int, point);
    QFETCH(QString, route);
    QFETCH(QString, status);
    const QString hill = Listed();
    Control<QLineEdit>("SourceFile")->setText(hill);
    QVERIFY(Shown());
    // What is on disk when the process would end; the test process goes on, so the run does too.
    QStringList seenAtEnd;
    Window().SetProgramEnder([&] {
        seenAtEnd << Control<QLabel>("Stat")->text() << QString::fromStdString(Stored());
        for (const std::string& name : folder_->Names()) seenAtEnd << QString::fromStdString(name);
    });
    QueueFor(point, [&] {
        if (route == "Exit") Control<QPushButton>("ExitBut")->click();
        if (route == "Escape") QTest::keyClick(Control<QLineEdit>("SourceFile"), Qt::Key_Escape);
        if (route == "close box") Window().close();
    });
    Control<QPushButton>("ProcessBut")->click();
    QCOMPARE(seenAtEnd, (QStringList{status, hill, "Quarnel.ini", "hill.asc"}));
}

void MainWindowTest::ProcessClickDuringARunIsIgnored() {
    auto* sourceFile = Control<QLineEdit>("SourceFile");
    sourceFile->setText(Listed("first.asc"));
    const QString second = Listed("second.asc");
    QueueFor(1, [&] {
        sourceFile->setText(second);
        Control<QPushButton>("ProcessBut")->click();
    });
    Control<QPushButton>("ProcessBut")->click();
    QCOMPARE(Image("first.tga"), QByteArray::fromStdString(kFullRangeImage));
    QVERIFY(!std::filesystem::exists(*folder_ / "second.tga"));
    QCOMPARE(Control<QLabel>("Stat")->text(), Finished("first.tga"));
    QVERIFY(!QGuiApplication::overrideCursor());
}

void MainWindowTest::ControlsSitAtTheirTwips_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QRect>("twips");
    const auto row = [](const char* name, int index, const char* container, QRect twips) {
        QTest::addRow("%s(%d)", name, index) << QString(name) << index << QString(container) << twips;
    };
    row("Frame1", 0, "", {120, 120, 6975, 855});
    row("Command1", 0, "Frame1", {120, 360, 1215, 375});
    row("SourceFile", 0, "Frame1", {1440, 360, 5415, 375});
    row("ProcessBut", 0, "", {7320, 240, 1215, 375});
    row("ExitBut", 0, "", {7320, 720, 1215, 375});
    row("Frame2", 0, "", {120, 1080, 6975, 735});
    row("PresetRanges", 0, "Frame2", {600, 240, 2295, 375});
    row("Label1", 0, "Frame2", {3360, 360, 375, 255});
    row("MinPreset", 0, "Frame2", {3840, 240, 735, 375});
    row("Label2", 0, "Frame2", {4800, 360, 375, 255});
    row("MaxPreset", 0, "Frame2", {5280, 240, 735, 375});
    row("Stat", 0, "", {120, 2160, 6495, 255});
    row("Version", 0, "", {7080, 2160, 1575, 255});
    row("Line1", 0, "", {0, 2040, 8760, 15});
    row("Line1", 1, "", {0, 2055, 8760, 15});
}

void MainWindowTest::ControlsSitAtTheirTwips() {
    QFETCH(QString, name);
    QFETCH(int, index);
    QFETCH(QString, container);
    QFETCH(QRect, twips);
    QCOMPARE(Window().minimumSize(), QSize(583, 166));
    QCOMPARE(Window().maximumSize(), QSize(583, 166));
    const QList<QWidget*> controls = Window().findChildren<QWidget*>(name);
    QVERIFY(index < controls.size());
    QCOMPARE(controls.at(index)->parentWidget()->objectName(), container);
    QCOMPARE(controls.at(index)->geometry(), FromTwips(twips));
}

void MainWindowTest::LongStatusAndEtchedLineKeepTheirPlace() {
    Window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&Window()));
    Window().ShowStatus("Finished writing: " + std::string(300, 'x') + "<b>.tga");
    auto* stat = Control<QLabel>("Stat");
    QCOMPARE(stat->geometry(), FromTwips(QRect(120, 2160, 6495, 255)));
    const QImage shot = Window().grab().toImage();
    for (int x : {0, 300, 582}) {
        QCOMPARE(shot.pixelColor(x, 136), QColor(128, 128, 128));
        QCOMPARE(shot.pixelColor(x, 137), QColor(Qt::white));
    }
}

}  // namespace tessiloom

QTEST_MAIN(tessiloom::MainWindowTest)
#include "main_window_test.moc"
