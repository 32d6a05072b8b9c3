#include "toolkit/SpinEdit.h"

#include <QLineEdit>

#include <algorithm>

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setAccelerated(false);
    lineEdit()->setText(QStringLiteral("0"));
    // Leaving the box (or Enter in it) shows the value the text stands for.
    connect(this, &QAbstractSpinBox::editingFinished, this, &TSpinEdit::Normalize);
    connect(lineEdit(), &QLineEdit::textChanged, this, [this] { emit Change(); });
}

void TSpinEdit::SetMinValue(int v) { SetRange(v, std::max(v, max_)); }

void TSpinEdit::SetMaxValue(int v) { SetRange(std::min(v, min_), v); }

void TSpinEdit::SetRange(int lo, int hi)
{
    min_ = lo;
    max_ = std::max(lo, hi);
    Normalize();
}

void TSpinEdit::SetMaxLength(int n)
{
    // QLineEdit's own default, 32767, stands for "no limit".
    lineEdit()->setMaxLength(n > 0 ? n : 32767);
}

int TSpinEdit::MaxLength() const
{
    const int n = lineEdit()->maxLength();
    return n >= 32767 ? 0 : n;
}

int TSpinEdit::clamp(int v) const { return std::clamp(v, min_, max_); }

int TSpinEdit::ValueOfText(const QString& text, int lo, int hi)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? std::clamp(v, lo, std::max(lo, hi)) : lo;
}

int TSpinEdit::Value() const { return ValueOfText(lineEdit()->text(), min_, max_); }

void TSpinEdit::SetValue(int v)
{
    const QString t = QString::number(clamp(v));
    if (lineEdit()->text() != t)
        lineEdit()->setText(t);
}

void TSpinEdit::Normalize() { SetValue(Value()); }

QString TSpinEdit::Text() const { return lineEdit()->text(); }

void TSpinEdit::SetText(const QString& text) { lineEdit()->setText(text); }

void TSpinEdit::stepBy(int steps)
{
    // Stepping starts from the value the text stands for, so an arrow pressed
    // over "99" in a box of 1..60 goes on from 60.
    const qint64 v = qint64(Value()) + qint64(steps) * increment_;
    SetValue(int(std::clamp<qint64>(v, min_, max_)));
    lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const
{
    if (isReadOnly())
        return StepNone;
    StepEnabled e = StepNone;
    const int v = Value();
    if (v < max_)
        e |= StepUpEnabled;
    if (v > min_)
        e |= StepDownEnabled;
    return e;
}

QValidator::State TSpinEdit::validate(QString& input, int&) const
{
    // Only what can make a number may be typed; whether it is one, and whether
    // it lies in range, is settled when the value is read.
    for (const QChar c : input)
        if ((c < QLatin1Char('0') || c > QLatin1Char('9')) && c != QLatin1Char('-') && c != QLatin1Char('+'))
            return QValidator::Invalid;
    return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString& input) const { input = QString::number(ValueOfText(input, min_, max_)); }
