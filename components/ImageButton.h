// A skin button with normal, hover and pressed looks, drawn through GDI+.
#pragma once

#include <windows.h>
#include <gdiplus.h>

class ImageButton {
public:
    enum Look { Normal = 0, Hover = 1, Pressed = 2 };
    // Results of Check.
    enum { Outside = 0, Hovered = 1, Held = 3, Clicked = 4 };

    Gdiplus::Image* normalImage;
    Gdiplus::Image* hoverImage;
    Gdiplus::Image* pressedImage;
    int look;
    bool armed;  // the left button went down over the button and has not come up yet
    int x;
    int y;
    int width;
    int height;

    // Throw an 8-bit message naming the file when an image cannot be loaded.
    ImageButton(const wchar_t* path, int x, int y, int width, int height);
    ImageButton(const wchar_t* normalPath, const wchar_t* hoverPath, const wchar_t* pressedPath, int x, int y,
                int width, int height);
    ~ImageButton();
    ImageButton(const ImageButton&) = delete;
    ImageButton& operator=(const ImageButton&) = delete;

    // Paints the current look over the window's black backdrop in the button's rectangle.
    void Draw(Gdiplus::Graphics* graphics);
    // Follows the mouse; redraws through graphics only when the look changes.
    // Returns Clicked (4), Held (3), Hovered (1) or Outside (0).
    int Check(int mouseX, int mouseY, bool leftDown, Gdiplus::Graphics* graphics);

private:
    bool wasDown;  // the left button as the previous Check saw it, to tell a press from a drag
};
