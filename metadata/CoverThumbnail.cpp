// The 100 x 100 thumbnail of a cover picture given as its file's bytes, with bounds checked first.
#include "metadata/CoverThumbnail.h"

#include <memory>

#include "components/Win32Handles.h"
#include "metadata/PictureSize.h"

bool MakeCoverThumbnail(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail)
{
    thumbnail = nullptr;
    if (!bytes || size == 0) return true;  // a picture without data: art shown empty
    if (size > kMaxCoverBytes) return false;

    unsigned width = 0, height = 0;
    if (!ReadPictureSize(bytes, size, width, height) || width == 0 || height == 0) {
        // Not a format whose size can be checked first, so it is not decoded at all.
        thumbnail = new Gdiplus::Bitmap(100, 100, PixelFormat32bppARGB);
        return true;
    }
    if (static_cast<unsigned long long>(width) * height > kMaxCoverPixels) return false;

    GlobalMemory memory(size);
    if (!memory.handle) return true;
    IStream* rawStream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory.handle, FALSE, &rawStream))) return true;
    std::unique_ptr<IStream, ComRelease> stream(rawStream);
    stream->Write(bytes, static_cast<ULONG>(size), nullptr);
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);

    // An undecodable picture still gives a thumbnail object, which then draws nothing.
    Gdiplus::Image picture(stream.get());
    thumbnail = picture.GetThumbnailImage(100, 100, nullptr, nullptr);
    // GDI+ objects come from GdipAlloc: a failed allocation gives null, not bad_alloc.
    if (!thumbnail && picture.GetLastStatus() != Gdiplus::Ok)
        thumbnail = new Gdiplus::Bitmap(100, 100, PixelFormat32bppARGB);
    return true;
}
