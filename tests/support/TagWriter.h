// Builds ID3v2.3 (or v2.4) tags in memory, and cover pictures for them, so tests can write tagged files.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

class TagWriter {
public:
    enum class ByteOrder { LittleEndian, BigEndian };

    // 3 or 4: v2.4 frame sizes are syncsafe like the tag's.
    explicit TagWriter(int version = 3) : version(version) {}

    // Encoding byte 0; the 8-bit text is written exactly as given.
    TagWriter& AddIsoText(const char* frameId, const std::string& text);
    // Encoding byte 1: a byte order mark, then the UTF-16 units of text.
    TagWriter& AddUtf16Text(const char* frameId, const std::wstring& text, ByteOrder order);
    // An APIC frame with an empty description holding data as the picture.
    TagWriter& AddPicture(const Bytes& data);
    // Any frame, its body and flags as given.
    TagWriter& AddFrame(const char* frameId, const Bytes& body, uint16_t flags = 0);

    // The tag: a 10-byte header with a syncsafe size, then the frames.
    Bytes Build() const;
    // Writes the tag as the whole file.
    bool WriteFile(const std::string& path) const;

private:
    int version;
    Bytes frames;
};

// The bitmap encoded as a picture file by GDI+ ("image/png", "image/jpeg"); empty on failure.
Bytes EncodePicture(Gdiplus::Bitmap& bitmap, const wchar_t* mimeType);
