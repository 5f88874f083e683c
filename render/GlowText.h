// Text on the glass, shared by the info panel and the playlist rows.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include "components/Win32Handles.h"
#include "render/Look.h"

// Where text goes on the glass
// ----------------------------
// Glow text shows only where the desktop composes the window as glass: DWM composition is on and
// the visual style's "CompositedWindow::Window" class opens. There the text is drawn with
// DrawThemeTextEx as composited glow, colourless, into a zeroed 32-bit bitmap. Anywhere else
// (composition off, the classic style, Wine) that call would leave the bitmap as it was and the
// window would show no text at all, so the same text goes into the same bitmap with the same font,
// rectangle and format flags as plain light GDI text on the black backdrop. The choice is made once
// per GlowText, from what the system reports when it is made.
class GlowText {
public:
    explicit GlowText(int glowSize);
    GlowText(const GlowText&) = delete;
    GlowText& operator=(const GlowText&) = delete;

    bool ShowsGlow() const { return glow; }
    // Once the text of a bitmap is drawn, settles its alpha for the look: on a system backdrop,
    // where light text alone could sit on light colours, a dark halo around it; in the dark look,
    // opaque everywhere; on glass nothing (the glow has its own alpha).
    void FinishForLook(HBITMAP section) const;
    // Draws text into dc, a memory DC with a 32-bit DIB section and the wanted font selected.
    void Draw(HDC dc, const wchar_t* text, RECT rect, DWORD format) const;

    static bool ChooseGlow(bool compositionEnabled, bool themeOpened);
    static DTTOPTS GlowOptions(int glowSize);
    static const COLORREF kPlainTextColor = RGB(0xF0, 0xF0, 0xF0);

private:
    ThemeData theme;
    bool glow;
    Look look;  // the look when it was made: a row drawn on a worker keeps one look throughout
    int glowSize;
    int haloRadius;
};

// Turns light text drawn on zero pixels (GDI leaves alpha 0) into premultiplied ARGB: the text at
// its coverage, with a dark halo around it; pixels far from text stay clear.
// The halo is radius pixels wide (two at 100 %).
void AddDarkHalo(DWORD* pixels, int width, int height, int radius = 2);
