// An off-screen surface standing in for the window's kept DC.
#include "support/Canvas.h"

#include "app/PlayerState.h"

HBITMAP Canvas::MakeBitmap(void** bits)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

Canvas::Canvas()
    : memory(nullptr), bitmap(MakeBitmap(reinterpret_cast<void**>(&pixels))),
      selection(memory.Get(), bitmap.Get()), savedWindowDC(windowDC)
{
    if (!memory.Get() || !bitmap.Get()) pixels = nullptr;
    if (pixels) windowDC = memory.Get();
}

Canvas::~Canvas()
{
    if (pixels) windowDC = savedWindowDC;
}

void Canvas::Fill(uint32_t color)
{
    GdiFlush();
    for (int i = 0; i < kWidth * kHeight; ++i) pixels[i] = color;
}

int Canvas::CountNot(uint32_t color, int left, int top, int right, int bottom) const
{
    GdiFlush();
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) count += At(x, y) != color;
    return count;
}

int Canvas::CountLight(int left, int top, int right, int bottom, int threshold) const
{
    GdiFlush();
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            uint32_t p = At(x, y);
            count += ((p >> 16) & 0xFF) > static_cast<uint32_t>(threshold) &&
                     ((p >> 8) & 0xFF) > static_cast<uint32_t>(threshold) && (p & 0xFF) > static_cast<uint32_t>(threshold);
        }
    return count;
}
