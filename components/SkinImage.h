// Loading and drawing of skin pictures, shared by ImageObject and ImageButton.
#pragma once

#include <windows.h>
#include <gdiplus.h>

// Loads a .mtx skin file: a PNG image (32-bit with alpha) under our own extension. The pixels are
// copied into a bitmap of their own, so no file or stream stays open. The caller owns the result.
// Throws an 8-bit message naming the file ("Can't load image file: <path>") when the file is
// missing, too large or does not decode; the text stays valid until the next failure on this thread.
Gdiplus::Bitmap* LoadMtxImage(const wchar_t* path);

// Draws an image into the rectangle, scaled by the rectangle's height. An image wider than that
// shows its left part: the seek progress is a full-length strip revealed from the left as its
// width grows. A narrower image is stretched across. Nothing is drawn for a null graphics or image
// or an empty rectangle.
void DrawSkinImage(Gdiplus::Graphics* graphics, Gdiplus::Image* image, int x, int y, int width, int height);
