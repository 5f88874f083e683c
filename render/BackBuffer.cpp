// The main window's client area composed off screen and presented with one blit.
#include "render/BackBuffer.h"

#include "app/PlayerState.h"
#include "components/Win32Handles.h"
#include "render/Look.h"

#include <new>

namespace {

struct Buffer {
    Buffer(int width, int height)
        : dc(nullptr), dib(nullptr, width, height), selection(dc.Get(), dib.Get()), width(width), height(height)
    {
    }
    MemoryDC dc;
    Owner<ReleaseToWindow> screen;  // the window's own DC, kept with the buffer: a GetDC per copy costs
    DibSection dib;
    Selection selection;
    std::unique_ptr<Gdiplus::Bitmap> pixels;  // the same memory, for GDI+; let go first
    int width;
    int height;
};
std::unique_ptr<Buffer> buffer;

std::unique_ptr<Gdiplus::Graphics> PremultipliedGraphics(Gdiplus::Bitmap* bitmap)
{
    std::unique_ptr<Gdiplus::Graphics> graphics(new Gdiplus::Graphics(bitmap));
    if (graphics && graphics->GetLastStatus() != Gdiplus::Ok) graphics.reset();
    return graphics;
}

}  // namespace

bool CreateBackBuffer(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    std::unique_ptr<Buffer> made(
        new (std::nothrow) Buffer(client.right > 0 ? client.right : 1, client.bottom > 0 ? client.bottom : 1));
    if (!made || !made->dc.IsValid() || !made->dib.Get() || !made->dib.Pixels()) return false;
    made->screen = BorrowedDC(window);
    made->pixels = PremultipliedBitmapOver(made->dib.Get());
    if (!made->pixels) return false;
    buffer = std::move(made);
    windowDC = buffer->dc.Get();
    return true;
}

void ReleaseBackBuffer()
{
    if (buffer && windowDC == buffer->dc.Get()) windowDC = nullptr;
    buffer.reset();
}

std::unique_ptr<Gdiplus::Graphics> WindowGraphics()
{
    if (!windowDC) return nullptr;
    GdiFlush();  // what GDI drew lands before GDI+ draws over the same memory
    if (buffer && windowDC == buffer->dc.Get()) return PremultipliedGraphics(buffer->pixels.get());
    std::unique_ptr<Gdiplus::Graphics> graphics(new Gdiplus::Graphics(windowDC));
    if (graphics && graphics->GetLastStatus() != Gdiplus::Ok) graphics.reset();
    return graphics;
}

std::unique_ptr<Gdiplus::Bitmap> PremultipliedBitmapOver(HBITMAP section)
{
    DIBSECTION info = {};
    if (!section || GetObject(section, sizeof info, &info) != sizeof info || !info.dsBm.bmBits ||
        info.dsBm.bmBitsPixel != 32) {
        return nullptr;
    }
    // GDI+ objects come from GdipAlloc, which answers null rather than throw.
    // A top-down section (negative height) has its first row first: a positive stride.
    std::unique_ptr<Gdiplus::Bitmap> bitmap(new Gdiplus::Bitmap(info.dsBm.bmWidth, info.dsBm.bmHeight,
                                                                info.dsBm.bmWidthBytes, PixelFormat32bppPARGB,
                                                                static_cast<BYTE*>(info.dsBm.bmBits)));
    if (bitmap && bitmap->GetLastStatus() != Gdiplus::Ok) bitmap.reset();
    return bitmap;
}

Gdiplus::Color BackdropColor()
{
    return Gdiplus::Color(EmptyPixel());  // both ARGB, the same bits
}

void PresentBackBuffer(HDC target, const RECT* area)
{
    if (!buffer) return;
    GdiFlush();
    RECT all = {0, 0, buffer->width, buffer->height};
    RECT copied = all;
    if (area && !IntersectRect(&copied, area, &all)) return;
    const int width = copied.right - copied.left, height = copied.bottom - copied.top;
    if (target) {
        BitBlt(target, copied.left, copied.top, width, height, buffer->dc.Get(), copied.left, copied.top, SRCCOPY);
        return;
    }
    if (buffer->screen.IsValid())
        BitBlt(buffer->screen.Get(), copied.left, copied.top, width, height, buffer->dc.Get(), copied.left, copied.top,
               SRCCOPY);
}

DWORD* DibPixels(HDC dc, int* width, int* height)
{
    if (buffer && dc == buffer->dc.Get()) {  // the usual case, without asking GDI
        *width = buffer->width;
        *height = buffer->height;
        return buffer->dib.Pixels();
    }
    DIBSECTION info = {};
    HGDIOBJ bitmap = dc ? GetCurrentObject(dc, OBJ_BITMAP) : nullptr;
    if (!bitmap || GetObject(bitmap, sizeof info, &info) != sizeof info || !info.dsBm.bmBits ||
        info.dsBm.bmBitsPixel != 32 || info.dsBmih.biHeight >= 0) {
        return nullptr;
    }
    *width = info.dsBm.bmWidth;
    *height = info.dsBm.bmHeight;
    return static_cast<DWORD*>(info.dsBm.bmBits);
}

DWORD EmptyPixel()
{
    return currentLook == Look::Dark ? 0xFF000000 : 0;
}
