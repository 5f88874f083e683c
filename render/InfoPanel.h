// The info panel: the track's texts as glow text on the glass.
#pragma once

// Draws onto windowDC; callable outside WM_PAINT.
void DrawInfoPanel();
