#pragma once
// TPicture, the picture holder: one graphic or none, loaded from a file
// through the class that the registry (toolkit/PictureFormats.h) names for
// its extension.
#include "toolkit/Graphics.h"

#include <QString>
#include <cstddef>
#include <functional>
#include <memory>

// Holds one graphic (or none) and reports every change of it.
class TPicture {
public:
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;
    ~TPicture();

    TGraphic* Graphic() const { return graphic_.get(); }
    // Copies `graphic` into the holder: a new graphic of the same class that
    // takes the content (a bitmap shares the pixels). The caller keeps its
    // own. nullptr empties the holder.
    void SetGraphic(const TGraphic* graphic);
    void Assign(const TPicture& source) { SetGraphic(source.Graphic()); }
    TBitmap* Bitmap() const { return dynamic_cast<TBitmap*>(graphic_.get()); }

    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }

    // Picks the graphic class by the text after the last dot of the name
    // (lower-cased) and loads the file into a new graphic of it. On failure
    // the new graphic is discarded and the previous one stays.
    void LoadFromFile(const QString& name);
    // The same for bytes in memory that stand for a file of that name.
    void LoadFromMemory(const QString& name, const void* data, std::size_t size);

    std::function<void()> OnChange;

private:
    void Take(std::unique_ptr<TGraphic> graphic);
    void Changed();
    std::unique_ptr<TGraphic> graphic_;
};
