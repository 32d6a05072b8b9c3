#include "app/MainWindow.h"

#include "app/AboutBox.h"
#include "app/WaitWindow.h"
#include "compiler/ImageStore.h"
#include "controls/LumTile.h"
#include "images/SlotEditor.h"
#include "install/UseAsScreensaver.h"
#include "project/Project.h"
#include "project/ProjectDialog.h"
#include "show/SettingsDialog.h"
#include "show/ShowWindow.h"
#include "toolkit/Cursor.h"
#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"
#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>
#include <exception>
#include <optional>

namespace {
constexpr int StatusHeight = 18;
constexpr int NoticeHeight = 16;

QFont timesFont(int pixels)
{
    QFont f(QStringLiteral("Times New Roman"));
    f.setStyleHint(QFont::Serif);
    f.setPixelSize(pixels);
    f.setBold(true);
    return f;
}

} // namespace

// Hides the menu panel while a command's window is up, and shows it again
// however the command ends; a compile's message that came due meanwhile
// follows then.
class TSSMenuForm::MenuHidden {
public:
    explicit MenuHidden(TSSMenuForm* form) : form_(form)
    {
        ++form_->commandsOpen_;
        form_->menuPnl->hide();
    }
    ~MenuHidden()
    {
        form_->menuPnl->show();
        if (--form_->commandsOpen_ == 0 && form_->compiled_)
            QMetaObject::invokeMethod(form_, &TSSMenuForm::finishCompile, Qt::QueuedConnection);
    }
    MenuHidden(const MenuHidden&) = delete;
    MenuHidden& operator=(const MenuHidden&) = delete;

private:
    TSSMenuForm* form_;
};

// What a compile on the worker came to, for the window to tell.
struct TSSMenuForm::CompileOutcome {
    QString ScreenSaverName;   // of the project compiled, whatever is open by the message
    QString SaverPath;         // where NAME.SCR was written
    SaverSettings Settings;    // its slots as the compile located them
    bool Compiled = false;
    TWindowsSaver Windows;
    QString CompileError;            // the compile's own message
    std::exception_ptr Failure;      // anything else, for the standard report
};

QString compileSuccessMessage(const QString& screenSaverName)
{
    const QString br = QStringLiteral("\n\r");
    return QStringLiteral("The ScreenSaver ") + screenSaverName + QStringLiteral(".SCR ") + QStringLiteral("has been created.")
        + br + br + QStringLiteral("Copy it to the Windows folder and use") + br
        + QStringLiteral("Start|Settings|ControlPanel|Display|ScreenSaver") + br
        + QStringLiteral("to select it as the active ScreenSaver.");
}

TSSMenuForm::TSSMenuForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("SSMenuForm"));
    resize(640, 433);
    SetHelpContext(this, 1);

    lumTile1 = new TlumTile(this);
    lumTile1->setObjectName(QStringLiteral("lumTile1"));
    lumTile1->SetImage(mainWindowTile());
    makeStrips();
    makeMenu();

    Timer1.setInterval(1);
    Timer1.setSingleShot(false);
    connect(&Timer1, &QTimer::timeout, this, &TSSMenuForm::Timer1Timer);
    Timer2.setInterval(1000);
    connect(&Timer2, &QTimer::timeout, this, &TSSMenuForm::Timer2Timer);

    FormCreate();
    updateCommands();
    layoutStrips();
    Timer1.start();

    WaitForm = new TWaitForm();
    WaitForm->hide();
}

// The status strip with the current screensaver's line, and the notice strip.
void TSSMenuForm::makeStrips()
{
    StatusPnl = new QLabel(this);
    StatusPnl->setObjectName(QStringLiteral("StatusPnl"));
    StatusPnl->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    StatusPnl->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1 = new QLabel(QStringLiteral("  Current ScreenSaver  :"), StatusPnl);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont bold = font();
    bold.setBold(true);
    Panel1->setFont(bold);
    Label1 = new QLabel(QStringLiteral("None Selected"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(QFontMetrics(bold).horizontalAdvance(Panel1->text()) + 8, 1, 150, 15);
    Label1->setFont(bold);

    NoticePnl = new QLabel(QStringLiteral("Glimmer makes a screensaver of your own photos: start with \"Start/Select a ScreenSaver\"."), this);
    NoticePnl->setObjectName(QStringLiteral("NoticePnl"));
    NoticePnl->setAlignment(Qt::AlignCenter);
}

// The menu panel on the background: title, commands, About, Help and Quit.
void TSSMenuForm::makeMenu()
{
    menuPnl = new QFrame(lumTile1);
    menuPnl->setObjectName(QStringLiteral("menuPnl"));
    menuPnl->setFixedSize(343, 336);
    menuPnl->setFrameStyle(QFrame::Panel | QFrame::Raised);
    menuPnl->setLineWidth(2);
    ApplyDialogLook(menuPnl);
    SetHint(menuPnl, QStringLiteral(" Press F1 for Help"));
    SetHelpContext(menuPnl, 1);
    menuPnl->hide();

    TitlePnl = new QLabel(QStringLiteral("Glimmer Ver 1.1"), menuPnl);
    TitlePnl->setObjectName(QStringLiteral("TitlePnl"));
    TitlePnl->setGeometry(2, 2, 339, 41);
    TitlePnl->setAlignment(Qt::AlignCenter);
    TitlePnl->setAutoFillBackground(true);
    TitlePnl->setFrameStyle(QFrame::Panel | QFrame::Raised);
    QPalette tp = TitlePnl->palette();
    tp.setColor(QPalette::Window, AquaColor());
    tp.setColor(QPalette::WindowText, Qt::black);
    TitlePnl->setPalette(tp);
    TitlePnl->setFont(timesFont(24));

    makeCommandButtons();

    GroupBox2 = MakeGroupBox(menuPnl, QStringLiteral("GroupBox2"), QString());
    GroupBox2->setGeometry(35, 230, 273, 59);
    AboutBtn = MakeBitBtn(GroupBox2, QStringLiteral("AboutBtn"), QStringLiteral("&About"), TGlyph::Info);
    AboutBtn->setGeometry(24, 20, 105, 27);
    HelpBtn = MakeBitBtn(GroupBox2, QStringLiteral("HelpBtn"), QStringLiteral("&Help"), TGlyph::Help);
    HelpBtn->setGeometry(144, 18, 105, 27);
    QuitBtn = MakeBitBtn(menuPnl, QStringLiteral("QuitBtn"), QStringLiteral("&Quit"), TGlyph::Quit);
    QuitBtn->setGeometry(96, 296, 151, 27);
    QuitBtn->setFont(timesFont(16));
    for (QPushButton* b : {AboutBtn, HelpBtn, QuitBtn})
        SetHelpContext(b, 1);
    connect(AboutBtn, &QPushButton::clicked, this, &TSSMenuForm::AboutBtnClick);
    connect(HelpBtn, &QPushButton::clicked, this, &TSSMenuForm::HelpBtnClick);
    connect(QuitBtn, &QPushButton::clicked, this, &TSSMenuForm::QuitBtnClick);

    QWidget* order[] = {SelectBtn, ImageBtn, SettingsBtn, ViewBtn, CompileBtn, AboutBtn, HelpBtn, QuitBtn};
    for (int i = 0; i + 1 < int(std::size(order)); ++i)
        setTabOrder(order[i], order[i + 1]);
}

// The five project commands in their group, in their order.
void TSSMenuForm::makeCommandButtons()
{
    GroupBox1 = MakeGroupBox(menuPnl, QStringLiteral("GroupBox1"), QString());
    GroupBox1->setGeometry(35, 53, 273, 172);
    struct Cmd {
        QPushButton** button;
        const char* name;
        const char* caption;
        const char* hint;
        int help;
        void (TSSMenuForm::*handler)();
    };
    const Cmd cmds[] = {
        {&SelectBtn, "SelectBtn", "&Start/Select a ScreenSaver", " Press F1 for Help", 70, &TSSMenuForm::SelectBtnClick},
        {&ImageBtn, "ImageBtn", "ScreenSaver &Images", " ", 100, &TSSMenuForm::ImageBtnClick},
        {&SettingsBtn, "SettingsBtn", "Sc&reenSaver Settings", " Press F1 for Help", 200, &TSSMenuForm::SettingsBtnClick},
        {&ViewBtn, "ViewBtn", "&View ScreenSaver", " Press F1 for Help", 250, &TSSMenuForm::ViewBtnClick},
        {&CompileBtn, "CompileBtn", "&Compile ScreenSaver", " Press F1 for Help", 300, &TSSMenuForm::CompileBtnClick},
    };
    int top = 26;
    for (const Cmd& c : cmds) {
        // The command captions fill their buttons; they carry no picture.
        QPushButton* b = MakeBitBtn(GroupBox1, QString::fromLatin1(c.name), QString::fromLatin1(c.caption), TGlyph::None);
        b->setGeometry(24, top, 225, 22);
        b->setFont(timesFont(16));
        SetHint(b, QString::fromLatin1(c.hint));
        SetHelpContext(b, c.help);
        connect(b, &QPushButton::clicked, this, c.handler);
        *c.button = b;
        top += 28;
    }
}

TSSMenuForm::~TSSMenuForm()
{
    // A compile under way ends first: it reports to this window.
    if (compiler_.joinable())
        compiler_.join();
    qApp->removeEventFilter(this);
    // The status strip goes with the window: no hint may reach it afterwards.
    SetHintHandler(nullptr);
    delete WaitForm;
}

void TSSMenuForm::FormCreate()
{
    const QString exe = QCoreApplication::applicationFilePath();
    Project().ProgramFolder = ExtractFilePath(exe).isEmpty() ? GetCurrentDir() : ExtractFilePath(exe);
    Project().ProjectFolder = Project().ProgramFolder;
    SetHelpFile(Project().ProgramFolder + QStringLiteral("GLIMMER.HLP"));
    SetHintHandler([this](const QString& h) { DoShowHint(h); });
    setWindowTitle(QStringLiteral("Glimmer Ver 1.1"));
}

void TSSMenuForm::DoShowHint(const QString& hint) { StatusPnl->setText(hint); }

void TSSMenuForm::FormActivate()
{
    menuPnl->move(lumTile1->width() / 2 - menuPnl->width() / 2, lumTile1->height() / 2 - menuPnl->height() / 2);
}

void TSSMenuForm::layoutStrips()
{
    const int w = width();
    const int h = height();
    lumTile1->setGeometry(0, 0, w, std::max(0, h - StatusHeight - NoticeHeight));
    StatusPnl->setGeometry(0, h - StatusHeight - NoticeHeight, w, StatusHeight);
    Panel1->setGeometry(w / 2, 0, 305, 17);
    NoticePnl->setGeometry(0, h - NoticeHeight, w, NoticeHeight);
    FormActivate();
}

void TSSMenuForm::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutStrips();
}

void TSSMenuForm::fitToWorkArea()
{
    QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s || fitting_)
        return;
    fitting_ = true;
    const QRect area = s->availableGeometry();
    // The frame is known only once a window manager has framed the window;
    // before that (and with no window manager) it is nothing.
    const QRect outer = frameGeometry(), inner = geometry();
    const int frameWidth = outer.width() - inner.width(), frameHeight = outer.height() - inner.height();
    const QSize size(std::max(1, area.width() - frameWidth), std::max(1, area.height() - frameHeight));
    if (this->size() != size || minimumSize() != size || maximumSize() != size)
        setFixedSize(size);
    // A top-level window's position is that of its frame.
    if (outer.topLeft() != area.topLeft())
        move(area.topLeft());
    fitting_ = false;
}

bool TSSMenuForm::event(QEvent* e)
{
    switch (e->type()) {
    case QEvent::WindowActivate:
        FormActivate();
        break;
    // The window manager's frame arrives after the window is shown, and the
    // working area may change (a panel added); the window follows both.
    case QEvent::Move:
    case QEvent::Show:
    case QEvent::WindowStateChange:
        if (isVisible())
            QMetaObject::invokeMethod(this, &TSSMenuForm::fitToWorkArea, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QWidget::event(e);
}

void TSSMenuForm::updateCommands()
{
    const bool open = Project().IsOpen();
    ImageBtn->setEnabled(open);
    SettingsBtn->setEnabled(open);
    const bool pictures = open && Project().Settings.ImageCount > 0;
    ViewBtn->setEnabled(pictures);
    CompileBtn->setEnabled(pictures);
}

void TSSMenuForm::Timer1Timer()
{
    Timer1.stop();
    menuPnl->show();
    SelectBtn->setFocus();
}

void TSSMenuForm::Timer2Timer()
{
    Timer2.stop();
    WaitElapsed = true;
    if (compiled_ && commandsOpen_ == 0)
        finishCompile();
}

void TSSMenuForm::SelectBtnClick()
{
    std::optional<MenuHidden> hidden(this);
    QString folder, name;
    if (!ChooseProject(QStringLiteral("*.SSJ"), 70, QStringLiteral("Enter ScreenSaver Name"), folder, name)) {
        enterProjectFolder(Project());
        hidden.reset();
        SelectBtn->setFocus();
        return;
    }
    if (folder.startsWith(QLatin1String("~/")))
        folder = IncludeTrailingPathDelimiter(QDir::homePath()) + folder.mid(2);
    // A new folder is created one level deep; an existing one is simply entered.
    CreateDir(folder);
    const bool entered = SetCurrentDir(folder);
    if (!entered) {
        ShowError(QStringLiteral("Unable to create the directory"));
        enterProjectFolder(Project());
        hidden.reset();
        SelectBtn->setFocus();
        return;
    }
    // A project whose file cannot be read or written is not opened: the
    // project that was open before stays open, with its folder current.
    const ProjectState previous = Project();
    Project().ProjectFile = projectFileFor(name);
    Label1->setText(Project().ScreenSaverName());
    if (!RunCommand([] {
            holdProjectFolder(Project());
            OpenProject(Project());
        })) {
        Project() = previous;
        enterProjectFolder(Project());
        Label1->setText(Project().IsOpen() ? Project().ScreenSaverName() : QStringLiteral("None Selected"));
    }
    updateCommands();
    hidden.reset();
    if (ImageBtn->isEnabled())
        ImageBtn->setFocus();
    else
        SelectBtn->setFocus();
}

void TSSMenuForm::ImageBtnClick()
{
    {
        MenuHidden hidden(this);
        RunCommand([] {
            checkProjectFolder(Project());
            EditImageSlots(Project());
        });
        updateCommands();
    }
}

void TSSMenuForm::SettingsBtnClick()
{
    MenuHidden hidden(this);
    RunCommand([] { EditSettings(Project()); });
}

void TSSMenuForm::ViewBtnClick()
{
    MenuHidden hidden(this);
    RunCommand([] {
        checkProjectFolder(Project());
        RunShow(Project().Settings);
    });
}

void TSSMenuForm::CompileBtnClick()
{
    if (compiling_)
        return;   // one compile at a time
    compiling_ = true;
    WaitElapsed = false;
    Timer2.start();
    WaitForm->ShowCentred();
    // The window takes no command while the compile runs, as it took none
    // when the compile ran on its own thread; the wait window paints meanwhile.
    qApp->installEventFilter(this);
    compiler_ = std::thread([this, project = Project()]() mutable {
        auto outcome = std::make_shared<CompileOutcome>();
        outcome->ScreenSaverName = project.ScreenSaverName();
        try {
            checkProjectFolder(project);
            const TCompiled compiled = compileProject(project);
            outcome->Windows = compiled.Windows;
            outcome->SaverPath = project.ProjectFolder + compiled.SaverName;
            outcome->Compiled = true;
        } catch (const ECompileError& e) {
            outcome->CompileError = e.Text();
        } catch (...) {
            outcome->Failure = std::current_exception();
        }
        outcome->Settings = project.Settings;
        QMetaObject::invokeMethod(this, [this, outcome] { compileDone(outcome); }, Qt::QueuedConnection);
    });
}

void TSSMenuForm::compileDone(std::shared_ptr<CompileOutcome> outcome)
{
    compiler_.join();
    qApp->removeEventFilter(this);
    Project().Settings = outcome->Settings;
    if (outcome->Compiled) {
        // The wait window stays up at least a second, so that a quick compile
        // is still seen to happen; the buttons work meanwhile, and the
        // message names what was compiled.
        compiled_ = outcome;
        if (WaitElapsed && commandsOpen_ == 0)
            finishCompile();
        return;
    }
    // The compile's own failures are told while the wait window stands; any
    // other error that ended it once the window is gone.
    if (!outcome->CompileError.isEmpty())
        ShowError(outcome->CompileError);
    WaitForm->hide();
    compiling_ = false;
    if (outcome->Failure)
        RunCommand([&] { std::rethrow_exception(outcome->Failure); });
}

void TSSMenuForm::finishCompile()
{
    if (!compiled_ || !WaitElapsed || commandsOpen_ > 0)
        return;
    const std::shared_ptr<CompileOutcome> outcome = std::exchange(compiled_, nullptr);
    TMessage success{TMsgKind::Information, QStringLiteral("Information"), compileSuccessMessage(outcome->ScreenSaverName), 310};
#ifndef _WIN32
    // On Linux the message offers what its text tells of Windows: NAME.SCR
    // made the desktop's screensaver, only when asked.
    success.ActionButton = QStringLiteral("Use as My &Screensaver");
#endif
    const bool use = ShowMessage(success) == TMsgResult::Action;
    WaitForm->hide();
    // NAME.SCR was made: the Windows file's failure is told on its own.
    if (outcome->Windows.State == TWindowsSaver::Failed)
        ShowWarning(outcome->Windows.Problem);
    if (use)
        useAsMyScreensaver(outcome->SaverPath);
    else
        compiling_ = false;
}

#ifndef _WIN32
void TSSMenuForm::useAsMyScreensaver(const QString& saverPath)
{
    // The hosts' settings and programs are dealt with on a worker, the
    // window taking no command meanwhile, as while compiling.
    qApp->installEventFilter(this);
    SetScreenCursor(TCursorShape::HourGlass);
    compiler_ = std::thread([this, path = NativePath(saverPath).toStdString()] {
        install::UseRequest request;
        request.install.programPath = path;
        request.install.home = install::homeFolder();
        request.again = "compile again and press \"Use as My Screensaver\"";
        request.session = install::Session::current();
        auto outcome = std::make_shared<install::UseOutcome>(install::useAsScreensaver(request));
        QMetaObject::invokeMethod(this, [this, outcome] { usedAsScreensaver(*outcome); }, Qt::QueuedConnection);
    });
}

void TSSMenuForm::usedAsScreensaver(const install::UseOutcome& outcome)
{
    compiler_.join();
    qApp->removeEventFilter(this);
    SetScreenCursor(TCursorShape::Default);
    const bool told = outcome.kind == install::UseOutcome::Done || outcome.kind == install::UseOutcome::LineToAdd;
    TMessage result{told ? TMsgKind::Information : TMsgKind::Warning, told ? QStringLiteral("Information") : QStringLiteral("Warning"),
                    QFile::decodeName(QByteArray::fromStdString(outcome.text)), 320};
    result.CopyText = QFile::decodeName(QByteArray::fromStdString(outcome.line));
    ShowMessage(result);
    compiling_ = false;
}
#endif

bool TSSMenuForm::eventFilter(QObject* o, QEvent* e)
{
    // Only while the compile runs: the window's own input, and its close box.
    switch (e->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::Close:
        if (o == this || (o->isWidgetType() && isAncestorOf(static_cast<QWidget*>(o)))) {
            if (e->type() == QEvent::Close)
                e->ignore();
            return true;
        }
        break;
    default:
        break;
    }
    return QWidget::eventFilter(o, e);
}

void TSSMenuForm::AboutBtnClick()
{
    {
        MenuHidden hidden(this);
        TAboutBox box(this);
        box.exec();
    }
    AboutBtn->setFocus();
}

void TSSMenuForm::HelpBtnClick()
{
    ShowHelpContext(1);
    HelpBtn->setFocus();
}

void TSSMenuForm::QuitBtnClick() { close(); }
