#include "images/LocateDialog.h"

#include "images/PictureDoor.h"
#include "images/PicturePicker.h"
#include "images/ShortName.h"
#include "images/ShortNamedCopy.h"
#include "picture/PhotoConverter.h"
#include "project/Project.h"
#include "show/PictureView.h"
#include "toolkit/Dialogs.h"
#include "toolkit/FileControls.h"
#include "toolkit/FileCopy.h"
#include "toolkit/FileTwins.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

static constexpr int HelpBrowseAndCopy = 110;

static void writeNewFile(const QString& destination, const std::function<void(TFileStream&)>& fill);

static QLabel* placeLabel(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w)
{
    QLabel* l = MakeLabel(parent, name, caption);
    l->setGeometry(x, y, w, 16);
    return l;
}

TSMFindForm::TSMFindForm(ProjectState& project, QWidget* parent, const QString& folder)
    : QDialog(parent), project_(project)
{
    setObjectName(QStringLiteral("SMFindForm"));
    SetupFixedDialog(this, 350, 268, QStringLiteral("Press F1 for Help"));
    setModal(true);
    SetHelpContext(this, HelpBrowseAndCopy);
    SetHint(this, QStringLiteral(" Press F1 for Help"));

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(6, 6, 338, 220);

    DriveLbl = placeLabel(Panel1, QStringLiteral("DriveLbl"), QStringLiteral("Select  Drive :"), 10, 6, 200);
    DriveComboBox1 = new TDriveComboBox(Panel1);
    DriveComboBox1->setObjectName(QStringLiteral("DriveComboBox1"));
    DriveComboBox1->setGeometry(10, 24, 318, 22);

    DirectoryLbl = placeLabel(Panel1, QStringLiteral("DirectoryLbl"), QStringLiteral("Select a Folder "), 10, 54, 150);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(10, 72, 150, 22);
    // Shows the open folder, and takes a typed or pasted one: Enter goes there.
    Edit1->installEventFilter(this);
    DirectoryListBox1 = new TDirectoryListBox(Panel1);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->setGeometry(168, 54, 160, 70);   // five rows

    FileLbl = placeLabel(Panel1, QStringLiteral("FileLbl"), QStringLiteral("Selected Image"), 10, 130, 150);
    QFont big = FileLbl->font();
    big.setPointSize(10);
    FileLbl->setFont(big);
    FileLbl->setFixedHeight(18);
    Edit2 = new TUpperEdit(Panel1);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(10, 152, 150, 22);
    Edit2->setReadOnly(true);
    FileListBox1 = new TFileListBox(Panel1);
    FileListBox1->setObjectName(QStringLiteral("FileListBox1"));
    FileListBox1->setGeometry(168, 130, 160, 82);   // six rows
    FileListBox1->SetFileEdit(Edit2);
    FileListBox1->SetMultiSelect(true);
    // Every JPEG name and today's photo formats; the box shows the old mask.
    FileListBox1->SetMask(QLatin1String(SlotPictureMask) + QLatin1Char(';') + convertedPhotoMask(),
                          QStringLiteral("*.bmp;*.jpg"));

    BitBtn3 = MakeBitBtn(this, QStringLiteral("BitBtn3"), QStringLiteral("Copy"), TGlyph::Copy);
    BitBtn3->setGeometry(24, 234, 89, 25);
    BitBtn1 = MakeBitBtn(this, QStringLiteral("BitBtn1"), QStringLiteral("View"), TGlyph::View);
    BitBtn1->setGeometry(130, 234, 89, 25);
    BitBtn2 = MakeBitBtn(this, QStringLiteral("BitBtn2"), QStringLiteral("&Cancel"), TGlyph::Cancel);
    BitBtn2->setGeometry(236, 234, 89, 25);
    // View is the default button; a focused button takes Enter for itself.
    for (QPushButton* b : {BitBtn3, BitBtn1, BitBtn2})
        b->setAutoDefault(true);
    BitBtn1->setDefault(true);
    connect(BitBtn3, &QPushButton::clicked, this, &TSMFindForm::BitBtn3Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TSMFindForm::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // The drive box drives the folder list, the folder list the file list.
    connect(DriveComboBox1, &TDriveComboBox::DriveChanged, this, &TSMFindForm::openDrive);
    connect(DirectoryListBox1, &TDirectoryListBox::Change, this, [this] {
        const QString dir = DirectoryListBox1->Directory();
        FileListBox1->SetDirectory(dir);
        DriveComboBox1->SetDrive(TDriveComboBox::DriveOf(dir, TDriveComboBox::AvailableDrives()));
        DriveComboBox1->RememberFolder(dir);
        DirectoryListBox1Change();
    });
    connect(DirectoryListBox1, &TDirectoryListBox::Click, this, &TSMFindForm::DirectoryListBox1Click);

    setTabOrder(DriveComboBox1, Edit1);
    setTabOrder(Edit1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, Edit2);
    setTabOrder(Edit2, FileListBox1);
    setTabOrder(FileListBox1, BitBtn3);
    setTabOrder(BitBtn3, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    if (folder.isEmpty() || !DirectoryListBox1->SetDirectory(folder))
        DirectoryListBox1->SetDirectory(GetCurrentDir());
    Edit1->setText(DirectoryListBox1->Directory());
    // Nothing is selected yet, so the box starts empty rather than with the mask.
    Edit2->setText(ExtractFileName(FileListBox1->FileName()));
}

void TSMFindForm::openDrive(const QString& folder)
{
    if (DirectoryListBox1->SetDirectory(folder))
        return;
    // The drive cannot be entered (removed meanwhile): stay where we are.
    DriveComboBox1->SetDrive(TDriveComboBox::DriveOf(DirectoryListBox1->Directory(), TDriveComboBox::AvailableDrives()));
}

bool TSMFindForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        // Used up here: passed on, Enter would also press View.
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            openTypedFolder();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// A path as typed, or pasted from a file manager (file:///...), "~" for home.
void TSMFindForm::openTypedFolder()
{
    QString typed = Edit1->text().trimmed();
    const QUrl url(typed);
    if (url.isLocalFile())
        typed = url.toLocalFile();
    else if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    if (typed.isEmpty() || !DirectoryListBox1->SetDirectory(typed)) {
        ShowError(QStringLiteral("The folder %1 cannot be opened.").arg(Edit1->text()));
        return;
    }
    Edit1->setText(DirectoryListBox1->Directory());
}

void TSMFindForm::DirectoryListBox1Change() { Edit1->setText(DirectoryListBox1->Directory()); }

void TSMFindForm::DirectoryListBox1Click() { Edit1->setText(DirectoryListBox1->Directory()); }

void TSMFindForm::BitBtn1Click()
{
    // Of several files, the one last clicked.
    const bool several = FileListBox1->FileNames().size() > 1;
    const QString name = several ? ExtractFileName(FileListBox1->FileName()) : Edit2->text();
    if (name.isEmpty() || job_.Busy())
        return;
    TDialogHidden hidden(this);
    ViewPicture(name, project_.Settings.BackgroundColor);
}

// The bare name in the box: what follows its last folder separator or drive
// colon.
static QString bareName(const QString& text)
{
    const int cut = std::max({text.lastIndexOf(QLatin1Char('\\')), text.lastIndexOf(QLatin1Char(':')),
                              text.lastIndexOf(QLatin1Char('/'))});
    return text.mid(cut + 1);
}

static QString alreadyThereText(const QString& name, const QString& there)
{
    if (there.compare(name, Qt::CaseInsensitive) == 0)
        return QStringLiteral("The picture %1 is already in the project folder.").arg(name);
    return QStringLiteral("The picture %1 is already in the project folder as %2.").arg(name, there);
}

// Tells the user when the picture `n` is already in the project folder as
// `target`; else asks whether to copy it there as `target`.
static bool copyAgreed(const QString& n, const QString& folder, const QString& target)
{
    if (FileExists(folder + target)) {
        ShowInformation(alreadyThereText(n, target), HelpBrowseAndCopy);
        return false;
    }
    const QString as = target == n ? QString() : QStringLiteral(" as ") + target;
    return AskYesNo(QStringLiteral("Copy the file ") + n + QStringLiteral(" to the Project directory") + as + QLatin1Char('?'));
}

void TSMFindForm::BitBtn3Click()
{
    const QString text = Edit2->text();
    if (text.isEmpty() || job_.Busy())
        return;
    const QStringList several = FileListBox1->FileNames();
    if (several.size() > 1) {
        copyBatch(several);
        return;
    }
    const QString n = bareName(text);
    const QString folder = IncludeTrailingPathDelimiter(project_.ProjectFolder);
    const QString source = ResolveName(text);
    // Judged by its content. A photo of another format goes in as a JPEG: it
    // is converted first, so that the question names where it will really
    // go (or the user learns that it is there already). By its whole path:
    // the conversion outlasts this call.
    DoorPass pass;
    if (!RunCommand([&] {
            checkProjectFolder(project_);
            pass = passDoor(source, n, ExtractFileName(source));
        }))
        return;   // the box keeps the name
    if (pass.Convert) {
        convertPhoto(source.startsWith(QLatin1Char('/')) ? source : GetCurrentDir() + source, n, folder);
        return;
    }
    // Any name taken by another picture gets the next free short one.
    QString target;
    if (!RunCommand([&] { target = copyTargetFor(folder, pass.Name, source); }))
        return;
    if (copyAgreed(n, folder, target)) {
        try {
            copyPictureFile(text, text, folder + target);
        } catch (const std::exception& e) {
            // The box keeps the name, so the user sees what failed.
            ShowExceptionReport(e);
            return;
        }
    }
    FileListBox1->Update();
}

void TSMFindForm::convertPhoto(const QString& source, const QString& shownName, const QString& folder)
{
    // A large photo takes a moment: the window goes on, with the busy
    // pointer (and a Copy meanwhile does nothing), and only reacts when the
    // worker tells it the photo is ready.
    auto photo = std::make_shared<TConvertedPhoto>();
    auto problem = std::make_shared<QString>();
    const quint32 background = project_.Settings.BackgroundColor;
    job_.Run(
        [=] {
            try {
                *photo = convertForProjectFolder(source, shownName, folder, background);
            } catch (const EGlimmerError& e) {
                *problem = e.Text();
            } catch (const std::exception& e) {
                *problem = MessageText(e.what());
            }
        },
        [=, this] { conversionDone(shownName, folder, *photo, *problem); });
}

bool TSMFindForm::closedMeanwhile()
{
    if (closeWith_ < 0)
        return false;
    setWindowTitle(QStringLiteral("Press F1 for Help"));
    done(std::exchange(closeWith_, -1));   // nothing more is asked or written
    return true;
}

void TSMFindForm::conversionDone(const QString& shownName, const QString& folder, const TConvertedPhoto& photo,
                                 const QString& problem)
{
    if (closedMeanwhile())
        return;
    if (!problem.isEmpty()) {
        ShowErrorReport(problem);   // the box keeps the name
        return;
    }
    if (copyAgreed(shownName, folder, photo.Name)) {
        try {
            writeNewPictureFile(folder + photo.Name, photo.Jpeg);
        } catch (const std::exception& e) {
            ShowExceptionReport(e);
            return;
        }
    }
    FileListBox1->Update();
}

// ------------------------------------------------------------ several files

namespace {

// What became of one file of a batch.
struct BroughtIn {
    bool copied = false;
    bool refused = false;   // left out for a fault
    QString note;           // for the summary; empty when it went in as it is named
};

QString sentence(QString text)
{
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

// Judges, converts or copies one file into the project folder `folder`,
// under its own name in capitals when that is free. Safe on any thread.
BroughtIn bringIn(const QString& source, const QString& folder, quint32 background)
{
    const QString shown = ExtractFileName(source);
    const QString n = UpperCaseName(shown);
    BroughtIn r;
    try {
        const DoorPass pass = passDoor(source, n, shown);
        QString target;
        if (pass.Convert) {
            const TConvertedPhoto photo = convertForProjectFolder(source, shown, folder, background);
            target = photo.Name;
            if (!FileExists(folder + target)) {
                writeNewPictureFile(folder + target, photo.Jpeg);
                r.copied = true;
            }
        } else {
            target = copyTargetFor(folder, pass.Name, source);
            if (!FileExists(folder + target)) {
                copyPictureFile(source, shown, folder + target);
                r.copied = true;
            }
        }
        if (!r.copied)
            r.note = alreadyThereText(shown, target);
        else if (target != n)
            r.note = QStringLiteral("%1 came in as %2.").arg(shown, target);
    } catch (const EGlimmerError& e) {
        r = {false, true, sentence(e.Text())};
    } catch (const std::exception& e) {
        r = {false, true, QStringLiteral("The file %1 could not be copied: %2").arg(shown, sentence(MessageText(e.what())))};
    }
    return r;
}

} // namespace

void TSMFindForm::copyBatch(const QStringList& sources)
{
    if (!RunCommand([this] { checkProjectFolder(project_); }))
        return;
    if (AskYesNo(QStringLiteral("Copy the %1 files to the Project directory?").arg(sources.size()))) {
        batch_ = Batch{};
        batch_.sources = sources;
        bringNext();
        return;
    }
    FileListBox1->Update();
}

// One file after another on the worker, each started when the one before
// is in, the count in the title.
void TSMFindForm::bringNext()
{
    if (closedMeanwhile())
        return;
    if (batch_.next == batch_.sources.size()) {
        batchDone();
        return;
    }
    const QString source = batch_.sources[batch_.next++];
    setWindowTitle(QStringLiteral("%1 %2 of %3")
                       .arg(goesToConverter(source) ? QStringLiteral("Converting") : QStringLiteral("Copying"))
                       .arg(batch_.next)
                       .arg(batch_.sources.size()));
    const QString folder = IncludeTrailingPathDelimiter(project_.ProjectFolder);
    const quint32 background = project_.Settings.BackgroundColor;
    auto result = std::make_shared<BroughtIn>();
    job_.Run([=] { *result = bringIn(source, folder, background); },
             [=, this] {
                 batch_.copied += result->copied;
                 batch_.refused = batch_.refused || result->refused;
                 if (!result->note.isEmpty())
                     batch_.notes << result->note;
                 bringNext();
             });
}

void TSMFindForm::batchDone()
{
    setWindowTitle(QStringLiteral("Press F1 for Help"));
    const QString summary = batchSummaryText(batch_.copied, int(batch_.sources.size()), batch_.notes);
    if (batch_.refused)
        ShowWarning(summary);
    else if (!summary.isEmpty())
        ShowInformation(summary, HelpBrowseAndCopy);
    FileListBox1->Update();
}

QString batchSummaryText(int copied, int total, const QStringList& notes)
{
    if (notes.isEmpty())
        return QString();
    return QStringLiteral("%1 of the %2 files were copied to the Project directory.\n\n%3")
        .arg(copied)
        .arg(total)
        .arg(notes.join(QLatin1Char('\n')));
}

void TSMFindForm::FormClose()
{
    errno = 0;
    if (enterProjectFolder(project_))
        return;
    const int err = errno != 0 ? errno : ENOENT;
    // Reported, but the dialog still closes: the user must never be kept in it.
    ShowErrorReport(IOErrorText(IOCodeFromErrno(err)));
}

void TSMFindForm::done(int r)
{
    if (job_.Busy()) {
        closeWith_ = r;   // once the file at hand is in
        return;
    }
    FormClose();
    QDialog::done(r);
}

// Creates `destination` with what `fill` writes, never over an existing file
// nor through a link of that name. It is written under a temporary name
// beside it and takes its name only when whole: a copy cut short, by a
// failure or by the program's end, never looks like a damaged picture in the
// project folder.
static void writeNewFile(const QString& destination, const std::function<void(TFileStream&)>& fill)
{
    // Named apart from every other writer's; what copies cut short by a kill
    // left goes first.
    const QString prefix = ExtractFilePath(destination) + QStringLiteral(".glimmer-"), suffix = QStringLiteral(".part");
    RemoveStaleTemporaries(prefix, -1, {}, suffix);
    const EGlimmerError notCreated(QStringLiteral("Cannot create file %1").arg(destination));
    std::unique_ptr<TTemporaryFile> temp;
    std::unique_ptr<TFileStream> out;
    try {
        temp = std::make_unique<TTemporaryFile>(prefix, suffix);
        out = std::make_unique<TFileStream>(temp->Name(), TFileStream::fmOpenReadWrite, TFileStream::NoLinks);
    } catch (const EInOutError&) {
        throw notCreated;
    }
    fill(*out);
    if (::fsync(out->Handle()) != 0)
        throw EInOutError(IOCodeFromErrno(errno));
    out->Close();
    const QByteArray from = NativePath(temp->Name()), to = NativePath(destination);
    // A file system without the no-replace rename gets a second name for the
    // file, which fails just as surely where one exists; the temporary name
    // then goes with the temporary file.
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        temp->Placed();
    else if ((errno != EINVAL && errno != ENOSYS) || ::link(from.constData(), to.constData()) != 0)
        throw notCreated;
}

void writeNewPictureFile(const QString& destination, const QByteArray& bytes)
{
    writeNewFile(destination,
                 [&](TFileStream& out) { out.WriteBuffer(bytes.constData(), std::size_t(bytes.size())); });
}

void copyPictureFile(const QString& source, const QString& sourceText, const QString& destination)
{
    // Opened once and checked (an ordinary file, opened without waiting);
    // the copy is read from what was opened.
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(source, TFileStream::fmOpenRead);
    } catch (const EInOutError&) {
        throw EGlimmerError(QStringLiteral("Cannot open file %1").arg(sourceText));
    }
    writeNewFile(destination, [&](TFileStream& out) {
        if (const CopyOutcome copy = CopyFileRange(in->Handle(), out.Handle()); !copy.copied())
            throwCopyFailure(copy);
    });
}

QString copyTargetFor(const QString& folder, const QString& name, const QString& source)
{
    // Opened once, following a link (Locate lists them), but only an
    // ordinary file: what is compared is what will be copied.
    std::unique_ptr<TFileStream> in;
    try {
        in = std::make_unique<TFileStream>(source, TFileStream::fmOpenRead);
    } catch (const EInOutError&) {
        // Nothing to compare: the copy reports it.
    }
    const auto samePicture = [&](const QString& there) { return in && SameFileContents(*in, there); };
    if (!fitsSlot(name))
        return shortNameInProjectFolder(folder, name, samePicture);
    const QString there = ResolveName(folder + name);   // letter case aside
    if (!FileExists(there))
        return name;
    if (samePicture(there))
        return ExtractFileName(there);
    // Another picture of that name (a second camera's IMG_0001.JPG).
    return shortNameInProjectFolder(folder, name, samePicture);
}

TConvertedPhoto convertForProjectFolder(const QString& source, const QString& shownName, const QString& folder,
                                        quint32 background)
{
    TConvertedPhoto photo;
    photo.Jpeg = photoToJpeg(source, background, shownName);
    const auto holdsIt = [&](const QString& twin) {
        if (FileSizeOf(twin) != photo.Jpeg.size())
            return false;
        try {
            TFileStream there(twin, TFileStream::fmOpenRead, TFileStream::NoLinks);
            QByteArray bytes(photo.Jpeg.size(), Qt::Uninitialized);
            there.ReadBuffer(bytes.data(), std::size_t(bytes.size()));
            return bytes == photo.Jpeg;
        } catch (const EInOutError&) {
            return false;   // not a file to compare with
        }
    };
    photo.Name = shortNameInProjectFolder(folder, ChangeFileExt(shownName, QStringLiteral(".JPG")), holdsIt);
    return photo;
}

void BrowseAndCopyImage(ProjectState& project)
{
    // Photos are seldom in the project folder: the next visit in this run
    // starts where this one ended.
    static QString lastShown;
    TSMFindForm form(project, nullptr, lastShown);
    form.DriveComboBox1->setFocus();
    form.exec();
    lastShown = form.DirectoryListBox1->Directory();
}
