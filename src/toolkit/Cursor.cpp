#include "toolkit/Cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace {
int count = 0;
TCursorShape shape = TCursorShape::Default;
bool overridden = false;

void apply()
{
    if (!qGuiApp)
        return;
    Qt::CursorShape want = Qt::ArrowCursor;
    bool needed = false;
    if (count < 0) {
        want = Qt::BlankCursor;
        needed = true;
    } else if (shape == TCursorShape::HourGlass) {
        want = Qt::WaitCursor;
        needed = true;
    }
    if (needed && !overridden) {
        QGuiApplication::setOverrideCursor(QCursor(want));
        overridden = true;
    } else if (needed) {
        QGuiApplication::changeOverrideCursor(QCursor(want));
    } else if (overridden) {
        QGuiApplication::restoreOverrideCursor();
        overridden = false;
    }
}
} // namespace

void HideMouseCursor()
{
    ++count;
    while (count >= 0)
        --count;
    apply();
}

void ShowMouseCursor()
{
    while (count < 0)
        ++count;
    apply();
}

int MouseCursorCount() { return count; }

void ResetMouseCursorCount()
{
    count = 0;
    shape = TCursorShape::Default;
    apply();
}

TCursorShape ScreenCursor() { return shape; }

void SetScreenCursor(TCursorShape s)
{
    shape = s;
    apply();
}

CursorVisibleScope::CursorVisibleScope() : saved_(count)
{
    if (count < 0) {
        count = 0;
        apply();
    }
}

CursorVisibleScope::~CursorVisibleScope()
{
    count = saved_;
    apply();
}
