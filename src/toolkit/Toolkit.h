#pragma once
// Start-up of the toolkit layer: what every program of ours (the editor, the
// player, the tests) does before its first window.
class QApplication;

// Ignores SIGXFSZ so that a write over a file-size limit fails with an error
// that the program reports, instead of ending the process. On X, once the
// application object exists, also gives the keyboard back to the window that
// is left when another one closes, as a window manager would.
void InitToolkit();
