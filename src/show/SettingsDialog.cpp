#include "show/SettingsDialog.h"

#include "project/Project.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"
#include "toolkit/SpinEdit.h"

#include <QColorDialog>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

static constexpr int HelpSettings = 200;

// The group boxes give their contents white captions; the arrows of spin
// boxes and scroll bars are drawn in the same colour and must stay dark.
static void keepArrowsDark(QWidget* w)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, Qt::black);
    pal.setColor(QPalette::ButtonText, Qt::black);
    w->setPalette(pal);
}

static TSpinEdit* makeSpin(QWidget* parent, const QString& name, int lo, int hi, int x, int y)
{
    auto* s = new TSpinEdit(parent);
    s->setObjectName(name);
    s->SetRange(lo, hi);
    s->SetMaxLength(2);
    s->setGeometry(x, y, 44, 22);
    keepArrowsDark(s);
    return s;
}

static QLabel* label(QWidget* parent, const QString& name, const QString& caption, int x, int y, int w = 150)
{
    QLabel* l = MakeLabel(parent, name, caption);
    l->setGeometry(x, y, w, 16);
    return l;
}

static QFrame* plainPanel(QWidget* parent, const QString& name)
{
    auto* f = new QFrame(parent);
    f->setObjectName(name);
    f->setFrameShape(QFrame::NoFrame);
    return f;
}

TSMSetForm::TSMSetForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("SMSetForm"));
    SetupFixedDialog(this, 394, 215, QStringLiteral("Press F1 for Help"));
    setModal(true);
    SetHelpContext(this, HelpSettings);
    SetHint(this, QStringLiteral(" Press F1 for Help"));

    // The screen background: a swatch and the button that opens the chooser.
    GroupBox4 = MakeGroupBox(this, QStringLiteral("GroupBox4"), QStringLiteral(" Screen Background "));
    GroupBox4->setGeometry(8, 6, 187, 166);
    BackPnl = new QFrame(GroupBox4);
    BackPnl->setObjectName(QStringLiteral("BackPnl"));
    BackPnl->setFrameShape(QFrame::Panel);
    BackPnl->setFrameShadow(QFrame::Sunken);
    BackPnl->setLineWidth(1);
    BackPnl->setAutoFillBackground(true);
    BackPnl->setGeometry(9, 22, 169, 105);
    Button1 = MakeBitBtn(GroupBox4, QStringLiteral("Button1"), QStringLiteral("Set Color"), TGlyph::None);
    Button1->setGeometry(46, 134, 95, 25);
    connect(Button1, &QPushButton::clicked, this, &TSMSetForm::Button1Click);

    // The display mode and, in one place, the panel of the chosen mode.
    GroupBox1 = MakeGroupBox(this, QStringLiteral("GroupBox1"), QStringLiteral(" Settings "));
    GroupBox1->setGeometry(201, 6, 185, 166);
    RadioButton1 = new QRadioButton(QStringLiteral("Random"), GroupBox1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(14, 22, 78, 20);
    MakeCaptionWhite(RadioButton1);
    RadioButton2 = new QRadioButton(QStringLiteral("Float"), GroupBox1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(104, 22, 70, 20);
    MakeCaptionWhite(RadioButton2);
    connect(RadioButton1, &QRadioButton::clicked, this, &TSMSetForm::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TSMSetForm::RadioButton2Click);

    RandomPnl = plainPanel(GroupBox1, QStringLiteral("RandomPnl"));
    RandomPnl->setGeometry(6, 48, 173, 112);
    label(RandomPnl, QStringLiteral("Label1"), QStringLiteral("Display each Image for"), 6, 4, 165);
    SpinEdit1 = makeSpin(RandomPnl, QStringLiteral("SpinEdit1"), MinDisplaySeconds, MaxDisplaySeconds, 6, 22);
    label(RandomPnl, QStringLiteral("Label2"), QStringLiteral("Seconds"), 56, 25, 100);
    label(RandomPnl, QStringLiteral("Label3"), QStringLiteral("Display each Image "), 6, 56, 165);
    SpinEdit2 = makeSpin(RandomPnl, QStringLiteral("SpinEdit2"), MinDisplayTimes, MaxDisplayTimes, 6, 74);
    label(RandomPnl, QStringLiteral("Label4"), QStringLiteral("Times"), 56, 77, 100);

    floatPnl = plainPanel(GroupBox1, QStringLiteral("floatPnl"));
    floatPnl->setGeometry(6, 48, 173, 112);
    label(floatPnl, QStringLiteral("Label5"), QStringLiteral("Float Speed"), 6, 4, 165);
    QLabel* minus = label(floatPnl, QStringLiteral("Label6"), QStringLiteral("-"), 4, 18, 14);
    QLabel* plus = label(floatPnl, QStringLiteral("Label7"), QStringLiteral("+"), 156, 18, 16);
    for (QLabel* l : {minus, plus}) {
        QFont f = l->font();
        f.setPointSize(16);
        l->setFont(f);
        l->setFixedHeight(26);
        l->setAlignment(Qt::AlignCenter);
    }
    ScrollBar1 = new QScrollBar(Qt::Horizontal, floatPnl);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(MinFloatSpeed, MaxFloatSpeed);
    ScrollBar1->setSingleStep(1);
    ScrollBar1->setPageStep(10);
    ScrollBar1->setGeometry(20, 23, 134, 17);
    ScrollBar1->setFocusPolicy(Qt::StrongFocus);   // in the tab order: the arrow keys move it
    ScrollBar1->setInvertedControls(false);        // Right and Up go towards "+"
    keepArrowsDark(ScrollBar1);
    label(floatPnl, QStringLiteral("Label8"), QStringLiteral("Change Image every"), 6, 56, 165);
    SpinEdit3 = makeSpin(floatPnl, QStringLiteral("SpinEdit3"), MinChangeEvery, MaxChangeEvery, 6, 74);
    label(floatPnl, QStringLiteral("Label9"), QStringLiteral("Seconds"), 56, 77, 100);
    modes_ = {{ShowMode::Random, RadioButton1, RandomPnl}, {ShowMode::Float, RadioButton2, floatPnl}};

    // Neither button is a default button: Enter presses only a focused one.
    BitBtn1 = MakeBitBtn(this, QStringLiteral("BitBtn1"), QStringLiteral("Save"), TGlyph::Save);
    BitBtn1->setGeometry(104, 181, 89, 25);
    BitBtn2 = MakeBitBtn(this, QStringLiteral("BitBtn2"), QStringLiteral("Cancel"), TGlyph::Cancel);
    BitBtn2->setGeometry(201, 181, 89, 25);
    for (QPushButton* b : {Button1, BitBtn1, BitBtn2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
    }
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));

    setTabOrder(Button1, RadioButton1);
    setTabOrder(RadioButton1, RadioButton2);
    setTabOrder(RadioButton2, SpinEdit1);
    setTabOrder(SpinEdit1, SpinEdit2);
    setTabOrder(SpinEdit2, ScrollBar1);
    setTabOrder(ScrollBar1, SpinEdit3);
    setTabOrder(SpinEdit3, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);

    RadioButton1->setChecked(true);
    showModePanel();
}

void TSMSetForm::SetBackColor(quint32 value)
{
    backColor_ = value;
    QPalette pal = BackPnl->palette();
    pal.setColor(QPalette::Window, ColorFromWin(value));
    BackPnl->setPalette(pal);
    BackPnl->update();
}

void TSMSetForm::LoadFrom(const SaverSettings& s)
{
    SetBackColor(s.BackgroundColor);
    SpinEdit1->SetValue(s.DisplaySeconds);
    SpinEdit2->SetValue(s.DisplayTimes);
    SpinEdit3->SetValue(s.ChangeEvery);
    for (const ModeControls& m : modes_)
        m.button->setChecked(m.mode == s.Mode());
    showModePanel();
    ScrollBar1->setValue(s.FloatSpeed);   // QScrollBar keeps it within its range
}

void TSMSetForm::StoreInto(SaverSettings& s) const
{
    s.BackgroundColor = backColor_;
    s.DisplaySeconds = SpinEdit1->Value();
    s.DisplayTimes = SpinEdit2->Value();
    s.ChangeEvery = SpinEdit3->Value();
    s.SetMode(ShowMode::Random);
    for (const ModeControls& m : modes_)
        if (m.button->isChecked())
            s.SetMode(m.mode);
    s.FloatSpeed = ScrollBar1->value();
}

void TSMSetForm::Button1Click()
{
    ColorDialog1->setCurrentColor(ColorFromWin(backColor_));
    if (ColorDialog1->exec() == QDialog::Accepted)
        SetBackColor(WinFromColor(ColorDialog1->selectedColor()));
}

void TSMSetForm::showModePanel()
{
    for (const ModeControls& m : modes_)
        m.panel->setVisible(m.button->isChecked());
}

void TSMSetForm::RadioButton1Click() { showModePanel(); }

void TSMSetForm::RadioButton2Click() { showModePanel(); }

void TSMSetForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // No default button: Enter presses a push button only when it has
        // the focus, and does nothing elsewhere.
        if (auto* b = qobject_cast<QPushButton*>(focusWidget()); b && b->window() == this && b->isEnabled())
            b->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void EditSettings(ProjectState& project)
{
    TSMSetForm form;
    form.LoadFrom(project.Settings);
    if (form.exec() != QDialog::Accepted)
        return;
    // Whatever the boxes still show, the values stored are in range.
    for (TSpinEdit* s : {form.SpinEdit1, form.SpinEdit2, form.SpinEdit3})
        s->Normalize();
    form.StoreInto(project.Settings);
    // The new values stay in effect for the show and the compiler even when
    // the file cannot be written, or its folder is gone.
    RunCommand([&] {
        checkProjectFolder(project);
        SaveProject(project);
    });
}
