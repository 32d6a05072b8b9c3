#pragma once
#include <QDialog>

// The "&About" window: what the program is, in a few lines.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
