// Painting the main view: the black backdrop, the buttons, and the About picture, album art or
// playlist; the info panel goes on top.
#pragma once

#include <windows.h>
#include <gdiplus.h>

void PaintControlLayer(Gdiplus::Graphics* graphics);
// WM_PAINT.
void PaintMainView(HWND window);
// Paints the control layer onto windowDC at once, without waiting for WM_PAINT.
void RepaintControlLayer();
