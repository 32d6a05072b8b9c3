#pragma once
// The show's pictures as a compiled screensaver carries them: the bytes of
// each slot inside the image store that follows the player in its own file.
// Nothing here knows of X: the store and the show engine meet here.
#include "common/Store.h"
#include "engine/ShowEngine.h"

#include <string>
#include <string_view>

namespace x11 {

// What the show reads of the store's settings record.
ShowSettings showSettingsOf(const player::SaverSettings& settings);

// Only a name whose extension (from its last ".", with no "\" or ":" after
// it) is ".JPG" in any letter case is a JPEG; every other name, ".JPEG"
// included, is a bitmap.
bool isJpegName(std::string_view name);

// "The graphic NAME was not found.", the name as a person can read it.
std::string missingPictureText(const std::string& nameBytes);

class StorePictures : public ShowPictures {
public:
    // `store` views bytes that the caller keeps alive (the mapped file).
    explicit StorePictures(const player::StoreView& store) : store_(store) {}
    // A slot 1..ImageCount with a name and its bytes inside the store.
    bool exists(int slot) override;
    // The slot's bytes. Once the decoder lets go of them, the pages they
    // took in memory are given back: read again, they come from the file.
    std::unique_ptr<ByteSource> open(int slot) override;
    PictureFormat format(int slot) override;

    const player::StoreView& store() const { return store_; }

private:
    player::StoreView store_;
};

} // namespace x11
