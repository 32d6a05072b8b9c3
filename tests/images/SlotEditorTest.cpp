#include "BitmapWriter.h"
#include "JpegFiles.h"
#include "TestSupport.h"
#include "images/PicturePicker.h"
#include "images/SlotEditor.h"
#include "project/Project.h"
#include "toolkit/FileControls.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct SlotEditorTest : ::testing::Test {
    TempFolder folder;
    MessageRecorder messages;

    void SetUp() override
    {
        Project() = ProjectState{};
        Project().ProgramFolder = folder.Path();
        Project().ProjectFolder = folder.Path();
        Project().ProjectFile = "TEST.SSJ";
        Project().Settings = newProjectSettings();
        SaveProject(Project());
    }
    void TearDown() override { Project() = ProjectState{}; }

    void Touch(const QString& name) { WriteAll(folder.File(name), Picture(0)); }
    // A small bitmap of its own for each number.
    static QByteArray Picture(int n) { return BlankBitmap(2, 2, qRgb(n, 0, 0)); }
    static SaverSettings& S() { return Project().Settings; }
    void Fill(int k, const QString& name) { setSlotName(S().Slot(k), name); }
    QStringList Names() const
    {
        QStringList n;
        for (int k = 1; k <= 10; ++k)
            n << (S().Slot(k).IsEmpty() ? QString() : slotName(S().Slot(k)));
        return n;
    }
    SaverSettings OnDisk() const
    {
        const QByteArray b = ReadAll(folder.File("TEST.SSJ"));
        EXPECT_EQ(b.size(), 235);
        return SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(b.constData()));
    }
};

ino_t InodeOf(const QString& path)
{
    struct stat st {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_ino;
}

QStringList Padded(QStringList names)
{
    while (names.size() < 10)
        names << QString();
    return names;
}

void Press(QWidget* w)
{
    const QPointF p(w->width() / 2.0, w->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

void Key(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(w, &release);
}

// Answers the next graphic picker: `typed` into its name box and OK, or
// Cancel when `typed` is null. What the box held at opening goes to `seen`.
void AnswerPicker(const QString& typed, QString* seen = nullptr)
{
    OnNextModal([=](QWidget* w) {
        auto* picker = qobject_cast<TGetGraphicForm*>(w);
        ASSERT_NE(picker, nullptr);
        if (seen)
            *seen = picker->Edit1->text();
        if (typed.isNull()) {
            picker->BitBtn3->click();
        } else {
            picker->Edit1->setText(typed);
            picker->BitBtn2->click();
        }
    });
}

// Runs the editor; `act` works in it while it is up, then OK or the close box.
void RunEditor(std::function<void(TSSAddForm*)> act, bool ok)
{
    OnNextModal([=](QWidget* w) {
        auto* form = qobject_cast<TSSAddForm*>(w);
        ASSERT_NE(form, nullptr);
        if (act)
            act(form);
        if (ok)
            form->BitBtn1->click();
        else
            form->close();
    });
    EditImageSlots(Project());
}

} // namespace

// ------------------------------------------------------------ confirming

TEST_F(SlotEditorTest, OkClosesTheGapsInTheUsersOrderAndSaves)
{
    Touch("A.BMP");
    Touch("B.JPG");
    Touch("C.BMP");
    Fill(2, "C.BMP");
    Fill(5, "A.BMP");
    Fill(9, "B.JPG");
    RunEditor(nullptr, true);
    EXPECT_EQ(Names(), Padded({"C.BMP", "A.BMP", "B.JPG"}));
    EXPECT_EQ(S().ImageCount, 3);
    EXPECT_EQ(OnDisk(), S());
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(SlotEditorTest, OnlyNamesMoveOffsetAndSizeStayWithTheirSlot)
{
    Touch("A.BMP");
    Touch("B.BMP");
    for (int k = 1; k <= 10; ++k) {
        S().Slot(k).Offset = 1000 * k;
        S().Slot(k).Size = k;
    }
    Fill(4, "A.BMP");
    Fill(7, "B.BMP");
    confirmImageSlots(Project());
    EXPECT_EQ(Names(), Padded({"A.BMP", "B.BMP"}));
    for (int k = 1; k <= 10; ++k) {
        EXPECT_EQ(S().Slot(k).Offset, 1000 * k) << k;
        EXPECT_EQ(S().Slot(k).Size, k) << k;
    }
}

TEST_F(SlotEditorTest, NamesWithoutAFileAreDroppedAndNamedInOneMessage)
{
    Touch("KEEP1.BMP");
    Touch("KEEP2.JPG");
    QDir(folder.Path()).mkdir("DIR.BMP");   // a folder is not a picture
    Fill(1, "GONE.BMP");
    Fill(2, "KEEP1.BMP");
    Fill(3, "DIR.BMP");
    Fill(6, "KEEP2.JPG");
    Fill(8, "GONE.BMP");                    // named once however many slots held it
    Fill(10, QString::fromUtf8("ФОТО.JPG"));
    // The message comes before the save, with the slots already compacted.
    SaverSettings atMessage;
    messages.OnMessage = [&](const TMessage&) { atMessage = OnDisk(); };
    RunEditor(nullptr, true);
    EXPECT_EQ(Names(), Padded({"KEEP1.BMP", "KEEP2.JPG"}));
    EXPECT_EQ(S().ImageCount, 2);
    EXPECT_EQ(OnDisk(), S());
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Warning);
    EXPECT_EQ(messages.Messages[0].Title, "Warning");
    EXPECT_EQ(messages.Messages[0].Text,
              QString::fromUtf8("These pictures are not in the project folder, so they are left out: "
                                "GONE.BMP, DIR.BMP, ФОТО.JPG."));
    EXPECT_EQ(atMessage.ImageCount, 0);   // not yet saved
}

TEST_F(SlotEditorTest, OneDroppedNameIsNamedAloneAndNothingDroppedSaysNothing)
{
    Touch("KEEP.BMP");
    Fill(1, "KEEP.BMP");
    Fill(2, "GONE.BMP");
    RunEditor(nullptr, true);
    EXPECT_EQ(messages.Texts(), QStringList{"The picture GONE.BMP is not in the project folder, so it is left out."});
    messages.Clear();
    RunEditor(nullptr, true);
    EXPECT_TRUE(messages.Messages.isEmpty());
    EXPECT_EQ(S().ImageCount, 1);
}

TEST_F(SlotEditorTest, AllEmptyOrAllMissingGivesNoPictures)
{
    S().ImageCount = 4;
    RunEditor(nullptr, true);
    EXPECT_EQ(S().ImageCount, 0);
    EXPECT_EQ(OnDisk().ImageCount, 0);

    Fill(1, "NOPE.BMP");
    Fill(8, "NOPE.JPG");
    RunEditor(nullptr, true);
    EXPECT_EQ(Names(), Padded({}));
    EXPECT_EQ(OnDisk(), S());
}

TEST_F(SlotEditorTest, NamesInCapitalsFindFilesOfAnyCase)
{
    Touch("photo.jpg");
    Fill(3, "PHOTO.JPG");
    confirmImageSlots(Project());
    EXPECT_EQ(Names(), Padded({"PHOTO.JPG"}));
    EXPECT_EQ(S().ImageCount, 1);
}

TEST_F(SlotEditorTest, TheSamePictureInSeveralSlotsStays)
{
    Touch("SUN.JPG");
    Fill(2, "SUN.JPG");
    Fill(3, "SUN.JPG");
    Fill(10, "SUN.JPG");
    confirmImageSlots(Project());
    EXPECT_EQ(Names(), Padded({"SUN.JPG", "SUN.JPG", "SUN.JPG"}));
    EXPECT_EQ(S().ImageCount, 3);
}

TEST_F(SlotEditorTest, ANameReachingIntoAnotherFolderIsDropped)
{
    QDir(folder.Path()).mkdir("SUB");
    Touch("SUB/X.BMP");
    Fill(1, "SUB/X.BMP");
    Fill(2, "../X.BMP");
    confirmImageSlots(Project());
    EXPECT_EQ(S().ImageCount, 0);
    EXPECT_TRUE(S().Slot(1).IsEmpty());
}

TEST_F(SlotEditorTest, AFailedSaveEndsTheCommandWithTheRecordCompacted)
{
    Touch("A.BMP");
    Fill(5, "A.BMP");
    Project().ProjectFile = "NO-SUCH-FOLDER/TEST.SSJ";
    bool closed = false;
    OnNextModal([&](QWidget* w) {
        closed = true;
        qobject_cast<TSSAddForm*>(w)->BitBtn1->click();
    });
    EXPECT_THROW(EditImageSlots(Project()), EInOutError);
    EXPECT_TRUE(closed);
    EXPECT_EQ(Names(), Padded({"A.BMP"}));
    EXPECT_EQ(S().ImageCount, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// ------------------------------------------------------------ closing otherwise

// Closed by its close box after a change, the editor asks whether to save
// it (the change used to stay in memory unsaved, to be lost at Quit): Yes is
// OK, No puts the slots back as they were, Cancel goes back into it; memory
// and project file agree after each. Without a change it asks nothing.
TEST_F(SlotEditorTest, TheCloseBoxAfterAChangeAsksToSaveIt)
{
    Touch("A.BMP");
    Fill(1, "A.BMP");
    S().ImageCount = 1;
    SaveProject(Project());
    const SaverSettings opened = S();
    const QByteArray before = ReadAll(folder.File("TEST.SSJ"));
    using R = TMsgResult;
    const std::tuple<bool, QVector<R>, QString> rows[] = {   // a change, the answers, slot 1 after
        {true, {R::Yes}, ""}, {true, {R::No}, "A.BMP"}, {true, {R::Cancel, R::No}, "A.BMP"}, {false, {}, "A.BMP"}};
    for (const auto& [change, replies, slot1] : rows) {
        S() = opened;
        WriteAll(folder.File("TEST.SSJ"), before);
        messages.Clear();
        messages.Replies = replies;
        RunEditor([&](TSSAddForm* f) {
            if (change)
                f->BitBtn4->click();   // slot 1
            f->close();
            EXPECT_EQ(f->isVisible(), replies.size() > 1);   // Cancel stays
        }, false);
        EXPECT_EQ(messages.Texts(), QStringList(replies.size(), "Save the changes to the pictures?"));
        EXPECT_EQ(Names(), Padded({slot1}));
        EXPECT_EQ(OnDisk(), S());
    }
}

TEST_F(SlotEditorTest, EscapeDoesNothing)
{
    const QByteArray before = ReadAll(folder.File("TEST.SSJ"));
    Fill(1, "A.BMP");
    bool stayed = false;
    RunEditor([&](TSSAddForm* f) {
        Key(f->Radios[0], Qt::Key_Escape);
        Key(f, Qt::Key_Escape);
        stayed = f->isVisible() && QApplication::activeModalWidget() == f;
    }, false);
    EXPECT_TRUE(stayed);
    EXPECT_EQ(ReadAll(folder.File("TEST.SSJ")), before);
}

TEST_F(SlotEditorTest, EnterOnASlotIsOk)
{
    Touch("A.BMP");
    Fill(3, "A.BMP");
    RunEditor([](TSSAddForm* f) { Key(f->Radios[0], Qt::Key_Return); }, false);
    EXPECT_EQ(Names(), Padded({"A.BMP"}));   // confirmed before the close box could
    EXPECT_EQ(OnDisk(), S());
}

// ------------------------------------------------------------ Select, View, Remove

TEST_F(SlotEditorTest, SelectReplacesTheCurrentSlotInPlace)
{
    Fill(1, "ONE.BMP");
    Fill(3, "OLD.BMP");
    Fill(4, "FOUR.BMP");
    TSSAddForm form(Project());
    form.Radios[2]->click();
    EXPECT_EQ(form.CurrentSlot, 3);
    AnswerPicker("new.jpg");
    form.BitBtn2Click();
    EXPECT_EQ(Names(), Padded({"ONE.BMP", "", "NEW.JPG", "FOUR.BMP"}));
    EXPECT_EQ(form.Edits[2]->text(), QString("NEW.JPG"));
    EXPECT_EQ(form.LastPicked, QString("NEW.JPG"));
}

TEST_F(SlotEditorTest, ACancelledPickChangesNothing)
{
    Fill(1, "ONE.BMP");
    TSSAddForm form(Project());
    form.LastPicked = "PREV.BMP";
    AnswerPicker(QString());
    form.BitBtn2Click();
    EXPECT_EQ(Names(), Padded({"ONE.BMP"}));
    EXPECT_EQ(form.LastPicked, QString("PREV.BMP"));
}

TEST_F(SlotEditorTest, ALongNameIsCutToTwelveBytesInTheRecord)
{
    // What no Select puts there, a project file may still bring: the name
    // is cut, and kept at OK only when a file of the cut name is there.
    Fill(5, "ABCDEFGHIJKLMNOP.JPG");
    EXPECT_EQ(slotName(S().Slot(5)), QString("ABCDEFGHIJKL"));
    confirmImageSlots(Project());
    EXPECT_EQ(S().ImageCount, 0);
    Touch("ABCDEFGHIJKL");
    setSlotName(S().Slot(5), "ABCDEFGHIJKLMNOP.JPG");
    confirmImageSlots(Project());
    EXPECT_EQ(Names(), Padded({"ABCDEFGHIJKL"}));
}

TEST_F(SlotEditorTest, ALongNameWithoutAFileLeavesTheSlotAndSaysSo)
{
    Fill(5, "OLD.BMP");
    TSSAddForm form(Project());
    form.Radios[4]->click();
    AnswerPicker("abcdefghijklmnop.jpg");
    form.BitBtn2Click();
    EXPECT_EQ(messages.Texts(), QStringList{"The graphic ABCDEFGHIJKLMNOP.JPG was not found."});
    EXPECT_EQ(slotName(S().Slot(5)), QString("OLD.BMP"));
    EXPECT_EQ(form.Edits[4]->text(), QString("OLD.BMP"));
    EXPECT_EQ(form.LastPicked, QString("ABCDEFGHIJKLMNOP.JPG"));   // the picker offers it again
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{"TEST.SSJ"});
}

TEST_F(SlotEditorTest, ALongTypedPathGetsNoTwinOfAFileElsewhere)
{
    QDir(folder.Path()).mkdir("SUB");
    WriteAll(folder.File("SUB/IMG_20230514_123456.JPG"), "not the project's");
    TSSAddForm form(Project());
    AnswerPicker("SUB/IMG_20230514_123456.JPG");
    form.BitBtn2Click();
    EXPECT_EQ(messages.Texts(), QStringList{"The graphic SUB/IMG_20230514_123456.JPG was not found."});
    EXPECT_TRUE(S().Slot(1).IsEmpty());
    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::Files), QStringList{"TEST.SSJ"});
}

TEST_F(SlotEditorTest, ALongNamedPictureGoesIntoTheSlotUnderItsShortName)
{
    WriteAll(folder.File("IMG_20230514_123456.jpg"), Picture(1));
    TSSAddForm form(Project());
    form.Radios[2]->click();
    AnswerPicker("IMG_20230514_123456.jpg");
    form.BitBtn2Click();
    EXPECT_EQ(Names(), Padded({"", "", "IMG_20~1.JPG"}));
    EXPECT_EQ(form.Edits[2]->text(), QString("IMG_20~1.JPG"));
    EXPECT_EQ(form.LastPicked, QString("IMG_20230514_123456.JPG"));
    EXPECT_EQ(ReadAll(folder.File("IMG_20~1.JPG")), Picture(1));
    EXPECT_EQ(ReadAll(folder.File("IMG_20230514_123456.jpg")), Picture(1));
    // A second name of the same file where the file system allows it.
    EXPECT_EQ(InodeOf(folder.File("IMG_20~1.JPG")), InodeOf(folder.File("IMG_20230514_123456.jpg")));
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Information);
    EXPECT_EQ(messages.Messages[0].HelpContext, 100);
    EXPECT_EQ(messages.Messages[0].Text,
              "The name IMG_20230514_123456.JPG is too long for a slot. The slot holds the same picture as "
              "IMG_20~1.JPG, its short name in the project folder.");

    // OK keeps it.
    confirmImageSlots(Project());
    EXPECT_EQ(Names(), Padded({"IMG_20~1.JPG"}));
    EXPECT_EQ(S().ImageCount, 1);
}

TEST_F(SlotEditorTest, TheSameLongNamedPictureAgainUsesItsShortNameAgain)
{
    WriteAll(folder.File("IMG_20230514_123456.jpg"), Picture(1));
    WriteAll(folder.File("IMG_20~1.JPG"), Picture(2));   // already taken by another picture
    TSSAddForm form(Project());
    AnswerPicker("IMG_20230514_123456.JPG");
    form.BitBtn2Click();
    form.Radios[1]->click();
    AnswerPicker("IMG_20230514_123456.JPG");
    form.BitBtn2Click();
    EXPECT_EQ(Names(), Padded({"IMG_20~2.JPG", "IMG_20~2.JPG"}));
    EXPECT_EQ(ReadAll(folder.File("IMG_20~1.JPG")), Picture(2));
    EXPECT_EQ(ReadAll(folder.File("IMG_20~2.JPG")), Picture(1));
    QStringList files = QDir(folder.Path()).entryList(QDir::Files);
    EXPECT_EQ(files, QStringList({"IMG_20230514_123456.jpg", "IMG_20~1.JPG", "IMG_20~2.JPG", "TEST.SSJ"}));
    EXPECT_EQ(messages.Messages.size(), 2);   // once for each Select
}

// Select judges the picture by its content: one that cannot be shown is
// refused, named, and the slot keeps its name; a PNG under a JPEG's name
// goes in as a JPEG made from it, on the worker.
TEST_F(SlotEditorTest, SelectJudgesThePictureByItsContent)
{
    const QByteArray jpeg = EncodeJpeg(TestPicture(40, 30));
    WriteAll(folder.File("BROKEN.JPG"), jpeg.left(jpeg.size() / 2));
    WriteAll(folder.File("NOTAJPEG.JPG"), "this is not a jpeg");
    ASSERT_TRUE(TestPicture(40, 30).save(folder.File("REALLY.JPG"), "PNG"));
    TSSAddForm form(Project());
    for (const QString name : {"broken.jpg", "notajpeg.jpg", "really.jpg"}) {
        AnswerPicker(name);
        form.BitBtn2Click();
        QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), 20000);
    }
    EXPECT_EQ(messages.Texts().mid(0, 2),
              QStringList({"The file BROKEN.JPG is not a picture that can be shown: it is cut short.",
                           "The file NOTAJPEG.JPG is not a picture that can be shown: it is not a JPEG, BMP, PNG, GIF, TIFF, WebP, HEIC, HEIF or AVIF picture."}));
    EXPECT_EQ(Names(), Padded({"REALLY~1.JPG"}));
    EXPECT_EQ(QImage(folder.File("REALLY~1.JPG"), "JPEG").size(), QSize(40, 30));
}

TEST_F(SlotEditorTest, NonLatinNamesThatFitAreKeptAndLongOnesShortened)
{
    WriteAll(folder.File(QString::fromUtf8("фото.jpg")), Picture(3));
    WriteAll(folder.File(QString::fromUtf8("Отпуск 2023.jpg")), Picture(4));
    TSSAddForm form(Project());
    AnswerPicker(QString::fromUtf8("фото.jpg"));
    form.BitBtn2Click();
    EXPECT_TRUE(messages.Messages.isEmpty());
    form.Radios[1]->click();
    AnswerPicker(QString::fromUtf8("Отпуск 2023.jpg"));
    form.BitBtn2Click();
    EXPECT_EQ(Names(), Padded({QString::fromUtf8("ФОТО.JPG"), QString::fromUtf8("ОТП~1.JPG")}));
    EXPECT_EQ(form.Edits[0]->text(), QString::fromUtf8("ФОТО.JPG"));
    EXPECT_EQ(form.Edits[1]->text(), QString::fromUtf8("ОТП~1.JPG"));
    EXPECT_EQ(ReadAll(folder.File(QString::fromUtf8("ОТП~1.JPG"))), Picture(4));
    EXPECT_EQ(messages.Messages.size(), 1);

    confirmImageSlots(Project());
    EXPECT_EQ(S().ImageCount, 2);
    const QByteArray saved = ReadAll(folder.File("TEST.SSJ"));
    EXPECT_EQ(saved.mid(25, 13), QByteArray("\x0C\xD0\xA4\xD0\x9E\xD0\xA2\xD0\x9E.JPG"));
    EXPECT_EQ(saved.mid(46, 13), QByteArray("\x0C\xD0\x9E\xD0\xA2\xD0\x9F~1.JPG"));
}

TEST_F(SlotEditorTest, TheNameLastViewedOrPickedOpensThePicker)
{
    Fill(4, "MISSING.BMP");
    TSSAddForm form(Project());
    QString seen = "not asked";
    AnswerPicker(QString(), &seen);
    form.BitBtn2Click();
    EXPECT_EQ(seen, QString());

    form.Radios[3]->click();
    form.BitBtn3Click();   // the view reports the missing file itself
    EXPECT_EQ(form.LastPicked, QString("MISSING.BMP"));
    AnswerPicker("OTHER.BMP", &seen);
    form.BitBtn2Click();
    EXPECT_EQ(seen, QString("MISSING.BMP"));

    form.Radios[0]->click();
    AnswerPicker(QString(), &seen);
    form.BitBtn2Click();
    EXPECT_EQ(seen, QString("OTHER.BMP"));
}

TEST_F(SlotEditorTest, ViewOnAnEmptySlotDoesNothing)
{
    TSSAddForm form(Project());
    form.LastPicked = "KEEP.BMP";
    form.Radios[6]->click();
    form.BitBtn3Click();
    EXPECT_EQ(form.LastPicked, QString("KEEP.BMP"));
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(SlotEditorTest, RemoveEmptiesOnlyTheCurrentSlot)
{
    Fill(1, "A.BMP");
    Fill(2, "B.BMP");
    Fill(3, "C.BMP");
    TSSAddForm form(Project());
    form.Radios[1]->click();
    form.BitBtn4->click();
    EXPECT_EQ(Names(), Padded({"A.BMP", "", "C.BMP"}));
    EXPECT_EQ(form.Edits[1]->text(), QString());
    EXPECT_EQ(form.Edits[2]->text(), QString("C.BMP"));

    const SaverSettings before = S();
    form.BitBtn4->click();   // already empty
    EXPECT_EQ(S(), before);
}

TEST_F(SlotEditorTest, SubDialogsLeaveTheEditorRunning)
{
    // Each step runs from the editor's own modal loop, so a sub-dialog that
    // ended the editor's run would leave the next step without an editor.
    Fill(1, "MISSING.BMP");
    S().ImageCount = 5;
    QStringList steps;
    ModalWatch watches[4];
    auto stillTheEditor = [&](QWidget* w) -> TSSAddForm* {
        auto* f = qobject_cast<TSSAddForm*>(w);
        return f && f->isVisible() ? f : nullptr;
    };
    watches[0] = OnNextModal([&](QWidget* w) {
        TSSAddForm* f = stillTheEditor(w);
        ASSERT_NE(f, nullptr);
        steps << "view";
        f->BitBtn3->click();
        watches[1] = OnNextModal([&](QWidget* w) {
            TSSAddForm* f = stillTheEditor(w);
            ASSERT_NE(f, nullptr);
            steps << "select";
            AnswerPicker(QString());
            f->BitBtn2->click();
            watches[2] = OnNextModal([&](QWidget* w) {
                TSSAddForm* f = stillTheEditor(w);
                ASSERT_NE(f, nullptr);
                steps << "locate";
                ModalWatch browse = OnNextModal([f](QWidget* w) {
                    if (w != f)
                        w->close();
                });
                f->BitBtn5->click();
                browse.Cancel();
                watches[3] = OnNextModal([&](QWidget* w) {
                    TSSAddForm* f = stillTheEditor(w);
                    ASSERT_NE(f, nullptr);
                    steps << "ok";
                    f->BitBtn1->click();
                });
            });
        });
    });
    EditImageSlots(Project());
    for (ModalWatch& m : watches)
        m.Cancel();
    EXPECT_EQ(steps, QStringList({"view", "select", "locate", "ok"}));
    EXPECT_EQ(S().ImageCount, 0);   // confirmed by the OK at the end
}

// ------------------------------------------------------------ choosing a slot

TEST_F(SlotEditorTest, OpensOnSlotOneWithTheNamesShown)
{
    Fill(2, "TWO.BMP");
    Fill(10, "TEN.JPG");
    TSSAddForm form(Project());
    EXPECT_EQ(form.CurrentSlot, 1);
    EXPECT_TRUE(form.Radios[0]->isChecked());
    EXPECT_EQ(form.LastPicked, QString());
    QStringList shown;
    for (QLineEdit* e : form.Edits)
        shown << e->text();
    EXPECT_EQ(shown, Names());
}

TEST_F(SlotEditorTest, ClickingALabelOrNameBoxChoosesItsSlot)
{
    TSSAddForm form(Project());
    Press(form.findChild<QLabel*>("Label1"));   // slot 6's label
    EXPECT_EQ(form.CurrentSlot, 6);
    EXPECT_TRUE(form.findChild<QRadioButton*>("rb6")->isChecked());
    EXPECT_FALSE(form.Radios[0]->isChecked());

    Press(form.findChild<QLineEdit*>("Edit9"));
    EXPECT_EQ(form.CurrentSlot, 9);
    EXPECT_TRUE(form.Radios[8]->isChecked());
    EXPECT_FALSE(form.Radios[5]->isChecked());

    form.Radios[2]->click();
    EXPECT_EQ(form.CurrentSlot, 3);
    EXPECT_FALSE(form.Radios[8]->isChecked());
}

TEST_F(SlotEditorTest, EveryControlOfASlotCarriesItsNumber)
{
    TSSAddForm form(Project());
    const char* labels[10] = {"Label2", "Label3", "Label4", "Label5", "Label6", "Label1", "Label7", "Label8", "Label9", "Label10"};
    for (int k = 1; k <= 10; ++k) {
        auto* l = form.findChild<QLabel*>(labels[k - 1]);
        auto* rb = form.findChild<QRadioButton*>(QString("rb%1").arg(k));
        auto* e = form.findChild<QLineEdit*>(QString("Edit%1").arg(k));
        ASSERT_TRUE(l && rb && e) << k;
        EXPECT_EQ(l->text(), QString("Image %1").arg(k));
        EXPECT_EQ(l->property("Tag").toInt(), k);
        EXPECT_EQ(rb->property("Tag").toInt(), k);
        EXPECT_EQ(e->property("Tag").toInt(), k);
        EXPECT_TRUE(rb->text().isEmpty());
        EXPECT_TRUE(e->isReadOnly());
        EXPECT_EQ(e->width(), 121);
    }
}

TEST_F(SlotEditorTest, TheKeyboardReachesEverySlotAndButton)
{
    TSSAddForm form(Project());
    // Tab: the ten slots, then the buttons from left to right.
    QStringList chain;
    QWidget* w = form.Radios[0];
    for (int i = 0; i < 15; ++i, w = w->nextInFocusChain()) {
        while (!(w->focusPolicy() & Qt::TabFocus))
            w = w->nextInFocusChain();
        chain << w->objectName();
    }
    EXPECT_EQ(chain, QStringList({"rb1", "rb2", "rb3", "rb4", "rb5", "rb6", "rb7", "rb8", "rb9", "rb10", "BitBtn5",
                                  "BitBtn4", "BitBtn3", "BitBtn2", "BitBtn1"}));

    // The arrow keys move among the slots.
    form.show();
    form.activateWindow();
    QApplication::setActiveWindow(&form);
    form.Radios[0]->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), form.Radios[0]);
    Key(form.Radios[0], Qt::Key_Down);
    EXPECT_EQ(form.CurrentSlot, 2);
    EXPECT_TRUE(form.Radios[1]->isChecked());
    Key(form.Radios[1], Qt::Key_Right);
    EXPECT_EQ(form.CurrentSlot, 7);
    form.hide();
}

TEST_F(SlotEditorTest, LayoutTitleAndHelp)
{
    TSSAddForm form(Project());
    EXPECT_EQ(form.size(), QSize(482, 216));
    EXPECT_EQ(form.windowTitle(), QString("Press F1 for Help"));
    EXPECT_EQ(HelpContextOf(&form), 100);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_LT(form.Edits[k - 1]->x(), form.Edits[k + 4]->x());
        EXPECT_EQ(form.Edits[k - 1]->y(), form.Edits[k + 4]->y());
        if (k > 1) {
            EXPECT_GT(form.Edits[k - 1]->y(), form.Edits[k - 2]->y());
        }
    }
    QPushButton* buttons[5] = {form.BitBtn5, form.BitBtn4, form.BitBtn3, form.BitBtn2, form.BitBtn1};
    const char* captions[5] = {"Locate", "Remove", "View", "Select", "OK"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(buttons[i]->text(), QString(captions[i]));
        EXPECT_EQ(buttons[i]->size(), QSize(75, 25));
        EXPECT_FALSE(buttons[i]->icon().isNull());
        EXPECT_GE(buttons[i]->y(), form.GroupBox1->geometry().bottom());
        EXPECT_LE(buttons[i]->geometry().bottom(), 216);
        if (i > 0) {
            EXPECT_GT(buttons[i]->x(), buttons[i - 1]->geometry().right());
        }
    }
    EXPECT_TRUE(form.BitBtn1->isDefault());
    EXPECT_EQ(form.findChildren<QPushButton*>().size(), 5);   // no Cancel
}
