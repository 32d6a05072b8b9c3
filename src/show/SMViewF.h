#pragma once

// Runs the full-screen show of the open project until a key or a mouse button.
void RunShow();
