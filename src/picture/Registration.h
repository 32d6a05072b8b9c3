#pragma once
// Enters the JPEG bitmap in the picture-format registry ("jpg", then "jpeg"),
// as every program of ours does at start-up, before its first window.
void registerPictureFormats();
