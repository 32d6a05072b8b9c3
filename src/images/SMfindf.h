#pragma once

// Browses any drive and folder, views pictures and copies one at a time into
// the project folder.
void BrowseAndCopyImage();
