// The settings dialog: filled from the project's record, stored and written
// only on Save, values always brought into range.
#include "show/SettingsDialog.h"

#include "TestSupport.h"
#include "project/Project.h"
#include "toolkit/Help.h"
#include "toolkit/Look.h"
#include "toolkit/SpinEdit.h"

#include <QApplication>
#include <QColorDialog>
#include <QFrame>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    TempFolder folder;
    MessageRecorder messages;
    ProjectState saved = Project();

    void SetUp() override
    {
        Project().ProjectFolder = folder.Path();
        Project().ProjectFile = QStringLiteral("SUNSET.SSJ");
        SaverSettings s = newProjectSettings();
        s.BackgroundColor = 0x00204060;
        s.DisplayMode = 0;
        s.FloatSpeed = 950;
        s.ChangeEvery = 7;
        s.DisplaySeconds = 12;
        s.DisplayTimes = 3;
        s.ImageCount = 1;
        setSlotName(s.Slot(1), QStringLiteral("A.BMP"));
        Project().Settings = s;
        SaveProject(Project());
        fileBefore = ReadAll(folder.File(QStringLiteral("SUNSET.SSJ")));
        ASSERT_EQ(fileBefore.size(), SaverSettingsSize);
    }
    void TearDown() override { Project() = saved; }

    // Runs EditSettings with `drive` acting on the dialog once it is up.
    void runDialog(std::function<void(TSMSetForm*)> drive)
    {
        bool driven = false;
        OnNextModal([&](QWidget* w) {
            auto* form = qobject_cast<TSMSetForm*>(w);
            if (!form) {
                w->close();
                return;
            }
            driven = true;
            drive(form);
            if (form->isVisible()) {   // never leave the test hanging in exec()
                ADD_FAILURE() << "the dialog was left open";
                form->reject();
            }
        });
        EditSettings(Project());
        ASSERT_TRUE(driven) << "the settings dialog did not come up";
    }

    SaverSettings fileNow() const
    {
        const QByteArray b = ReadAll(folder.File(QStringLiteral("SUNSET.SSJ")));
        EXPECT_EQ(b.size(), SaverSettingsSize);
        return SaverSettings::Decode(reinterpret_cast<const std::uint8_t*>(b.constData()));
    }

    QByteArray fileBefore;
};

void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

} // namespace

// ------------------------------------------------------------- filling

TEST_F(SettingsDialog, IsFilledFromTheRecord)
{
    TSMSetForm form;
    form.LoadFrom(Project().Settings);
    EXPECT_EQ(form.BackColor(), 0x00204060u);
    EXPECT_EQ(form.BackPnl->palette().color(QPalette::Window), ColorFromWin(0x00204060));
    EXPECT_EQ(form.SpinEdit1->Value(), 12);
    EXPECT_EQ(form.SpinEdit2->Value(), 3);
    EXPECT_EQ(form.SpinEdit3->Value(), 7);
    EXPECT_EQ(form.ScrollBar1->value(), 950);
    EXPECT_TRUE(form.RadioButton1->isChecked());
    EXPECT_FALSE(form.RadioButton2->isChecked());
    EXPECT_TRUE(form.RandomPnl->isVisibleTo(&form));
    EXPECT_FALSE(form.floatPnl->isVisibleTo(&form));
}

TEST_F(SettingsDialog, AProjectInFloatModeShowsOnlyTheFloatPanel)
{
    Project().Settings.DisplayMode = 1;
    runDialog([](TSMSetForm* form) {
        EXPECT_TRUE(form->RadioButton2->isChecked());
        EXPECT_FALSE(form->RadioButton1->isChecked());
        EXPECT_TRUE(form->floatPnl->isVisible());
        EXPECT_FALSE(form->RandomPnl->isVisible());
        form->BitBtn2->click();
    });
}

TEST_F(SettingsDialog, StoredValuesOutOfRangeAreShownAtTheNearestBound)
{
    SaverSettings s = Project().Settings;
    s.DisplaySeconds = 500;
    s.DisplayTimes = -3;
    s.ChangeEvery = 0;
    s.FloatSpeed = 100000;
    TSMSetForm form;
    form.LoadFrom(s);
    EXPECT_EQ(form.SpinEdit1->Text(), "60");
    EXPECT_EQ(form.SpinEdit2->Text(), "1");
    EXPECT_EQ(form.SpinEdit3->Text(), "2");
    EXPECT_EQ(form.ScrollBar1->value(), 999);
    s.FloatSpeed = -7;
    form.LoadFrom(s);
    EXPECT_EQ(form.ScrollBar1->value(), 899);
}

// ------------------------------------------------------------- Save

TEST_F(SettingsDialog, SaveStoresAllSixValuesAndWritesTheFile)
{
    runDialog([](TSMSetForm* form) {
        form->SetBackColor(0x00112233);
        form->SpinEdit1->SetValue(33);
        form->SpinEdit2->SetValue(9);
        form->SpinEdit3->SetValue(44);   // on the hidden panel: stored all the same
        form->RadioButton2->click();
        form->ScrollBar1->setValue(901);
        form->BitBtn1->click();
    });
    const SaverSettings& s = Project().Settings;
    EXPECT_EQ(s.BackgroundColor, 0x00112233u);
    EXPECT_EQ(s.DisplaySeconds, 33);
    EXPECT_EQ(s.DisplayTimes, 9);
    EXPECT_EQ(s.ChangeEvery, 44);
    EXPECT_EQ(s.DisplayMode, 1);
    EXPECT_EQ(s.FloatSpeed, 901);
    EXPECT_EQ(slotName(s.Slot(1)), "A.BMP");   // the slots are not the dialog's
    EXPECT_EQ(fileNow(), s);
    EXPECT_TRUE(messages.Messages.isEmpty());
}

TEST_F(SettingsDialog, ValuesTypedOutOfRangeAreStoredInRange)
{
    runDialog([](TSMSetForm* form) {
        form->SpinEdit1->SetText("99");
        form->SpinEdit2->SetText("0");
        form->SpinEdit3->SetText("1");
        form->BitBtn1->click();
    });
    EXPECT_EQ(Project().Settings.DisplaySeconds, 60);
    EXPECT_EQ(Project().Settings.DisplayTimes, 1);
    EXPECT_EQ(Project().Settings.ChangeEvery, 2);
    EXPECT_EQ(fileNow().DisplaySeconds, 60);
    EXPECT_EQ(fileNow().DisplayTimes, 1);
    EXPECT_EQ(fileNow().ChangeEvery, 2);
}

TEST_F(SettingsDialog, TypingZeroIntoTheSecondsStoresOne)
{
    runDialog([](TSMSetForm* form) {
        form->SpinEdit1->SetText("0");
        form->BitBtn1->click();
    });
    EXPECT_EQ(Project().Settings.DisplaySeconds, 1);
}

TEST_F(SettingsDialog, AFloatSpeedOutsideItsRangeIsSavedAtTheNearerEnd)
{
    Project().Settings.FloatSpeed = 1500;
    runDialog([](TSMSetForm* form) {
        EXPECT_EQ(form->ScrollBar1->value(), 999);
        form->BitBtn1->click();
    });
    EXPECT_EQ(Project().Settings.FloatSpeed, 999);
    EXPECT_EQ(fileNow().FloatSpeed, 999);

    Project().Settings.FloatSpeed = 0;
    runDialog([](TSMSetForm* form) { form->BitBtn1->click(); });
    EXPECT_EQ(Project().Settings.FloatSpeed, 899);
    EXPECT_EQ(fileNow().FloatSpeed, 899);
}

TEST_F(SettingsDialog, AFailedWriteIsReportedAndTheValuesStay)
{
    Project().ProjectFile = QStringLiteral("gone/SUNSET.SSJ");   // a folder that is not there
    runDialog([](TSMSetForm* form) {
        form->SpinEdit1->SetValue(45);
        form->BitBtn1->click();
    });
    ASSERT_EQ(messages.Messages.size(), 1);
    EXPECT_EQ(messages.Messages[0].Kind, TMsgKind::Error);
    EXPECT_EQ(messages.Messages[0].Title, ApplicationTitle());
    EXPECT_EQ(messages.Messages[0].Text, "File not found.");
    EXPECT_EQ(Project().Settings.DisplaySeconds, 45);
    EXPECT_EQ(ReadAll(folder.File(QStringLiteral("SUNSET.SSJ"))), fileBefore);
}

// ------------------------------------------------------------- Cancel

TEST_F(SettingsDialog, CancelChangesNeitherTheRecordNorTheFile)
{
    const SaverSettings before = Project().Settings;
    runDialog([](TSMSetForm* form) {
        form->RadioButton2->click();
        form->ScrollBar1->setValue(990);
        form->SetBackColor(0x00FFFFFF);
        form->SpinEdit1->SetValue(59);
        form->BitBtn2->click();
    });
    EXPECT_EQ(Project().Settings, before);
    EXPECT_EQ(ReadAll(folder.File(QStringLiteral("SUNSET.SSJ"))), fileBefore);
}

TEST_F(SettingsDialog, EscapeAndTheCloseBoxChangeNothing)
{
    const SaverSettings before = Project().Settings;
    runDialog([](TSMSetForm* form) {
        form->RadioButton2->click();
        form->ScrollBar1->setValue(900);
        pressKey(form, Qt::Key_Escape);
    });
    EXPECT_EQ(Project().Settings, before);
    runDialog([](TSMSetForm* form) {
        form->SpinEdit3->SetValue(50);
        form->close();
    });
    EXPECT_EQ(Project().Settings, before);
    EXPECT_EQ(ReadAll(folder.File(QStringLiteral("SUNSET.SSJ"))), fileBefore);
}

// ------------------------------------------------------------- colour

TEST_F(SettingsDialog, TheSwatchChangesAtOnceButTheRecordOnlyOnSave)
{
    runDialog([this](TSMSetForm* form) {
        // Cancelled chooser: the swatch keeps its colour.
        OnNextModal([](QWidget* w) {
            auto* chooser = qobject_cast<QColorDialog*>(w);
            ASSERT_NE(chooser, nullptr);
            EXPECT_EQ(chooser->currentColor(), ColorFromWin(0x00204060));   // starts at the swatch's colour
            chooser->setCurrentColor(QColor(1, 2, 3));
            chooser->reject();
        });
        form->Button1Click();
        EXPECT_EQ(form->BackColor(), 0x00204060u);

        OnNextModal([](QWidget* w) {
            auto* chooser = qobject_cast<QColorDialog*>(w);
            ASSERT_NE(chooser, nullptr);
            chooser->setCurrentColor(QColor(0x10, 0x80, 0xF0));
            chooser->accept();
        });
        form->Button1->click();
        EXPECT_EQ(form->BackColor(), 0x00F08010u);
        EXPECT_EQ(form->BackPnl->palette().color(QPalette::Window), QColor(0x10, 0x80, 0xF0));
        EXPECT_EQ(Project().Settings.BackgroundColor, 0x00204060u);
        EXPECT_EQ(ReadAll(folder.File(QStringLiteral("SUNSET.SSJ"))), fileBefore);
        form->BitBtn1->click();
    });
    EXPECT_EQ(Project().Settings.BackgroundColor, 0x00F08010u);
    EXPECT_EQ(fileNow().BackgroundColor, 0x00F08010u);
}

TEST_F(SettingsDialog, AColourValueIsKeptExactlyWhenNotChanged)
{
    Project().Settings.BackgroundColor = 0x8000000F;   // a system colour value
    runDialog([](TSMSetForm* form) { form->BitBtn1->click(); });
    EXPECT_EQ(Project().Settings.BackgroundColor, 0x8000000Fu);
}

// ------------------------------------------------------------- controls

TEST_F(SettingsDialog, SwitchingModesShowsTheOtherPanelAndKeepsTheValues)
{
    TSMSetForm form;
    form.LoadFrom(Project().Settings);
    form.SpinEdit1->SetValue(20);
    form.RadioButton2->click();
    EXPECT_TRUE(form.floatPnl->isVisibleTo(&form));
    EXPECT_FALSE(form.RandomPnl->isVisibleTo(&form));
    form.SpinEdit3->SetValue(30);
    form.RadioButton1->click();
    EXPECT_TRUE(form.RandomPnl->isVisibleTo(&form));
    EXPECT_FALSE(form.floatPnl->isVisibleTo(&form));
    EXPECT_EQ(form.SpinEdit1->Value(), 20);
    EXPECT_EQ(form.SpinEdit3->Value(), 30);
}

TEST_F(SettingsDialog, TheSpeedBarStepsByOneAndByTenAndStaysInRange)
{
    TSMSetForm form;
    form.LoadFrom(Project().Settings);
    form.ScrollBar1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(form.ScrollBar1->value(), 951);
    form.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(form.ScrollBar1->value(), 941);
    for (int i = 0; i < 20; ++i)
        form.ScrollBar1->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(form.ScrollBar1->value(), 999);
    EXPECT_EQ(form.ScrollBar1->minimum(), 899);
}

TEST_F(SettingsDialog, SpinBoxesTakeTwoCharactersAndTheirRanges)
{
    TSMSetForm form;
    for (TSpinEdit* s : {form.SpinEdit1, form.SpinEdit2, form.SpinEdit3})
        EXPECT_EQ(s->MaxLength(), 2) << s->objectName().toStdString();
    EXPECT_EQ(form.SpinEdit1->MinValue(), 1);
    EXPECT_EQ(form.SpinEdit1->MaxValue(), 60);
    EXPECT_EQ(form.SpinEdit2->MinValue(), 1);
    EXPECT_EQ(form.SpinEdit2->MaxValue(), 15);
    EXPECT_EQ(form.SpinEdit3->MinValue(), 2);
    EXPECT_EQ(form.SpinEdit3->MaxValue(), 60);
}

TEST_F(SettingsDialog, EnterInASpinBoxPressesNoButton)
{
    const SaverSettings before = Project().Settings;
    runDialog([](TSMSetForm* form) {
        for (QPushButton* b : form->findChildren<QPushButton*>())
            if (b->window() == form) {   // the colour chooser's own buttons aside
                EXPECT_FALSE(b->isDefault()) << b->objectName().toStdString();
            }
        form->SpinEdit1->setFocus();
        form->SpinEdit1->SetText("40");
        pressKey(form->SpinEdit1, Qt::Key_Return);
        EXPECT_TRUE(form->isVisible());   // Enter did not close it
        // Enter on a focused button presses that button.
        form->BitBtn2->setFocus();
        pressKey(form->BitBtn2, Qt::Key_Return);
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Rejected);
        if (form->isVisible())
            form->reject();
    });
    EXPECT_EQ(Project().Settings, before);   // the Cancel button was the one pressed
}

TEST_F(SettingsDialog, HasItsTitleSizeAndHelpTopic)
{
    TSMSetForm form;
    EXPECT_EQ(form.windowTitle(), "Press F1 for Help");
    EXPECT_EQ(form.size(), QSize(394, 215));
    EXPECT_EQ(HelpContextOf(&form), 200);
    EXPECT_EQ(HelpContextOf(form.SpinEdit1), 200);
    EXPECT_EQ(form.BackPnl->size(), QSize(169, 105));
    EXPECT_EQ(form.BitBtn1->text(), "Save");
    EXPECT_EQ(form.BitBtn2->text(), "Cancel");
    EXPECT_EQ(form.Button1->text(), "Set Color");
    EXPECT_TRUE(form.font().bold());
    EXPECT_EQ(form.font().pointSize(), 8);
}
