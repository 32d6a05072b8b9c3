// The standard spin box: whatever is typed, the value it gives is in range.
#include "toolkit/SpinEdit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

void typeText(QWidget* w, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
    }
}

void pressKey(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &press);
}

void leave(QWidget* w)
{
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(w, &out);
}

struct Box {
    TSpinEdit spin;
    Box(int lo, int hi, int value)
    {
        spin.SetRange(lo, hi);
        spin.SetMaxLength(2);
        spin.SetValue(value);
    }
    QString text() const { return spin.Text(); }
    void replaceText(const QString& t)
    {
        spin.Editor()->selectAll();
        typeText(&spin, t);
    }
};

} // namespace

TEST(SpinEditValue, ASetValueOutsideTheRangeShowsTheNearestBound)
{
    Box b(1, 60, 10);
    b.spin.SetValue(99);
    EXPECT_EQ(b.text(), "60");
    EXPECT_EQ(b.spin.Value(), 60);
    b.spin.SetValue(-5);
    EXPECT_EQ(b.text(), "1");
    b.spin.SetValue(0);
    EXPECT_EQ(b.spin.Value(), 1);
}

TEST(SpinEditValue, TypedValuesAreReadInRangeEvenBeforeLeavingTheBox)
{
    Box b(2, 60, 10);
    b.replaceText("99");
    EXPECT_EQ(b.text(), "99");   // the box shows what was typed...
    EXPECT_EQ(b.spin.Value(), 60);   // ...but never gives it
    b.replaceText("1");
    EXPECT_EQ(b.spin.Value(), 2);
    b.replaceText("37");
    EXPECT_EQ(b.spin.Value(), 37);
}

TEST(SpinEditValue, LeavingTheBoxBringsTheTextIntoRange)
{
    Box b(1, 15, 5);
    b.replaceText("99");
    leave(&b.spin);
    EXPECT_EQ(b.text(), "15");
    b.replaceText("0");
    leave(&b.spin);
    EXPECT_EQ(b.text(), "1");
}

TEST(SpinEditValue, EnterBringsTheTextIntoRange)
{
    Box b(1, 60, 5);
    b.replaceText("88");
    pressKey(&b.spin, Qt::Key_Return);
    EXPECT_EQ(b.text(), "60");
}

TEST(SpinEditValue, ATextThatIsNotANumberReadsAsTheMinimum)
{
    Box b(2, 60, 30);
    b.replaceText("-");
    EXPECT_EQ(b.spin.Value(), 2);
    b.spin.SetText(QString());
    EXPECT_EQ(b.spin.Value(), 2);
    b.spin.SetText("ab");   // pasted or set, not typed
    EXPECT_EQ(b.spin.Value(), 2);
    leave(&b.spin);
    EXPECT_EQ(b.text(), "2");
    EXPECT_EQ(TSpinEdit::ValueOfText(" 7", 1, 60), 7);
    EXPECT_EQ(TSpinEdit::ValueOfText("x", 5, 9), 5);
}

TEST(SpinEditTyping, AtMostTwoCharactersCanBeTyped)
{
    Box b(1, 60, 5);
    b.replaceText("123");
    EXPECT_EQ(b.text(), "12");
    EXPECT_EQ(b.spin.MaxLength(), 2);
}

TEST(SpinEditTyping, LettersCannotBeTyped)
{
    Box b(1, 60, 5);
    b.replaceText("a4b");
    EXPECT_EQ(b.text(), "4");
}

TEST(SpinEditArrows, ArrowsStepByOneAndStopAtTheBounds)
{
    Box b(1, 15, 14);
    pressKey(&b.spin, Qt::Key_Up);
    EXPECT_EQ(b.spin.Value(), 15);
    pressKey(&b.spin, Qt::Key_Up);
    EXPECT_EQ(b.spin.Value(), 15);
    pressKey(&b.spin, Qt::Key_Down);
    pressKey(&b.spin, Qt::Key_Down);
    EXPECT_EQ(b.text(), "13");
    b.spin.SetValue(1);
    b.spin.stepBy(-1);
    EXPECT_EQ(b.spin.Value(), 1);
}

TEST(SpinEditArrows, StepsFromAnOutOfRangeTextStartAtTheBound)
{
    Box b(1, 60, 5);
    b.replaceText("99");
    b.spin.stepBy(-1);
    EXPECT_EQ(b.text(), "59");
}

TEST(SpinEditRange, ChangingTheRangeBringsTheValueIntoIt)
{
    Box b(1, 60, 50);
    b.spin.SetMaxValue(15);
    EXPECT_EQ(b.text(), "15");
    b.spin.SetMinValue(20);
    EXPECT_EQ(b.spin.MinValue(), 20);
    EXPECT_EQ(b.spin.MaxValue(), 20);
    EXPECT_EQ(b.text(), "20");
}
