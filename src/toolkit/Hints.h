#pragma once
// The hint display: the hint of the control under the mouse pointer, or of its
// nearest enclosing control that has one, goes to one handler (the main
// window's status strip).
#include <QString>
#include <functional>

class QWidget;

void SetHint(QWidget* w, const QString& hint);
QString NearestHint(const QWidget* w);   // empty when no control in the chain has one
void SetHintHandler(std::function<void(const QString&)> handler);
void UpdateHintFor(const QWidget* w);    // what the pointer's arrival over w does
