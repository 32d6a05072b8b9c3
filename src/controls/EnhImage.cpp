#include "controls/EnhImage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

TEnhImage::TEnhImage(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    resize(105, 105);
    picture_.OnChange = [this] { ContentChanged(); };
}

TEnhImage::~TEnhImage()
{
    picture_.OnChange = nullptr;
}

void TEnhImage::ContentChanged()
{
    rendered_ = QImage();
    PictureChanged();
}

void TEnhImage::SetAutoSize(bool value)
{
    autoSize_ = value;
    PictureChanged();
}

#define GLIMMER_SETTER(Name, field)      \
    void TEnhImage::Set##Name(decltype(field) value) \
    {                                    \
        if (field == value)              \
            return;                      \
        field = value;                   \
        PictureChanged();                \
    }
GLIMMER_SETTER(Center, center_)
GLIMMER_SETTER(ScaleStyle, scaleStyle_)
GLIMMER_SETTER(OverSize, overSize_)
GLIMMER_SETTER(Border, border_)
GLIMMER_SETTER(Transparent, transparent_)
GLIMMER_SETTER(ForceOpaque, forceOpaque_)
#undef GLIMMER_SETTER

void TEnhImage::PictureChanged()
{
    const int b = border_ ? 2 : 0;
    const int w = picture_.Width(), h = picture_.Height();
    if (autoSize_ && w > 0 && h > 0) {
        // One picture pixel is one device pixel, also on a high-density screen.
        const qreal ratio = devicePixelRatioF();
        if (ratio == 1.0)
            setGeometry(x(), y(), w + b, h + b);
        else
            setGeometry(x(), y(), int(std::ceil((w + b) / ratio)), int(std::ceil((h + b) / ratio)));
    }
    // A bitmap that fills the whole control hides what lies beneath it, so
    // Qt need not paint that first: a picture stretched over the control
    // fills it as one shown at its own size does.
    const TBitmap* bitmap = picture_.Bitmap();
    const bool fills = bitmap && (autoSize_ || (scaleStyle_ == ssStretchXY && !bitmap->Image().isNull()));
    const bool opaque = forceOpaque_ || fills;
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    update();
}

QRect TEnhImage::ComputeDestRect(int W, int H, int width, int height, TScaleStyle style, bool overSize,
                                 bool center, bool border)
{
    if (W <= 0 || H <= 0)
        return QRect();
    const int aw = border ? width - 2 : width;
    const int ah = border ? height - 2 : height;
    int dw = W, dh = H;
    switch (style) {
    case ssNormal:
        break;
    case ssScale: {
        // Single precision, as the picture has always been scaled: 10 x 10 in
        // a 7 x 100 area is drawn 6 x 6.
        const float rx = float(aw) / float(W);
        const float ry = float(ah) / float(H);
        float s = rx > ry ? ry : rx;
        if (s > 1.0f && !overSize)
            s = 1.0f;
        dw = int(std::trunc(double(W) * double(s)));
        dh = int(std::trunc(double(H) * double(s)));
        break;
    }
    case ssStretchXY:
        dw = aw;
        dh = ah;
        break;
    case ssStretchX:
        dw = aw;
        break;
    case ssStretchY:
        dh = ah;
        break;
    }
    int left = 0, top = 0;
    if (center) {
        left = (aw - dw) / 2;   // C++ division truncates toward zero, as div does
        top = (ah - dh) / 2;
    }
    if (border) {
        ++left;
        ++top;
    }
    return QRect(left, top, dw, dh);
}

QSize TEnhImage::DeviceSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(qRound(width() * ratio), qRound(height() * ratio));
}

QRect TEnhImage::DestRect() const
{
    const QSize size = DeviceSize();
    return ComputeDestRect(picture_.Width(), picture_.Height(), size.width(), size.height(), scaleStyle_, overSize_,
                           center_, border_);
}

// The bitmap stretched to `size` (and keyed, when Transparent), made once and
// reused while nothing that it depends on changes: the show moves and repaints
// this control many times a second.
const QImage* TEnhImage::Rendered(const TBitmap& bitmap, const QSize& size)
{
    const QRgb fill = ButtonFaceColor().rgb();
    if (!rendered_.isNull() && rendered_.size() == size && renderedTransparent_ == transparent_ &&
        (!transparent_ || renderedFill_ == fill))
        return &rendered_;
    const QImage& source = bitmap.Image();
    QImage out;
    if (!transparent_) {
        out = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    } else {
        // Nearest-neighbour, so that the key colour stays exact at the edges.
        out = source.size() == size ? source.copy()
                                    : source.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        out = out.convertToFormat(QImage::Format_RGB32);
        const QRgb key = out.pixel(0, out.height() - 1);
        for (int y = 0; y < out.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < out.width(); ++x)
                if (row[x] == key)
                    row[x] = fill;
        }
    }
    rendered_ = out;
    renderedTransparent_ = transparent_;
    renderedFill_ = fill;
    ++renderCount_;
    return &rendered_;
}

void TEnhImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Draw in device pixels: a picture pixel is a screen pixel.
    const qreal ratio = devicePixelRatioF();
    if (ratio != 1.0)
        painter.setWorldTransform(QTransform::fromScale(1.0 / ratio, 1.0 / ratio));
    const QSize size = DeviceSize();

    const QRect dest = DestRect();
    if (!dest.isEmpty()) {
        const TBitmap* bitmap = picture_.Bitmap();
        if (bitmap && !bitmap->Image().isNull()) {
            if (!transparent_ && dest.size() == bitmap->Image().size()) {
                painter.drawImage(dest.topLeft(), bitmap->Image());
            } else if (const QImage* image = Rendered(*bitmap, dest.size())) {
                painter.drawImage(dest.topLeft(), *image);
            }
        } else if (TGraphic* graphic = picture_.Graphic()) {
            graphic->Draw(painter, dest);
        }
    }
    if (border_) {
        const int w = size.width(), h = size.height();
        const QColor black(Qt::black);
        painter.fillRect(QRect(0, 0, w, 1), black);
        painter.fillRect(QRect(0, h - 1, w, 1), black);
        painter.fillRect(QRect(0, 0, 1, h), black);
        painter.fillRect(QRect(w - 1, 0, 1, h), black);
    }
}

void TEnhImage::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TEnhImage::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit MouseUp(event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton && rect().contains(p))
        emit Click();
}

void TEnhImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
    if (event->button() == Qt::LeftButton)
        emit DblClick();
}
