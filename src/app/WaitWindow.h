#pragma once
// The wait window (TWaitForm): the small window shown while a screensaver is
// being compiled.
#include <QWidget>

class TWaitForm : public QWidget {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* parent = nullptr);
    // Shows the window centred on the screen, on top; it paints itself while
    // the compile runs on its worker.
    void ShowCentred();
};
