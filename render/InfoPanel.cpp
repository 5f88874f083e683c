// The info panel: the track's texts as glow text on the glass.
#include "render/InfoPanel.h"

#include <shlwapi.h>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "components/WideText.h"
#include "components/Win32Handles.h"
#include "playback/Volume.h"
#include "render/GlowText.h"

namespace {

// One block: an off-screen bitmap of its own size, copied to its place on the window. Given at
// 96 DPI and drawn at the window's scale.
struct PanelBlock {
    int width;
    int height;
    int fontHeight;
    int x;
    int y;
};

const PanelBlock kDetailsBlock = {200, 120, 16, 160, 10};
const PanelBlock kTitleBlock = {500, 60, 14, 5, 134};

const wchar_t* OrMissing(const wchar_t* text)
{
    return text ? text : kMissingText;
}

// wnsprintfW stops at the buffer's end; the last character is kept for the terminator either way.
template <int N, typename... Values>
void FormatBounded(wchar_t (&out)[N], const wchar_t* format, Values... values)
{
    ZeroMemory(out, sizeof out);
    wnsprintfW(out, N, format, values...);
    out[N - 1] = L'\0';
}

void DrawBlock(const GlowText& glowText, HDC memory, const PanelBlock& block, const wchar_t* text)
{
    // A new DIB section is all zero: transparent black, so only the text covers the glass.
    const int width = Scaled(block.width), height = Scaled(block.height);
    DibSection bitmap(windowDC, width, height);
    if (!bitmap.Get()) return;
    GdiObject<HFONT> font(CreateFontA(Scaled(block.fontHeight), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Segoe UI"));
    Selection bitmapSelection(memory, bitmap.Get());
    Selection fontSelection(memory, font.Get());

    RECT rect = {Scaled(10), Scaled(10), width, height};
    glowText.Draw(memory, text, rect, DT_WORD_ELLIPSIS | DT_NOPREFIX);
    glowText.FinishForLook(bitmap.Get());
    BitBlt(windowDC, Scaled(block.x), Scaled(block.y), width, height, memory, 0, 0, SRCCOPY);
}

}  // namespace

void FormatDetailsText(wchar_t (&details)[kDetailsTextChars])
{
    FormatBounded(lengthText, L"%s", engine ? engine->GetPlayTime() : kMissingText);
    int position = 0;
    int count = 0;
    if (scanner) {
        position = currentIndex + 1;
        count = scanner->GetNoOfFiles();
    }
    wchar_t lastLine[32];
    if (!FormatVolumeLine(lastLine, ARRAYSIZE(lastLine))) FormatBounded(lastLine, L"Now: %d of %d", position, count);
    FormatBounded(details, L"Bit rate: %s\nFrequency: %s\nYear: %s\nPublisher: %s\nLength: %s\nCopyright: %s\n%s",
                  bitRateText, frequencyText, OrMissing(yearText), OrMissing(publisherText), lengthText,
                  OrMissing(copyrightText), lastLine);
}

void FormatTitleText(wchar_t (&title)[kTitleTextChars])
{
    FormatBounded(title, L"Title:  %s\nArtist: %s\nAlbum:  %s", OrMissing(titleText), OrMissing(artistText),
                  OrMissing(albumText));
}

void DrawInfoPanel()
{
    wchar_t details[kDetailsTextChars];
    wchar_t title[kTitleTextChars];
    {
        StateLock lock(stateLock);
        FormatDetailsText(details);
        FormatTitleText(title);
    }
    if (!windowDC) return;

    GlowText glowText(Scaled(15));
    MemoryDC memory(windowDC);
    if (!memory.Get()) return;
    DrawBlock(glowText, memory.Get(), kDetailsBlock, details);
    DrawBlock(glowText, memory.Get(), kTitleBlock, title);
}
