#include "toolkit/Dialogs.h"

#include "toolkit/Errors.h"

#include "toolkit/Cursor.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>

static TMessageHook& hook()
{
    static TMessageHook h;
    return h;
}

void SetMessageHook(TMessageHook h) { hook() = std::move(h); }

static std::function<void(int)>& boxHelp()
{
    static std::function<void(int)> open;
    return open;
}

void SetBoxHelp(std::function<void(int)> openTopic) { boxHelp() = std::move(openTopic); }

QString ApplicationTitle() { return QStringLiteral("Glimmer"); }

static TMsgResult show(const TMessage& m)
{
    if (hook())
        return hook()(m);
    // A box must be seen and answered even while a full-screen window hides
    // the pointer.
    CursorVisibleScope pointer;
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(m.Title);
    // Line breaks may come as the old LF CR pair; the box needs only the LF.
    box.setText(QString(m.Text).remove(QLatin1Char('\r')));
    switch (m.Kind) {
    case TMsgKind::Warning: box.setIcon(QMessageBox::Warning); break;
    case TMsgKind::Error: box.setIcon(QMessageBox::Critical); break;
    case TMsgKind::Information: box.setIcon(QMessageBox::Information); break;
    case TMsgKind::Confirm: box.setIcon(QMessageBox::Question); break;
    }
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (m.Kind == TMsgKind::Confirm) {
        QPushButton* yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        if (m.CancelButton)
            box.setEscapeButton(box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole));
        box.setDefaultButton(yes);
        box.exec();
        if (box.clickedButton() == yes)
            return TMsgResult::Yes;
        return box.clickedButton() == no || !m.CancelButton ? TMsgResult::No : TMsgResult::Cancel;
    }
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    QPushButton* help = nullptr;
    if (m.HelpContext > 0 && boxHelp()) {
        help = box.addButton(QStringLiteral("&Help"), QMessageBox::HelpRole);
        // The Help button opens the topic and leaves the box up.
        help->disconnect();
        QObject::connect(help, &QPushButton::clicked, &box, [ctx = m.HelpContext] { boxHelp()(ctx); });
        box.setProperty("HelpContext", m.HelpContext);
    }
    QPushButton* action = m.ActionButton.isEmpty() ? nullptr : box.addButton(m.ActionButton, QMessageBox::ActionRole);
    if (!m.CopyText.isEmpty()) {
        // The line is for another program: it can be copied, or selected.
        QPushButton* copy = box.addButton(QStringLiteral("&Copy Line"), QMessageBox::ActionRole);
        copy->disconnect();
        QObject::connect(copy, &QPushButton::clicked, &box, [copy, line = m.CopyText] {
            QGuiApplication::clipboard()->setText(line);
            copy->setText(QStringLiteral("Copied"));
        });
        box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    box.exec();
    return action && box.clickedButton() == action ? TMsgResult::Action : TMsgResult::OK;
}

TMsgResult ShowMessage(const TMessage& message) { return show(message); }

void ShowError(const QString& text)
{
    show({TMsgKind::Error, QStringLiteral("Error"), text, 0});
}

void ShowWarning(const QString& text)
{
    show({TMsgKind::Warning, QStringLiteral("Warning"), text, 0});
}

bool AskYesNo(const QString& text)
{
    return show({TMsgKind::Confirm, QStringLiteral("Confirm"), text, 0}) == TMsgResult::Yes;
}

TMsgResult AskYesNoCancel(const QString& text)
{
    TMessage m{TMsgKind::Confirm, QStringLiteral("Confirm"), text, 0};
    m.CancelButton = true;
    return show(m);
}

void ShowInformation(const QString& text, int helpContext)
{
    show({TMsgKind::Information, QStringLiteral("Information"), text, helpContext});
}

void ShowErrorReport(const QString& text)
{
    QString t = text;
    if (!t.endsWith(QLatin1Char('.')))
        t += QLatin1Char('.');
    show({TMsgKind::Error, ApplicationTitle(), t, 0});
}

void ShowExceptionReport(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const EGlimmerError*>(&e))
        ShowErrorReport(own->Text());
    else
        ShowErrorReport(MessageText(e.what()));
}

TDialogHidden::TDialogHidden(QDialog* d) : d_(d), wasVisible_(d->isVisible())
{
    if (wasVisible_)
        d_->QWidget::setVisible(false);
}

TDialogHidden::~TDialogHidden()
{
    if (wasVisible_) {
        d_->QWidget::setVisible(true);
        d_->raise();
        d_->activateWindow();
    }
}
