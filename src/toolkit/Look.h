#pragma once
// The one look of the program's dialogs: teal ground, bold 8-point sans-serif
// text, white captions on group boxes and labels, buttons with small pictures.
#include <QColor>
#include <QIcon>
#include <QString>

class QWidget;
class QPushButton;
class QLabel;
class QGroupBox;

QColor TealColor();    // clTeal
QColor AquaColor();    // clAqua
// Converts a 32-bit colour value (0x00BBGGRR, red in the lowest byte).
QColor ColorFromWin(quint32 value);
quint32 WinFromColor(const QColor& c);

void ApplyDialogLook(QWidget* dialog);   // teal, bold 8-point sans-serif
void MakeCaptionWhite(QWidget* w);       // labels and group-box captions

enum class TGlyph { None, OK, Cancel, Help, View, Select, Remove, Locate, Copy, Save, Color, Folder, Quit, Info };
QIcon GlyphIcon(TGlyph glyph);

// A push button with a caption (with its "&" mnemonic) and a small picture.
QPushButton* MakeBitBtn(QWidget* parent, const QString& objectName, const QString& caption, TGlyph glyph);
QLabel* MakeLabel(QWidget* parent, const QString& objectName, const QString& caption);
QGroupBox* MakeGroupBox(QWidget* parent, const QString& objectName, const QString& caption);

// Fixed client size, centred on the screen, with only the close box.
void SetupFixedDialog(QWidget* dialog, int clientWidth, int clientHeight, const QString& title);
void CentreOnScreen(QWidget* w);
