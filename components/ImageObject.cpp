// A skin picture at a fixed place on the window, drawn through GDI+.
#include "components/ImageObject.h"

#include "components/SkinImage.h"

ImageObject::ImageObject(const wchar_t* path, int x, int y, int width, int height)
    : image(LoadMtxImage(path)), x(x), y(y), width(width), height(height), ownsImage(true)
{
}

ImageObject::~ImageObject()
{
    if (ownsImage) delete image;
}

void ImageObject::Draw(Gdiplus::Graphics* graphics)
{
    DrawSkinImage(graphics, image, x, y, width, height);
}

void ImageObject::SetImage(Gdiplus::Image* newImage)
{
    // The picture this object loaded is no longer drawn and nobody else owns it.
    if (ownsImage) delete image;
    image = newImage;
    ownsImage = false;
}

void ImageObject::ReleaseImage()
{
    // A borrowed image may already be gone with its owner: only the pointer is dropped.
    if (ownsImage) delete image;
    image = nullptr;
    ownsImage = false;
}
