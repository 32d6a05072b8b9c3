#pragma once
// TEnhImage: a control that shows one picture, scaled in one of five ways,
// optionally centred, framed, sized to the picture, or drawn with a colour
// key. It takes no keyboard focus and reports mouse presses to its owner.
#include "toolkit/PictureHolder.h"

#include <QImage>
#include <QRect>
#include <QWidget>
#include <cstdint>

enum TScaleStyle : std::uint8_t { ssNormal = 0, ssScale = 1, ssStretchXY = 2, ssStretchX = 3, ssStretchY = 4 };

class TEnhImage : public QWidget {
    Q_OBJECT
public:
    explicit TEnhImage(QWidget* parent = nullptr);   // 105 x 105
    ~TEnhImage() override;

    // The control's own holder. Setting a graphic copies it in (a bitmap
    // shares its pixels); the caller keeps and frees its own.
    TPicture& Picture() { return picture_; }
    const TPicture& Picture() const { return picture_; }
    void SetPicture(const TGraphic* graphic) { picture_.SetGraphic(graphic); }
    void SetPicture(const TPicture& picture) { picture_.Assign(picture); }

    bool AutoSize() const { return autoSize_; }
    void SetAutoSize(bool value);   // always re-runs PictureChanged
    bool Center() const { return center_; }
    void SetCenter(bool value);
    TScaleStyle ScaleStyle() const { return scaleStyle_; }
    void SetScaleStyle(TScaleStyle value);
    bool OverSize() const { return overSize_; }
    void SetOverSize(bool value);
    bool Border() const { return border_; }
    void SetBorder(bool value);
    bool Transparent() const { return transparent_; }
    void SetTransparent(bool value);
    bool ForceOpaque() const { return forceOpaque_; }
    void SetForceOpaque(bool value);

    // Fits the size to the picture (AutoSize), sets or clears the opaque
    // mark, and repaints.
    void PictureChanged();
    bool IsOpaque() const { return testAttribute(Qt::WA_OpaquePaintEvent); }

    // Where the picture is drawn, in the control's device pixels (border
    // included); empty when nothing is drawn.
    QRect DestRect() const;
    static QRect ComputeDestRect(int pictureWidth, int pictureHeight, int width, int height, TScaleStyle style,
                                 bool overSize, bool center, bool border);
    // How many times the picture has been scaled or keyed since the control
    // was made: a repaint at the same size reuses the last result.
    int RenderCount() const { return renderCount_; }

signals:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
    void Click();
    void DblClick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QSize DeviceSize() const;
    const QImage* Rendered(const TBitmap& bitmap, const QSize& size);
    void ContentChanged();

    TPicture picture_;
    bool autoSize_ = false;
    bool center_ = false;
    TScaleStyle scaleStyle_ = ssNormal;
    bool overSize_ = false;
    bool border_ = false;
    bool transparent_ = false;
    bool forceOpaque_ = false;

    // The picture as last scaled (or keyed), kept until the picture, the
    // size or the key's fill colour changes.
    QImage rendered_;
    bool renderedTransparent_ = false;
    QRgb renderedFill_ = 0;
    int renderCount_ = 0;
};
