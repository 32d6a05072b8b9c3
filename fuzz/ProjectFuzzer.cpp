// A project file of any bytes, loaded as the program loads it, then every
// command that reads the record's names: the slot editor's confirm, the
// show's check, and the compiler's validation, list and (when it finds
// everything) the compile itself. None may find, open or write anything
// outside the project folder, and the confirm must leave a record that
// names only pictures that are there.
#include "FuzzSupport.h"

#include "compiler/ImageStore.h"
#include "images/SlotEditor.h"
#include "project/Project.h"
#include "show/PictureSource.h"
#include "show/ShowWindow.h"
#include "toolkit/Files.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>

namespace {

QTemporaryDir* root = nullptr;
QString projectFolder;
QStringList fixtures;   // what the project folder holds besides the project file

QStringList Entries(const QString& folder)
{
    QStringList e = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    e.sort();
    return e;
}

QStringList outsideBefore, subBefore;

void Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        FuzzFailed("cannot write a fixture", __FILE__, __LINE__);
}

// A name that the commands may treat as a picture of the project folder: a
// file of the folder itself, whose name matches up to letter case.
bool NamesAPictureOfTheFolder(const QString& name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QChar(0)) || name == QLatin1String(".")
        || name == QLatin1String(".."))
        return false;
    const QFileInfoList entries = QDir(projectFolder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& e : entries)
        if (e.fileName().compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

void Setup()
{
    // In memory when the machine has it: the commands write the project file
    // with fsync, which on a disk would set the pace.
    const QString shm = QStringLiteral("/dev/shm");
    root = QDir(shm).exists() ? new QTemporaryDir(shm + QStringLiteral("/glimmer-fuzz-XXXXXX")) : new QTemporaryDir();
    const QString r = IncludeTrailingPathDelimiter(root->path());
    projectFolder = r + QStringLiteral("PRJ/");
    QDir().mkpath(projectFolder + QStringLiteral("SUB"));
    QDir().mkpath(r + QStringLiteral("PROG"));
    Write(r + QStringLiteral("OUTSIDE.BMP"), "outside the project");
    Write(r + QStringLiteral("PROG/GLIMMER.BIN"), "PLAYER");
    Write(projectFolder + QStringLiteral("SUB/X.BMP"), "in a folder of the project");
    Write(projectFolder + QStringLiteral("A.BMP"), "picture a");
    Write(projectFolder + QStringLiteral("B.JPG"), "picture b");
    Write(projectFolder + QStringLiteral("c.bmp"), "picture c");
    fixtures = Entries(projectFolder);
    outsideBefore = Entries(r);
    subBefore = Entries(projectFolder + QStringLiteral("SUB"));
    Project().ProgramFolder = r + QStringLiteral("PROG/");
    Project().ProjectFolder = projectFolder;
    Project().ProjectFile = QStringLiteral("FUZZ.SSJ");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    FuzzInit(argc, argv);
    Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FUZZ_CHECK(SetCurrentDir(projectFolder));
    const QByteArray file(reinterpret_cast<const char*>(data), qsizetype(size));
    Write(projectFolder + QStringLiteral("FUZZ.SSJ"), file);
    Project().Settings = newProjectSettings();
    const SaverSettings before = Project().Settings;
    try {
        LoadProject(Project());
    } catch (const EInOutError& e) {
        FUZZ_CHECK(size < std::size_t(SaverSettingsSize) && e.ErrorCode == 100);
        FUZZ_CHECK(Project().Settings == before);
        return 0;
    }
    FUZZ_CHECK(size >= std::size_t(SaverSettingsSize));
    SaverSettings s = Project().Settings;
    FUZZ_CHECK(s.ImageCount >= 0 && s.ImageCount <= MaxImages);

    // The compiler's validation and list.
    const QStringList list = PictureList(s);
    QStringList distinct = list;
    FUZZ_CHECK(list.size() <= MaxImages && distinct.removeDuplicates() == 0);
    for (const QString& name : list)
        FUZZ_CHECK(!name.isEmpty() && name.size() <= MaxNameLength);
    const std::optional<QString> missing = firstMissingPicture(s);
    if (!missing)
        for (const QString& name : list)
            FUZZ_CHECK(NamesAPictureOfTheFolder(name));

    // The show's check: what it finds, it would open.
    {
        TFolderPictureSource source;
        TShowOptions options;
        options.EndOnInput = false;
        options.FullScreen = false;
        TSMViewForm form(s, source, options);
        const bool found = CheckShowPictures(form);
        for (int k = 1; k <= form.Settings().ImageCount; ++k) {
            const QString name = slotName(form.Settings().Slot(k));
            if (source.Exists(name))
                FUZZ_CHECK(NamesAPictureOfTheFolder(name));
            else
                FUZZ_CHECK(!found);
        }
    }

    // The compile, when the validation lets it go on: it must end either in
    // a screensaver or in a message, and leave nothing else behind.
    if (!missing && !list.isEmpty()) {
        TakeMessageCount();
        bool compiled = false;
        try {
            compileProject(Project());
            compiled = true;
        } catch (const EGlimmerError&) {
            // for the caller to show
        }
        // The compile itself shows nothing: messages are the window's.
        FUZZ_CHECK(TakeMessageCount() == 0);
        QStringList expected = fixtures;
        expected << QStringLiteral("FUZZ.SSJ");
        if (compiled)
            expected << QStringLiteral("FUZZ.SCR");
        expected.sort();
        FUZZ_CHECK(Entries(projectFolder) == expected);
        QFile::remove(projectFolder + QStringLiteral("FUZZ.SCR"));
        Project().Settings = s;
    }

    // The slot editor's confirm.
    confirmImageSlots(Project());
    const SaverSettings& c = Project().Settings;
    FUZZ_CHECK(c.ImageCount >= 0 && c.ImageCount <= MaxImages);
    for (int k = 1; k <= MaxImages; ++k) {
        if (k <= c.ImageCount)
            FUZZ_CHECK(NamesAPictureOfTheFolder(slotName(c.Slot(k))));
        else
            FUZZ_CHECK(c.Slot(k).IsEmpty());
    }
    const SettingsBytes bytes = c.Encode();
    FUZZ_CHECK(QFile(projectFolder + QStringLiteral("FUZZ.SSJ")).size() == SaverSettingsSize);
    {
        QFile saved(projectFolder + QStringLiteral("FUZZ.SSJ"));
        FUZZ_CHECK(saved.open(QIODevice::ReadOnly));
        FUZZ_CHECK(saved.readAll() == QByteArray(reinterpret_cast<const char*>(bytes.data()), SaverSettingsSize));
    }

    // Nothing outside the folder changed, nothing was left beside the project.
    QStringList expected = fixtures;
    expected << QStringLiteral("FUZZ.SSJ");
    expected.sort();
    FUZZ_CHECK(Entries(projectFolder) == expected);
    FUZZ_CHECK(Entries(IncludeTrailingPathDelimiter(root->path())) == outsideBefore);
    FUZZ_CHECK(Entries(projectFolder + QStringLiteral("SUB")) == subBefore);
    TakeMessageCount();
    // No event loop runs here: what the windows left for later deletion goes now.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
