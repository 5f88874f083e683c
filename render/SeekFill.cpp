// The seek bar's fill, drawn once at full width for the ticks that lengthen it.
#include "render/SeekFill.h"

#include <gdiplus.h>

#include <algorithm>
#include <memory>
#include <new>

#include "components/ImageObject.h"
#include "components/SkinImage.h"
#include "components/Win32Handles.h"
#include "render/BackBuffer.h"

namespace {

struct FillCopy {
    FillCopy(Gdiplus::Image* image, int width, int height)
        : image(image), width(width), height(height), dc(nullptr), dib(nullptr, width, height),
          selection(dc.Get(), dib.Get())
    {
    }
    Gdiplus::Image* image;  // what it was drawn from, to tell when the skin changed
    int width;
    int height;
    MemoryDC dc;
    DibSection dib;
    Selection selection;
};
std::unique_ptr<FillCopy> fillCopy;

// Drawn at the scale of 1 and cut, not stretched, to every width up to fullWidth: its first
// columns are then the very pixels the fill shows at any narrower width.
bool DrawnOneToOne(Gdiplus::Image* image, int fullWidth, int height)
{
    return image && height > 0 && image->GetHeight() == static_cast<UINT>(height) &&
           image->GetWidth() >= static_cast<UINT>(fullWidth);
}

FillCopy* CopyFor(Gdiplus::Image* image, int width, int height)
{
    if (fillCopy && fillCopy->image == image && fillCopy->width == width && fillCopy->height == height)
        return fillCopy.get();
    fillCopy.reset();
    std::unique_ptr<FillCopy> made(new (std::nothrow) FillCopy(image, width, height));
    if (!made || !made->dc.IsValid() || !made->dib.Pixels() || !made->selection.IsValid()) return nullptr;
    {
        std::unique_ptr<Gdiplus::Bitmap> pixels = PremultipliedBitmapOver(made->dib.Get());
        if (!pixels) return nullptr;
        Gdiplus::Graphics graphics(pixels.get());
        if (graphics.GetLastStatus() != Gdiplus::Ok) return nullptr;
        DrawSkinImage(&graphics, image, 0, 0, width, height);
    }
    fillCopy = std::move(made);
    return fillCopy.get();
}

// Premultiplied "over", as GDI's AlphaBlend does it, written into the buffer's pixels directly:
// the fill's new columns are a handful of pixels, and the call costs far more than they do.
void BlendOver(const DWORD* from, int fromStride, DWORD* to, int toStride, int width, int height)
{
    for (int row = 0; row < height; ++row, from += fromStride, to += toStride) {
        for (int column = 0; column < width; ++column) {
            const DWORD source = from[column];
            const DWORD keep = 255 - (source >> 24);
            if (keep == 255) continue;
            DWORD blended = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const DWORD under = (to[column] >> shift) & 0xFF;
                const DWORD over = (source >> shift) & 0xFF;
                blended |= std::min<DWORD>(255, over + (under * keep + 127) / 255) << shift;
            }
            to[column] = blended;
        }
    }
}

}  // namespace

bool BlendFillColumns(HDC target, const ImageObject& fill, int fullWidth, int from, int to)
{
    if (!target || from < 0 || to <= from || to > fullWidth || !DrawnOneToOne(fill.image, fullWidth, fill.height))
        return false;
    FillCopy* drawn = CopyFor(fill.image, fullWidth, fill.height);
    if (!drawn) return false;
    int targetWidth = 0, targetHeight = 0;
    DWORD* pixels = DibPixels(target, &targetWidth, &targetHeight);
    if (pixels && fill.x + from >= 0 && fill.x + to <= targetWidth && fill.y >= 0 &&
        fill.y + fill.height <= targetHeight) {
        GdiFlush();  // what GDI drew there lands first
        BlendOver(drawn->dib.Pixels() + from, fullWidth, pixels + fill.y * targetWidth + fill.x + from, targetWidth,
                  to - from, fill.height);
        return true;
    }
    const BLENDFUNCTION over = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return GdiAlphaBlend(target, fill.x + from, fill.y, to - from, fill.height, drawn->dc.Get(), from, 0, to - from,
                         fill.height, over) != FALSE;
}

void ReleaseFillCopy()
{
    fillCopy.reset();
}
