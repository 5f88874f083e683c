// The info panel: the track's texts as glow text on the glass.
#pragma once

#include <windows.h>

const int kDetailsTextChars = 256;
const int kTitleTextChars = 1024;

// Draws onto windowDC; callable outside WM_PAINT. Refreshes lengthText from the engine first.
void DrawInfoPanel();

// The two blocks' texts from the player state, cut at the buffer's end and always terminated.
// Call under the state lock.
void FormatDetailsText(wchar_t (&details)[kDetailsTextChars]);
void FormatTitleText(wchar_t (&title)[kTitleTextChars]);
