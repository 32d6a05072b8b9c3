#pragma once
// What a compiled screensaver carries: the player program, then the image
// store (the 235-byte settings record and the picture bytes). Nothing marks
// where the store begins: it is the first byte after the player's own
// executable image, as its headers tell.
#include "project/SaverSettings.h"
#include "show/PictureSource.h"

#include <QString>
#include <cstdint>
#include <optional>

// The size of the executable image at the start of `data`, read from its own
// headers (ELF or PE, player/common), or nothing when they cannot be read.
std::optional<std::uint64_t> ExecutableImageSize(const std::uint8_t* data, std::uint64_t size);

// A checked image store, viewing bytes that the caller keeps alive.
struct TImageStore {
    SaverSettings Settings;
    const std::uint8_t* Data = nullptr;   // first byte of the store
    std::uint64_t Size = 0;
};

// Checks the store: at least 235 bytes, ImageCount 1 to 10, and every slot
// 1..ImageCount with a name, an Offset of at least 235 and its bytes inside
// the store; brings the timings into their ranges. Throws EGlimmerError with
// a message a user can act on.
TImageStore ReadImageStore(const std::uint8_t* store, std::uint64_t size);

// Finds and checks the store that follows the executable image in `file`.
TImageStore ReadAttachedStore(const std::uint8_t* file, std::uint64_t size);

// What /c shows: the screensaver's name, its pictures by name, its mode.
QString DescribeStore(const TImageStore& store, const QString& name);

// Pictures decoded from the store's bytes, by slot name.
class TStorePictureSource : public TPictureSource {
public:
    explicit TStorePictureSource(const TImageStore& store) : store_(store) {}
    bool Exists(const QString& name) override;
    std::unique_ptr<TStream> Open(const QString& name) override;
private:
    const ImageEntry* find(const QString& name) const;
    const TImageStore& store_;
};
