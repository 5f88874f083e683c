// The square thumbnail of a cover picture given as its file's bytes, with bounds checked first.
#include "metadata/CoverThumbnail.h"

#include <shlwapi.h>

#include <memory>

#include "app/PlayerState.h"
#include "components/Win32Handles.h"
#include "metadata/PictureSize.h"

namespace {

// An empty picture, or null. GDI+ objects come from GdipAlloc, which gives null rather than
// bad_alloc (the build's -fcheck-new keeps the constructor from running on that null).
Gdiplus::Image* MakeEmptyThumbnail()
{
    const int side = CoverThumbnailSide();
    Gdiplus::Bitmap* empty = new Gdiplus::Bitmap(side, side, PixelFormat32bppARGB);
    if (empty && empty->GetLastStatus() != Gdiplus::Ok) {
        delete empty;
        empty = nullptr;
    }
    return empty;
}

}  // namespace

int CoverThumbnailSide()
{
    return Scaled(kCoverThumbnailSide);
}

CoverOutcome ScaleCover(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail)
{
    thumbnail = nullptr;
    if (size > kMaxCoverBytes) return CoverOutcome::TooLarge;

    unsigned width = 0, height = 0;
    // Not a format whose size can be checked first, so it is not decoded at all.
    if (!ReadPictureSize(bytes, size, width, height) || width == 0 || height == 0) return CoverOutcome::Undecodable;
    if (static_cast<unsigned long long>(width) * height > kMaxCoverPixels) return CoverOutcome::TooLarge;

    // The stream keeps its own copy of the bytes, which belong to the caller.
    std::unique_ptr<IStream, ComRelease> stream(SHCreateMemStream(bytes, static_cast<UINT>(size)));
    if (!stream) return CoverOutcome::Scaled;

    Gdiplus::Image picture(stream.get());
    const UINT side = static_cast<UINT>(CoverThumbnailSide());
    thumbnail = picture.GetThumbnailImage(side, side, nullptr, nullptr);
    if (!thumbnail && picture.GetLastStatus() != Gdiplus::Ok) return CoverOutcome::Undecodable;
    return CoverOutcome::Scaled;
}

bool MakeCoverThumbnail(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail)
{
    thumbnail = nullptr;
    if (!bytes || size == 0) return true;  // a picture without data: art shown empty
    CoverOutcome outcome = ScaleCover(bytes, size, thumbnail);
    if (outcome == CoverOutcome::TooLarge) return false;
    // An undecodable picture still gives a thumbnail object, which then draws nothing.
    if (outcome == CoverOutcome::Undecodable) thumbnail = MakeEmptyThumbnail();
    return true;
}
