#pragma once
// The standard numeric spin box. Unlike QSpinBox it lets the user type a value
// outside its range and brings it to the nearest bound afterwards (when the box
// loses the focus or is set by the program), and it reads a text that is not a
// number as its minimum. Its value is therefore always within the range,
// whatever the box shows while the user is still typing.
#include <QAbstractSpinBox>

class TSpinEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit TSpinEdit(QWidget* parent = nullptr);

    int MinValue() const { return min_; }
    int MaxValue() const { return max_; }
    void SetMinValue(int v);
    void SetMaxValue(int v);
    void SetRange(int lo, int hi);
    int Increment() const { return increment_; }
    void SetIncrement(int step) { increment_ = step; }
    // How many characters the user may type; 0: no limit.
    void SetMaxLength(int n);
    int MaxLength() const;

    // The value the text stands for, brought into range.
    int Value() const;
    // Shows `v`, brought into range.
    void SetValue(int v);
    // Brings the text to the value it stands for (as leaving the box does).
    void Normalize();
    // The text as shown, which may stand for a value out of range while the
    // user is still typing.
    QString Text() const;
    void SetText(const QString& text);
    QLineEdit* Editor() const { return lineEdit(); }

    // The value a text stands for in a box with the given range.
    static int ValueOfText(const QString& text, int lo, int hi);

    void stepBy(int steps) override;
    QValidator::State validate(QString& input, int& pos) const override;
    void fixup(QString& input) const override;

signals:
    void Change();   // the text changed, by typing, stepping or the program

protected:
    StepEnabled stepEnabled() const override;

private:
    int clamp(int v) const;
    int min_ = 0;
    int max_ = 100;
    int increment_ = 1;
};
