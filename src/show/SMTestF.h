#pragma once
#include <QString>

// Shows one picture file full screen, centred, until a key or a mouse button.
void ViewPicture(const QString& fileName);
