#include "toolkit/Hints.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QVariant>
#include <QWidget>

namespace {
std::function<void(const QString&)> handler;
QString current;
bool hasCurrent = false;

class HintFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (!o->isWidgetType())
            return false;
        if (e->type() == QEvent::Enter) {
            UpdateHintFor(static_cast<QWidget*>(o));
        } else if (e->type() == QEvent::Leave) {
            // Back over the parent: Qt sends no Enter to it.
            UpdateHintFor(QApplication::widgetAt(QCursor::pos()));
        }
        return false;
    }
};
} // namespace

void SetHint(QWidget* w, const QString& hint) { w->setProperty("Hint", hint); }

QString NearestHint(const QWidget* w)
{
    for (; w; w = w->parentWidget()) {
        const QVariant v = w->property("Hint");
        if (v.isValid() && !v.toString().isEmpty())
            return v.toString();
    }
    return QString();
}

void SetHintHandler(std::function<void(const QString&)> h)
{
    handler = std::move(h);
    static HintFilter* filter = nullptr;
    if (!filter && qApp) {
        filter = new HintFilter(qApp);
        qApp->installEventFilter(filter);
    }
}

void UpdateHintFor(const QWidget* w)
{
    const QString hint = NearestHint(w);
    if (hasCurrent && hint == current)
        return;
    current = hint;
    hasCurrent = true;
    if (handler)
        handler(hint);
}
