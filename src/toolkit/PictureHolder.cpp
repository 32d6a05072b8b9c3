#include "toolkit/PictureHolder.h"

#include "toolkit/PictureFormats.h"

TPicture::~TPicture()
{
    if (graphic_)
        graphic_->OnChange = nullptr;
}

void TPicture::Changed()
{
    if (OnChange)
        OnChange();
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic)
{
    if (graphic_)
        graphic_->OnChange = nullptr;
    graphic_ = std::move(graphic);
    if (graphic_)
        graphic_->OnChange = [this] { Changed(); };
    Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic)
{
    if (!graphic) {
        Take(nullptr);
        return;
    }
    std::unique_ptr<TGraphic> copy = graphic->NewOfSameClass();
    copy->Assign(*graphic);
    Take(std::move(copy));
}

void TPicture::LoadFromFile(const QString& name)
{
    std::unique_ptr<TGraphic> graphic = NewGraphicForFile(name);
    graphic->LoadFromFile(name);
    Take(std::move(graphic));
}

void TPicture::LoadFromMemory(const QString& name, const void* data, std::size_t size)
{
    std::unique_ptr<TGraphic> graphic = NewGraphicForFile(name);
    graphic->LoadFromMemory(data, size);
    Take(std::move(graphic));
}
