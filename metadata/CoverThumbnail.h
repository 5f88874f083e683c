// The 100 x 100 thumbnail of a cover picture given as its file's bytes, with bounds checked first.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstddef>

// Covers larger than these are treated as no picture: decoding one costs about 4 bytes a pixel.
const size_t kMaxCoverBytes = 16 * 1024 * 1024;
const unsigned kMaxCoverPixels = 4096 * 4096;

// Makes the thumbnail. False when the picture counts as absent (too many bytes or pixels to
// decode cheaply). Otherwise true, with thumbnail set to the scaled picture, to an empty image
// for bytes that are no picture we decode, or to null when no image object could be allocated.
bool MakeCoverThumbnail(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail);
