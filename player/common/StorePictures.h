#pragma once
// A compiled screensaver's pictures as the show engine asks for them: slot k
// is the k-th picture of the checked store, read in place from the player's
// own mapped file. Shared by every player.
#include "common/Store.h"
#include "engine/ShowEngine.h"

#include <string>

namespace player {

// What a name suggests: a JPEG when its extension (from its last ".", with
// no "\", ":" or "/" after it) is ".JPG" in any letter case, else a bitmap.
// The picture's first bytes decide (pictureFormatOf in decode/Picture.h);
// this only says which decoder names the fault of a picture that is neither.
PictureFormat pictureFormatOf(const std::string& name);

// "The graphic NAME was not found." (missingGraphicText), the name as a
// person can read it.
std::string missingPictureText(const std::string& name);
// "The picture NAME cannot be shown: WHY.": the decoder's reason, the name as
// a person can read it.
std::string undecodablePictureText(const std::string& name, const std::string& why);

class StorePictures final : public ShowPictures {
public:
    // `store` views bytes that the caller keeps alive. `fromMappedFile`: they
    // are a private, read-only mapping of a file (the player's own), whose
    // pages can be given back after each decode; never for bytes in memory
    // of the program's own, which giving back would wipe.
    explicit StorePictures(const StoreView& store, bool fromMappedFile = false)
        : store_(store), fromMappedFile_(fromMappedFile)
    {
    }
    // A slot 1..ImageCount with a name and its bytes inside the store.
    bool exists(int slot) override;
    // The slot's bytes. From a mapped file, the pages they took in memory
    // are given back once the decoder lets go of them: read again, they come
    // from the file.
    std::unique_ptr<ByteSource> open(int slot) override;
    PictureFormat format(int slot) override;

    const StoreView& store() const { return store_; }

private:
    StoreView store_;
    bool fromMappedFile_;
};

} // namespace player
