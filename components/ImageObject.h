// A skin picture at a fixed place on the window, drawn through GDI+.
#pragma once

#include <windows.h>
#include <gdiplus.h>

class ImageObject {
public:
    Gdiplus::Image* image;
    int x;
    int y;
    int width;
    int height;

    // Loads the .mtx file; throws an 8-bit message naming the file when it cannot.
    ImageObject(const wchar_t* path, int x, int y, int width, int height);
    ~ImageObject();
    ImageObject(const ImageObject&) = delete;
    ImageObject& operator=(const ImageObject&) = delete;

    void Draw(Gdiplus::Graphics* graphics);
    // Draws this image from now on (nothing for null). The caller keeps ownership.
    void SetImage(Gdiplus::Image* newImage);
    // Drops the current image; frees it only if this object loaded it itself.
    void ReleaseImage();

private:
    bool ownsImage;
};
