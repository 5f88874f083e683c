// Builds ID3v2.3 tags in memory, and cover pictures for them, so tests can write tagged files.
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

    // A text frame with encoding byte 0; the 8-bit text is written exactly as given.
    TagWriter& AddIsoText(const char* frameId, const std::string& text);
    // A text frame with encoding byte 1: a byte order mark, then the UTF-16 units of text (an
    // embedded L'\0' is written too, which is how a terminated frame is made).
    TagWriter& AddUtf16Text(const char* frameId, const std::wstring& text,
                            ByteOrder order = ByteOrder::LittleEndian);
    // An APIC frame (ISO-8859-1 description, empty) holding data as the picture.
    TagWriter& AddPicture(const char* mimeType, const Bytes& data, uint8_t pictureType = 3);
    // Any frame with the given body.
    TagWriter& AddFrame(const char* frameId, const Bytes& body);
    // Zero bytes after the last frame, counted in the tag's size.
    TagWriter& SetPadding(size_t bytes);

    // The whole tag: 10-byte header with a syncsafe size, then the frames and the padding.
    Bytes Build() const;
    // Writes the tag followed by audio; false when the file cannot be written.
    bool WriteTaggedFile(const std::string& path, const Bytes& audio) const;

private:
    Bytes frames;
    size_t padding = 0;
};

// The bytes of the file at path (empty when it cannot be read).
Bytes ReadFileContents(const std::string& path);
// Audio to put after a tag: the given mp3 without any tag of its own, or 1024 zero bytes when
// it is missing (the tag reader does not need real audio).
Bytes TagFreeAudio(const std::string& mp3Path);
// The bitmap encoded as a picture file by GDI+ ("image/png", "image/jpeg"); empty on failure.
Bytes EncodePicture(Gdiplus::Bitmap& bitmap, const wchar_t* mimeType);
