// Loading and drawing of skin pictures, shared by ImageObject and ImageButton.
#include "components/SkinImage.h"
#include "components/GdiplusHandles.h"
#include "components/Win32Handles.h"

#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

// Skin pictures are a few hundred pixels; anything far beyond that is not one of ours.
const DWORD kMaxFileBytes = 32 * 1024 * 1024;
const UINT kMaxSide = 8192;
const BYTE kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

[[noreturn]] void ThrowLoadError(const wchar_t* path)
{
    // A thrown pointer must outlive the throw; the error dialog reads it after unwinding.
    thread_local std::string message;
    message = "Can't load image file: ";
    if (path) {
        int length = WideCharToMultiByte(CP_ACP, 0, path, -1, nullptr, 0, nullptr, nullptr);
        if (length > 1) {
            std::string ansi(length, '\0');
            WideCharToMultiByte(CP_ACP, 0, path, -1, &ansi[0], length, nullptr, nullptr);
            message.append(ansi.c_str());
        }
    }
    throw static_cast<const char*>(message.c_str());
}

bool ReadWholeFile(const wchar_t* path, std::vector<BYTE>& bytes)
{
    FileHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.IsValid() || !GetFileSizeEx(file.Get(), &size)) return false;
    if (size.QuadPart < static_cast<LONGLONG>(sizeof kPngSignature) || size.QuadPart > kMaxFileBytes) return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    return ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
}

}  // namespace

Gdiplus::Bitmap* LoadMtxImage(const wchar_t* path)
{
    std::vector<BYTE> bytes;
    if (!path || !ReadWholeFile(path, bytes) || memcmp(bytes.data(), kPngSignature, sizeof kPngSignature) != 0) {
        ThrowLoadError(path);
    }
    std::unique_ptr<IStream, ComRelease> stream(SHCreateMemStream(bytes.data(), static_cast<UINT>(bytes.size())));
    if (!stream) ThrowLoadError(path);

    // GDI+ decodes from the stream lazily; the pixels are copied out while it is still here.
    Gdiplus::Bitmap decoded(stream.get());
    if (decoded.GetLastStatus() != Gdiplus::Ok) ThrowLoadError(path);
    UINT width = decoded.GetWidth();
    UINT height = decoded.GetHeight();
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) ThrowLoadError(path);

    std::unique_ptr<Gdiplus::Bitmap> copy(
        new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppPARGB));
    if (!copy || copy->GetLastStatus() != Gdiplus::Ok) ThrowLoadError(path);
    {
        LockedBits source(decoded, width, height, Gdiplus::ImageLockModeRead);
        LockedBits target(*copy, width, height, Gdiplus::ImageLockModeWrite);
        if (!source.IsLocked() || !target.IsLocked()) ThrowLoadError(path);
        for (UINT y = 0; y < height; ++y) memcpy(target.Row(y), source.Row(y), width * 4);
    }
    return copy.release();
}

void DrawSkinImage(Gdiplus::Graphics* graphics, Gdiplus::Image* image, int x, int y, int width, int height)
{
    if (!graphics || !image || width <= 0 || height <= 0) return;
    UINT imageWidth = image->GetWidth();
    UINT imageHeight = image->GetHeight();
    if (imageWidth == 0 || imageHeight == 0) return;
    Gdiplus::REAL sourceWidth = static_cast<Gdiplus::REAL>(width) * imageHeight / height;
    if (sourceWidth > imageWidth) sourceWidth = static_cast<Gdiplus::REAL>(imageWidth);
    Gdiplus::RectF target(static_cast<Gdiplus::REAL>(x), static_cast<Gdiplus::REAL>(y),
                          static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));
    graphics->DrawImage(image, target, 0.0f, 0.0f, sourceWidth, static_cast<Gdiplus::REAL>(imageHeight),
                        Gdiplus::UnitPixel);
}
