// The browse-and-copy dialog: the linked lists, View and Copy on what the
// selected-image box holds, the copy's failures, and the project folder made
// current again however the dialog closes.
#include "images/LocateDialog.h"

#include "BitmapWriter.h"
#include "JpegFiles.h"
#include "TestSupport.h"
#include "project/Project.h"
#include "toolkit/Cursor.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <tuple>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString Mask = QStringLiteral("*.BMP;*.JPG");

// A picture file of `size` bytes, its own for each seed: a small bitmap,
// then bytes after its rows.
QByteArray patterned(int size, int seed)
{
    QByteArray b = BlankBitmap(2, 2, qRgb(seed, 0, 0));
    for (int i = int(b.size()); i < size; ++i)
        b += char((i * 31 + seed * 7 + (i >> 8)) & 0xFF);
    return b;
}

// Lowers the process's file-size limit while it lives: a write past it fails
// (SIGXFSZ is ignored by the toolkit), even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit low = saved_;
        low.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &low) == 0;
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    bool Ok() const { return ok_; }
private:
    rlimit saved_{};
    bool ok_ = false;
};

class FindDialog : public ::testing::Test {
protected:
    TempFolder project;   // the current folder, as while a project is open
    QTemporaryDir photosDir;
    MessageRecorder messages;
    ProjectState saved = Project();
    QString photos;

    void SetUp() override
    {
        Project().ProjectFolder = project.Path();
        Project().ProjectFile = QStringLiteral("SUNSET.SSJ");
        WriteAll(project.File(QStringLiteral("SUNSET.SSJ")), QByteArray(SaverSettingsSize, '\0'));
        photos = IncludeTrailingPathDelimiter(QDir(photosDir.path()).canonicalPath());
        WriteAll(photos + "sunset.jpg", EncodeJpeg(TestPicture(17, 17)));
        WriteAll(photos + "Beach.bmp", BlankBitmap(119, 96, qRgb(30, 90, 200)));
        WriteAll(photos + "BIG.BMP", patterned(20001, 1));
        WriteAll(photos + "notes.txt", "not a picture");
    }
    void TearDown() override
    {
        SetCurrentDir(project.Path());
        Project() = saved;
    }

    QStringList projectFiles() const { return QDir(project.Path()).entryList(QDir::Files, QDir::Name); }
    QStringList listed(const TSMFindForm& f) const
    {
        QStringList names;
        for (int i = 0; i < f.FileListBox1->count(); ++i)
            names << f.FileListBox1->item(i)->text();
        return names;
    }
    // Opens the photo folder (or one below it) in the dialog and clicks a file of it.
    void pick(TSMFindForm& f, const QString& name)
    {
        ASSERT_TRUE(f.DirectoryListBox1->SetDirectory(photos + ExtractFilePath(name)));
        f.FileListBox1->SelectName(ExtractFileName(name));
        ASSERT_EQ(f.Edit2->text(), UpperCaseName(ExtractFileName(name)));
    }
};

} // namespace

// ------------------------------------------------------------- opening

TEST_F(FindDialog, OpensInTheProjectFolderWithAnEmptyBox)
{
    TSMFindForm f(Project());
    EXPECT_EQ(f.Edit2->text(), "");
    EXPECT_EQ(IncludeTrailingPathDelimiter(f.DirectoryListBox1->Directory()), project.Path());
    EXPECT_EQ(IncludeTrailingPathDelimiter(f.Edit1->text()), project.Path());
    EXPECT_EQ(f.FileListBox1->Mask(), "*.bmp;*.jpg;*.jpeg;*.jpe;*.png;*.heic;*.heif;*.avif;*.webp;*.tif;*.tiff;*.gif");
    EXPECT_EQ(f.FileListBox1->FileEdit(), f.Edit2);
    EXPECT_TRUE(f.Edit2->isReadOnly());
    EXPECT_EQ(f.DriveComboBox1->Drive(), TDriveComboBox::DriveOf(project.Path(), TDriveComboBox::AvailableDrives()));
}

TEST_F(FindDialog, HasItsTitleSizeButtonsAndHelpTopic)
{
    TSMFindForm f(Project());
    EXPECT_EQ(f.windowTitle(), "Press F1 for Help");
    EXPECT_EQ(f.size(), QSize(350, 268));
    EXPECT_EQ(HelpContextOf(&f), 110);
    EXPECT_EQ(f.BitBtn3->text(), "Copy");
    EXPECT_EQ(f.BitBtn1->text(), "View");
    EXPECT_EQ(f.BitBtn2->text(), "&Cancel");
    EXPECT_TRUE(f.BitBtn1->isDefault());
    for (QPushButton* b : {f.BitBtn1, f.BitBtn2, f.BitBtn3})
        EXPECT_EQ(b->size(), QSize(89, 25)) << b->objectName().toStdString();
    EXPECT_EQ(f.DriveLbl->text(), "Select  Drive :");
    EXPECT_EQ(f.DirectoryLbl->text(), "Select a Folder ");
    EXPECT_EQ(f.FileLbl->text(), "Selected Image");
}

// ------------------------------------------------------------- the lists

TEST_F(FindDialog, AnotherFolderListsItsPicturesAndPutsTheMaskInTheBox)
{
    WriteAll(photos + "IMG_4512.HEIC", "x");
    TSMFindForm f(Project());
    ASSERT_TRUE(f.DirectoryListBox1->SetDirectory(photos));
    EXPECT_EQ(f.Edit2->text(), Mask);
    EXPECT_EQ(IncludeTrailingPathDelimiter(f.Edit1->text()), photos);
    EXPECT_EQ(listed(f), QStringList({"Beach.bmp", "BIG.BMP", "IMG_4512.HEIC", "sunset.jpg"}));
    EXPECT_EQ(GetCurrentDir(), photos);   // browsing moves the current folder
}

TEST_F(FindDialog, ClickingAFilePutsItsNameInCapitalsInTheBox)
{
    TSMFindForm f(Project());
    pick(f, "sunset.jpg");
    EXPECT_EQ(f.Edit2->text(), "SUNSET.JPG");
}

// ------------------------------------------------------------- empty box

TEST_F(FindDialog, WithAnEmptyBoxViewAndCopyDoNothing)
{
    TSMFindForm f(Project());
    f.show();
    const QStringList before = projectFiles();
    WriteAll(project.File("LATE.BMP"), "x");   // would be listed by a reading of the list
    f.BitBtn3Click();
    f.BitBtn1Click();
    EXPECT_TRUE(messages.Messages.isEmpty());
    EXPECT_EQ(f.Edit2->text(), "");            // the list was not read again
    EXPECT_FALSE(listed(f).contains("LATE.BMP"));
    EXPECT_TRUE(f.isVisible());
    QStringList want = before + QStringList{"LATE.BMP"};
    want.sort();
    QStringList now = projectFiles();
    now.sort();
    EXPECT_EQ(now, want);
}

// ------------------------------------------------------------- Copy

TEST_F(FindDialog, YesCopiesThePictureUnderItsNameInCapitals)
{
    TSMFindForm f(Project());
    pick(f, "sunset.jpg");
    f.BitBtn3Click();
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Confirm);
    EXPECT_EQ(messages.Messages[0].Text, "Copy the file SUNSET.JPG to the Project directory?");
    EXPECT_TRUE(projectFiles().contains("SUNSET.JPG"));
    EXPECT_EQ(ReadAll(project.File("SUNSET.JPG")), ReadAll(photos + "sunset.jpg"));
    EXPECT_EQ(f.Edit2->text(), Mask);   // the list was read again
}

TEST_F(FindDialog, ALongNameIsCopiedUnderTheShortNameTheQuestionShows)
{
    WriteAll(photos + "IMG_20230514_123456.jpg", patterned(5000, 3));
    TSMFindForm f(Project());
    pick(f, "IMG_20230514_123456.jpg");
    f.BitBtn3Click();
    EXPECT_EQ(messages.Texts(),
              QStringList{"Copy the file IMG_20230514_123456.JPG to the Project directory as IMG_20~1.JPG?"});
    EXPECT_EQ(ReadAll(project.File("IMG_20~1.JPG")), patterned(5000, 3));
    EXPECT_EQ(projectFiles(), QStringList({"IMG_20~1.JPG", "SUNSET.SSJ"}));
    EXPECT_EQ(f.Edit2->text(), Mask);
}

TEST_F(FindDialog, AnotherPictureOfTheSameShortNameTakesTheNextNumber)
{
    WriteAll(photos + "IMG_20230514_123456.jpg", patterned(5000, 3));
    WriteAll(project.File("img_20~1.jpg"), "another picture");   // letter case does not matter
    WriteAll(project.File("IMG_20~2.JPG"), patterned(4999, 3));   // nor does a near likeness
    TSMFindForm f(Project());
    pick(f, "IMG_20230514_123456.jpg");
    f.BitBtn3Click();
    EXPECT_EQ(messages.Texts(),
              QStringList{"Copy the file IMG_20230514_123456.JPG to the Project directory as IMG_20~3.JPG?"});
    EXPECT_EQ(ReadAll(project.File("img_20~1.jpg")), "another picture");
    EXPECT_EQ(ReadAll(project.File("IMG_20~3.JPG")), patterned(5000, 3));
}

// The name Copy chooses by what the project folder holds: nothing there is
// replaced, and the same bytes (a link's too) are not copied twice.
TEST_F(FindDialog, CopyTargetForANameTakenOrNot)
{
    const QByteArray x = patterned(3000, 1), y = patterned(3000, 2), z = patterned(3000, 3);
    WriteAll(photos + "IMG_0001.JPG", x);
    WriteAll(photos + "IMG_20230514_123456.JPG", x);
    ASSERT_TRUE(QDir(photos).mkdir("cam") && QFile::link(photos + "IMG_0001.JPG", photos + "cam/IMG_0001.JPG"));
    const std::tuple<QString, std::map<QString, QByteArray>, QString> rows[] = {
        {"IMG_0001.JPG", {}, "IMG_0001.JPG"},
        {"IMG_0001.JPG", {{"IMG_0001.JPG", x}}, "IMG_0001.JPG"},
        {"IMG_0001.JPG", {{"img_0001.jpg", x}}, "img_0001.jpg"},
        {"IMG_0001.JPG", {{"IMG_0001.JPG", y}}, "IMG_00~1.JPG"},
        {"IMG_0001.JPG", {{"IMG_0001.JPG", y}, {"IMG_00~1.JPG", x}}, "IMG_00~1.JPG"},
        {"IMG_0001.JPG", {{"IMG_0001.JPG", y}, {"IMG_00~1.JPG", z}}, "IMG_00~2.JPG"},
        {"cam/IMG_0001.JPG", {{"IMG_0001.JPG", x}}, "IMG_0001.JPG"},
        {"IMG_20230514_123456.JPG", {{"IMG_20~1.JPG", x}}, "IMG_20~1.JPG"},
    };
    for (const auto& [source, there, name] : rows) {
        QTemporaryDir dir;
        for (const auto& [file, bytes] : there)
            WriteAll(dir.filePath(file), bytes);
        EXPECT_EQ(copyTargetFor(dir.path() + '/', ExtractFileName(source), photos + source), name) << name.toStdString();
    }
}

// What Copy says of a taken name: another picture's own short name, or a
// word that the same picture is there already; each reads the list again.
// A photo of another format goes in as a JPEG, converted on a worker before
// the question (the window alive with the busy pointer meanwhile), so that
// the same photo again is found there at once. A close meanwhile waits for
// the worker, and nothing is asked.
TEST_F(FindDialog, ATakenNameGetsAShortNameAndTheSamePictureAWord)
{
    WriteAll(project.File("Sunset.Jpg"), "the project's own");
    TestPicture(40, 30).save(photos + "Screen Shot.png", "PNG");
    TSMFindForm f(Project());
    f.show();
    for (const QString name : {"sunset.jpg", "sunset.jpg", "Beach.bmp", "Beach.bmp"}) {
        pick(f, name);
        WriteAll(photos + "LATE.BMP", "x");
        f.BitBtn3Click();
        EXPECT_TRUE(f.Edit2->text() == Mask && listed(f).contains("LATE.BMP") && QFile::remove(photos + "LATE.BMP"));
    }
    for (int copy = 1; copy <= 3; ++copy) {
        pick(f, "Screen Shot.png");
        f.BitBtn3Click();
        EXPECT_EQ(ScreenCursor(), TCursorShape::HourGlass);
        if (copy == 3)
            f.reject();
        EXPECT_TRUE(f.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!f.Converting(), 20000);
        EXPECT_EQ(ScreenCursor(), TCursorShape::Default);
    }
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(messages.Texts(),
              QStringList({"Copy the file SUNSET.JPG to the Project directory as SUNSET~1.JPG?",
                           "The picture SUNSET.JPG is already in the project folder as SUNSET~1.JPG.",
                           "Copy the file BEACH.BMP to the Project directory?",
                           "The picture BEACH.BMP is already in the project folder.",
                           "Copy the file SCREEN SHOT.PNG to the Project directory as SCREEN~1.JPG?",
                           "The picture SCREEN SHOT.PNG is already in the project folder as SCREEN~1.JPG."}));
    EXPECT_EQ(messages.Messages[1].Kind, TMsgKind::Information);
    EXPECT_EQ(ReadAll(project.File("Sunset.Jpg")), "the project's own");
    EXPECT_EQ(ReadAll(project.File("SUNSET~1.JPG")), ReadAll(photos + "sunset.jpg"));
    EXPECT_EQ(QImage(project.File("SCREEN~1.JPG"), "JPEG").size(), QSize(40, 30));
    EXPECT_EQ(QDir(project.Path()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
              QStringList({"BEACH.BMP", "SCREEN~1.JPG", "Sunset.Jpg", "SUNSET.SSJ", "SUNSET~1.JPG"}));
}

TEST_F(FindDialog, NonLatinNamesAreCopiedWholeWhenTheyFitAndShortWhenNot)
{
    const QString photo = QString::fromUtf8("фото.jpg"), holiday = QString::fromUtf8("Отпуск 2023.jpg");
    WriteAll(photos + photo, patterned(100, 1));
    WriteAll(photos + holiday, patterned(100, 2));
    TSMFindForm f(Project());
    pick(f, photo);
    f.BitBtn3Click();
    pick(f, holiday);
    f.BitBtn3Click();
    EXPECT_EQ(messages.Texts(),
              QStringList({QString::fromUtf8("Copy the file ФОТО.JPG to the Project directory?"),
                           QString::fromUtf8("Copy the file ОТПУСК 2023.JPG to the Project directory as ОТП~1.JPG?")}));
    EXPECT_EQ(ReadAll(project.File(QString::fromUtf8("ФОТО.JPG"))), patterned(100, 1));
    EXPECT_EQ(ReadAll(project.File(QString::fromUtf8("ОТП~1.JPG"))), patterned(100, 2));
}

TEST_F(FindDialog, ANameWithSharpSIsFoundAndCopied)
{
    WriteAll(photos + QString::fromUtf8("straße.jpg"), patterned(100, 3));
    TSMFindForm f(Project());
    pick(f, QString::fromUtf8("straße.jpg"));
    f.BitBtn3Click();
    EXPECT_EQ(messages.Texts(), QStringList{QString::fromUtf8("Copy the file STRAßE.JPG to the Project directory?")});
    EXPECT_EQ(ReadAll(project.File(QString::fromUtf8("STRAßE.JPG"))), patterned(100, 3));
}

TEST_F(FindDialog, LargePicturesAreCopiedWhole)
{
    WriteAll(photos + "EXACT.BMP", patterned(8192 * 3, 2));   // ends on a buffer's edge
    TSMFindForm f(Project());
    pick(f, "BIG.BMP");
    f.BitBtn3Click();
    pick(f, "EXACT.BMP");
    f.BitBtn3Click();
    EXPECT_EQ(ReadAll(project.File("BIG.BMP")), patterned(20001, 1));
    EXPECT_EQ(ReadAll(project.File("EXACT.BMP")), patterned(8192 * 3, 2));
}

TEST_F(FindDialog, NoCopiesNothingAndReadsTheListAgain)
{
    TSMFindForm f(Project());
    pick(f, "Beach.bmp");
    WriteAll(photos + "LATE.JPG", "x");
    messages.Answers = {false};
    f.BitBtn3Click();
    EXPECT_EQ(messages.Texts(), QStringList{"Copy the file BEACH.BMP to the Project directory?"});
    EXPECT_FALSE(FileExists(project.File("BEACH.BMP")));
    EXPECT_EQ(f.Edit2->text(), Mask);
    EXPECT_TRUE(listed(f).contains("LATE.JPG"));
}

TEST_F(FindDialog, YesReadsTheListAgain)
{
    TSMFindForm f(Project());
    pick(f, "Beach.bmp");
    WriteAll(photos + "LATE.JPG", "x");
    f.BitBtn3Click();
    EXPECT_TRUE(listed(f).contains("LATE.JPG"));
    EXPECT_EQ(f.FileListBox1->FileName(), "");
}

TEST_F(FindDialog, CopyingFromTheProjectFolderItselfChangesNothing)
{
    WriteAll(project.File("OWN.BMP"), patterned(100, 4));
    TSMFindForm f(Project());
    f.FileListBox1->SelectName("OWN.BMP");
    ASSERT_EQ(f.Edit2->text(), "OWN.BMP");
    const QStringList before = projectFiles();
    f.BitBtn3Click();
    EXPECT_EQ(projectFiles(), before);
    EXPECT_EQ(ReadAll(project.File("OWN.BMP")), patterned(100, 4));
    EXPECT_EQ(messages.Messages.size(), 1);
}

TEST_F(FindDialog, TheMaskTextCannotBeOpened)
{
    TSMFindForm f(Project());
    ASSERT_TRUE(f.DirectoryListBox1->SetDirectory(photos));
    ASSERT_EQ(f.Edit2->text(), Mask);
    const QStringList before = projectFiles();
    WriteAll(photos + "LATE.BMP", "x");
    f.BitBtn3Click();
    ASSERT_EQ(messages.Messages.size(), 2);
    EXPECT_EQ(messages.Messages[0].Text, "Copy the file *.BMP;*.JPG to the Project directory?");
    EXPECT_EQ(messages.Messages[1].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[1].Title, ApplicationTitle());
    EXPECT_EQ(messages.Messages[1].Text, "Cannot open file *.BMP;*.JPG.");
    EXPECT_EQ(projectFiles(), before);
    EXPECT_FALSE(listed(f).contains("LATE.BMP"));   // not read again after an error
}

TEST_F(FindDialog, ADestinationThatCannotBeCreatedIsReported)
{
    ASSERT_TRUE(QDir(project.Path()).mkdir("BEACH.BMP"));   // a folder is not a file of that name
    TSMFindForm f(Project());
    pick(f, "Beach.bmp");
    f.BitBtn3Click();
    ASSERT_EQ(messages.Messages.size(), 2);
    EXPECT_EQ(messages.Messages[1].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[1].Text, "Cannot create file " + project.Path() + "BEACH.BMP.");
    EXPECT_EQ(f.Edit2->text(), "BEACH.BMP");   // the box keeps the name
}

TEST_F(FindDialog, AFailedWriteIsReportedAndLeavesNoFile)
{
    TSMFindForm f(Project());
    pick(f, "BIG.BMP");
    {
        FileSizeLimit limit(5000);
        ASSERT_TRUE(limit.Ok());
        f.BitBtn3Click();
    }
    ASSERT_EQ(messages.Messages.size(), 2);
    EXPECT_EQ(messages.Messages[1].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[1].Title, ApplicationTitle());
    EXPECT_EQ(messages.Messages[1].Text, "File too large.");
    EXPECT_FALSE(QFile::exists(project.File("BIG.BMP")));   // no short copy left behind
    EXPECT_EQ(QDir(project.Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), projectFiles());   // nor its start
    EXPECT_EQ(f.Edit2->text(), "BIG.BMP");

    // Nor does a copy cut short by the program's end.
    const pid_t copier = ::fork();
    if (copier == 0) {
        std::signal(SIGXFSZ, SIG_DFL);
        FileSizeLimit limit(5000);
        copyPictureFile(photos + "BIG.BMP", "BIG.BMP", project.File("BIG.BMP"));
        ::_exit(0);
    }
    int status = 0;
    EXPECT_TRUE(::waitpid(copier, &status, 0) == copier && WIFSIGNALED(status));
    EXPECT_FALSE(QFile::exists(project.File("BIG.BMP")));

    // With room again the same copy works, and the killed copy's beginning
    // is gone.
    messages.Clear();
    f.BitBtn3Click();
    EXPECT_EQ(ReadAll(project.File("BIG.BMP")), patterned(20001, 1));
    EXPECT_EQ(QDir(project.Path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), projectFiles());
}

TEST_F(FindDialog, AFailedReadIsReportedAndLeavesNoFile)
{
    // The process's own memory file opens but fails to read at offset 0.
    ASSERT_TRUE(QFile::link("/proc/self/mem", photos + "MEM.BMP"));
    QFile probe(photos + "MEM.BMP");
    if (!probe.open(QIODevice::ReadOnly))
        GTEST_SKIP() << "this system does not let a process open its own memory file";
    probe.close();
    TSMFindForm f(Project());
    pick(f, "MEM.BMP");
    f.BitBtn3Click();
    ASSERT_EQ(messages.Messages.size(), 2);
    EXPECT_EQ(messages.Messages[1].Kind, TMsgKind::Error);
    EXPECT_NE(messages.Messages[1].Text, "Cannot open file MEM.BMP.");
    EXPECT_FALSE(QFile::exists(project.File("MEM.BMP")));
}

// ------------------------------------------------------------- closing

TEST_F(FindDialog, EveryWayOfClosingMakesTheProjectFolderCurrentAgain)
{
    const std::function<void(TSMFindForm*)> closers[] = {
        [](TSMFindForm* f) { f->BitBtn2->click(); },
        [](TSMFindForm* f) {
            QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(f, &esc);
        },
        [](TSMFindForm* f) { f->close(); },
    };
    for (const auto& closeIt : closers) {
        bool driven = false;
        OnNextModal([&](QWidget* w) {
            auto* f = qobject_cast<TSMFindForm*>(w);
            if (!f) {
                w->close();
                return;
            }
            driven = true;
            EXPECT_TRUE(f->DirectoryListBox1->SetDirectory(photos));
            EXPECT_EQ(GetCurrentDir(), photos);
            closeIt(f);
            if (f->isVisible()) {
                ADD_FAILURE() << "the dialog did not close";
                f->reject();
            }
        });
        BrowseAndCopyImage(Project());
        EXPECT_TRUE(driven);
        EXPECT_EQ(GetCurrentDir(), project.Path());
    }
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(FindDialog, AVanishedProjectFolderIsReportedAndTheDialogStillCloses)
{
    const QString gone = project.Path() + "GONE/";
    ASSERT_TRUE(CreateDir(gone));
    Project().ProjectFolder = gone;
    ASSERT_TRUE(SetCurrentDir(gone));
    bool driven = false;
    OnNextModal([&](QWidget* w) {
        auto* f = qobject_cast<TSMFindForm*>(w);
        if (!f) {
            w->close();
            return;
        }
        driven = true;
        EXPECT_TRUE(f->DirectoryListBox1->SetDirectory(photos));
        EXPECT_TRUE(QDir(gone).removeRecursively());
        f->BitBtn2->click();
        if (f->isVisible()) {
            ADD_FAILURE() << "the dialog did not close";
            f->done(QDialog::Rejected);
        }
    });
    BrowseAndCopyImage(Project());
    EXPECT_TRUE(driven);
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[0].Title, ApplicationTitle());
    EXPECT_EQ(messages.Messages[0].Text, "File not found.");
}

TEST_F(FindDialog, TheDialogComesBackAfterAView)
{
    TSMFindForm f(Project());
    f.show();
    pick(f, "sunset.jpg");
    // The picture view is modal and ends with a key or a click: end it at once.
    OnNextModal([&f](QWidget* w) {
        if (w != &f)
            w->close();
    });
    f.BitBtn1Click();
    EXPECT_TRUE(f.isVisible());
}
