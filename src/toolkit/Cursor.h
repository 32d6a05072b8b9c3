#pragma once
// The mouse pointer as the program drives it: a display count (shown while it
// is 0 or more) and one screen-wide pointer shape, both applied through Qt's
// override cursor.

enum class TCursorShape { Default, HourGlass };

void HideMouseCursor();   // raises the count once, then lowers it until negative
void ShowMouseCursor();   // raises the count until it is 0 or more
int MouseCursorCount();
void ResetMouseCursorCount();   // for a clean start in tests

TCursorShape ScreenCursor();
void SetScreenCursor(TCursorShape shape);

// Shows the pointer while it lives (a message box over a full-screen window)
// and puts the count back afterwards.
class CursorVisibleScope {
public:
    CursorVisibleScope();
    ~CursorVisibleScope();
    CursorVisibleScope(const CursorVisibleScope&) = delete;
    CursorVisibleScope& operator=(const CursorVisibleScope&) = delete;
private:
    int saved_;
};
