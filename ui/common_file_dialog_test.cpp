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

QStringList Entries(const FileList* list) {
    QStringList entries;
    for (int index = 0; index < list->count(); ++index) entries << list->EntryText(index);
    return entries;
}

QStringList Subfolders(const QTreeWidgetItem* shown) {
    QStringList names;
    for (int index = 0; index < shown->childCount(); ++index) names << shown->child(index)->text(0);
    return names;
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

  private slots:
    void initTestCase();
    void cleanupTestCase() { QDir::setCurrent(savedWorkingFolder_); }
    void init();

    void LaysOutItsControlsInTwoColumns();
    void FocusStartsOnFile1AndTabsInTableOrder();
    void FolderListShowsAncestorsAndMovesOnDoubleClickOnly();
    void ClosingRoutes_data();
    void ClosingRoutes();
    void OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder_data();
    void OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder();
    void MountedDrivesStartWithTheSystemRoot();

  private:
    QString Under(const QString& relative) const { return root_ + '/' + relative; }

    QTemporaryDir tree_;
    QString root_;
    QString savedWorkingFolder_;
};

void CommonFileDialogTest::initTestCase() {
    QVERIFY(tree_.isValid());
    root_ = QFileInfo(tree_.path()).canonicalFilePath();
    for (const char* folder : {"work/valley.asc", "work/sub", "work/.hiddendir", "drive-d/terrain", "locked"})
        QVERIFY(QDir(root_).mkpath(folder));
    for (const char* file : {"work/hill.asc", "work/Mesa.ASC", "work/.hidden.asc", "work/notes.txt",
                             "work/hill.asc.bak", "work/sub/deep.asc", "locked/secret.asc"}) {
        QFile touched(Under(file));
        QVERIFY(touched.open(QIODevice::WriteOnly));
    }
    savedWorkingFolder_ = QDir::currentPath();
    QVERIFY(QDir::setCurrent(Under("work")));
}

void CommonFileDialogTest::init() {
    LastFolder.clear();
    ChosenPath = kEarlierChoice;
}

void CommonFileDialogTest::LaysOutItsControlsInTwoColumns() {
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

void CommonFileDialogTest::FocusStartsOnFile1AndTabsInTableOrder() {
    CommonFileDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget()->objectName(), QString("File1"));
    for (const char* next : {"Dir1", "FileType", "Drive1", "Command1", "Command2", "File1"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QString(next));
    }
}

void CommonFileDialogTest::FolderListShowsAncestorsAndMovesOnDoubleClickOnly() {
    CommonFileDialog dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* dir1 = dialog.findChild<FolderList*>("Dir1");
    const auto* file1 = dialog.findChild<FileList*>("File1");

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
    QCOMPARE(Entries(file1), QStringList({"deep.asc"}));

    ClickEntry(dir1, QFileInfo(root_).fileName(), true);
    QCOMPARE(dir1->Path(), root_);
    QCOMPARE(Entries(file1), QStringList());
}

void CommonFileDialogTest::ClosingRoutes_data() {
    QTest::addColumn<QString>("route");
    QTest::addColumn<bool>("selectFirst");
    QTest::addColumn<bool>("accepts");
    QTest::newRow("Ok") << QString("Ok") << true << true;
    QTest::newRow("Enter in File1") << QString("Enter") << true << true;
    QTest::newRow("double-click on a file") << QString("double-click") << false << true;
    QTest::newRow("close box") << QString("close box") << true << true;
    QTest::newRow("Cancel") << QString("Cancel") << true << false;
    QTest::newRow("Escape") << QString("Escape") << true << false;
    QTest::newRow("Enter on Cancel") << QString("Enter on Cancel") << true << false;
    QTest::newRow("Ok with no file selected") << QString("Ok") << false << false;
    QTest::newRow("Enter with no file selected") << QString("Enter") << false << false;
    // Nothing is current until the user moves: the first Down selects the first file, as does Home.
    QTest::newRow("Down, then Enter") << QString("Down") << false << true;
    QTest::newRow("Home, then Enter") << QString("Home") << false << true;
}

void CommonFileDialogTest::ClosingRoutes() {
    QFETCH(QString, route);
    QFETCH(bool, selectFirst);
    QFETCH(bool, accepts);
    CommonFileDialog dialog;
    auto* file1 = dialog.findChild<FileList*>("File1");
    auto* command1 = dialog.findChild<QPushButton*>("Command1");
    auto* command2 = dialog.findChild<QPushButton*>("Command2");
    const auto press = [](Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); };

    bool stillOpen = false;
    bool currentBeforeMoving = true;
    QTimer::singleShot(0, &dialog, [&] {
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        currentBeforeMoving = file1->currentIndex().isValid();
        if (selectFirst) ClickEntry(file1, "hill.asc", false);
        if (route == "Down" || route == "Home") press(route == "Down" ? Qt::Key_Down : Qt::Key_Home);
        if (route == "Enter on Cancel") command2->setFocus();
        if (route == "Ok") QTest::mouseClick(command1, Qt::LeftButton);
        if (route.startsWith("Enter") || route == "Down" || route == "Home") press(Qt::Key_Return);
        if (route == "double-click") ClickEntry(file1, "hill.asc", true);
        if (route == "close box") dialog.close();
        if (route == "Cancel") QTest::mouseClick(command2, Qt::LeftButton);
        if (route == "Escape") press(Qt::Key_Escape);
        stillOpen = dialog.isVisible();
        if (stillOpen) dialog.done(QDialog::Rejected);
    });
    dialog.exec();

    QVERIFY(!stillOpen);
    QVERIFY(!currentBeforeMoving);
    QCOMPARE(LastFolder, Under("work"));
    QCOMPARE(ChosenPath, accepts ? Under("work/hill.asc") : QString(kEarlierChoice));
    QCOMPARE(dialog.AcceptedFile(), accepts);
}

// Drives here are "/" and two made-up ones, "drive-d" and "nodrive" (which does not exist); the
// dialog is closed with Ok and nothing selected, which must record the folder and nothing else.
void CommonFileDialogTest::OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder_data() {
    QTest::addColumn<QString>("workingFolder");
    QTest::addColumn<QString>("lastFolder");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("subfolders");
    const auto row = [](const char* name, const QString& workingFolder, const QString& lastFolder,
                        const QString& shown, const QStringList& files, const QStringList& subfolders) {
        QTest::newRow(name) << workingFolder << lastFolder << shown << files << subfolders;
    };
    const QStringList workFiles{"hill.asc", "Mesa.ASC"};  // case ignored, hidden left out, sorted
    const QStringList workFolders{"sub", "valley.asc"};
    row("first opening", "work", "", "work", workFiles, workFolders);
    row("last folder elsewhere on the same drive", "work", "elsewhere", "work", workFiles, workFolders);
    row("last folder on another drive", "work", "drive-d/terrain", "drive-d", {}, {"terrain"});
    row("last folder only named like a drive", "work", "drive-dx/terrain", "work", workFiles, workFolders);
    row("drive that cannot be read", "work", "nodrive/terrain", "nodrive", {}, {});
    row("folder without permissions", "locked", "", "locked", {}, {});
}

void CommonFileDialogTest::OpensAtWorkingFolderOrOnlyTheDriveOfLastFolder() {
    QFETCH(QString, workingFolder);
    QFETCH(QString, lastFolder);
    QFETCH(QString, shown);
    QFETCH(QStringList, files);
    QFETCH(QStringList, subfolders);
    const bool locks = workingFolder == "locked";
    if (locks && geteuid() == 0) QSKIP("root reads folders whatever their permissions");
    if (locks) QVERIFY(QFile::setPermissions(Under("locked"), {}));
    if (!lastFolder.isEmpty()) LastFolder = Under(lastFolder);

    CommonFileDialog dialog(DriveLayout{{"/", Under("drive-d"), Under("nodrive")}, Under(workingFolder)});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* dir1 = dialog.findChild<FolderList*>("Dir1");
    if (locks) QFile::setPermissions(Under("locked"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const auto* file1 = dialog.findChild<FileList*>("File1");
    QCOMPARE(dir1->Path(), Under(shown));
    QCOMPARE(file1->FolderPath(), Under(shown));
    QCOMPARE(Entries(file1), files);
    QCOMPARE(file1->SelectionIndex(), -1);
    QCOMPARE(dialog.findChild<PatternList*>("FileType")->currentText(), QString("*.asc"));
    QCOMPARE(Subfolders(dir1->currentItem()), subfolders);
    QTest::mouseClick(dialog.findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(LastFolder, Under(shown));
    QCOMPARE(ChosenPath, QString(kEarlierChoice));
}

void CommonFileDialogTest::MountedDrivesStartWithTheSystemRoot() {
    const DriveLayout layout = CurrentDriveLayout();
    QCOMPARE(layout.roots.value(0), QString("/"));
    for (const QString& root : layout.roots) {
        QVERIFY2(QFileInfo(root).isDir() && QFileInfo(root).isReadable(),
                 qPrintable(root));  // bind-mounted files too
        QCOMPARE(layout.roots.count(root), 1);
    }
    QCOMPARE(layout.workingFolder, Under("work"));
}

}  // namespace tessiloom

QTEST_MAIN(tessiloom::CommonFileDialogTest)
#include "common_file_dialog_test.moc"
