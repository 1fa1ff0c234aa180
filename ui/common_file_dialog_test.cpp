#include "ui/common_file_dialog.h"

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "ui/file_list.h"
#include "ui/folder_list.h"
#include "ui/form_layout.h"
#include "ui/pattern_list.h"
#include "ui/program_state.h"
#include "ui/test_layout.h"

namespace tessiloom {

constexpr char kEarlierChoice[] = "/maps/earlier.asc";

template <typename Item>
QStringList Texts(int count, Item item) {
    QStringList texts;
    for (int index = 0; index < count; ++index) texts << item(index);
    return texts;
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
        QVERIFY(tree_.isValid());
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

    void LaysOutItsControlsInTwoColumns() {
        QCOMPARE(FromTwips(QRect(7, 8, 22, 23)), QRect(0, 1, 1, 2));  // twips round to the nearest pixel
        CommonFileDialog dialog;
        QCOMPARE(dialog.minimumSize(), QSize(492, 303));
        QCOMPARE(dialog.maximumSize(), QSize(492, 303));
        QCOMPARE(LayoutFaults(dialog, {"Label1"}), QString());  // the captions reach a pixel into the lists
        QCOMPARE(MisalignedIn(dialog, {{"File1", "FileType", kLeft | kWidth},
                                       {"Dir1", "Drive1", kLeft | kWidth},
                                       {"File1", "Dir1", kTop},
                                       {"FileType", "Drive1", kTop | kHeight},
                                       {"Command1", "Command2", kTop | kWidth | kHeight},
                                       {"Label1[0]", "Label1[1]", kTop | kWidth | kHeight},
                                       {"Label1[1]", "Command2", kLeft}}),
                 QString());
    }

    void FocusStartsOnFile1AndTabsInTableOrder() {
        CommonFileDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget()->objectName(), QString("File1"));
        for (const char* next : {"Dir1", "FileType", "Drive1", "Command1", "Command2", "File1"}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
        }
    }

    void FolderListShowsAncestorsAndMovesOnDoubleClickOnly() {
        CommonFileDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* dir1 = dialog.findChild<FolderList*>("Dir1");
        const auto* file1 = dialog.findChild<FileList*>("File1");
        const auto files = [&] { return Texts(file1->count(), [&](int i) { return file1->EntryText(i); }); };

        QStringList chain;  // one entry per ancestor, from "/" down to the folder shown
        for (const QTreeWidgetItem* entry = dir1->currentItem(); entry; entry = entry->parent())
            chain.prepend(entry->text(0));
        QCOMPARE(chain.join('/'), '/' + Under("work"));

        ClickEntry(dir1, "sub", false);
        QCOMPARE(dir1->currentItem()->text(0), QString("sub"));
        QCOMPARE(dir1->Path(), Under("work"));
        QCOMPARE(file1->FolderPath(), Under("work"));
        ClickEntry(dir1, "sub", true);
        QCOMPARE(dir1->Path(), Under("work/sub"));
        QCOMPARE(files(), QStringList({"deep.asc"}));
        ClickEntry(dir1, QFileInfo(root_).fileName(), true);
        QCOMPARE(dir1->Path(), root_);
        QCOMPARE(files(), QStringList());
    }

    // Each way of closing, after clicking hill.asc or not; nothing is current until the user moves.
    void ClosingRoutes() {
        // clang-format off
        const struct { const char* route; bool selectFirst; bool accepts; } rows[] = {
            {"Ok", true, true}, {"Enter", true, true}, {"double-click", false, true}, {"close box", true, true},
            {"Cancel", true, false}, {"Escape", true, false}, {"Enter on Cancel", true, false},
            {"Ok", false, false}, {"Enter", false, false}, {"Down", false, true}, {"Home", false, true}};
        // clang-format on
        for (const auto& [route, selectFirst, accepts] : rows) {
            init();
            const QString row = QString("%1 %2").arg(route).arg(selectFirst ? "on hill.asc" : "");
            CommonFileDialog dialog;
            auto* file1 = dialog.findChild<FileList*>("File1");
            const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };
            const auto is = [&](const char* name) { return qstrcmp(route, name) == 0; };
            bool stillOpen = false;
            bool currentBeforeMoving = true;
            QTimer::singleShot(0, &dialog, [&] {
                QVERIFY(QTest::qWaitForWindowActive(&dialog));
                currentBeforeMoving = file1->currentIndex().isValid();
                if (selectFirst) ClickEntry(file1, "hill.asc", false);
                if (is("Down") || is("Home")) press(is("Down") ? Qt::Key_Down : Qt::Key_Home);
                if (is("Enter on Cancel")) dialog.findChild<QPushButton*>("Command2")->setFocus();
                if (is("Ok")) QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
                if (QString(route).startsWith("Enter") || is("Down") || is("Home")) press(Qt::Key_Return);
                if (is("double-click")) ClickEntry(file1, "hill.asc", true);
                if (is("close box")) dialog.close();
                if (is("Cancel"))
                    QTest::mouseClick(dialog.findChild<QPushButton*>("Command2"), Qt::LeftButton);
                if (is("Escape")) press(Qt::Key_Escape);
                stillOpen = dialog.isVisible();
                if (stillOpen) dialog.done(QDialog::Rejected);
            });
            dialog.exec();
            QVERIFY2(!stillOpen && !currentBeforeMoving, qPrintable(row));
            QCOMPARE(LastFolder, Under("work"));
            QVERIFY2(ChosenPath == (accepts ? Under("work/hill.asc") : kEarlierChoice), qPrintable(row));
            QVERIFY2(dialog.AcceptedFile() == accepts, qPrintable(row));
        }
    }

    // Drives here are "/" and two made-up ones, "drive-d" and "nodrive" (which does not exist); the
    // dialog is closed with Ok and nothing selected, which must record the folder and nothing else.
    void OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder() {
        const QStringList workFiles{"hill.asc", "Mesa.ASC"};  // case ignored, hidden left out, sorted
        const QStringList workFolders{"sub", "valley.asc"};
        const struct {
            QString workingFolder, lastFolder, shown;
            QStringList files, subfolders;
        } rows[] = {
            {"work", "", "work", workFiles, workFolders},                  // first opening
            {"work", "elsewhere", "work", workFiles, workFolders},         // elsewhere on the same drive
            {"work", "drive-d/terrain", "drive-d", {}, {"terrain"}},       // on another drive
            {"work", "drive-dx/terrain", "work", workFiles, workFolders},  // only named like a drive
            {"work", "nodrive/terrain", "nodrive", {}, {}},                // a drive that cannot be read
            {"locked", "", "locked", {}, {}},                              // a folder without permissions
        };
        for (const auto& [workingFolder, lastFolder, shown, files, subfolders] : rows) {
            init();
            const bool locks = workingFolder == "locked";
            if (locks && geteuid() == 0) continue;  // root reads folders whatever their permissions
            if (locks) QVERIFY(QFile::setPermissions(Under("locked"), {}));
            if (!lastFolder.isEmpty()) LastFolder = Under(lastFolder);
            CommonFileDialog dialog(
                DriveLayout{{"/", Under("drive-d"), Under("nodrive")}, Under(workingFolder)});
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            if (locks)
                QFile::setPermissions(Under("locked"),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            const auto* dir1 = dialog.findChild<FolderList*>("Dir1");
            const auto* file1 = dialog.findChild<FileList*>("File1");
            const QTreeWidgetItem* folder = dir1->currentItem();
            // What the dialog shows, in one line so that a failure names the row.
            const QStringList seen{
                dir1->Path(),
                file1->FolderPath(),
                Texts(file1->count(), [&](int i) { return file1->EntryText(i); }).join(','),
                QString::number(file1->SelectionIndex()),
                dialog.findChild<PatternList*>("FileType")->currentText(),
                Texts(folder->childCount(), [&](int i) { return folder->child(i)->text(0); }).join(',')};
            QCOMPARE(seen.join(" | "), QStringList({Under(shown), Under(shown), files.join(','), "-1",
                                                    "*.asc", subfolders.join(',')})
                                           .join(" | "));
            QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
            QVERIFY(!dialog.isVisible());
            QCOMPARE(LastFolder, Under(shown));
            QCOMPARE(ChosenPath, QString(kEarlierChoice));
        }
    }

    void MountedDrivesStartWithTheSystemRoot() {
        const DriveLayout layout = CurrentDriveLayout();
        QCOMPARE(layout.roots.value(0), QString("/"));
        for (const QString& root : layout.roots) {  // bind-mounted files too
            QVERIFY2(QFileInfo(root).isDir() && QFileInfo(root).isReadable(), qPrintable(root));
            QCOMPARE(layout.roots.count(root), 1);
        }
        QCOMPARE(layout.workingFolder, Under("work"));
    }
};

}  // namespace tessiloom

QTEST_MAIN(tessiloom::CommonFileDialogTest)
#include "common_file_dialog_test.moc"
