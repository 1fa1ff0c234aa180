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
#include <QTimer>

#include "conversion/test_listing.h"
#include "platform/test_files.h"
#include "settings/ini_file.h"
#include "settings/settings_file.h"
#include "tessiloom/version.h"
#include "ui/file_list.h"
#include "ui/form_layout.h"
#include "ui/program_state.h"
#include "ui/test_layout.h"

namespace tessiloom {

constexpr char kTypedPath[] = "/maps/typed.asc";

// Answers each modal dialog from that dialog's own event loop, as a user would.
class DialogAnswerer : public QTimer {
  public:
    explicit DialogAnswerer(const std::function<void(QDialog*)>& answer) {
        connect(this, &QTimer::timeout, [answer] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) answer(dialog);
        });
        start(0);
    }
};

// A queued call meets the next delivery of events; one queued from that call, the delivery after.
void Later(const std::function<void()>& call) {
    QMetaObject::invokeMethod(qApp, call, Qt::QueuedConnection);
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
    QString Text(const char* name) { return Control(name)->property("text").toString(); }
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
        WriteFile(*folder_ / name, kTwoByTwoListing);
        return QString::fromStdString(*folder_ / name);
    }

    std::unique_ptr<TemporaryFolder> folder_;
    std::unique_ptr<Main> window_;

  private slots:
    void init() {
        window_.reset();
        folder_ = std::make_unique<TemporaryFolder>();
    }

    // The remembered path (read from "App"), unless the command line opened a file.
    void LoadsTheVersionAndTheRememberedPath() {
        WriteFile(SettingsFile(), "[App]\nSourceFile=/maps/hill.asc");
        QCOMPARE(QStringList({Text("SourceFile"), Text("Version"), Text("Stat")}),
                 QStringList({"/maps/hill.asc", QString("Ver: ") + kVersionText, "Tessiloom"}));
        window_.reset();
        Window("dale.asc");
        QCOMPARE(Text("SourceFile"), QString("dale.asc"));
    }

    void DropTakesOneLocalFile() {
        const QUrl file = QUrl::fromLocalFile("/maps/dropped.asc");
        // clang-format off
        const QList<QUrl> drops[] = {{file}, {file, QUrl::fromLocalFile("/maps/other.asc")},
            {QUrl("https://example.org/hill.asc")}, {QUrl::fromLocalFile(QDir::tempPath())}, {}};  // {}: text
        // clang-format on
        auto* field = Control<QLineEdit>("SourceFile");
        QVERIFY(!field->acceptDrops());  // else it would take dropped text as typed
        const QPoint over = field->mapTo(&Window(), field->rect().center());
        QStringList seen;
        for (const QList<QUrl>& urls : drops) {
            QMimeData data;
            data.setUrls(urls);
            if (urls.isEmpty()) data.setText(kTypedPath);
            field->setText(kTypedPath);
            QDragEnterEvent enter(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QDropEvent drop(over, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&Window(), &enter);
            QApplication::sendEvent(&Window(), &drop);
            seen << (enter.isAccepted() && drop.isAccepted() ? "taken " : "refused ") + field->text();
        }
        QCOMPARE(seen,
                 QStringList({"taken /maps/dropped.asc"}) + QStringList(4, QString("refused ") + kTypedPath));
    }

    void LaysOutItsControlsAndTabsThroughThem() {
        QVERIFY(Shown());
        QCOMPARE(QList({Window().minimumSize(), Window().maximumSize()}), QList<QSize>(2, QSize(583, 166)));
        QCOMPARE(Window().pos(), QPoint(0, 0));  // where the window system put it, not centred by the window
        QCOMPARE(LayoutFaults(Window(), {"Line1"}), QString());  // the lines run past both edges
        // clang-format off
        QCOMPARE(MisalignedIn(Window(), {
            {"Frame1", "Frame2", kLeft | kWidth}, {"Frame1", "Stat", kLeft}, {"Stat", "Version", kTop | kHeight},
            {"Command1", "SourceFile", kTop | kHeight}, {"ProcessBut", "SourceFile", kHeight},
            {"ProcessBut", "ExitBut", kLeft | kWidth | kHeight}, {"PresetRanges", "MinPreset", kTop | kHeight},
            {"MinPreset", "MaxPreset", kTop | kWidth | kHeight}, {"Label1", "Label2", kTop | kWidth | kHeight},
            {"Line1[0]", "Line1[1]", kLeft | kWidth | kHeight}}), QString());
        // clang-format on
        for (const auto& [name, points] : {std::pair{"Stat", 9.0}, {"Version", 9.0}, {"ProcessBut", 8.0}})
            QCOMPARE(Control(name)->font(), ArialFont(points));
        QCOMPARE(Control<QLabel>("Version")->alignment(), Qt::AlignRight | Qt::AlignVCenter);
        QCOMPARE(Control("PresetRanges")->geometry(), FromTwips(QRect(600, 240, 2295, 375)));  // in its frame
        // A status wider than the line shows only what fits: the label neither grows nor wraps.
        const QRect status = Control("Stat")->geometry();
        // A name shows as it is, never as markup, which would show nothing here.
        Window().ShowStatus("<i></i>");
        QVERIFY(Control("Stat")->sizeHint().width() > 0);
        Window().ShowStatus("Finished writing: " + std::string(300, 'x') + "<b>.tga");
        QCOMPARE(Control("Stat")->geometry(), status);
        QVERIFY(Control("Stat")->heightForWidth(status.width()) <= status.height());  // unwrapped, it fits
        // The etched line runs edge to edge: grey, with white just below it, right above the status row.
        const QImage shot = Window().grab().toImage();
        for (int x : {0, 300, 582}) {
            QCOMPARE(shot.pixelColor(x, status.top() - 8), QColor(128, 128, 128));
            QCOMPARE(shot.pixelColor(x, status.top() - 7), QColor(Qt::white));
        }
    }

    // Tab skips the range fields while the box is unticked.
    void TabsThroughItsControls_data() {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<QString>("walk");
        QTest::newRow("box unticked")
            << false << "Command1 SourceFile ProcessBut ExitBut PresetRanges Command1";
        QTest::newRow("box ticked")
            << true << "Command1 SourceFile ProcessBut ExitBut PresetRanges MinPreset MaxPreset Command1";
    }
    void TabsThroughItsControls() {
        QFETCH(bool, ticked);
        QFETCH(QString, walk);
        QVERIFY(Shown());
        if (ticked) Control<QCheckBox>("PresetRanges")->click();
        QCOMPARE(TabWalk(static_cast<int>(walk.count(' '))), walk);
    }

    // Ok on a file, Cancel on one, Ok on nothing: only an accepted file replaces the field.
    void BrowseTakesOnlyAnAcceptedFile() {
        const QString hill = QFileInfo(Listed()).canonicalFilePath();
        const QString savedWorkingFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(QFileInfo(hill).path()));
        QStringList seen;
        for (const auto& [selectFile, button] :
             {std::pair{true, "Command1"}, {true, "Command2"}, {false, "Command1"}}) {
            ChosenPath = "/maps/earlier.asc";
            Control<QLineEdit>("SourceFile")->setText(kTypedPath);
            Control<QLabel>("Stat")->clear();
            DialogAnswerer answerer([&](QDialog* chooser) {
                seen << (chooser->parentWidget() == &Window() ? "owned" : "not owned");
                if (selectFile) chooser->findChild<FileList*>("File1")->setCurrentRow(0);
                chooser->findChild<QPushButton*>(button)->click();
            });
            Control<QPushButton>("Command1")->click();
            seen << Text("SourceFile") + ", " + Text("Stat");
        }
        QDir::setCurrent(savedWorkingFolder);
        const QString kept = kTypedPath + QString(", Ready");
        QCOMPARE(seen, QStringList({"owned", hill + ", Ready", "owned", kept, "owned", kept}));
    }

    // The run's whole conversation through the window: what the boxes say (title, no icon, OK only, the
    // busy pointer behind them), the status, the image, and a second Process click while it runs, which
    // is ignored.
    void ProcessConvertsThroughTheWindow() {
        // clang-format off
        const std::tuple<QString, QStringList, std::string> rows[] = {  // the preset range (none: the data's)
            {"", {}, kTwoByTwoImage.substr(18)},
            {"10 20", {"Tessiloom: Warning: a height value was lower than your minimum height range!",
                       "Tessiloom: Warning: a height value in was higher than your maximum height range!"}, std::string("\0\xff\xff\0\xff\xff\0\0\0\0\0\0", 12)}};
        // clang-format on
        for (const auto& [range, messages, pixels] : rows) {
            init();
            Control<QLineEdit>("SourceFile")->setText(Listed());
            Control<QCheckBox>("PresetRanges")->setChecked(!range.isEmpty());
            Control<QLineEdit>("MinPreset")->setText(range.section(' ', 0, 0));
            Control<QLineEdit>("MaxPreset")->setText(range.section(' ', 1));
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
            Later([&] {
                Control<QLineEdit>("SourceFile")->setText(Listed("second.asc"));
                Control<QPushButton>("ProcessBut")->click();
            });
            QTest::mouseClick(Control<QPushButton>("ProcessBut"), Qt::LeftButton);
            QCOMPARE(shown, messages);
            QCOMPARE(Text("Stat"), QString::fromStdString("Finished writing: " + *folder_ / "hill.tga"));
            QCOMPARE(ReadFile(*folder_ / "hill.tga"), kTwoByTwoImage.substr(0, 18) + pixels);
            QVERIFY(!std::filesystem::exists(*folder_ / "second.tga") && !QGuiApplication::overrideCursor());
        }
    }

    // One row per way a key reaches a button: the default button, Escape through the cancel button,
    // each button's mnemonic. Only Exit saves the path.
    void KeyRoutes_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("pressed");
        // clang-format off
        const char* const rows[][3] = {
            {"MinPreset", "Return", "Process"}, {"PresetRanges", "Escape", "Exit"}, {"SourceFile", "Alt+B", "Browse"},
            {"MaxPreset", "Alt+P", "Process"}, {"ProcessBut", "Alt+X", "Exit"}};
        // clang-format on
        for (const auto& [focus, key, pressed] : rows)
            QTest::addRow("%s in %s", key, focus) << QString(focus) << QString(key) << QString(pressed);
    }
    void KeyRoutes() {
        QFETCH(QString, focus);
        QFETCH(QString, key);
        QFETCH(QString, pressed);
        QStringList done;
        Window().SetFileChooser([&](QWidget*) {
            done << "Browse";
            return false;  // as if cancelled
        });
        Control<QLineEdit>("SourceFile")->setText(Listed());
        Control<QCheckBox>("PresetRanges")->setChecked(true);
        QVERIFY(Shown());
        Control(qPrintable(focus))->setFocus();
        connect(Control<QPushButton>("ProcessBut"), &QPushButton::clicked, [&] { done << "Process"; });
        connect(&Window(), &QDialog::finished, [&] { done << "Exit"; });
        QTest::keySequence(QApplication::focusWidget(), QKeySequence(key));
        QTRY_COMPARE(done, QStringList{pressed});
        QCOMPARE(Stored().isEmpty(), pressed != "Exit");
    }

    // However the window closes, the field's text is saved, even when empty; during a run the process
    // then ends at once, at either of the run's two yield points, before any image exists.
    void ClosingSavesThePathAndEndsARunBeforeItsImage_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<int>("point");  // 0: no run
        for (const char* route : {"Exit", "Alt+X", "Escape", "close box"})
            for (const int point : {0, 1, 2})
                QTest::addRow("%s at %d", route, point) << QString(route) << point;
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
        const std::function<void()> close = [&] {
            if (route == "Exit") QTest::mouseClick(Control<QPushButton>("ExitBut"), Qt::LeftButton);
            if (route == "Alt+X") QTest::keySequence(&Window(), QKeySequence(route));
            if (route == "Escape") QTest::keyClick(Control<QLineEdit>("SourceFile"), Qt::Key_Escape);
            if (route == "close box") Window().close();
        };
        if (point == 0) close();
        if (point > 0) Later(point == 1 ? close : [=] { Later(close); });
        if (point > 0) Control<QPushButton>("ProcessBut")->click();
        const QString status[] = {"", "Reading Vertices...", "Writing POV-Ray Targa file..."};
        const QStringList atEnd{status[point], typed, "Quarnel.ini", "hill.asc"};
        QCOMPARE(QStringList({Window().isVisible() ? "open" : "closed", Stored(), seenAtEnd.join(',')}),
                 QStringList({"closed", typed, point == 0 ? QString() : atEnd.join(',')}));
    }
};

}  // namespace tessiloom

QTEST_MAIN(tessiloom::MainWindowTest)
#include "main_window_test.moc"
