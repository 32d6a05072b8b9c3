#include "FailingCalls.h"
#include "TestSupport.h"
#include "toolkit/FileCopy.h"
#include "toolkit/Files.h"

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/resource.h>

TEST(Files, NamesResolveWithoutRegardToLetterCase)
{
    TempFolder t;
    WriteAll(t.File("photo.jpg"), "x");
    EXPECT_TRUE(FileExists("PHOTO.JPG"));
    EXPECT_TRUE(FileExists("Photo.Jpg"));
    EXPECT_EQ(ResolveName("PHOTO.JPG"), QString("photo.jpg"));
    EXPECT_EQ(ResolveName(t.File("PHOTO.JPG")), t.File("photo.jpg"));
    EXPECT_FALSE(FileExists("PHOTO.BMP"));
    // The exact name wins over a case variant.
    WriteAll(t.File("PHOTO.JPG"), "yy");
    EXPECT_EQ(ResolveName("PHOTO.JPG"), QString("PHOTO.JPG"));
}

TEST(Files, AFolderIsNotAFile)
{
    TempFolder t;
    ASSERT_TRUE(CreateDir("PICS.JPG"));
    EXPECT_FALSE(FileExists("PICS.JPG"));
    EXPECT_FALSE(FileExists("pics.jpg"));
    EXPECT_TRUE(DirectoryExists("PICS.JPG"));
    EXPECT_FALSE(FileExists(""));
    // Opening a folder as a file fails like a denied file.
    try {
        TFileStream f("PICS.JPG", TFileStream::fmOpenRead);
        FAIL() << "a folder opened as a file";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 5);
    }
}

TEST(Files, CreateDirMakesOneLevelOnly)
{
    TempFolder t;
    EXPECT_TRUE(CreateDir(t.File("A")));
    EXPECT_FALSE(CreateDir(t.File("A")));   // exists already
    EXPECT_FALSE(CreateDir(t.File("B/C")));
    EXPECT_TRUE(SetCurrentDir(t.File("A")));
    EXPECT_EQ(GetCurrentDir(), t.File("A/"));
}

TEST(Files, ErrorsCarryTheOldNumbersAndTexts)
{
    TempFolder t;
    try {
        TFileStream f("MISSING.SSJ", TFileStream::fmOpenRead);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 2);
        EXPECT_EQ(e.Text(), QString("File not found"));
    }
    WriteAll(t.File("SHORT"), "abc");
    TFileStream f("SHORT", TFileStream::fmOpenRead);
    char buf[8];
    try {
        f.ReadBuffer(buf, 8);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.ErrorCode, 100);
        EXPECT_EQ(e.Text(), QString("Read beyond end of file"));
    }
    EXPECT_EQ(IOErrorText(3), QString("Invalid filename"));
    EXPECT_EQ(IOErrorText(4), QString("Too many open files"));
    EXPECT_EQ(IOErrorText(5), QString("File access denied"));
    EXPECT_EQ(IOErrorText(101), QString("Disk full"));
    EXPECT_EQ(IOErrorText(32), QString("I/O error 32"));
    // System numbers never pass for the old ones they happen to equal.
    EXPECT_EQ(IOCodeFromErrno(EIO), 1117);
    EXPECT_EQ(IOCodeFromErrno(ENOENT), 2);
    EXPECT_EQ(IOCodeFromErrno(EACCES), 5);
    EXPECT_EQ(IOCodeFromErrno(ENOSPC), 101);
    EXPECT_EQ(IOCodeFromErrno(ENETUNREACH), 1000 + ENETUNREACH);
}

TEST(Files, ExtensionRules)
{
    EXPECT_EQ(ChangeFileExt("SUNSET", ".SSJ"), QString("SUNSET.SSJ"));
    EXPECT_EQ(ChangeFileExt("SUNSET.SSJ", ".SSJ"), QString("SUNSET.SSJ"));
    EXPECT_EQ(ChangeFileExt("MY.SAVER", ".SSJ"), QString("MY.SSJ"));
    EXPECT_EQ(ChangeFileExt("A.B/C", ".SSJ"), QString("A.B/C.SSJ"));
    EXPECT_EQ(ExtractFileExt("PIC.jpg"), QString(".jpg"));
    EXPECT_EQ(ExtractFileExt("DIR.X/PIC"), QString());
    EXPECT_EQ(ExtractFileName("/a/b/PIC.BMP"), QString("PIC.BMP"));
    EXPECT_EQ(ExtractFilePath("/a/b/PIC.BMP"), QString("/a/b/"));
}

// A write that cannot finish must leave the file that was there as it was.
TEST(Files, ReplacingWriteKeepsTheOldFileOnFailure)
{
    TempFolder t;
    const QByteArray old(235, 'o');
    WriteAll(t.File("P.SSJ"), old);
    WriteFileReplacing("P.SSJ", QByteArray(235, 'n'));
    EXPECT_EQ(ReadAll(t.File("P.SSJ")), QByteArray(235, 'n'));

    WriteAll(t.File("P.SSJ"), old);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &small);
    bool threw = false;
    try {
        WriteFileReplacing("P.SSJ", QByteArray(235, 'n'));
    } catch (const EInOutError& e) {
        threw = true;
        EXPECT_EQ(e.ErrorCode, 101);
    }
    EXPECT_TRUE(threw);
    EXPECT_EQ(ReadAll(t.File("P.SSJ")), old);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(t.Path()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    ASSERT_EQ(::link(QFile::encodeName(t.File("P.SSJ")).constData(), QFile::encodeName(t.File("TWIN.SSJ")).constData()), 0);
    EXPECT_THROW(WriteFileReplacing("P.SSJ", QByteArray(235, 'n')), EInOutError);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(ReadAll(t.File("P.SSJ")), old);
    EXPECT_EQ(ReadAll(t.File("TWIN.SSJ")), old);
}

// Written where it is (it has a second name): a disk that fills only now is
// found before any byte changes; a failed sync leaves the whole old file,
// the part the cut would take too; what cannot be put back is said.
TEST(Files, AnInPlaceWriteThatFailsKeepsTheOldFileOrSaysItMayBeDamaged)
{
    struct Case { FailingCalls fault; int oldSize; std::string message; };
    for (const Case& c : std::vector<Case>{{{-1, 0, true}, 235, "Disk full"}, {{-1, 1, false}, 300, "I/O error 1117"},
                                           {{100, 0, false}, 235, "Disk full. P.SSJ may be damaged: what it held could not be put back."}}) {
        TempFolder t;
        WriteAll(t.File("P.SSJ"), QByteArray(c.oldSize, 'o'));
        ASSERT_EQ(::link(QFile::encodeName(t.File("P.SSJ")).constData(), QFile::encodeName(t.File("TWIN.SSJ")).constData()), 0);
        Failing = c.fault;
        std::string message;
        try {
            WriteFileReplacing("P.SSJ", QByteArray(235, 'n'));
        } catch (const EInOutError& e) {
            message = e.Text().toStdString();
        }
        Failing = {};
        EXPECT_EQ(message, c.message);
        EXPECT_EQ(ReadAll(t.File("TWIN.SSJ")) == QByteArray(c.oldSize, 'o'), c.message.find("damaged") == std::string::npos) << c.message;
    }
}

TEST(Files, ShortWritesReportedAsDiskFull)
{
    TempFolder t;
    TFileStream f("BIG", TFileStream::fmCreate);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit small = saved;
    small.rlim_cur = 1000;
    setrlimit(RLIMIT_FSIZE, &small);
    const QByteArray data(4000, 'x');
    const std::size_t written = f.Write(data.constData(), 4000);
    bool threw = false;
    try {
        f.WriteBuffer(data.constData(), 10);
    } catch (const EInOutError& e) {
        threw = e.ErrorCode == 101;
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(written, 1000u);
    EXPECT_TRUE(threw);
}

// ---- The copy (toolkit/FileCopy) ----

namespace {
QByteArray Bytes(int size)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 131 + size + (i >> 8)) & 0xff);
    return b;
}
} // namespace

// From a file of the same file system the kernel copies; from another one
// (memory's, where there is one) the plain loop does. Either goes from the
// source's position to its end, or to the limit, and on at the target's.
TEST(FileCopy, CopiesEveryByteFromPositionToPosition)
{
    TempFolder t;
    QTemporaryDir inMemory(QStringLiteral("/dev/shm/glimmer-XXXXXX"));
    for (const QString& source : {t.File("SRC"), inMemory.filePath("SRC")}) {
        if (!inMemory.isValid() && source != t.File("SRC"))
            continue;
        for (const int size : {0, 1, CopyBlockSize - 1, CopyBlockSize, 2 * CopyBlockSize + 3}) {
            const QByteArray bytes = Bytes(size);
            WriteAll(source, "head" + bytes);
            WriteAll(t.File("DST"), "0123");
            TFileStream from(source, TFileStream::fmOpenRead), to("DST", TFileStream::fmOpenReadWrite);
            from.Seek(4, SEEK_SET);
            to.Seek(0, SEEK_END);
            const std::int64_t limit = size > 1 ? size - 1 : size;
            ASSERT_TRUE(CopyFileRange(from.Handle(), to.Handle(), limit).copied());
            EXPECT_EQ(to.Position(), 4 + limit);
            ASSERT_TRUE(CopyFileRange(from.Handle(), to.Handle()).copied());
            to.Close();
            EXPECT_EQ(ReadAll(t.File("DST")), "0123" + bytes) << qPrintable(source) << " " << size;
        }
    }
}

// Why a copy stops short, each cause in its one text: a real file-size limit,
// met by the kernel's copy and by the plain loop (the kernel refusing these
// two files); a full disk, a quota and a failing device as the kernel's copy
// reports them.
TEST(FileCopy, SaysWhyItStoppedShort)
{
    TempFolder t;
    WriteAll(t.File("SRC"), Bytes(5000));
    struct Case { int kernelError; rlim_t limit; CopyCause cause; QString text; };
    for (const Case& c : std::vector<Case>{{0, 3000, CopyCause::FileTooLarge, "File too large"},
                                           {EXDEV, 3000, CopyCause::FileTooLarge, "File too large"},
                                           {ENOSPC, RLIM_INFINITY, CopyCause::DiskFull, "Disk full"},
                                           {EDQUOT, RLIM_INFINITY, CopyCause::Quota, "Disk quota exceeded"},
                                           {EIO, RLIM_INFINITY, CopyCause::OtherError, "I/O error 1117"}}) {
        TFileStream from("SRC", TFileStream::fmOpenRead), to("DST", TFileStream::fmCreate);
        rlimit saved;
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{std::min(c.limit, saved.rlim_max), saved.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Failing.CopyRangeError = c.kernelError;
        const CopyOutcome copy = CopyFileRange(from.Handle(), to.Handle());
        Failing = {};
        ::setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(copy.cause, c.cause) << qPrintable(c.text);
        EXPECT_EQ(copyFailureText(copy), c.text);
        // Told where the old numbers are told: any room that ran out is
        // "Disk full" by number, in its own words.
        try {
            throwCopyFailure(copy);
        } catch (const EInOutError& e) {
            EXPECT_EQ(e.ErrorCode, c.cause == CopyCause::OtherError ? IOCode::DeviceError : IOCode::DiskFull);
            EXPECT_EQ(e.Text(), c.text);
        }
    }
}
