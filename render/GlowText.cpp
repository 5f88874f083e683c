// Text on the glass: composited glow where glass shows it, plain light text elsewhere.
#include "render/GlowText.h"

#include <dwmapi.h>

#include <algorithm>
#include <vector>

#include "app/PlayerState.h"
#include "render/Look.h"

namespace {

bool IsCompositionEnabled()
{
    BOOL enabled = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
}

// Each value of out is the largest of in within radius of it, along rows or along columns.
void SpreadMaximum(const std::vector<BYTE>& in, std::vector<BYTE>& out, int width, int height, int radius,
                   bool alongRows)
{
    const int step = alongRows ? 1 : width;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int along = alongRows ? x : y, last = (alongRows ? width : height) - 1;
            const int at = y * width + x;
            BYTE most = 0;
            for (int d = std::max(-radius, -along); d <= std::min(radius, last - along); ++d)
                most = std::max(most, in[static_cast<size_t>(at + d * step)]);
            out[static_cast<size_t>(at)] = most;
        }
}

}  // namespace

GlowText::GlowText(int glowSize)
    : theme(L"CompositedWindow::Window"),
      glow(currentLook == Look::Glass && ChooseGlow(IsCompositionEnabled(), theme.Get() != nullptr)), look(currentLook),
      glowSize(glowSize), haloRadius(Scaled(2))
{
}

void GlowText::FinishForLook(HBITMAP section) const
{
    if (look == Look::Glass) return;
    DIBSECTION info = {};
    if (GetObject(section, sizeof info, &info) != sizeof info || !info.dsBm.bmBits || info.dsBm.bmBitsPixel != 32)
        return;
    GdiFlush();
    DWORD* pixels = static_cast<DWORD*>(info.dsBm.bmBits);
    if (look == Look::Backdrop) {
        AddDarkHalo(pixels, info.dsBm.bmWidth, info.dsBm.bmHeight, haloRadius);
        return;
    }
    // Dark: the text on its black ground, opaque, as everything the dark look draws.
    for (DWORD* end = pixels + static_cast<size_t>(info.dsBm.bmWidth) * info.dsBm.bmHeight; pixels != end; ++pixels)
        *pixels |= 0xFF000000;
}

void AddDarkHalo(DWORD* pixels, int width, int height, int radius)
{
    const DWORD kHaloAlpha = 170;  // of 255: dark enough to carry light text over a light backdrop
    if (width <= 0 || height <= 0) return;
    // Coverage of the light text, then its spread: a separable maximum over a square of 2r + 1.
    std::vector<BYTE> coverage(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < coverage.size(); ++i) {
        DWORD p = pixels[i];
        coverage[i] = static_cast<BYTE>(std::max({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}));
    }
    std::vector<BYTE> across(coverage.size()), spread(coverage.size());
    SpreadMaximum(coverage, across, width, height, radius, true);
    SpreadMaximum(across, spread, width, height, radius, false);
    // Premultiplied: the text's own colour at its coverage over black, which adds nothing but alpha.
    for (size_t i = 0; i < coverage.size(); ++i) {
        DWORD alpha = std::max<DWORD>(coverage[i], spread[i] * kHaloAlpha / 255);
        pixels[i] = (alpha << 24) | (pixels[i] & 0xFFFFFF);
    }
}

bool GlowText::ChooseGlow(bool compositionEnabled, bool themeOpened)
{
    return compositionEnabled && themeOpened;
}

DTTOPTS GlowText::GlowOptions(int glowSize)
{
    DTTOPTS options = {};
    options.dwSize = sizeof(options);
    options.dwFlags = DTT_COMPOSITED | DTT_GLOWSIZE;
    options.iGlowSize = glowSize;
    return options;
}

void GlowText::Draw(HDC dc, const wchar_t* text, RECT rect, DWORD format) const
{
    if (glow) {
        DTTOPTS options = GlowOptions(glowSize);
        DrawThemeTextEx(theme.Get(), dc, 0, 0, text, -1, format, &rect, &options);
        return;
    }
    COLORREF oldColor = SetTextColor(dc, kPlainTextColor);
    int oldMode = SetBkMode(dc, TRANSPARENT);
    DrawTextW(dc, text, -1, &rect, format);
    SetBkMode(dc, oldMode);
    SetTextColor(dc, oldColor);
}
