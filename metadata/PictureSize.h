// Pixel dimensions read from the header of a picture file, before anything decodes it.
#pragma once

#include <cstddef>

// Reads the pixel dimensions from the header of a PNG, JPEG, GIF or BMP file; false when the bytes
// are none of these or their header is cut short.
bool ReadPictureSize(const unsigned char* bytes, size_t size, unsigned& width, unsigned& height);
