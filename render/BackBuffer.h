// The main window's client area composed off screen: one 32-bit premultiplied ARGB bitmap that
// every drawing of the window goes into (windowDC is its DC), presented with one blit, so the
// player decides every pixel's alpha whatever GDI happens to write there. Window thread only.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <memory>

// Makes the buffer, the size of the window's client area, and points windowDC at it. False when
// it cannot be made.
bool CreateBackBuffer(HWND window);
// Frees it and nulls windowDC.
void ReleaseBackBuffer();

// A GDI+ graphics for drawing on windowDC: over the buffer's pixels as premultiplied ARGB when
// windowDC is the buffer, so images keep their own alpha; over the DC itself otherwise (a test's
// canvas in its place). Null when none can be made.
std::unique_ptr<Gdiplus::Graphics> WindowGraphics();
// A GDI+ bitmap over a 32-bit top-down DIB section's pixels, premultiplied ARGB; null for
// anything else. The section must outlive it.
std::unique_ptr<Gdiplus::Bitmap> PremultipliedBitmapOver(HBITMAP section);

// What the client shows where nothing is drawn: opaque black in the dark look, clear (the glass
// or the system's backdrop) in the others.
Gdiplus::Color BackdropColor();

// Copies the buffer (or the part of it in area) to target, or to the window's own DC, kept with it.
// What is drawn into the buffer has its alpha settled already: in the dark look every drawing
// leaves its pixels opaque.
void PresentBackBuffer(HDC target = nullptr, const RECT* area = nullptr);

// The pixels of the top-down 32-bit DIB section selected into dc, with its size; null for any
// other DC.
DWORD* DibPixels(HDC dc, int* width, int* height);
// A pixel where nothing is drawn: opaque black in the dark look, clear in the others.
DWORD EmptyPixel();
