// A skin button with normal, hover and pressed looks, drawn through GDI+.
#include "components/ImageButton.h"

#include "components/SkinImage.h"

#include <memory>

ImageButton::ImageButton(const wchar_t* path, int x, int y, int width, int height)
    : normalImage(LoadMtxImage(path)), hoverImage(normalImage), pressedImage(normalImage), look(Normal), armed(false),
      x(x), y(y), width(width), height(height), wasDown(false)
{
}

ImageButton::ImageButton(const wchar_t* normalPath, const wchar_t* hoverPath, const wchar_t* pressedPath, int x, int y,
                         int width, int height)
    : normalImage(nullptr), hoverImage(nullptr), pressedImage(nullptr), look(Normal), armed(false), x(x), y(y),
      width(width), height(height), wasDown(false)
{
    // Loaded one by one so that a failure frees the images already loaded.
    std::unique_ptr<Gdiplus::Image> normal(LoadMtxImage(normalPath));
    std::unique_ptr<Gdiplus::Image> hover(LoadMtxImage(hoverPath));
    pressedImage = LoadMtxImage(pressedPath);
    normalImage = normal.release();
    hoverImage = hover.release();
}

ImageButton::~ImageButton()
{
    // The one-image constructor shares one bitmap between the looks.
    if (pressedImage != normalImage && pressedImage != hoverImage) delete pressedImage;
    if (hoverImage != normalImage) delete hoverImage;
    delete normalImage;
}

void ImageButton::Draw(Gdiplus::Graphics* graphics)
{
    if (!graphics) return;
    // The looks have see-through parts (a glow, the space around a glyph). Drawn straight over the
    // previous look they would pile up, so the button's place is first reset to the window's black.
    Gdiplus::SolidBrush backdrop(Gdiplus::Color(0xFF000000));
    graphics->FillRectangle(&backdrop, x, y, width, height);
    Gdiplus::Image* current = look == Pressed ? pressedImage : look == Hover ? hoverImage : normalImage;
    DrawSkinImage(graphics, current, x, y, width, height);
}

int ImageButton::Check(int mouseX, int mouseY, bool leftDown, Gdiplus::Graphics* graphics)
{
    bool inside = mouseX >= x && mouseX < x + width && mouseY >= y && mouseY < y + height;
    // A press is armed only when the button goes down over us, not when it is dragged in held.
    bool pressStarts = leftDown && !wasDown;
    wasDown = leftDown;

    int result;
    int newLook;
    if (leftDown) {
        if (pressStarts) armed = inside;
        bool held = armed && inside;
        result = held ? Held : Outside;
        newLook = held ? Pressed : Normal;
    } else {
        bool clicked = armed && inside;
        armed = false;
        result = clicked ? Clicked : inside ? Hovered : Outside;
        newLook = inside ? Hover : Normal;
    }
    if (newLook != look) {
        look = newLook;
        Draw(graphics);
    }
    return result;
}
