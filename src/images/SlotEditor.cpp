#include "images/SlotEditor.h"

#include "images/PictureDoor.h"
#include "images/PicturePicker.h"
#include "images/LocateDialog.h"
#include "images/ShortNamedCopy.h"
#include "project/Project.h"
#include "project/SlotNames.h"
#include "show/PictureSource.h"
#include "show/PictureView.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <memory>
#include <utility>

namespace {

constexpr int EditorHelpContext = 100;
const char* const TagProperty = "Tag";

int TagOf(const QObject* o) { return o ? o->property(TagProperty).toInt() : 0; }

} // namespace

TSSAddForm::TSSAddForm(ProjectState& project, QWidget* parent)
    : QDialog(parent), project_(project), opened_(project.Settings.Images)
{
    setObjectName(QStringLiteral("SSAddForm"));
    SetupFixedDialog(this, 482, 216, QStringLiteral("Press F1 for Help"));
    SetHint(this, QStringLiteral(" Press F1 for Help"));
    SetHelpContext(this, EditorHelpContext);

    makeSlots();
    makeButtons();

    CurrentSlot = 1;
    Radios[0]->setChecked(true);
    Radios[0]->setFocus();
    LastPicked.clear();
    FillNameBoxes();
}

// The ten slots in two columns: a label, a radio button and a name box each.
void TSSAddForm::makeSlots()
{
    GroupBox1 = MakeGroupBox(this, QStringLiteral("GroupBox1"), QString());
    GroupBox1->setGeometry(8, 4, 466, 164);

    // The labels keep the names they have always had: slot 6's is Label1.
    static const char* const labelNames[10] = {"Label2", "Label3", "Label4", "Label5", "Label6",
                                               "Label1", "Label7", "Label8", "Label9", "Label10"};
    QPalette black = palette();
    black.setColor(QPalette::Text, Qt::black);
    for (int k = 1; k <= 10; ++k) {
        const int column = (k - 1) / 5, row = (k - 1) % 5;
        const int x = 12 + column * 232, y = 16 + row * 29;

        QLabel* label = MakeLabel(GroupBox1, QString::fromLatin1(labelNames[k - 1]), QStringLiteral("Image %1").arg(k));
        label->setGeometry(x, y + 3, 58, 16);
        label->setProperty(TagProperty, k);
        label->installEventFilter(this);

        auto* rb = new QRadioButton(GroupBox1);
        rb->setObjectName(QStringLiteral("rb%1").arg(k));
        rb->setGeometry(x + 62, y + 1, 22, 20);
        rb->setProperty(TagProperty, k);
        rb->setAccessibleName(QStringLiteral("Image %1").arg(k));
        rb->setFocusPolicy(Qt::StrongFocus);

        // Display only: nothing typed here would ever be read, and the
        // next filling would overwrite it.
        auto* edit = new QLineEdit(GroupBox1);
        edit->setObjectName(QStringLiteral("Edit%1").arg(k));
        edit->setGeometry(x + 88, y, 121, 22);
        edit->setProperty(TagProperty, k);
        edit->setReadOnly(true);
        edit->setMaxLength(12);
        edit->setFocusPolicy(Qt::NoFocus);
        edit->setPalette(black);
        edit->installEventFilter(this);

        Labels[k - 1] = label;
        Radios[k - 1] = rb;
        Edits[k - 1] = edit;
    }

    using Handler = void (TSSAddForm::*)();
    static const Handler rbHandlers[10] = {&TSSAddForm::rb1Click, &TSSAddForm::rb2Click, &TSSAddForm::rb3Click,
                                           &TSSAddForm::rb4Click, &TSSAddForm::rb5Click, &TSSAddForm::rb6Click,
                                           &TSSAddForm::rb7Click, &TSSAddForm::rb8Click, &TSSAddForm::rb9Click,
                                           &TSSAddForm::rb10Click};
    for (int i = 0; i < 10; ++i)
        connect(Radios[i], &QRadioButton::clicked, this, rbHandlers[i]);
}

// Locate, Remove, View, Select and OK, and the tab order through everything.
void TSSAddForm::makeButtons()
{
    BitBtn5 = MakeBitBtn(this, QStringLiteral("BitBtn5"), QStringLiteral("Locate"), TGlyph::Locate);
    BitBtn4 = MakeBitBtn(this, QStringLiteral("BitBtn4"), QStringLiteral("Remove"), TGlyph::Remove);
    BitBtn3 = MakeBitBtn(this, QStringLiteral("BitBtn3"), QStringLiteral("View"), TGlyph::View);
    BitBtn2 = MakeBitBtn(this, QStringLiteral("BitBtn2"), QStringLiteral("Select"), TGlyph::Select);
    BitBtn1 = MakeBitBtn(this, QStringLiteral("BitBtn1"), QStringLiteral("OK"), TGlyph::OK);
    QPushButton* buttons[5] = {BitBtn5, BitBtn4, BitBtn3, BitBtn2, BitBtn1};
    for (int i = 0; i < 5; ++i) {
        buttons[i]->setGeometry(18 + i * 93, 180, 75, 25);
        // Enter presses the focused button, or OK when no button has the focus.
        buttons[i]->setAutoDefault(true);
    }
    BitBtn1->setDefault(true);

    connect(BitBtn5, &QPushButton::clicked, this, &TSSAddForm::BitBtn5Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TSSAddForm::BitBtn4Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TSSAddForm::BitBtn3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TSSAddForm::BitBtn2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);

    // Tab visits the slots in their order, then the buttons left to right;
    // the arrow keys move among the slots.
    QWidget* order[15] = {Radios[0], Radios[1], Radios[2], Radios[3], Radios[4], Radios[5], Radios[6], Radios[7],
                          Radios[8], Radios[9], BitBtn5, BitBtn4, BitBtn3, BitBtn2, BitBtn1};
    for (int i = 0; i + 1 < 15; ++i)
        setTabOrder(order[i], order[i + 1]);
}

void TSSAddForm::FillNameBoxes()
{
    const SaverSettings& s = project_.Settings;
    for (int k = 1; k <= 10; ++k)
        Edits[k - 1]->setText(s.Slot(k).IsEmpty() ? QString() : slotName(s.Slot(k)));
}

void TSSAddForm::checkRadioOfCurrentSlot()
{
    for (QRadioButton* rb : GroupBox1->findChildren<QRadioButton*>()) {
        if (TagOf(rb) == CurrentSlot) {
            rb->setChecked(true);
            // Keyboard users carry on from the slot chosen with the mouse.
            if (focusWidget() && qobject_cast<QRadioButton*>(focusWidget()))
                rb->setFocus();
        }
    }
}

void TSSAddForm::Label2Click(QObject* sender)
{
    const int k = TagOf(sender);
    if (k < 1 || k > 10)
        return;
    CurrentSlot = k;
    checkRadioOfCurrentSlot();
}

void TSSAddForm::Edit1Click(QObject* sender) { Label2Click(sender); }

bool TSSAddForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (qobject_cast<QLabel*>(watched))
            Label2Click(watched);
        else if (qobject_cast<QLineEdit*>(watched))
            Edit1Click(watched);
    }
    return QDialog::eventFilter(watched, event);
}

void TSSAddForm::keyPressEvent(QKeyEvent* event)
{
    // There is no Cancel: Escape does nothing. The close box still closes.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSSAddForm::BitBtn2Click()
{
    if (job_.Busy())
        return;
    QString name = LastPicked;
    bool picked = false;
    {
        TDialogHidden hidden(this);
        RunCommand([&] { picked = PickProjectGraphic(project_, name); });
    }
    if (!picked)
        return;
    LastPicked = name;
    // A picture of the project folder is judged before the slot takes it: a
    // name with no file behind it is left for OK to drop, as ever.
    if (isPlainName(name) && projectPictureExists(name)) {
        DoorPass pass;
        if (!RunCommand([&] { pass = passDoor(name, name, ExtractFileName(ResolveName(name))); }))
            return;
        if (pass.Convert) {
            convertIntoSlot(name, CurrentSlot);
            return;
        }
    }
    if (fitsSlot(name)) {
        setSlotName(project_.Settings.Slot(CurrentSlot), name);
        FillNameBoxes();
        return;
    }
    // A name cut to fit would name no file: the slot takes the picture's
    // short-named twin instead, or stays as it was. Only a picture of the
    // project folder itself gets one; a typed path leads nowhere.
    const QString folder = IncludeTrailingPathDelimiter(project_.ProjectFolder);
    if (!RunCommand([this] { checkProjectFolder(project_); }))
        return;
    if (!projectPictureExists(name)) {
        ShowError(missingGraphicText(name));
        return;
    }
    QString twin;
    if (!RunCommand([&] { twin = makeShortNamedTwin(folder, name); }))
        return;
    setSlotName(project_.Settings.Slot(CurrentSlot), twin);
    FillNameBoxes();
    ShowInformation(QStringLiteral("The name %1 is too long for a slot. The slot holds the same picture as %2, "
                                   "its short name in the project folder.")
                        .arg(name, twin),
                    EditorHelpContext);
}

void TSSAddForm::BitBtn3Click()
{
    if (job_.Busy())
        return;
    const ImageEntry& slot = project_.Settings.Slot(CurrentSlot);
    if (slot.IsEmpty())
        return;
    const QString name = slotName(slot);
    LastPicked = name;
    TDialogHidden hidden(this);
    // A slot names a picture of the project folder: a name from a damaged
    // project file that leads elsewhere is not followed.
    if (!projectPictureExists(name)) {
        ShowError(missingGraphicText(name));
        return;
    }
    RunCommand([&] { ViewPicture(name, project_.Settings.BackgroundColor); });
}

void TSSAddForm::BitBtn4Click()
{
    if (job_.Busy())
        return;
    project_.Settings.Slot(CurrentSlot).NameLength = 0;
    FillNameBoxes();
}

void TSSAddForm::BitBtn5Click()
{
    if (job_.Busy())
        return;
    TDialogHidden hidden(this);
    RunCommand([this] { BrowseAndCopyImage(project_); });
}

// A photo of another format under a picture's name (a PNG named .JPG)
// becomes a JPEG beside it, on the worker; the slot takes that JPEG.
void TSSAddForm::convertIntoSlot(const QString& name, int slot)
{
    const QString folder = IncludeTrailingPathDelimiter(project_.ProjectFolder);
    const quint32 background = project_.Settings.BackgroundColor;
    auto photo = std::make_shared<TConvertedPhoto>();
    auto problem = std::make_shared<QString>();
    job_.Run(
        [=] {
            try {
                *photo = convertForProjectFolder(folder + name, name, folder, background);
                if (!FileExists(folder + photo->Name))
                    writeNewPictureFile(folder + photo->Name, photo->Jpeg);
            } catch (const EGlimmerError& e) {
                *problem = e.Text();
            } catch (const std::exception& e) {
                *problem = MessageText(e.what());
            }
        },
        [=, this] {
            if (problem->isEmpty()) {
                setSlotName(project_.Settings.Slot(slot), photo->Name);
                FillNameBoxes();
            }
            if (closeWith_ >= 0) {
                done(std::exchange(closeWith_, -1));
                return;
            }
            if (!problem->isEmpty())
                ShowErrorReport(*problem);
            else
                ShowInformation(QStringLiteral("The picture %1 is not a JPEG or a bitmap inside. The slot holds it "
                                               "made into a JPEG, %2, in the project folder.")
                                    .arg(name, photo->Name),
                                EditorHelpContext);
        });
}

bool TSSAddForm::slotsChanged() const
{
    for (int k = 1; k <= MaxImages; ++k) {
        const ImageEntry& now = project_.Settings.Slot(k);
        const ImageEntry& then = opened_[std::size_t(k - 1)];
        if (now.IsEmpty() != then.IsEmpty() || (!now.IsEmpty() && now.NameBytes() != then.NameBytes()))
            return true;
    }
    return false;
}

void TSSAddForm::done(int r)
{
    if (job_.Busy()) {
        closeWith_ = r;   // once the photo is in its slot
        return;
    }
    if (r != QDialog::Accepted && slotsChanged()) {
        switch (AskYesNoCancel(QStringLiteral("Save the changes to the pictures?"))) {
        case TMsgResult::Yes:
            r = QDialog::Accepted;
            break;
        case TMsgResult::No:
            project_.Settings.Images = opened_;
            break;
        default:
            return;
        }
    }
    QDialog::done(r);
}

QStringList compactImageSlots(ProjectState& project)
{
    SaverSettings& s = project.Settings;
    QString kept[MaxImages];
    QStringList dropped;
    int n = 0;
    for (int k = 1; k <= MaxImages; ++k) {
        if (s.Slot(k).IsEmpty())
            continue;
        const QString name = slotName(s.Slot(k));
        // A slot names a file of the project folder itself; a typed name that
        // reaches into another folder would not travel with the project.
        if (!projectPictureExists(name)) {
            if (!dropped.contains(name))
                dropped << name;
            continue;
        }
        kept[n++] = name;
    }
    s.ImageCount = n;
    for (int k = 1; k <= MaxImages; ++k) {
        if (k <= n)
            setSlotName(s.Slot(k), kept[k - 1]);
        else
            s.Slot(k).NameLength = 0;
    }
    return dropped;
}

QString droppedPicturesText(const QStringList& names)
{
    // A damaged project file's name may hold control characters: each shows
    // as "?".
    QStringList shown;
    for (QString name : names) {
        for (QChar& c : name)
            if (c.category() == QChar::Other_Control)
                c = QLatin1Char('?');
        shown << name;
    }
    if (shown.size() == 1)
        return QStringLiteral("The picture %1 is not in the project folder, so it is left out.").arg(shown.front());
    return QStringLiteral("These pictures are not in the project folder, so they are left out: %1.")
        .arg(shown.join(QStringLiteral(", ")));
}

QStringList confirmImageSlots(ProjectState& project)
{
    checkProjectFolder(project);
    const QStringList dropped = compactImageSlots(project);
    SaveProject(project);
    return dropped;
}

void EditImageSlots(ProjectState& project)
{
    TSSAddForm form(project);
    if (form.exec() != QDialog::Accepted)
        return;
    // A folder renamed meanwhile would make every picture look gone.
    checkProjectFolder(project);
    const QStringList dropped = compactImageSlots(project);
    if (!dropped.isEmpty())
        ShowWarning(droppedPicturesText(dropped));
    SaveProject(project);
}
