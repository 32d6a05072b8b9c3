#include "toolkit/Help.h"

#include "toolkit/Dialogs.h"
#include "toolkit/Files.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QVariant>

namespace {
QString helpFile;
std::function<void(int)> helpHook;

class HelpKeyFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(e)->key() != Qt::Key_F1)
            return false;
        if (!o->isWidgetType())
            return false;
        QWidget* w = QApplication::focusWidget();
        if (!w)
            w = static_cast<QWidget*>(o);
        if (!w)
            return false;
        int ctx = HelpContextOf(w);
        if (ctx <= 0)
            ctx = HelpContextOf(w->window());
        if (ctx > 0) {
            ShowHelpContext(ctx);
            return true;
        }
        return false;
    }
};
} // namespace

void SetHelpFile(const QString& path) { helpFile = path; }
QString HelpFile() { return helpFile; }

void SetHelpContext(QWidget* w, int context) { w->setProperty("HelpContext", context); }

int HelpContextOf(const QWidget* w)
{
    // A window's topic is its own: a message box or the help window does not
    // borrow the topic of the window beneath it.
    for (; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        const int ctx = w->property("HelpContext").toInt();
        if (ctx > 0)
            return ctx;
    }
    return 0;
}

void SetHelpHook(std::function<void(int)> hook) { helpHook = std::move(hook); }

QMap<int, THelpTopic> ParseHelpFile(const QByteArray& bytes)
{
    QMap<int, THelpTopic> topics;
    const QStringList lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    int current = -1;
    for (const QString& line : lines) {
        if (line.startsWith(QLatin1String("#topic "))) {
            const QString rest = line.mid(7).trimmed();
            const int space = rest.indexOf(QLatin1Char(' '));
            bool ok = false;
            const int n = rest.left(space < 0 ? rest.size() : space).toInt(&ok);
            current = ok ? n : -1;
            if (ok)
                topics[n].Title = space < 0 ? QString() : rest.mid(space + 1).trimmed();
        } else if (current >= 0) {
            topics[current].Body += line + QLatin1Char('\n');
        }
    }
    return topics;
}

void ShowHelpContext(int context)
{
    if (helpHook) {
        helpHook(context);
        return;
    }
    QFile f(helpFile);
    if (helpFile.isEmpty() || !f.open(QIODevice::ReadOnly)) {
        ShowError(QStringLiteral("The help file %1 was not found.").arg(helpFile.isEmpty() ? QStringLiteral("GLIMMER.HLP") : helpFile));
        return;
    }
    const QMap<int, THelpTopic> topics = ParseHelpFile(f.readAll());
    const auto it = topics.find(context);
    if (it == topics.end()) {
        ShowError(QStringLiteral("The help file %1 has no topic %2.").arg(helpFile).arg(context));
        return;
    }
    QDialog dlg(QApplication::activeWindow());
    dlg.setWindowTitle(QStringLiteral("Glimmer Help - %1").arg(it->Title));
    dlg.setObjectName(QStringLiteral("HelpWindow"));
    dlg.setWindowFlag(Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(&dlg);
    auto* text = new QTextBrowser(&dlg);
    text->setObjectName(QStringLiteral("HelpText"));
    text->setOpenLinks(false);
    text->setMarkdown(QStringLiteral("# ") + it->Title + QStringLiteral("\n\n") + it->Body);
    layout->addWidget(text);
    // Links of the form "topic:N" move to another topic in the same window.
    QObject::connect(text, &QTextBrowser::anchorClicked, &dlg, [&, text](const QUrl& url) {
        if (url.scheme() != QLatin1String("topic"))
            return;
        const auto t = topics.find(url.path().toInt());
        if (t != topics.end()) {
            dlg.setWindowTitle(QStringLiteral("Glimmer Help - %1").arg(t->Title));
            text->setMarkdown(QStringLiteral("# ") + t->Title + QStringLiteral("\n\n") + t->Body);
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    layout->addWidget(buttons);
    dlg.resize(560, 460);
    dlg.exec();
}

void InstallHelpKey()
{
    static HelpKeyFilter* filter = nullptr;
    if (!filter) {
        filter = new HelpKeyFilter(qApp);
        qApp->installEventFilter(filter);
    }
    SetBoxHelp(ShowHelpContext);
}
