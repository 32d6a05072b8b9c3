#pragma once
// The image slot editor (TSSAddForm): the ten picture slots of a project,
// filled with names of pictures in the project folder. A picture is judged
// by its content as Select puts it in (PictureDoor); one of another format
// goes in as a JPEG made from it.
#include "images/BackgroundJob.h"
#include "record/SaverSettings.h"

#include <QDialog>
#include <QStringList>

#include <array>

struct ProjectState;

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TSSAddForm : public QDialog {
    Q_OBJECT
public:
    // Edits `project`'s slots in place (not owned).
    explicit TSSAddForm(ProjectState& project, QWidget* parent = nullptr);

    QGroupBox* GroupBox1;
    QLabel* Labels[10];        // slot k: Labels[k - 1] (Label2 .. Label6, Label1, Label7 .. Label10)
    QRadioButton* Radios[10];  // rb1 .. rb10
    QLineEdit* Edits[10];      // Edit1 .. Edit10, display only
    QPushButton* BitBtn1;      // OK
    QPushButton* BitBtn2;      // Select
    QPushButton* BitBtn3;      // View
    QPushButton* BitBtn4;      // Remove
    QPushButton* BitBtn5;      // Locate

    int CurrentSlot = 1;       // 1 to 10
    QString LastPicked;        // the name last picked or viewed

    // Every name box shows the name of its slot.
    void FillNameBoxes();

    void BitBtn2Click();   // Select
    void BitBtn3Click();   // View
    void BitBtn4Click();   // Remove
    void BitBtn5Click();   // Locate
    // Closed otherwise than by OK (the close box) after the slots changed,
    // asks whether to save them: Yes is OK, No puts the slots back as they
    // were when the editor opened, Cancel stays. Waits for a conversion.
    void done(int r) override;
    bool Converting() const { return job_.Busy(); }
    void rb1Click() { CurrentSlot = 1; }
    void rb2Click() { CurrentSlot = 2; }
    void rb3Click() { CurrentSlot = 3; }
    void rb4Click() { CurrentSlot = 4; }
    void rb5Click() { CurrentSlot = 5; }
    void rb6Click() { CurrentSlot = 6; }
    void rb7Click() { CurrentSlot = 7; }
    void rb8Click() { CurrentSlot = 8; }
    void rb9Click() { CurrentSlot = 9; }
    void rb10Click() { CurrentSlot = 10; }
    // Shared by the ten labels and by the ten name boxes: the slot is the
    // sender's Tag.
    void Label2Click(QObject* sender);
    void Edit1Click(QObject* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void makeSlots();
    void makeButtons();
    void checkRadioOfCurrentSlot();
    bool slotsChanged() const;
    void convertIntoSlot(const QString& name, int slot);

    ProjectState& project_;
    std::array<ImageEntry, MaxImages> opened_;   // the slots as the editor found them
    BackgroundJob job_{this};
    int closeWith_ = -1;   // a close asked for while converting
};

// Closes the gaps between filled slots, drops every name whose file is not in
// the project folder and sets ImageCount, in memory. Only names move; Offset
// and Size stay with their slot. Returns the names dropped, each once.
QStringList compactImageSlots(ProjectState& project);
// What OK tells the user about the names it dropped.
QString droppedPicturesText(const QStringList& names);
// compactImageSlots, then writes the project file. A failed write throws
// EInOutError, with the record already compacted.
QStringList confirmImageSlots(ProjectState& project);

// Opens the image slot editor for `project` and returns when it closes.
void EditImageSlots(ProjectState& project);
