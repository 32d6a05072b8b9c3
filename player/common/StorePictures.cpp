#include "common/StorePictures.h"

#include <cctype>

namespace player {

PictureFormat pictureFormatOf(const std::string& name)
{
    // The extension is what follows the last '.', folders aside.
    const std::size_t dot = name.find_last_of("./\\:");
    if (dot == std::string::npos || name[dot] != '.')
        return PictureFormat::Bitmap;
    std::string ext = name.substr(dot);
    for (char& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".JPG" ? PictureFormat::Jpeg : PictureFormat::Bitmap;
}

ShowSettings showSettingsOf(const SaverSettings& s)
{
    ShowSettings show;
    show.floatMode = s.IsFloat();
    show.floatSpeed = s.FloatSpeed;
    show.changeEvery = s.ChangeEvery;
    show.displaySeconds = s.DisplaySeconds;
    show.displayTimes = s.DisplayTimes;
    show.pictureCount = s.ImageCount;
    return show;
}

bool StorePictures::exists(int slot) { return slot >= 1 && slot <= store_.Settings.ImageCount; }

std::unique_ptr<ByteSource> StorePictures::open(int slot)
{
    if (!exists(slot))
        throw StoreError("The screensaver has no picture " + std::to_string(slot));
    return std::make_unique<MemorySource>(store_.PictureData(slot), std::size_t(store_.PictureSize(slot)));
}

PictureFormat StorePictures::format(int slot) { return pictureFormatOf(store_.Settings.Slot(slot).Name()); }

} // namespace player
