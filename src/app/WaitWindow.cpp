#include "app/WaitWindow.h"

#include "toolkit/Look.h"

#include <QLabel>

TWaitForm::TWaitForm(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("WaitForm"));
    setFixedSize(309, 40);
    auto* panel = new QLabel(QStringLiteral("Compiling Screen Saver - please wait..."), this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setGeometry(0, 0, 309, 40);
    panel->setAlignment(Qt::AlignCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, TealColor());
    pal.setColor(QPalette::WindowText, Qt::white);
    panel->setPalette(pal);
    QFont f(QStringLiteral("Sans Serif"));
    f.setStyleHint(QFont::SansSerif);
    f.setPixelSize(13);
    f.setBold(true);
    panel->setFont(f);
}

void TWaitForm::ShowCentred()
{
    CentreOnScreen(this);
    show();
    raise();
}
