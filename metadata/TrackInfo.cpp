// One file's metadata record: its ID3 tag, six display texts and an album-art thumbnail.
// id3lib reads ID3v2.2 and v2.3 first; OtherTags.cpp fills in what only TagLib can read, and
// FolderArt.cpp the art of a file whose tags have no picture.
#include "metadata/TrackInfo.h"

#include <id3/tag.h>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>

#include "components/ShortPath.h"
#include "components/WideText.h"
#include "metadata/CoverThumbnail.h"
#include "metadata/FolderArt.h"

namespace {

void WriteSlot(wchar_t* slot, int capacity, const wchar_t* text)
{
    wcsncpy(slot, text, capacity - 1);
    slot[capacity - 1] = L'\0';
}

// id3lib keeps UTF-16 text as big-endian code units. Its MinGW build has no iconv, so asking for
// ISO-8859-1 would keep only 7 bits of each character; such text is copied as Unicode instead.
void CopyUnicodeText(const ID3_Field* field, wchar_t* slot, int capacity)
{
    const unicode_t* raw = field->GetRawUnicodeText();
    size_t units = raw ? field->Size() / 2 : 0;  // Size() counts bytes for this encoding
    std::wstring text;
    for (size_t i = 0; i < units && text.size() < static_cast<size_t>(capacity); ++i) {
        wchar_t unit = static_cast<wchar_t>(((raw[i] & 0xFF) << 8) | ((raw[i] >> 8) & 0xFF));
        if (unit == 0) break;
        if (unit == 0xFEFF && text.empty()) continue;  // a stray byte order mark
        text += unit;
    }
    CopyWideText(text.c_str(), text.size(), slot, capacity);
}

}  // namespace

TrackInfo::TrackInfo(const char* sourcePath)
    : tag(nullptr), path(nullptr), title{}, artist{}, album{}, year{}, copyright{}, publisher{}, artThumbnail(nullptr),
      hasArt(false), displayTitle{}
{
    if (!sourcePath) sourcePath = "";
    size_t length = strlen(sourcePath);
    path = new char[length + 1];
    memcpy(path, sourcePath, length + 1);

    // A record that cannot be read whole (the tag object, or memory while its frames are copied)
    // is no record: what was made goes, and the file counts as unreadable.
    try {
        tag = new ID3_Tag(path);
        ReadTextFrame(ID3FID_ALBUM, album, 256);
        ReadTextFrame(ID3FID_LEADARTIST, artist, 256);
        ReadTextFrame(ID3FID_COPYRIGHT, copyright, 64);
        ReadTextFrame(ID3FID_PUBLISHER, publisher, 64);
        ReadTextFrame(ID3FID_TITLE, title, 256);
        ReadTextFrame(ID3FID_YEAR, year, 8);
        hasArt = ReadAlbumArt();
        if (!hasArt || wcscmp(album, kMissingText) == 0 || wcscmp(artist, kMissingText) == 0 ||
            wcscmp(copyright, kMissingText) == 0 || wcscmp(publisher, kMissingText) == 0 ||
            wcscmp(title, kMissingText) == 0 || wcscmp(year, kMissingText) == 0)
            ReadOtherTags();
        if (!hasArt) {
            // A picture in the tags, even one that draws nothing, wins over the folder's.
            artThumbnail = CopyFolderArt(path);
            hasArt = artThumbnail != nullptr;
        }
        ComposeDisplayTitle();
    } catch (...) {
        delete artThumbnail;
        delete tag;
        delete[] path;
        throw "Unreadable file";
    }
}

TrackInfo::~TrackInfo()
{
    delete artThumbnail;
    delete tag;
    delete[] path;
}

void TrackInfo::ReadTextFrame(int frameId, wchar_t* slot, int capacity)
{
    char buffer[256] = {};
    const ID3_Frame* frame = tag->Find(static_cast<ID3_FrameID>(frameId));
    if (!frame) {
        WriteSlot(slot, capacity, kMissingText);
        return;
    }
    ID3_Field* field = frame->GetField(ID3FN_TEXT);
    if (!field) {
        WriteSlot(slot, capacity, L"");
        return;
    }
    if (field->GetEncoding() == ID3TE_UTF16) {
        CopyUnicodeText(field, slot, capacity);
        return;
    }
    field->SetEncoding(ID3TE_ISO8859_1);
    field->Get(buffer, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    // Taggers write the user's own 8-bit code page into frames marked ISO-8859-1, and the player
    // has always shown them so; the ANSI code page may be UTF-8, which such a frame never is.
    ConvertToWide(UserLegacyCodePage(), MB_COMPOSITE, buffer, slot, capacity);
}

bool TrackInfo::ReadAlbumArt()
{
    const ID3_Frame* frame = tag->Find(ID3FID_PICTURE);
    if (!frame) return false;
    const ID3_Field* field = frame->GetField(ID3FN_DATA);
    const uchar* bytes = field ? field->GetRawBinary() : nullptr;
    size_t size = field ? field->Size() : 0;
    return MakeCoverThumbnail(bytes, size, artThumbnail);
}

void TrackInfo::ComposeDisplayTitle()
{
    if (_wcsicmp(title, kMissingText) != 0) {
        WriteSlot(displayTitle, 256, title);
        return;
    }
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    if (!GetLongNameOfShortPath(path, displayTitle, 256)) ConvertToWide(CP_ACP, MB_COMPOSITE, name, displayTitle, 256);
}
