#pragma once

// Opens the image slot editor for the open project and returns when it closes.
void EditImageSlots();
