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

// Queues `request` so that the first (point 1) or the second (point 2) delivery of events meets it:
// events queued while events are being delivered wait for the next delivery.
void QueueFor(int point, const std::function<void()>& request) {
    const auto queue = [](const std::function<void()>& call) {
        QMetaObject::invokeMethod(qApp, call, Qt::QueuedConnection);
    };
    if (point == 1) queue(request);
    if (point == 2) queue([=] { queue(request); });
}

class MainWindowTest : public QObject {
    Q_OBJECT

    // The window, created on first use, with an ender that fails the test: outside a run, closing
    // the window must not end the process (the real ender would end this one, every later test unrun).
    Main& Window(std::optional<QString> openedFile = std::nullopt) {
        if (!window_) {
            window_ = std::make_unique<Main>(SettingsFile(), openedFile);
            window_->SetProgramEnder([] { QFAIL("the program was ended outside a run"); });
        }
        return *window_;
    }
    template <typename T = QWidget>
    T* Control(const char* name) {
        return Window().findChild<T*>(name);
    }
    QString Text(const char* name) {
        if (auto* label = Control<QLabel>(name)) return label->text();
        return Control<QLineEdit>(name)->text();
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
    QString Finished(const std::string& image) const {
        return QString::fromStdString("Finished writing: " + *folder_ / image);
    }

    std::unique_ptr<TemporaryFolder> folder_;
    std::unique_ptr<Main> window_;

  private slots:
    void init() { folder_ = std::make_unique<TemporaryFolder>(); }
    void cleanup() { window_.reset(); }

    // The remembered path, unless the command line opened a file.
    void LoadsTheVersionAndTheRememberedPath() {
        for (const auto& [stored, opened] :
             {std::pair<QString, QString>{"", ""}, {"/maps/hill.asc", ""}, {"/maps/hill.asc", "dale.asc"}}) {
            cleanup();
            init();
            if (!stored.isEmpty()) WriteFile(SettingsFile(), "[App]\nSourceFile=" + stored.toStdString());
            Window(opened.isEmpty() ? std::nullopt : std::optional(opened));
            QCOMPARE(Text("Version"), QString("Ver: ") + kVersionText);
            QCOMPARE(Text("SourceFile"), opened.isEmpty() ? stored : opened);
            QCOMPARE(Text("Stat"), QString("Tessiloom"));
        }
    }

    void DropTakesOneLocalFile_data() {
        QTest::addColumn<QList<QUrl>>("urls");  // none: text is dropped
        QTest::addColumn<bool>("taken");
        const QUrl file = QUrl::fromLocalFile("/maps/dropped.asc");
        QTest::newRow("one local file") << QList<QUrl>{file} << true;
        QTest::newRow("two files") << QList<QUrl>{file, QUrl::fromLocalFile("/maps/other.asc")} << false;
        QTest::newRow("a remote file") << QList<QUrl>{QUrl("https://example.org/hill.asc")} << false;
        QTest::newRow("a folder") << QList<QUrl>{QUrl::fromLocalFile(QDir::tempPath())} << false;
        QTest::newRow("text") << QList<QUrl>{} << false;
    }

    void DropTakesOneLocalFile() {
        QFETCH(QList<QUrl>, urls);
        QFETCH(bool, taken);
        QMimeData data;
        data.setUrls(urls);
        if (urls.isEmpty()) data.setText(kTypedPath);
        auto* sourceFile = Control<QLineEdit>("SourceFile");
        sourceFile->setText(kTypedPath);
        QVERIFY(!sourceFile->acceptDrops());  // else it would take dropped text as typed
        const QPoint over = sourceFile->mapTo(&Window(), sourceFile->rect().center());
        QDragEnterEvent enter(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &enter);
        QCOMPARE(enter.isAccepted(), taken);
        QDropEvent drop(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&Window(), &drop);
        QCOMPARE(sourceFile->text(), taken ? QString("/maps/dropped.asc") : QString(kTypedPath));
    }

    void LaysOutItsControlsInRowsAndColumns() {
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
        const QRect status = Control("Stat")->geometry();
        Window().ShowStatus("Finished writing: " + std::string(300, 'x') + "<b>.tga");
        QCOMPARE(Control("Stat")->geometry(), status);
        // The etched line runs edge to edge: grey, with white just below it, right above the status row.
        const QImage shot = Window().grab().toImage();
        for (int x : {0, 300, 582}) {
            QCOMPARE(shot.pixelColor(x, status.top() - 8), QColor(128, 128, 128));
            QCOMPARE(shot.pixelColor(x, status.top() - 7), QColor(Qt::white));
        }
    }

    void TabSkipsTheRangeFieldsWhileTheBoxIsUnticked() {
        QVERIFY(Shown());
        const auto tabsVisit = [](const QStringList& names) {
            QStringList visited;
            for (qsizetype step = 0; step < names.size(); ++step) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                visited << QApplication::focusWidget()->objectName();
            }
            return visited == names;
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

    void BrowseTakesOnlyAnAcceptedFile() {
        const std::pair<bool, const char*> rows[] = {
            {true, "Command1"}, {true, "Command2"}, {false, "Command1"}};
        for (const auto& [selectFile, button] : rows) {  // Ok or Cancel, on a file or with nothing selected
            cleanup();
            init();
            const QString hill = Listed();
            const QString savedWorkingFolder = QDir::currentPath();
            QVERIFY(QDir::setCurrent(QString::fromStdString(folder_->Path().string())));
            ChosenPath = "/maps/earlier.asc";
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
            const bool accepted = selectFile && qstrcmp(button, "Command1") == 0;
            QCOMPARE(Text("SourceFile"), accepted ? QFileInfo(hill).canonicalFilePath() : kTypedPath);
            QCOMPARE(Text("Stat"), QString("Ready"));
        }
    }

    // The run's whole conversation through the window: what the boxes say (title, no icon, OK only, the
    // busy pointer behind them), the status, the image, and a second Process click while it runs, which
    // is ignored.
    void ProcessConvertsThroughTheWindow_data() {
        QTest::addColumn<QString>("range");  // empty: the range of the data
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QByteArray>("pixels");
        QTest::newRow("range of the data")
            << QString() << QStringList() << QByteArray::fromStdString(kTwoByTwoImage.substr(18));
        QTest::newRow("preset range inside the data")
            << QString("10 20")
            << QStringList{"Tessiloom: Warning: a height value was lower than your minimum height range!",
                           "Tessiloom: Warning: a height value in was higher than your maximum height range!"}
            << QByteArray("\0\xff\xff\0\xff\xff\0\0\0\0\0\0", 12);
    }

    void ProcessConvertsThroughTheWindow() {
        QFETCH(QString, range);
        QFETCH(QStringList, messages);
        QFETCH(QByteArray, pixels);
        Control<QLineEdit>("SourceFile")->setText(Listed());
        if (!range.isEmpty()) {
            Control<QCheckBox>("PresetRanges")->click();
            Control<QLineEdit>("MinPreset")->setText(range.section(' ', 0, 0));
            Control<QLineEdit>("MaxPreset")->setText(range.section(' ', 1, 1));
        }
        QStringList shown;
        DialogAnswerer answerer([&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            const QCursor* pointer = QGuiApplication::overrideCursor();
            shown << box->windowTitle() + (box->icon() == QMessageBox::NoIcon ? "" : " (icon)") +
                         (box->standardButtons() == QMessageBox::Ok ? "" : " (buttons)") +
                         (pointer && pointer->shape() == Qt::WaitCursor ? "" : " (idle)") + ": " +
                         box->text();
            box->button(QMessageBox::Ok)->click();
        });
        QueueFor(1, [&] {
            Control<QLineEdit>("SourceFile")->setText(Listed("second.asc"));
            Control<QPushButton>("ProcessBut")->click();
        });
        QTest::mouseClick(Control<QPushButton>("ProcessBut"), Qt::LeftButton);
        QCOMPARE(shown, messages);
        QCOMPARE(Text("Stat"), Finished("hill.tga"));
        QCOMPARE(ReadFile(*folder_ / "hill.tga"), kTwoByTwoImage.substr(0, 18) + pixels.toStdString());
        QVERIFY(!std::filesystem::exists(*folder_ / "second.tga"));
        QVERIFY(!QGuiApplication::overrideCursor());
    }

    void KeyRoutes_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("pressed");
        QTest::newRow("Return in a field") << "MinPreset" << QKeyCombination(Qt::Key_Return) << "Process";
        QTest::newRow("keypad Enter") << "SourceFile" << (Qt::KeypadModifier | Qt::Key_Enter) << "Process";
        QTest::newRow("Return on Browse") << "Command1" << QKeyCombination(Qt::Key_Return) << "Browse";
        QTest::newRow("Return on Exit") << "ExitBut" << QKeyCombination(Qt::Key_Return) << "Exit";
        QTest::newRow("Escape") << "PresetRanges" << QKeyCombination(Qt::Key_Escape) << "Exit";
        QTest::newRow("Alt+B") << "SourceFile" << (Qt::AltModifier | Qt::Key_B) << "Browse";
        QTest::newRow("Alt+P") << "MaxPreset" << (Qt::AltModifier | Qt::Key_P) << "Process";
        QTest::newRow("Alt+X") << "ProcessBut" << (Qt::AltModifier | Qt::Key_X) << "Exit";
    }

    void KeyRoutes() {
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

    // However the window closes, the field's text is saved, even when empty; during a run the process
    // then ends at once, at either of the run's two yield points, before any image exists.
    void ClosingSavesThePathAndEndsARunBeforeItsImage_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("point");  // 0: no run
        for (const char* route : {"Exit", "Escape", "close box"}) {
            for (int point : {0, 1, 2}) QTest::addRow("%s at %d", route, point) << QString(route) << point;
        }
    }

    void ClosingSavesThePathAndEndsARunBeforeItsImage() {
        QFETCH(QString, route);
        QFETCH(int, point);
        WriteFile(SettingsFile(), "[app]\nSourceFile=/maps/earlier.asc\n");
        const QString typed = point == 0 && route == "Exit" ? QString() : Listed();
        Control<QLineEdit>("SourceFile")->setText(typed);
        QVERIFY(Shown());
        QStringList seenAtEnd;  // on screen and on disk when the process would end; this one goes on
        Window().SetProgramEnder([&] {
            seenAtEnd << Text("Stat") << Stored();
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
        QCOMPARE(seenAtEnd, (QStringList{status, typed, "Quarnel.ini", "hill.asc"}));
    }
};

}  // namespace tessiloom

QTEST_MAIN(tessiloom::MainWindowTest)
#include "main_window_test.moc"
