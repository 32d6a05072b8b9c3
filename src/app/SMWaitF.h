#pragma once
// The small window shown while a screensaver is being compiled.
#include <QWidget>

class TWaitForm : public QWidget {
    Q_OBJECT
public:
    explicit TWaitForm(QWidget* parent = nullptr);
    // Shows the window and paints it at once: the compile that follows
    // processes no messages.
    void ShowNow();
};
