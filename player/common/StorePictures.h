#pragma once
// A compiled screensaver's pictures as the show engine asks for them: slot k
// is the k-th picture of the checked store, read in place from the player's
// own mapped file. Shared by every player.
#include "common/Store.h"
#include "engine/ShowEngine.h"

#include <string>

namespace player {

// Only a name whose extension is ".JPG" in any letter case is a JPEG; every
// other picture is read as a bitmap, as the program's preview reads it.
PictureFormat pictureFormatOf(const std::string& name);

// What the show reads of the store's settings record.
ShowSettings showSettingsOf(const SaverSettings& settings);

class StorePictures final : public ShowPictures {
public:
    // `store` and the bytes it views outlive this.
    explicit StorePictures(const StoreView& store) : store_(store) {}
    bool exists(int slot) override;
    std::unique_ptr<ByteSource> open(int slot) override;
    PictureFormat format(int slot) override;

private:
    const StoreView& store_;
};

} // namespace player
