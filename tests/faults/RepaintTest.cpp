// A picture stretched over its control hides the panel beneath it, as one
// shown at its own size does: the panel is not painted under it, and moving
// it (each step of the Float show) repaints only the strip it uncovers.
#include "TestSupport.h"
#include "controls/EnhImage.h"
#include "toolkit/Graphics.h"

#include <QApplication>
#include <QPaintEvent>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Keeps the region of every paint of the widget it watches.
class PaintRegions : public QObject {
public:
    QRegion Painted;
protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            Painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

QImage Filled(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(10, 120, 200));
    return image;
}

struct Stage {
    QWidget panel;
    TEnhImage* image;
    PaintRegions panelPaints;
    Stage()
    {
        panel.resize(400, 300);
        panel.setAutoFillBackground(true);
        image = new TEnhImage(&panel);
        panel.installEventFilter(&panelPaints);
    }
    void Settle()
    {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QApplication::processEvents();
    }
};

TEST(Repaint, AStretchedPictureHidesThePanelBeneathIt)
{
    Stage s;
    TBitmap picture;
    picture.SetImage(Filled(1000, 800));
    s.image->SetAutoSize(false);
    s.image->SetScaleStyle(ssStretchXY);
    s.image->setGeometry(-20, -10, 500, 400);   // larger than the panel, as a halved photo is
    s.image->SetPicture(&picture);
    EXPECT_TRUE(s.image->testAttribute(Qt::WA_OpaquePaintEvent));
    s.panel.show();
    s.Settle();
    s.panelPaints.Painted = QRegion();
    s.image->move(-15, -5);   // one Float step
    s.Settle();
    EXPECT_TRUE((s.panelPaints.Painted & s.image->geometry()).isEmpty())
        << "the panel was painted under the picture";
}

TEST(Repaint, AStretchedControlWithoutAPictureStillShowsThePanel)
{
    Stage s;
    s.image->SetAutoSize(false);
    s.image->SetScaleStyle(ssStretchXY);
    s.image->setGeometry(10, 10, 100, 100);
    EXPECT_FALSE(s.image->testAttribute(Qt::WA_OpaquePaintEvent));
    const TBitmap empty;
    s.image->SetPicture(&empty);
    EXPECT_FALSE(s.image->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(Repaint, AScaledPictureThatLeavesRoomIsNotOpaque)
{
    Stage s;
    TBitmap picture;
    picture.SetImage(Filled(100, 20));
    s.image->SetAutoSize(false);
    s.image->SetScaleStyle(ssScale);
    s.image->setGeometry(10, 10, 100, 100);
    s.image->SetPicture(&picture);
    EXPECT_FALSE(s.image->testAttribute(Qt::WA_OpaquePaintEvent));
}

} // namespace
