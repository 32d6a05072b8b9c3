#include "TestSupport.h"

#include "toolkit/Files.h"
#include "toolkit/Help.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <QWidget>

TempFolder::TempFolder() : saved_(GetCurrentDir())
{
    SetCurrentDir(Path());
}

TempFolder::~TempFolder()
{
    SetCurrentDir(saved_);
}

QString TempFolder::Path() const
{
    return IncludeTrailingPathDelimiter(QDir(dir_.path()).canonicalPath());
}

MessageRecorder::MessageRecorder()
{
    SetMessageHook([this](const TMessage& m) {
        Messages.push_back(m);
        if (OnMessage)
            OnMessage(m);
        if (m.Kind == TMsgKind::Confirm && !Replies.isEmpty())
            return Replies.takeFirst();
        if (m.Kind == TMsgKind::Confirm) {
            bool yes = true;
            if (!Answers.isEmpty())
                yes = Answers.takeFirst();
            return yes ? TMsgResult::Yes : TMsgResult::No;
        }
        return TMsgResult::OK;
    });
}

MessageRecorder::~MessageRecorder() { SetMessageHook(nullptr); }

QStringList MessageRecorder::Texts() const
{
    QStringList t;
    for (const TMessage& m : Messages)
        t << m.Text;
    return t;
}

HelpRecorder::HelpRecorder()
{
    SetHelpHook([this](int ctx) { Contexts.push_back(ctx); });
}

HelpRecorder::~HelpRecorder() { SetHelpHook(nullptr); }

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
}

void WhenModal(std::function<void()> f)
{
    QTimer::singleShot(0, qApp, std::move(f));
}

void ModalWatch::Cancel()
{
    if (timer_) {
        timer_->stop();
        timer_->deleteLater();
        timer_ = nullptr;
    }
}

ModalWatch OnNextModal(std::function<void(QWidget*)> f)
{
    auto* timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, qApp, [timer, tries, f] {
        QWidget* w = QApplication::activeModalWidget();
        if (w || ++*tries > 500) {
            timer->stop();
            timer->deleteLater();
            if (w)
                f(w);
        }
    });
    timer->start(10);
    return ModalWatch(timer);
}

QString CorpusPath()
{
    const QString env = qEnvironmentVariable("GLIMMER_CORPUS");
    return IncludeTrailingPathDelimiter(env.isEmpty() ? QStringLiteral(GLIMMER_CORPUS) : env);
}

QString CorpusMissing()
{
    if (QFileInfo::exists(CorpusPath() + QStringLiteral("MANIFEST.tsv")))
        return QString();
    return QStringLiteral("the public picture corpus is not at %1 (set GLIMMER_CORPUS to its folder)").arg(CorpusPath());
}

bool CorpusRequired() { return qEnvironmentVariableIntValue("GLIMMER_CORPUS_REQUIRED") == 1; }

bool InCi() { return qEnvironmentVariableIntValue("GLIMMER_CI") == 1 || CorpusRequired(); }
