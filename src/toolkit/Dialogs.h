#pragma once
// The program's message boxes. Every box goes through one place so that the
// texts, titles and buttons stay the same everywhere, and so that tests can
// watch and answer them without a person at the screen.
#include <QString>
#include <exception>
#include <functional>

class QDialog;
class QWidget;

enum class TMsgKind { Warning, Error, Information, Confirm };

struct TMessage {
    TMsgKind Kind;
    QString Title;
    QString Text;
    int HelpContext = 0;   // > 0: the box has a "&Help" button
    QString ActionButton = {};   // a further button, which ends the box as OK does
    QString CopyText = {};       // a "&Copy Line" button puts it on the clipboard; the box stays
    bool CancelButton = false;   // a question with "Cancel" beside "&Yes" and "&No"
};

enum class TMsgResult { OK, Yes, No, Action, Cancel };

// When set, boxes are not shown: the hook sees each one and gives the answer.
using TMessageHook = std::function<TMsgResult(const TMessage&)>;
void SetMessageHook(TMessageHook hook);

// What a box's "&Help" button does with its context: the help opens the topic
// (InstallHelpKey sets it). Until it is set, boxes have no such button.
void SetBoxHelp(std::function<void(int)> openTopic);

// The application's title, used by the standard error report.
QString ApplicationTitle();

void ShowError(const QString& text);                    // "Error", error icon, OK
void ShowWarning(const QString& text);                  // "Warning", warning icon, OK
bool AskYesNo(const QString& text);                     // "Confirm", question icon, &Yes/&No
TMsgResult AskYesNoCancel(const QString& text);         // the same and Cancel (also Escape and the close box)
void ShowInformation(const QString& text, int helpContext);   // "Information", OK and &Help
// Any box: Action when its ActionButton ended it.
TMsgResult ShowMessage(const TMessage& message);
// The standard error report: error icon, the application's title, the text
// followed by ".".
void ShowErrorReport(const QString& text);
void ShowExceptionReport(const std::exception& e);

// Runs one command; an error that ends it is shown by the standard error
// report and the program goes on. Returns false when the command failed.
template <class F>
bool RunCommand(F&& f)
{
    try {
        f();
        return true;
    } catch (const std::exception& e) {
        ShowExceptionReport(e);
        return false;
    }
}

// Hides a modal dialog while another window runs and shows it again
// afterwards. QDialog::hide would end the dialog's modal loop; this does not.
class TDialogHidden {
public:
    explicit TDialogHidden(QDialog* d);
    ~TDialogHidden();
    TDialogHidden(const TDialogHidden&) = delete;
    TDialogHidden& operator=(const TDialogHidden&) = delete;

private:
    QDialog* d_;
    bool wasVisible_;
};
