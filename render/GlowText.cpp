// Text on the glass: composited glow where glass shows it, plain light text elsewhere.
#include "render/GlowText.h"

#include <dwmapi.h>

namespace {

bool IsCompositionEnabled()
{
    BOOL enabled = FALSE;
    return SUCCEEDED(DwmIsCompositionEnabled(&enabled)) && enabled;
}

}  // namespace

GlowText::GlowText(int glowSize)
    : theme(L"CompositedWindow::Window"), glow(ChooseGlow(IsCompositionEnabled(), theme.Get() != nullptr)),
      glowSize(glowSize)
{
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
