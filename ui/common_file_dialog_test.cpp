#include "ui/common_file_dialog.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

#include "ui/drive_list.h"
#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ui/form_layout.h"
#include "ui/pattern_list.h"
#include "ui/program_state.h"
#include "ui/test_layout.h"

namespace tessiloom {

constexpr char kEarlierChoice[] = "/maps/earlier.asc";

// The entries of a list, or those under `parent` in a tree, joined by commas.
QString Entries(const QAbstractItemView* view, const QModelIndex& parent = {}) {
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(parent); ++row)
        texts << view->model()->index(row, 0, parent).data().toString();
    return texts.join(',');
}

void ClickEntry(QAbstractItemView* view, const QString& text, bool twice) {
    const QModelIndexList found = view->model()->match(view->model()->index(0, 0), Qt::DisplayRole, text, 1,
                                                       Qt::MatchExactly | Qt::MatchRecursive);
    QVERIFY2(!found.isEmpty(), qPrintable(text));
    const QPoint at = view->visualRect(found.first()).center();
    // A window system sends press, release, then the double-click in place of the second press.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

class CommonFileDialogTest : public QObject {
    Q_OBJECT

    QString Under(const QString& relative) const { return root_ + '/' + relative; }

    QTemporaryDir tree_;
    QString root_;
    QString savedWorkingFolder_;

  private slots:
    void initTestCase() {
        root_ = QFileInfo(tree_.path()).canonicalFilePath();
        for (const char* folder :
             {"work/valley.asc", "work/sub", "work/.hiddendir", "drive-d/terrain", "locked"})
            QVERIFY(QDir(root_).mkpath(folder));
        for (const char* file : {"work/hill.asc", "work/Mesa.ASC", "work/.hidden.asc", "work/notes.txt",
                                 "work/hill.asc.bak", "work/sub/deep.asc", "locked/secret.asc"})
            QVERIFY(QFile(Under(file)).open(QIODevice::WriteOnly));
        savedWorkingFolder_ = QDir::currentPath();
        QVERIFY(QDir::setCurrent(Under("work")));
    }
    void cleanupTestCase() { QDir::setCurrent(savedWorkingFolder_); }
    void init() {
        LastFolder.clear();
        ChosenPath = kEarlierChoice;
    }

    void LaysOutItsControlsInTwoColumnsAndTabsInTableOrder() {
        QCOMPARE(FromTwips(QRect(7, 8, 22, 23)), QRect(0, 1, 1, 2));  // twips round to the nearest pixel
        CommonFileDialog dialog;
        QCOMPARE(QList({dialog.minimumSize(), dialog.maximumSize()}), QList<QSize>(2, QSize(492, 303)));
        QCOMPARE(LayoutFaults(dialog, {"Label1"}), QString());  // the captions reach a pixel into the lists
        // clang-format off
        QCOMPARE(MisalignedIn(dialog, {
            {"File1", "FileType", kLeft | kWidth}, {"Dir1", "Drive1", kLeft | kWidth}, {"File1", "Dir1", kTop},
            {"FileType", "Drive1", kTop | kHeight}, {"Command1", "Command2", kTop | kWidth | kHeight},
            {"Label1[0]", "Label1[1]", kTop | kWidth | kHeight}, {"Label1[1]", "Command2", kLeft}}), QString());
        // clang-format on
        // Where the form puts the two controls the alignments above leave free to move.
        QCOMPARE(Geometries(dialog).value("Command1"), FromTwips(QRect(2040, 3840, 1215, 495)));
        QCOMPARE(Geometries(dialog).value("Label1[0]"), FromTwips(QRect(240, 120, 1215, 255)));
        QVERIFY(dialog.findChild<QPushButton*>("Command1")->isDefault());
        for (const auto& [name, points] : {std::pair{"Label1", 9.75}, {"File1", 8.0}, {"Command1", 8.0}})
            QCOMPARE(dialog.findChild<QWidget*>(name)->font(), ArialFont(points));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(TabWalk(6), QString("File1 Dir1 FileType Drive1 Command1 Command2 File1"));
    }

    void FolderListShowsAncestorsAndMovesOnDoubleClickOnly() {
        CommonFileDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* dir1 = dialog.findChild<FolderList*>("Dir1");
        const auto* file1 = dialog.findChild<FileList*>("File1");
        const auto shown = [](const QTreeWidgetItem* entry) {
            return entry->text(0) + (entry->icon(0).isNull() ? " (no icon)" : "");
        };
        QStringList chain;  // one entry per ancestor, from "/" down to the folder shown, each with its icon
        for (const QTreeWidgetItem* entry = dir1->currentItem(); entry; entry = entry->parent())
            chain.prepend(shown(entry));
        QCOMPARE(chain.join('/'), '/' + Under("work"));
        QCOMPARE(shown(dir1->currentItem()->child(0)), "sub");
        // No header and no branch marks: the chain starts in the list's corner, and no key folds it away.
        const QRect first = dir1->visualItemRect(dir1->topLevelItem(0)).translated(dir1->viewport()->pos());
        QCOMPARE(first.topLeft(), dir1->contentsRect().topLeft());
        QTest::keyClick(dir1, Qt::Key_Left);  // folded, the chain would hide "sub" from the clicks below
        ClickEntry(dir1, "sub", false);
        QCOMPARE(dir1->currentItem()->text(0) + ' ' + dir1->Path(), "sub " + Under("work"));  // not opened
        ClickEntry(dir1, "sub", true);
        QCOMPARE(dir1->Path() + ' ' + Entries(file1), Under("work/sub") + " deep.asc");
        QCOMPARE(dir1->topLevelItemCount(), 1);  // the new chain in place of the old one
        ClickEntry(dir1, QFileInfo(root_).fileName(), true);
        QCOMPARE(dir1->Path() + ' ' + Entries(file1), root_ + ' ');
    }

    // Each way of closing (Command1 is Ok, Command2 Cancel; Shift+Tab from File1 is Cancel), after clicking
    // hill.asc or not, and the file it accepts ("" for none); nothing is current until the user moves. As
    // in the classic list, End goes to the last file, and a click below the entries leaves the choice.
    void ClosingRoutes_data() {
        QTest::addColumn<QString>("route");
        QTest::addColumn<bool>("clickFirst");
        QTest::addColumn<QString>("accepted");
        // clang-format off
        const struct { const char* route; bool clickFirst; const char* accepted; } rows[] = {
            {"Command1", true, "hill.asc"}, {"Return", true, "hill.asc"}, {"double-click", false, "hill.asc"},
            {"close box", true, "hill.asc"}, {"Command2", true, ""}, {"Escape", true, ""}, {"Shift+Tab, Return", true, ""},
            {"Command1", false, ""}, {"Return", false, ""}, {"Down, Return", false, "hill.asc"}, {"Home, Return", false, "hill.asc"},
            {"End, Return", false, "Mesa.ASC"}, {"blank click", true, "hill.asc"}};
        // clang-format on
        for (const auto& [route, clickFirst, accepted] : rows) {
            QTest::addRow("%s%s", route, clickFirst ? " on hill.asc" : "")
                << QString(route) << clickFirst << QString(accepted);
        }
    }
    void ClosingRoutes() {
        QFETCH(QString, route);
        QFETCH(bool, clickFirst);
        QFETCH(QString, accepted);
        CommonFileDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        auto* file1 = dialog.findChild<FileList*>("File1");
        QVERIFY(!file1->currentIndex().isValid());
        if (clickFirst) ClickEntry(file1, "hill.asc", false);
        if (auto* button = dialog.findChild<QPushButton*>(route)) QTest::mouseClick(button, Qt::LeftButton);
        if (route == "double-click") ClickEntry(file1, "hill.asc", true);
        if (route == "close box") dialog.close();
        if (route == "blank click") {
            QTest::mouseClick(file1->viewport(), Qt::LeftButton, {}, file1->viewport()->rect().bottomLeft());
            QTest::keyClick(file1, Qt::Key_Return);
        }
        if (route.contains("Return") || route == "Escape")
            QTest::keySequence(dialog.focusWidget(), QKeySequence(route));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(LastFolder, Under("work"));
        QCOMPARE(ChosenPath, accepted.isEmpty() ? kEarlierChoice : Under("work/" + accepted));
        QCOMPARE(dialog.AcceptedFile(), !accepted.isEmpty());
    }

    // Drives here are "/" and two made-up ones, "drive-d" and "nodrive" (which does not exist); the
    // dialog is closed with Ok and nothing selected, which must record the folder and nothing else.
    void OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder() {
        // What shows: the folder | its files | its subfolders; names sorted and matched ignoring case,
        // hidden ones left out.
        const QString work = "work | hill.asc,Mesa.ASC | sub,valley.asc";
        // clang-format off
        const std::tuple<QString, QString, QString> rows[] = {  // working folder, LastFolder, what shows
            {"work", "", work},                                      // first opening
            {"work", "elsewhere", work},                             // elsewhere on the same drive
            {"work", "drive-d/terrain", "drive-d |  | terrain"},     // on another drive
            {"work", "drive-dx/terrain", work},                      // only named like a drive
            {"work", "nodrive/terrain", "nodrive |  | "},            // a drive that cannot be read
            {"locked", "", "locked |  | "}};                         // a folder without permissions
        // clang-format on
        for (const auto& [workingFolder, lastFolder, shown] : rows) {
            init();
            const bool locks = workingFolder == "locked";
            if (locks && geteuid() == 0) continue;  // root reads folders whatever their permissions
            if (locks) QVERIFY(QFile::setPermissions(Under("locked"), {}));
            if (!lastFolder.isEmpty()) LastFolder = Under(lastFolder);
            CommonFileDialog dialog(
                DriveLayout{{"/", Under("drive-d"), Under("nodrive")}, Under(workingFolder)});
            if (locks)
                QFile::setPermissions(Under("locked"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            const auto* dir1 = dialog.findChild<FolderList*>("Dir1");
            QCOMPARE(QStringList({dir1->Path(), Entries(dialog.findChild<FileList*>("File1")),
                                  Entries(dir1, dir1->currentIndex()),
                                  dialog.findChild<PatternList*>("FileType")->currentText()})
                         .join(" | "),
                     Under(shown) + " | *.asc");
            dialog.findChild<QPushButton*>("Command1")->click();
            QCOMPARE(LastFolder + ' ' + ChosenPath, Under(shown.section(" | ", 0, 0)) + ' ' + kEarlierChoice);
        }
        // Back on the first drive, the system root, the list goes to the folder current there.
        LastFolder = Under("drive-d/terrain");
        CommonFileDialog dialog(DriveLayout{{"/", Under("drive-d")}, Under("work")});
        dialog.findChild<DriveList*>("Drive1")->setCurrentIndex(0);
        QCOMPARE(dialog.findChild<FolderList*>("Dir1")->Path(), Under("work"));
    }

    void MountedDrivesStartWithTheSystemRoot() {
        const DriveLayout layout = CurrentDriveLayout();
        QCOMPARE(layout.roots.value(0), QString("/"));
        QVERIFY(std::is_sorted(layout.roots.begin(), layout.roots.end()));
        for (const QString& root : layout.roots) {  // bind-mounted files too
            QVERIFY2(QFileInfo(root).isDir() && QFileInfo(root).isReadable(), qPrintable(root));
            QCOMPARE(layout.roots.count(root), 1);
        }
        for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {  // no listable drive left out
            const QFileInfo root(volume.rootPath());
            const bool listable =
                volume.isReady() && root.isDir() && root.isReadable() && root.isExecutable();
            QVERIFY2(!listable || layout.roots.contains(volume.rootPath()), qPrintable(volume.rootPath()));
        }
        QCOMPARE(layout.workingFolder, Under("work"));
        QVERIFY(QDir(root_).mkdir("removed") && QDir::setCurrent(Under("removed")) &&
                QDir(root_).rmdir("removed"));
        QCOMPARE(CurrentDriveLayout().workingFolder, QString("/"));
    }
};

}  // namespace tessiloom

QTEST_MAIN(tessiloom::CommonFileDialogTest)
#include "common_file_dialog_test.moc"
