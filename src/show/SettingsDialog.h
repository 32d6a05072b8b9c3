#pragma once
// The settings dialog (TSMSetForm): the screen's background colour and the
// display mode with its values. It works on its controls alone; the project's record
// changes only when the dialog is closed with Save.
#include "project/SlotNames.h"

#include <QDialog>

#include <vector>

struct ProjectState;
class QColorDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QScrollBar;
class TSpinEdit;

class TSMSetForm : public QDialog {
    Q_OBJECT
public:
    explicit TSMSetForm(QWidget* parent = nullptr);

    // Fills the controls from the record; out-of-range values are shown at
    // the nearest bound.
    void LoadFrom(const SaverSettings& s);
    // Stores the six values the dialog edits, whichever mode is chosen.
    void StoreInto(SaverSettings& s) const;

    quint32 BackColor() const { return backColor_; }   // 32-bit colour value of BackPnl
    void SetBackColor(quint32 value);

    void Button1Click();        // "Set Color"
    void RadioButton1Click();   // "Random"
    void RadioButton2Click();   // "Float"

    QGroupBox* GroupBox4;
    QFrame* BackPnl;
    QPushButton* Button1;
    QGroupBox* GroupBox1;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QFrame* RandomPnl;
    TSpinEdit* SpinEdit1;
    TSpinEdit* SpinEdit2;
    QFrame* floatPnl;
    QScrollBar* ScrollBar1;
    TSpinEdit* SpinEdit3;
    QPushButton* BitBtn1;   // "Save"
    QPushButton* BitBtn2;   // "Cancel"
    QColorDialog* ColorDialog1;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showModePanel();
    // Each show mode with its radio button and its panel: a new mode is one
    // more entry here, with its controls.
    struct ModeControls {
        ShowMode mode;
        QRadioButton* button;
        QFrame* panel;
    };
    std::vector<ModeControls> modes_;
    quint32 backColor_ = 0;
};

// Runs the settings dialog over `project`; on Save stores the values into its
// record and writes its file (a failure is reported, the values stay).
void EditSettings(ProjectState& project);
