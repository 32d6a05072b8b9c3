#include "app/AboutBox.h"

#include "toolkit/Help.h"
#include "toolkit/Hints.h"
#include "toolkit/Look.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    SetupFixedDialog(this, 330, 214, QStringLiteral("About Glimmer"));
    SetHelpContext(this, 1);
    SetHint(this, QStringLiteral(" Press F1 for Help"));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setGeometry(8, 8, 314, 160);

    auto* title = new QLabel(QStringLiteral("Glimmer Ver 1.1"), panel);
    title->setObjectName(QStringLiteral("ProductName"));
    title->setAlignment(Qt::AlignCenter);
    title->setGeometry(2, 8, 310, 30);
    title->setAutoFillBackground(true);
    QPalette tp = title->palette();
    tp.setColor(QPalette::Window, AquaColor());
    title->setPalette(tp);
    QFont tf(QStringLiteral("Times New Roman"));
    tf.setStyleHint(QFont::Serif);
    tf.setPixelSize(22);
    tf.setBold(true);
    title->setFont(tf);

    auto* text = MakeLabel(panel, QStringLiteral("Comments"),
        QStringLiteral("Make a picture screensaver from your own photos.\n\n"
                       "Put up to ten BMP or JPEG pictures into a project, choose a background "
                       "colour and the Random or Float show, look at it full screen, and compile "
                       "it into one screensaver file that runs on its own."));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    text->setGeometry(12, 46, 290, 106);

    auto* ok = MakeBitBtn(this, QStringLiteral("OKButton"), QStringLiteral("OK"), TGlyph::OK);
    ok->setGeometry(124, 178, 82, 26);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
