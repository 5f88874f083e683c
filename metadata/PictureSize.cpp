// Pixel dimensions read from the header of a picture file, before anything decodes it.
#include "metadata/PictureSize.h"

#include <climits>
#include <cstdint>
#include <cstring>

namespace {

unsigned BigEndian16(const unsigned char* p)
{
    return (p[0] << 8) | p[1];
}
unsigned LittleEndian16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}
unsigned BigEndian32(const unsigned char* p)
{
    return (unsigned(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}
long LittleEndian32(const unsigned char* p)
{
    return static_cast<long>(static_cast<int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) | (unsigned(p[3]) << 24)));
}

// The frame header (SOFn) of a JPEG holds its size; the markers before it are skipped by length.
bool ReadJpegSize(const unsigned char* bytes, size_t size, unsigned& width, unsigned& height)
{
    size_t at = 2;
    while (at + 4 <= size) {
        if (bytes[at] != 0xFF) return false;
        unsigned char marker = bytes[at + 1];
        if (marker == 0xFF) {
            ++at;
            continue;
        }  // fill byte
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        if (marker == 0xD9 || marker == 0xDA) return false;  // end or scan before any frame header
        unsigned length = BigEndian16(bytes + at + 2);
        if (length < 2) return false;
        bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frameHeader) {
            if (at + 9 > size || length < 7) return false;
            height = BigEndian16(bytes + at + 5);
            width = BigEndian16(bytes + at + 7);
            return true;
        }
        at += 2 + length;
    }
    return false;
}

}  // namespace

bool ReadPictureSize(const unsigned char* bytes, size_t size, unsigned& width, unsigned& height)
{
    if (!bytes) return false;
    if (size >= 24 && memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0 && memcmp(bytes + 12, "IHDR", 4) == 0) {
        width = BigEndian32(bytes + 16);
        height = BigEndian32(bytes + 20);
        return true;
    }
    if (size >= 4 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
        return ReadJpegSize(bytes, size, width, height);
    if (size >= 10 && (memcmp(bytes, "GIF87a", 6) == 0 || memcmp(bytes, "GIF89a", 6) == 0)) {
        // The logical screen; GDI+ sizes its frames by it.
        width = LittleEndian16(bytes + 6);
        height = LittleEndian16(bytes + 8);
        return true;
    }
    if (size >= 26 && bytes[0] == 'B' && bytes[1] == 'M') {
        unsigned headerSize = static_cast<unsigned>(LittleEndian32(bytes + 14));
        if (headerSize == 12) {  // the old OS/2 header with 16-bit sizes
            width = LittleEndian16(bytes + 18);
            height = LittleEndian16(bytes + 20);
            return true;
        }
        long w = LittleEndian32(bytes + 18), h = LittleEndian32(bytes + 22);
        if (headerSize < 40 || w <= 0 || h == LONG_MIN) return false;
        width = static_cast<unsigned>(w);
        height = static_cast<unsigned>(h < 0 ? -h : h);  // negative: rows top down
        return true;
    }
    return false;
}
