#pragma once
// The image store a compiled screensaver carries after its player: the
// 235-byte settings record and the picture bytes. Checked once, here, for
// every player; a refusal carries the text a person is shown.
#include "record/SaverSettings.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace player {

class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A checked store, viewing bytes that the caller keeps alive.
struct StoreView {
    SaverSettings settings;
    const std::uint8_t* data = nullptr;   // first byte of the store
    std::uint64_t size = 0;

    // The bytes of slot k (1..ImageCount), inside the store.
    const std::uint8_t* pictureData(int k) const { return data + settings.Slot(k).Offset; }
    std::uint64_t pictureSize(int k) const { return std::uint64_t(settings.Slot(k).Size); }
};

// At least 235 bytes, ImageCount 1 to 10, and every slot 1..ImageCount with a
// name, an Offset of at least 235 and its bytes inside the store; then the
// timings brought into their ranges. Throws StoreError.
StoreView readImageStore(const std::uint8_t* store, std::uint64_t size);

// The store after the executable image at the start of `file`.
StoreView readAttachedStore(const std::uint8_t* file, std::uint64_t size);

// What /c shows, in UTF-8: the screensaver's name, its pictures by name, its
// mode and timings. Characters that a terminal would act on are shown as "?".
std::string describeStore(const StoreView& store, std::string_view name);
// The same without the closing lines on how to run it (the options differ
// between the players).
std::string describeContents(const StoreView& store, std::string_view name);

// A slot's name for people: UTF-8 (slotNameText), control characters as "?".
std::string printableName(const std::string& bytes);

} // namespace player
