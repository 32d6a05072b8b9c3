#pragma once
// PictureViews: the store's pictures for the Windows player, each read
// through a view of its own of the player's file, unmapped once the decoder
// is done with it. The file's one view keeps every page it was read
// through, so ten photos shown once would stay in the player's memory (the
// Linux players give theirs back with madvise).
#include "common/SelfFile.h"
#include "common/StorePictures.h"

namespace player {

class PictureViews final : public ShowPictures {
public:
    // `store` lies in `file`; both outlive this.
    PictureViews(const StoreView& store, const MappedFile& file) : pictures_(store), file_(file) {}
    bool exists(int slot) override { return pictures_.exists(slot); }
    // Where no view of its own can be had, the bytes in the file's view.
    std::unique_ptr<ByteSource> open(int slot) override;
    PictureFormat format(int slot) override { return pictures_.format(slot); }

private:
    StorePictures pictures_;
    const MappedFile& file_;
};

} // namespace player
