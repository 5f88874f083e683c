// The seek bar's fill drawn once at the bar's full width, kept off screen, so a tick that only
// lengthens the fill blends in its new columns from it instead of drawing the image again through
// GDI+. Window thread only.
#pragma once

#include <windows.h>

class ImageObject;

// Blends columns [from, to) of fill, as it shows when fullWidth wide, onto target at the fill's
// place. False, with nothing drawn, where those columns would not be the same pixels as drawing
// fill to width `to` (a picture scaled to its place, or narrower than fullWidth) or the copy
// cannot be made: the caller then draws the fill itself.
bool BlendFillColumns(HDC target, const ImageObject& fill, int fullWidth, int from, int to);

// Frees the copy; done with the skin objects it was drawn from.
void ReleaseFillCopy();
