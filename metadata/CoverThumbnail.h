// The square thumbnail of a cover picture given as its file's bytes, with bounds checked first.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstddef>

// Covers larger than these are treated as no picture: decoding one costs about 4 bytes a pixel.
const size_t kMaxCoverBytes = 16 * 1024 * 1024;
const unsigned kMaxCoverPixels = 4096 * 4096;
const int kCoverThumbnailSide = 100;  // at 100 %

// The side of a thumbnail made now: kCoverThumbnailSide at the window's scale.
int CoverThumbnailSide();

// What became of a picture's bytes.
enum class CoverOutcome {
    Scaled,       // thumbnail set; null only when memory for it ran out
    TooLarge,     // more bytes or pixels than the bounds above; nothing was decoded
    Undecodable,  // not a format whose size can be checked first, or the decoder refused it
};

// Checks the bounds, then decodes and scales the picture. thumbnail is null unless Scaled.
CoverOutcome ScaleCover(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail);

// Makes the thumbnail of a tag's picture. False when the picture counts as absent (too many bytes
// or pixels to decode cheaply). Otherwise true, with thumbnail set to the scaled picture, to an
// empty image for bytes that are no picture we decode, or to null when no image object could be
// allocated.
bool MakeCoverThumbnail(const unsigned char* bytes, size_t size, Gdiplus::Image*& thumbnail);
