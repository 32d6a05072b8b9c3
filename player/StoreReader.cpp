#include "StoreReader.h"

#include "common/ExecutableImage.h"
#include "common/Store.h"
#include "toolkit/Files.h"
#include "toolkit/Graphics.h"

namespace {
// The checks and texts are the players' shared ones; here they become the
// program's own error.
template <class F>
auto checked(F&& f)
{
    try {
        return f();
    } catch (const player::StoreError& e) {
        throw EGlimmerError(QString::fromStdString(e.what()));
    }
}
} // namespace

std::optional<std::uint64_t> ExecutableImageSize(const std::uint8_t* data, std::uint64_t size)
{
    const player::ImageSize image = player::executableImageSize(data, size);
    if (!image.Ok())
        return std::nullopt;
    return image.End;
}

TImageStore ReadImageStore(const std::uint8_t* store, std::uint64_t size)
{
    checked([&] { return player::readImageStore(store, size); });
    TImageStore s;
    s.Data = store;
    s.Size = size;
    s.Settings = SaverSettings::Decode(store);
    // Timings out of range would make the show race or stand still.
    s.Settings.Normalize();
    return s;
}

TImageStore ReadAttachedStore(const std::uint8_t* file, std::uint64_t size)
{
    const player::StoreView view = checked([&] { return player::readAttachedStore(file, size); });
    return ReadImageStore(view.Data, view.Size);
}

QString DescribeStore(const TImageStore& store, const QString& name)
{
    const player::StoreView view = checked([&] { return player::readImageStore(store.Data, store.Size); });
    return QString::fromStdString(player::describeStore(view, name.toStdString()));
}

const ImageEntry* TStorePictureSource::find(const QString& name) const
{
    for (int k = 1; k <= store_.Settings.ImageCount; ++k)
        if (store_.Settings.Slot(k).Name() == name)
            return &store_.Settings.Slot(k);
    return nullptr;
}

bool TStorePictureSource::Exists(const QString& name) { return !name.isEmpty() && find(name) != nullptr; }

std::unique_ptr<TStream> TStorePictureSource::Open(const QString& name)
{
    const ImageEntry* e = find(name);
    if (!e)
        throw EInOutError(2);
    return std::make_unique<TMemoryStream>(store_.Data + e->Offset, std::size_t(e->Size));
}
