#include "BitmapWriter.h"
#include "JpegFiles.h"
#include "TestSupport.h"
#include "compiler/ImageStore.h"
#include "project/Project.h"
#include "toolkit/Files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

QByteArray Pattern(int size, int seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 131 + seed * 7 + (i >> 8)) & 0xff);
    return b;
}

std::int32_t LE32(const QByteArray& b, qsizetype pos)
{
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData() + pos);
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24);
}

// Where slot k's entry lies in the record: length byte, 12 name bytes, Offset, Size.
qsizetype SlotAt(int k) { return 25 + 21 * (k - 1); }
std::int32_t OffsetOf(const QByteArray& store, int k) { return LE32(store, SlotAt(k) + 13); }
std::int32_t SizeOf(const QByteArray& store, int k) { return LE32(store, SlotAt(k) + 17); }
QByteArray NameOf(const QByteArray& store, int k) { return store.mid(SlotAt(k) + 1, store[SlotAt(k)]); }

QByteArray RecordBytes(const SaverSettings& s)
{
    const SettingsBytes b = s.Encode();
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size()));
}

QStringList Entries(const QString& folder)
{
    QStringList e = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    e.sort();
    return e;
}

// Permission checks apply to the tests even when they run as root: the
// effective file capabilities of this thread are dropped while it lives.
class WithoutFileOverride {
public:
    WithoutFileOverride()
    {
        if (::syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, saved_, sizeof reduced);
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        changed_ = ::syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFileOverride()
    {
        if (changed_)
            ::syscall(SYS_capset, &header_, saved_);
    }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// A file-size limit for this process; SIGXFSZ is ignored by the toolkit, so a
// write over it comes up short instead of ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        const rlimit limit{bytes, saved_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { ::setrlimit(RLIMIT_FSIZE, &saved_); }

private:
    rlimit saved_{};
};

class Compiler : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = Project();
        program_ = IncludeTrailingPathDelimiter(programDir_.path());
        Project().ProgramFolder = program_;
        Project().ProjectFolder = folder_.Path();
        Project().ProjectFile = QStringLiteral("SUNSET.SSJ");
        Project().Settings = newProjectSettings();
        stub_ = Pattern(3000, 99);
        WriteAll(Stub(), stub_);
    }
    void TearDown() override { Project() = saved_; }

    QString Stub() const { return program_ + QStringLiteral("GLIMMER.BIN"); }
    QString Here(const QString& name) const { return folder_.File(name); }

    QByteArray Picture(const QString& name, int size, int seed)
    {
        const QByteArray b = Pattern(size, seed);
        WriteAll(Here(name), b);
        return b;
    }

    // Fills slots 1.. with the names and sets ImageCount.
    void Slots(const QStringList& names, int imageCount)
    {
        for (int k = 1; k <= names.size(); ++k)
            setSlotName(Project().Settings.Slot(k), names[k - 1]);
        Project().Settings.ImageCount = imageCount;
    }

    // Runs the compile as the main window does: an error coming out of it
    // ends in the standard error report.
    bool Compile(bool* ranThrough = nullptr, TWindowsSaver* windows = nullptr)
    {
        bool ok = false, ran = true;
        try {
            const TWindowsSaver w = compileProject(Project()).Windows;
            if (windows)
                *windows = w;
            ok = true;
        } catch (const ECompileError& e) {
            ShowError(e.Text());   // the compile's own message, as the main window shows it
        } catch (const std::exception& e) {
            ShowExceptionReport(e);
            ran = false;
        }
        if (ranThrough)
            *ranThrough = ran;
        return ok;
    }

    // An earlier screensaver that every failure must leave as it was.
    void OldSaver() { WriteAll(Here(QStringLiteral("SUNSET.SCR")), oldSaver_); }
    void ExpectOldSaverUntouched()
    {
        EXPECT_EQ(ReadAll(Here(QStringLiteral("SUNSET.SCR"))), oldSaver_);
    }

    TempFolder folder_;
    QTemporaryDir programDir_;
    QString program_;
    QByteArray stub_;
    QByteArray oldSaver_ = QByteArray("an earlier screensaver");
    MessageRecorder messages_;
    ProjectState saved_;
};

// ---- The image store ----

TEST_F(Compiler, StoresEachDistinctPictureOnceInOrderOfFirstOccurrence)
{
    const QByteArray a = Picture("A.BMP", 1234, 1);
    const QByteArray b = Picture("B.JPG", 777, 2);
    Slots({"A.BMP", "B.JPG", "A.BMP"}, 3);
    PackImageStore(Project().Settings, PictureList(Project().Settings), "SUNSET.SSC");

    const QByteArray store = ReadAll(Here("SUNSET.SSC"));
    ASSERT_EQ(store.size(), 235 + 1234 + 777);
    EXPECT_EQ(OffsetOf(store, 1), 235);
    EXPECT_EQ(SizeOf(store, 1), 1234);
    EXPECT_EQ(OffsetOf(store, 2), 235 + 1234);
    EXPECT_EQ(SizeOf(store, 2), 777);
    EXPECT_EQ(OffsetOf(store, 3), 235);
    EXPECT_EQ(SizeOf(store, 3), 1234);
    EXPECT_EQ(NameOf(store, 2), QByteArray("B.JPG"));
    EXPECT_EQ(store.mid(235, 1234), a);
    EXPECT_EQ(store.mid(235 + 1234), b);
    // The record in memory is the one at the head of the store.
    EXPECT_EQ(store.left(235), RecordBytes(Project().Settings));
    EXPECT_EQ(Project().Settings.Slot(3).Offset, 235);
    EXPECT_EQ(Project().Settings.Slot(2).Size, 777);
}

TEST_F(Compiler, NamesDifferingOnlyInCaseAreStoredTwice)
{
    const QByteArray a = Picture("A.BMP", 500, 1);
    Slots({"A.BMP", "a.bmp"}, 2);
    EXPECT_EQ(PictureList(Project().Settings), QStringList({"A.BMP", "a.bmp"}));
    PackImageStore(Project().Settings, PictureList(Project().Settings), "SUNSET.SSC");
    const QByteArray store = ReadAll(Here("SUNSET.SSC"));
    ASSERT_EQ(store.size(), 235 + 2 * 500);
    EXPECT_EQ(OffsetOf(store, 2), 735);
    EXPECT_EQ(store.mid(735), a);
    EXPECT_EQ(NameOf(store, 2), QByteArray("a.bmp"));
}

TEST_F(Compiler, SlotAfterImageCountIsPackedButNotLocated)
{
    Picture("A.BMP", 100, 1);
    const QByteArray b = Picture("B.JPG", 200, 2);
    Slots({"A.BMP", "B.JPG"}, 1);
    Project().Settings.Slot(2).Offset = 77;
    Project().Settings.Slot(2).Size = 88;
    PackImageStore(Project().Settings, PictureList(Project().Settings), "SUNSET.SSC");
    const QByteArray store = ReadAll(Here("SUNSET.SSC"));
    ASSERT_EQ(store.size(), 235 + 100 + 200);
    EXPECT_EQ(store.mid(335), b);
    EXPECT_EQ(OffsetOf(store, 2), 77);
    EXPECT_EQ(SizeOf(store, 2), 88);
    EXPECT_EQ(Project().Settings.Slot(2).Offset, 77);
}

TEST_F(Compiler, SlotAfterImageCountMustStillExist)
{
    Picture("A.BMP", 100, 1);
    Slots({"A.BMP", "GONE.JPG"}, 1);
    OldSaver();
    EXPECT_FALSE(Compile());
    EXPECT_EQ(messages_.Texts(), QStringList({"The graphic GONE.JPG was not found."}));
    ExpectOldSaverUntouched();
}

TEST_F(Compiler, PicturesAreStoredAsTheyAreWithoutDecoding)
{
    const QByteArray good = BlankBitmap(127, 64, qRgb(30, 90, 200));
    // A datastream cut off inside its first scan: no decoder would take it.
    const QByteArray jpeg = EncodeJpeg(TestPicture(64, 64));
    const QByteArray broken = jpeg.left(jpeg.indexOf("\xFF\xDA") + 40);
    WriteAll(Here("PAL8.BMP"), good);
    WriteAll(Here("BROKEN.JPG"), broken);
    Slots({"PAL8.BMP", "BROKEN.JPG"}, 2);
    ASSERT_TRUE(Compile());
    const QByteArray saver = ReadAll(Here("SUNSET.SCR"));
    const QByteArray store = saver.mid(stub_.size());
    EXPECT_EQ(store.mid(OffsetOf(store, 1), SizeOf(store, 1)), good);
    EXPECT_EQ(store.mid(OffsetOf(store, 2), SizeOf(store, 2)), broken);
}

TEST_F(Compiler, StoreThatWouldOutgrowThe32BitOffsetsIsRefused)
{
    Picture("A.BMP", 1000, 1);
    // Sparse: it takes no room, and must not be copied at all.
    const int fd = ::open(QFile::encodeName(Here("HUGE.JPG")).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(2147483647) - 235 - 1000 + 1), 0);
    ::close(fd);
    Slots({"A.BMP", "HUGE.JPG"}, 2);
    OldSaver();
    EXPECT_FALSE(Compile());
    ASSERT_EQ(messages_.Messages.size(), 1);
    EXPECT_EQ(messages_.Messages[0].Title, QStringLiteral("Error"));
    EXPECT_TRUE(messages_.Messages[0].Text.contains("too large")) << qPrintable(messages_.Messages[0].Text);
    EXPECT_FALSE(FileExists("SUNSET.SSC"));
    ExpectOldSaverUntouched();
}

// ---- The compiled screensaver ----

TEST_F(Compiler, ScreensaverIsThePlayerFollowedByTheStore)
{
    const QByteArray a = Picture("A.BMP", 1000, 1);
    const QByteArray b = Picture("B.JPG", 2500, 2);
    Slots({"A.BMP", "B.JPG"}, 2);
    ASSERT_TRUE(Compile());
    EXPECT_TRUE(messages_.Messages.isEmpty());

    const QByteArray saver = ReadAll(Here("SUNSET.SCR"));
    ASSERT_EQ(saver.size(), stub_.size() + 3735);
    EXPECT_EQ(saver.left(stub_.size()), stub_);
    const QByteArray store = saver.mid(stub_.size());
    EXPECT_EQ(store, RecordBytes(Project().Settings) + a + b);
    EXPECT_EQ(OffsetOf(store, 1), 235);
    EXPECT_EQ(SizeOf(store, 1), 1000);
    EXPECT_EQ(OffsetOf(store, 2), 1235);
    EXPECT_EQ(SizeOf(store, 2), 2500);
}

TEST_F(Compiler, SuccessReplacesTheOldScreensaverAndLeavesNothingElse)
{
    Picture("A.BMP", 300, 1);
    Slots({"A.BMP"}, 1);
    OldSaver();
    WriteAll(Here("SUNSET.SSJ"), "the project file");
    const QStringList before = Entries(folder_.Path());
    ASSERT_TRUE(Compile());
    EXPECT_EQ(Entries(folder_.Path()), before);
    EXPECT_FALSE(FileExists("SUNSET.SSC"));
    EXPECT_EQ(ReadAll(Here("SUNSET.SCR")).size(), stub_.size() + 235 + 300);
    // The project file is not written by a compile.
    EXPECT_EQ(ReadAll(Here("SUNSET.SSJ")), QByteArray("the project file"));
}

TEST_F(Compiler, ScreensaverKeepsThePlayersPermissions)
{
    Picture("A.BMP", 10, 1);
    Slots({"A.BMP"}, 1);
    for (const mode_t mode : {mode_t(0755), mode_t(0640)}) {
        ASSERT_EQ(::chmod(QFile::encodeName(Stub()).constData(), mode), 0);
        ASSERT_TRUE(Compile());
        struct stat st;
        ASSERT_EQ(::stat(QFile::encodeName(Here("SUNSET.SCR")).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, mode);
    }
}

// ---- Failures ----

TEST_F(Compiler, OnlyTheFirstMissingPictureIsReportedAndNothingIsWritten)
{
    Picture("A.BMP", 10, 1);
    Slots({"A.BMP", "TWO.JPG", "A.BMP", "", "", "", "SEVEN.JPG"}, 7);
    OldSaver();
    const QStringList before = Entries(folder_.Path());
    const SaverSettings record = Project().Settings;
    EXPECT_FALSE(Compile());
    ASSERT_EQ(messages_.Messages.size(), 1);
    EXPECT_EQ(messages_.Messages[0].Text, QStringLiteral("The graphic TWO.JPG was not found."));
    EXPECT_EQ(messages_.Messages[0].Title, QStringLiteral("Error"));
    EXPECT_EQ(Entries(folder_.Path()), before);
    EXPECT_EQ(Project().Settings, record);
    ExpectOldSaverUntouched();
}

// An editor closed with its close box can leave a counted slot empty: it is
// left out as the editor's OK would leave it out, the slots after it close
// up, and the record counts what is left.
TEST_F(Compiler, AnEmptySlotAmongTheShownOnesIsLeftOut)
{
    const QByteArray a = Picture("A.BMP", 10, 1);
    Slots({"", "A.BMP"}, 2);
    ASSERT_TRUE(Compile());
    const QByteArray store = ReadAll(Here("SUNSET.SCR")).right(235 + 10);
    EXPECT_EQ(LE32(store, 21), 1);
    EXPECT_EQ(NameOf(store, 1), QByteArray("A.BMP"));
    EXPECT_EQ(OffsetOf(store, 1), 235);
    EXPECT_EQ(store.mid(235), a);
    // The program's record keeps its empty slot, for a later Save; only the
    // picture's place is learnt.
    const SaverSettings& kept = Project().Settings;
    EXPECT_TRUE(kept.ImageCount == 2 && kept.Slot(1).IsEmpty() && slotName(kept.Slot(2)) == "A.BMP");
    EXPECT_TRUE(kept.Slot(2).Offset == 235 && kept.Slot(2).Size == 10);
    // Nothing left at all: said so, and nothing written.
    Slots({"", ""}, 2);
    OldSaver();
    EXPECT_FALSE(Compile());
    EXPECT_EQ(messages_.Texts(), QStringList{"The screensaver SUNSET has no pictures to compile."});
    ExpectOldSaverUntouched();
}

TEST_F(Compiler, NamesReachingOutOfTheProjectFolderAreNotFound)
{
    // The project folder one level down, with pictures above and beside it.
    ASSERT_TRUE(QDir(folder_.Path()).mkpath("PROJ/SUB"));
    WriteAll(folder_.File("OUT.BMP"), Pattern(10, 1));
    WriteAll(folder_.File("PROJ/SUB/IN.BMP"), Pattern(10, 2));
    ASSERT_TRUE(SetCurrentDir(folder_.File("PROJ")));
    for (const QString name : {"../OUT.BMP", "SUB/IN.BMP", ".", "..", "/etc/passwd"}) {
        messages_.Clear();
        Project().Settings = newProjectSettings();
        Slots({name}, 1);
        EXPECT_FALSE(Compile()) << qPrintable(name);
        EXPECT_EQ(messages_.Texts(), QStringList({"The graphic " + name.left(12) + " was not found."}));
        EXPECT_EQ(Entries(folder_.File("PROJ")), QStringList({"SUB"}));
    }
}

TEST_F(Compiler, PictureNamedLikeTheStoreIsRefusedUntouched)
{
    const QByteArray pic = Picture("sunset.ssc", 50, 1);
    Slots({"SUNSET.SSC"}, 1);
    EXPECT_FALSE(Compile());
    ASSERT_EQ(messages_.Texts().size(), 1);
    EXPECT_TRUE(messages_.Texts()[0].contains("SUNSET.SSC"));
    EXPECT_EQ(ReadAll(Here("sunset.ssc")), pic);
    EXPECT_FALSE(FileExists(Here("SUNSET.SCR")));
}

TEST_F(Compiler, MissingPlayerIsReportedAndTheStoreRemoved)
{
    Picture("A.BMP", 10, 1);
    Slots({"A.BMP"}, 1);
    OldSaver();
    QFile::remove(Stub());
    const QStringList before = Entries(folder_.Path());
    EXPECT_FALSE(Compile());
    EXPECT_EQ(messages_.Texts(), QStringList({"The file " + program_ + "GLIMMER.BIN' was not found."}));
    EXPECT_EQ(messages_.Messages[0].Title, QStringLiteral("Error"));
    EXPECT_EQ(Entries(folder_.Path()), before);
    ExpectOldSaverUntouched();
}

TEST_F(Compiler, UnreadablePlayerOrPictureIsReportedByName)
{
    Picture("A.BMP", 10, 1);
    Picture("B.BMP", 10, 2);
    Slots({"A.BMP", "B.BMP"}, 2);
    OldSaver();
    const QStringList before = Entries(folder_.Path());
    for (const QString& file : {Here("B.BMP"), Stub()}) {
        messages_.Clear();
        ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0), 0);
        {
            WithoutFileOverride noOverride;
            EXPECT_FALSE(Compile());
        }
        ::chmod(QFile::encodeName(file).constData(), 0644);
        EXPECT_EQ(messages_.Texts(), QStringList({file == Stub() ? "The file " + Stub() + " could not be opened: File access denied."
                                                                  : QString("The graphic B.BMP could not be opened: File access denied.")}));
        EXPECT_EQ(Entries(folder_.Path()), before);
        ExpectOldSaverUntouched();
    }
}

TEST_F(Compiler, ReadOnlyProjectFolderEndsInTheErrorReport)
{
    Picture("A.BMP", 10, 1);
    Slots({"A.BMP"}, 1);
    OldSaver();
    const QStringList before = Entries(folder_.Path());
    ASSERT_EQ(::chmod(QFile::encodeName(folder_.Path()).constData(), 0555), 0);
    bool ranThrough = true;
    bool ok;
    {
        WithoutFileOverride noOverride;
        ok = Compile(&ranThrough);
    }
    ::chmod(QFile::encodeName(folder_.Path()).constData(), 0755);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(ranThrough);
    ASSERT_EQ(messages_.Messages.size(), 1);
    EXPECT_EQ(messages_.Messages[0].Text, QStringLiteral("File access denied."));
    EXPECT_EQ(Entries(folder_.Path()), before);
    ExpectOldSaverUntouched();
}

TEST_F(Compiler, DiskFullWhileWritingTheScreensaverKeepsTheOldOne)
{
    Picture("A.BMP", 1000, 1);
    Picture("B.JPG", 2500, 2);
    Slots({"A.BMP", "B.JPG"}, 2);
    OldSaver();
    const QStringList before = Entries(folder_.Path());
    bool ok;
    {
        // The store (3735 bytes) fits, the screensaver (3000 + 3735) does not.
        FileSizeLimit limit(5000);
        ok = Compile();
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ(messages_.Texts(), QStringList({"The file SUNSET.SCR could not be written completely: File too large."}));
    EXPECT_EQ(Entries(folder_.Path()), before);
    ExpectOldSaverUntouched();
}

// The store is written straight into the screensaver, after the player.
TEST_F(Compiler, DiskFullWhileWritingTheStoreKeepsTheOldScreensaver)
{
    Picture("A.BMP", 1000, 1);
    Picture("B.JPG", 2500, 2);
    Slots({"A.BMP", "B.JPG"}, 2);
    OldSaver();
    const QStringList before = Entries(folder_.Path());
    for (const rlim_t at : {rlim_t(100), rlim_t(3100), rlim_t(4000)}) {   // in the player, the record, a picture
        messages_.Clear();
        bool ok;
        {
            FileSizeLimit limit(at);
            ok = Compile();
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(messages_.Texts(), QStringList({"The file SUNSET.SCR could not be written completely: File too large."}));
        EXPECT_EQ(Entries(folder_.Path()), before);
        ExpectOldSaverUntouched();
    }
}

TEST_F(Compiler, ErrorReportComesAfterTheHalfBuiltFilesAreGone)
{
    Picture("A.BMP", 10, 1);
    Slots({"A.BMP"}, 1);
    // A folder in the screensaver's place: everything is built, the last step fails.
    ASSERT_TRUE(QDir(folder_.Path()).mkdir("SUNSET.SCR"));
    const QStringList before = Entries(folder_.Path());
    QStringList seenWhenReported;
    messages_.OnMessage = [&](const TMessage&) { seenWhenReported = Entries(folder_.Path()); };
    bool ranThrough = true;
    EXPECT_FALSE(Compile(&ranThrough));
    EXPECT_FALSE(ranThrough);
    ASSERT_EQ(messages_.Messages.size(), 1);
    EXPECT_EQ(messages_.Messages[0].Title, ApplicationTitle());
    EXPECT_EQ(seenWhenReported, before);
    EXPECT_TRUE(DirectoryExists(Here("SUNSET.SCR")));
}

// ---- The Windows screensaver ----

class WindowsSaver : public Compiler {
protected:
    void SetUp() override
    {
        Compiler::SetUp();
        exe_ = "MZ" + Pattern(2000, 42);
        WriteAll(program_ + "GLIMMER.EXE", exe_);
        a_ = Picture("A.BMP", 1000, 1);
        b_ = Picture("B.JPG", 2500, 2);
        Slots({"A.BMP", "B.JPG"}, 2);
    }
    // The store, as NAME.SCR carries it behind GLIMMER.BIN.
    QByteArray MainStore() const { return ReadAll(Here("SUNSET.SCR")).mid(stub_.size()); }
    void ExpectMainSaverComplete() const
    {
        EXPECT_EQ(ReadAll(Here("SUNSET.SCR")), stub_ + RecordBytes(Project().Settings) + a_ + b_);
    }
    QString WindowsSaverFile() const { return Here("WINDOWS/SUNSET.SCR"); }
    static QString ProblemText(const QString& why)
    {
        return "The Windows screensaver WINDOWS/SUNSET.SCR could not be written: " + why + " SUNSET.SCR is complete.";
    }

    QByteArray exe_, a_, b_;
};

TEST_F(WindowsSaver, TheWindowsPlayerBesideTheProgramGetsTheSameStore)
{
    WriteAll(Here("SUNSET.SSJ"), "the project file");
    const QStringList before = Entries(folder_.Path());
    TWindowsSaver windows;
    ASSERT_TRUE(Compile(nullptr, &windows));
    EXPECT_EQ(windows.State, TWindowsSaver::Written);
    EXPECT_EQ(windows.Name, QStringLiteral("WINDOWS/SUNSET.SCR"));
    EXPECT_TRUE(messages_.Messages.isEmpty());
    ExpectMainSaverComplete();
    const QByteArray saver = ReadAll(WindowsSaverFile());
    ASSERT_EQ(saver.size(), exe_.size() + 235 + 3500);
    EXPECT_EQ(saver.left(exe_.size()), exe_);
    EXPECT_EQ(saver.mid(exe_.size()), MainStore());
    // Nothing else is left: no store, no temporary file.
    QStringList after = before;
    after << "SUNSET.SCR" << "WINDOWS";
    after.sort();
    EXPECT_EQ(Entries(folder_.Path()), after);
    EXPECT_EQ(Entries(Here("WINDOWS")), QStringList{"SUNSET.SCR"});

    // A second compile replaces it in the folder it made.
    Picture("A.BMP", 600, 3);
    ASSERT_TRUE(Compile(nullptr, &windows));
    EXPECT_EQ(windows.State, TWindowsSaver::Written);
    EXPECT_EQ(ReadAll(WindowsSaverFile()).mid(exe_.size()), MainStore());
    EXPECT_EQ(MainStore().size(), 235 + 600 + 2500);
}

TEST_F(WindowsSaver, WithoutTheWindowsPlayerNoWindowsFolderIsMade)
{
    QFile::remove(program_ + "GLIMMER.EXE");
    TWindowsSaver windows;
    ASSERT_TRUE(Compile(nullptr, &windows));
    EXPECT_EQ(windows.State, TWindowsSaver::NoPlayer);
    EXPECT_FALSE(DirectoryExists(Here("WINDOWS")));
    ExpectMainSaverComplete();
}

TEST_F(WindowsSaver, AWindowsFileThatCannotBeMadeNeverSpoilsTheMainOne)
{
    QTemporaryDir elsewhere;
    struct Case {
        const char* what;
        std::function<void()> make;
        QString why;
    };
    const std::vector<Case> cases = {
        {"WINDOWS is a file", [&] { WriteAll(Here("WINDOWS"), "a file"); }, "WINDOWS in the project folder is not a folder."},
        {"WINDOWS is a link out of the project folder",
         [&] { ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path()).constData(), QFile::encodeName(Here("WINDOWS")).constData()), 0); },
         "WINDOWS in the project folder is not a folder."},
        {"WINDOWS/SUNSET.SCR is a folder", [&] { ASSERT_TRUE(QDir().mkpath(Here("WINDOWS/SUNSET.SCR/x"))); },
         "File access denied."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(Here("WINDOWS")).removeRecursively();
        QFile::remove(Here("WINDOWS"));
        c.make();
        const QStringList before = Entries(folder_.Path());
        messages_.Clear();
        TWindowsSaver windows;
        ASSERT_TRUE(Compile(nullptr, &windows)) << messages_.Texts().join('|').toStdString();
        EXPECT_EQ(windows.State, TWindowsSaver::Failed);
        EXPECT_EQ(windows.Problem, ProblemText(c.why));
        EXPECT_TRUE(messages_.Messages.isEmpty()) << "the caller tells it";
        ExpectMainSaverComplete();
        QStringList after = before;
        if (!after.contains("SUNSET.SCR"))
            after << "SUNSET.SCR";
        after.sort();
        EXPECT_EQ(Entries(folder_.Path()), after) << "no store or temporary file left";
        EXPECT_TRUE(Entries(elsewhere.path()).isEmpty()) << "nothing written through the link";
    }
}

TEST_F(WindowsSaver, DiskFullWhileWritingTheWindowsFileKeepsItsOldOne)
{
    ASSERT_TRUE(QDir().mkpath(Here("WINDOWS")));
    WriteAll(WindowsSaverFile(), "last week's Windows screensaver");
    // A Windows player larger than the main one: under the file-size limit
    // the main screensaver (3000 + 3735 bytes) fits, the Windows one
    // (8002 + 3735) does not.
    exe_ = "MZ" + Pattern(8000, 42);
    WriteAll(program_ + "GLIMMER.EXE", exe_);
    TWindowsSaver windows;
    bool ok;
    {
        FileSizeLimit limit(9000);
        ok = Compile(nullptr, &windows);
    }
    ASSERT_TRUE(ok) << messages_.Texts().join('|').toStdString();
    EXPECT_EQ(windows.State, TWindowsSaver::Failed);
    EXPECT_EQ(windows.Problem, ProblemText("File too large."));
    ExpectMainSaverComplete();
    EXPECT_EQ(ReadAll(WindowsSaverFile()), QByteArray("last week's Windows screensaver"));
    EXPECT_EQ(Entries(Here("WINDOWS")), QStringList{"SUNSET.SCR"});
}

TEST_F(WindowsSaver, TheCompileTellsItsFailureAndShowsNothingItself)
{
    WriteAll(Here("WINDOWS"), "a file");
    TWindowsSaver windows;
    EXPECT_TRUE(Compile(nullptr, &windows));
    EXPECT_TRUE(messages_.Messages.isEmpty());
    EXPECT_EQ(windows.State, TWindowsSaver::Failed);
    EXPECT_EQ(windows.Problem, ProblemText("WINDOWS in the project folder is not a folder."));
    ExpectMainSaverComplete();
}

} // namespace
