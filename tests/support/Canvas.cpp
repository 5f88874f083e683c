// An off-screen surface standing in for the window's kept DC.
#include "support/Canvas.h"

#include "app/PlayerState.h"

Canvas::Canvas()
    : memory(nullptr), bitmap(nullptr, kWidth, kHeight), selection(memory.Get(), bitmap.Get()),
      pixels(reinterpret_cast<uint32_t*>(bitmap.Pixels())), savedWindowDC(windowDC)
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
                     ((p >> 8) & 0xFF) > static_cast<uint32_t>(threshold) &&
                     (p & 0xFF) > static_cast<uint32_t>(threshold);
        }
    return count;
}
