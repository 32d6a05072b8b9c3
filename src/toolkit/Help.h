#pragma once
// Help: GLIMMER.HLP beside the program, opened at a context number in a help
// window. F1 anywhere opens the topic of the nearest control (or window) that
// carries a help context.
#include <QMap>
#include <QString>
#include <functional>

class QWidget;

void SetHelpFile(const QString& path);
QString HelpFile();

void SetHelpContext(QWidget* w, int context);
int HelpContextOf(const QWidget* w);   // the nearest enclosing context, 0 when none

// Opens the topic. A missing or unreadable help file, or an unknown topic,
// gets a clear message instead.
void ShowHelpContext(int context);

// When set, topics are not shown: the hook sees each request (for tests).
void SetHelpHook(std::function<void(int)> hook);

// Installs the application-wide F1 key, and the message boxes' "&Help"
// button (SetBoxHelp).
void InstallHelpKey();

// The help file: "#topic N Title" lines, each followed by its Markdown body.
struct THelpTopic {
    QString Title;
    QString Body;
};
QMap<int, THelpTopic> ParseHelpFile(const QByteArray& bytes);
