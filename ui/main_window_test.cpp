#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <functional>

#include "conversion/test_listing.h"
#include "platform/test_files.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tessiloom/version.h"
#include "ui/file_list.h"
#include "ui/program_state.h"
#include "ui/test_layout.h"

namespace tessiloom {

constexpr char kEarlierChoice[] = "/maps/earlier.asc";
constexpr char kTypedPath[] = "/maps/typed.asc";

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

    void LoadsTheVersionAndTheRememberedPath_data();
    void LoadsTheVersionAndTheRememberedPath();
    void DropTakesOneLocalFile_data();
    void DropTakesOneLocalFile();
    void LaysOutItsControlsInRowsAndColumns();
    void TabSkipsTheRangeFieldsWhileTheBoxIsUnticked();
    void BrowseTakesOnlyAnAcceptedFile_data();
    void BrowseTakesOnlyAnAcceptedFile();
    void ProcessConvertsThroughTheWindow_data();
    void ProcessConvertsThroughTheWindow();
    void KeyRoutes_data();
    void KeyRoutes();
    void ClosingSavesThePathAndEndsARunBeforeItsImage_data();
    void ClosingSavesThePathAndEndsARunBeforeItsImage();
    void ProcessClickDuringARunIsIgnored();

  private:
    // The window over the test's settings file, created on first use (after any stored path), with an
    // ender that fails the test: outside a run, closing the window must not end the process.
    Main& Window(std::optional<QString> openedFile = std::nullopt) {
        if (!window_) {
            window_ = std::make_unique<Main>(SettingsFile(), openedFile);
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
    std::filesystem::path SettingsFile() const { return folder_->Path() / kSettingsFileName; }
    QString Stored() const {
        return QString::fromStdString(ReadIniValue(SettingsFile(), kSettingsSectionRead, kSourceFileKey));
    }
    // The 2 x 2 listing in the test's folder.
    QString Listed(const std::string& name = "hill.asc") const {
        WriteFile(*folder_ / name, TwoByTwoListing());
        return QString::fromStdString(*folder_ / name);
    }

    std::unique_ptr<TemporaryFolder> folder_;
    std::unique_ptr<Main> window_;
};

void MainWindowTest::LoadsTheVersionAndTheRememberedPath_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("opened");  // given on the command line
    QTest::addColumn<QString>("shown");
    QTest::newRow("first start, no settings file") << ""
                                                   << ""
                                                   << "";
    QTest::newRow("remembered path") << "/maps/hill.asc"
                                     << ""
                                     << "/maps/hill.asc";
    QTest::newRow("file opened") << "/maps/hill.asc"
                                 << "dale.asc"
                                 << "dale.asc";
}

void MainWindowTest::LoadsTheVersionAndTheRememberedPath() {
    QFETCH(QString, stored);
    QFETCH(QString, opened);
    QFETCH(QString, shown);
    if (!stored.isEmpty()) WriteFile(SettingsFile(), "[App]\nSourceFile=" + stored.toStdString());
    Window(opened.isEmpty() ? std::nullopt : std::optional(opened));
    QCOMPARE(Control<QLabel>("Version")->text(), QString("Ver: ") + kVersionText);
    QCOMPARE(Control<QLineEdit>("SourceFile")->text(), shown);
    QCOMPARE(Control<QLabel>("Stat")->text(), QString("Tessiloom"));
}

void MainWindowTest::DropTakesOneLocalFile_data() {
    QTest::addColumn<QList<QUrl>>("urls");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("taken");
    const QUrl file = QUrl::fromLocalFile("/maps/dropped.asc");
    QTest::newRow("one local file") << QList<QUrl>{file} << "" << true;
    QTest::newRow("two files") << QList<QUrl>{file, QUrl::fromLocalFile("/maps/other.asc")} << "" << false;
    QTest::newRow("a remote file") << QList<QUrl>{QUrl("https://example.org/hill.asc")} << "" << false;
    QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(QDir::tempPath())} << "" << false;
    QTest::newRow("text") << QList<QUrl>{} << "/maps/typed.asc" << false;
}

void MainWindowTest::DropTakesOneLocalFile() {
    QFETCH(QList<QUrl>, urls);
    QFETCH(QString, text);
    QFETCH(bool, taken);
    QMimeData data;
    data.setUrls(urls);
    if (!text.isEmpty()) data.setText(text);
    auto* sourceFile = Control<QLineEdit>("SourceFile");
    sourceFile->setText(kTypedPath);
    // The field itself takes no drop, or it would take dropped text as typed.
    QVERIFY(!sourceFile->acceptDrops());
    const QPoint over = sourceFile->mapTo(&Window(), sourceFile->rect().center());
    QDragEnterEvent enter(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &enter);
    QCOMPARE(enter.isAccepted(), taken);
    QDropEvent drop(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &drop);
    QCOMPARE(sourceFile->text(), taken ? QString("/maps/dropped.asc") : QString(kTypedPath));
}

void MainWindowTest::LaysOutItsControlsInRowsAndColumns() {
    QVERIFY(Shown());
    QCOMPARE(Window().minimumSize(), QSize(583, 166));
    QCOMPARE(Window().maximumSize(), QSize(583, 166));
    QCOMPARE(LayoutFaults(Window(), {"Line1"}), QString());  // the lines run past both edges
    QCOMPARE(MisalignedIn(Window(), {{"Frame1", "Frame2", kLeft | kWidth},
                                     {"Frame1", "Stat", kLeft},
                                     {"Command1", "SourceFile", kTop | kHeight},
                                     {"ProcessBut", "ExitBut", kLeft | kWidth | kHeight},
                                     {"ProcessBut", "SourceFile", kHeight},
                                     {"PresetRanges", "MinPreset", kTop | kHeight},
                                     {"MinPreset", "MaxPreset", kTop | kWidth | kHeight},
                                     {"Label1", "Label2", kTop | kWidth | kHeight},
                                     {"Stat", "Version", kTop | kHeight},
                                     {"Line1[0]", "Line1[1]", kLeft | kWidth | kHeight}}),
             QString());

    for (const char* name : {"Stat", "Version"}) QCOMPARE(Control(name)->font().pointSizeF(), 9.0);
    // A status wider than the line shows only what fits: the label neither grows nor wraps.
    auto* status = Control<QLabel>("Stat");
    const QRect statusPlace = status->geometry();
    Window().ShowStatus("Finished writing: " + std::string(300, 'x') + "<b>.tga");
    QCOMPARE(status->geometry(), statusPlace);
    // The etched line runs edge to edge: grey, with white just below it, right above the status row.
    const QImage shot = Window().grab().toImage();
    for (int x : {0, 300, 582}) {
        QCOMPARE(shot.pixelColor(x, statusPlace.top() - 8), QColor(128, 128, 128));
        QCOMPARE(shot.pixelColor(x, statusPlace.top() - 7), QColor(Qt::white));
    }
}

void MainWindowTest::TabSkipsTheRangeFieldsWhileTheBoxIsUnticked() {
    QVERIFY(Shown());
    const auto tabsVisit = [](const QStringList& names) {
        for (const QString& name : names) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (QApplication::focusWidget()->objectName() != name) return false;
        }
        return true;
    };
    const QStringList unticked{"SourceFile", "ProcessBut", "ExitBut", "PresetRanges", "Command1"};
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("Command1"));
    QVERIFY(tabsVisit(unticked));
    Control<QCheckBox>("PresetRanges")->click();
    QVERIFY(tabsVisit(
        {"SourceFile", "ProcessBut", "ExitBut", "PresetRanges", "MinPreset", "MaxPreset", "Command1"}));
    Control<QCheckBox>("PresetRanges")->click();
    QVERIFY(tabsVisit(unticked));
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
        << QString() << QString() << QStringList() << QByteArray::fromStdString(kTwoByTwoImage.substr(18));
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
    QCOMPARE(Control<QLabel>("Stat")->text(),
             QString::fromStdString("Finished writing: " + *folder_ / "hill.tga"));
    QCOMPARE(QByteArray::fromStdString(ReadFile(*folder_ / "hill.tga")),
             QByteArray::fromStdString(kTwoByTwoImage.substr(0, 18)) + pixels);
    QVERIFY(!QGuiApplication::overrideCursor());
}

void MainWindowTest::KeyRoutes_data() {
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QKeyCombination>("key");
    QTest::addColumn<QString>("pressed");
    QTest::newRow("Return in a field") << "MinPreset" << QKeyCombination(Qt::Key_Return) << "Process";
    QTest::newRow("keypad Enter") << "SourceFile" << QKeyCombination(Qt::KeypadModifier, Qt::Key_Enter)
                                  << "Process";
    QTest::newRow("Return on Browse") << "Command1" << QKeyCombination(Qt::Key_Return) << "Browse";
    QTest::newRow("Return on Exit") << "ExitBut" << QKeyCombination(Qt::Key_Return) << "Exit";
    QTest::newRow("Escape") << "PresetRanges" << QKeyCombination(Qt::Key_Escape) << "Exit";
    QTest::newRow("Alt+B") << "SourceFile" << QKeyCombination(Qt::AltModifier, Qt::Key_B) << "Browse";
    QTest::newRow("Alt+P") << "MaxPreset" << QKeyCombination(Qt::AltModifier, Qt::Key_P) << "Process";
    QTest::newRow("Alt+X") << "ProcessBut" << QKeyCombination(Qt::AltModifier, Qt::Key_X) << "Exit";
}

void MainWindowTest::KeyRoutes() {
    QFETCH(QString, focus);
    QFETCH(QKeyCombination, key);
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

    QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
    QTRY_COMPARE(done, QStringList{pressed});
    QCOMPARE(Stored().isEmpty(), pressed != "Exit");
}

// However the window closes, the field's text is saved; during a run the process then ends at once,
// at either of the run's two yield points, before any image exists.
void MainWindowTest::ClosingSavesThePathAndEndsARunBeforeItsImage_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<int>("point");  // 0: no run
    const char* const statuses[] = {"Tessiloom", "Reading Vertices...", "Writing POV-Ray Targa file..."};
    for (const char* route : {"Exit", "Escape", "close box"}) {
        for (int point : {0, 1, 2})
            QTest::addRow("%s, %s", route, statuses[point]) << QString(route) << point;
    }
}

void MainWindowTest::ClosingSavesThePathAndEndsARunBeforeItsImage() {
    QFETCH(QString, route);
    QFETCH(int, point);
    const QString hill = Listed();
    WriteFile(SettingsFile(), "[app]\nSourceFile=" + std::string(kEarlierChoice) + "\n");
    Control<QLineEdit>("SourceFile")->setText(point == 0 && route == "Exit" ? QString() : hill);
    QVERIFY(Shown());
    const QString typed = Control<QLineEdit>("SourceFile")->text();
    // What is on disk when the process would end; the test process goes on, so the run does too.
    QStringList seenAtEnd;
    Window().SetProgramEnder([&] {
        seenAtEnd << Control<QLabel>("Stat")->text() << Stored();
        for (const std::string& name : folder_->Names()) seenAtEnd << QString::fromStdString(name);
    });
    const auto close = [&] {
        if (route == "Exit") QTest::mouseClick(Control<QPushButton>("ExitBut"), Qt::LeftButton);
        if (route == "Escape") QTest::keyClick(Control<QLineEdit>("SourceFile"), Qt::Key_Escape);
        if (route == "close box") Window().close();
    };
    if (point == 0) {
        close();
        QVERIFY(!Window().isVisible());
        QCOMPARE(Stored(), typed);
        QCOMPARE(seenAtEnd, QStringList());
        return;
    }
    QueueFor(point, close);
    Control<QPushButton>("ProcessBut")->click();
    const QString status = point == 1 ? "Reading Vertices..." : "Writing POV-Ray Targa file...";
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
    QCOMPARE(ReadFile(*folder_ / "first.tga"), kTwoByTwoImage);
    QVERIFY(!std::filesystem::exists(*folder_ / "second.tga"));
    QCOMPARE(Control<QLabel>("Stat")->text(),
             QString::fromStdString("Finished writing: " + *folder_ / "first.tga"));
    QVERIFY(!QGuiApplication::overrideCursor());
}

}  // namespace tessiloom

QTEST_MAIN(tessiloom::MainWindowTest)
#include "main_window_test.moc"
