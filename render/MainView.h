// Painting the main view: the black backdrop, the buttons, and the About picture, album art or
// playlist; the info panel goes on top.
#pragma once

#include <windows.h>
#include <gdiplus.h>

void PaintControlLayer(Gdiplus::Graphics* graphics);
// WM_PAINT.
void PaintMainView(HWND window);
// Paints the control layer onto windowDC at once, without waiting for WM_PAINT; the caller presents it.
void RepaintControlLayer();
// Marks the whole window for the next WM_PAINT (no erase, no immediate update; safe from a worker,
// since it does not wait for the window thread).
void InvalidateWindow(HWND window);
