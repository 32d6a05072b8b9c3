#pragma once
// The main window (TSSMenuForm): the hub from which every command opens its
// window.
#include <QTimer>
#include <QWidget>

#include <memory>
#include <thread>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class TWaitForm;
class TlumTile;
namespace install {
struct UseOutcome;
}

class TSSMenuForm : public QWidget {
    Q_OBJECT
public:
    explicit TSSMenuForm(QWidget* parent = nullptr);
    ~TSSMenuForm() override;

    TlumTile* lumTile1;
    QFrame* menuPnl;
    QLabel* TitlePnl;
    QGroupBox* GroupBox1;
    QPushButton* SelectBtn;
    QPushButton* ImageBtn;
    QPushButton* SettingsBtn;
    QPushButton* ViewBtn;
    QPushButton* CompileBtn;
    QGroupBox* GroupBox2;
    QPushButton* AboutBtn;
    QPushButton* HelpBtn;
    QPushButton* QuitBtn;
    QLabel* StatusPnl;
    QLabel* Panel1;
    QLabel* Label1;
    QLabel* NoticePnl;
    QTimer Timer1;
    QTimer Timer2;
    TWaitForm* WaitForm;
    bool WaitElapsed = false;

    void FormCreate();
    void FormActivate();
    void DoShowHint(const QString& hint);
    void updateCommands();
    void Timer1Timer();
    void Timer2Timer();

    void SelectBtnClick();
    void ImageBtnClick();
    void SettingsBtnClick();
    void ViewBtnClick();
    void CompileBtnClick();
    void AboutBtnClick();
    void HelpBtnClick();
    void QuitBtnClick();

    // Covers the screen's working area with a fixed size, its frame and title
    // bar included once a window manager has given it one: "maximised" with a
    // border that cannot be resized or maximised, and never off the screen.
    void fitToWorkArea();

    // True from a Compile until its last message (and Use as My
    // Screensaver's): the compile runs on a worker thread, and the window
    // reacts when it is done.
    bool Compiling() const { return compiling_; }

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    struct CompileOutcome;
    class MenuHidden;

    void makeStrips();
    void makeMenu();
    void makeCommandButtons();
    void layoutStrips();
    void compileDone(std::shared_ptr<CompileOutcome> outcome);
#ifndef _WIN32
    // "Use as My Screensaver": NAME.SCR made the desktop's screensaver on a
    // worker, then the box that tells what was done.
    void useAsMyScreensaver(const QString& saverPath);
    void usedAsScreensaver(const install::UseOutcome& outcome);
#endif
    // The success message and what follows it, once the second is up and no
    // command's window is open.
    void finishCompile();

    bool fitting_ = false;
    bool compiling_ = false;
    int commandsOpen_ = 0;
    std::thread compiler_;   // the compile's worker, then Use as My Screensaver's
    std::shared_ptr<CompileOutcome> compiled_;   // waiting for its message
};

// The text of the message that reports a compiled screensaver; its line
// breaks are the byte pair 0x0A 0x0D.
QString compileSuccessMessage(const QString& screenSaverName);
