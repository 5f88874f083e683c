// An off-screen 32-bit surface that stands in for the window's kept DC, so a test reads exactly
// what the player drew there.
#pragma once

#include <windows.h>
#include <cstdint>

#include "components/Win32Handles.h"

class Canvas {
public:
    static const int kWidth = 600;
    static const int kHeight = 300;

    // Puts the canvas in place of windowDC until it is destroyed.
    Canvas();
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool IsValid() const { return pixels != nullptr; }
    HDC Dc() const { return memory.Get(); }
    void Fill(uint32_t color);
    // 0x00RRGGBB of one pixel (alpha dropped).
    uint32_t At(int x, int y) const { return pixels[y * kWidth + x] & 0xFFFFFF; }
    // Pixels in [left, right) x [top, bottom) that are not color.
    int CountNot(uint32_t color, int left, int top, int right, int bottom) const;
    // Pixels brighter than threshold in every channel.
    int CountLight(int left, int top, int right, int bottom, int threshold = 0x80) const;

private:
    MemoryDC memory;
    DibSection bitmap;
    Selection selection;
    uint32_t* pixels;
    HDC savedWindowDC;
};
