// The tags id3lib cannot read, through TagLib: ID3v2.4, and the Vorbis comments and covers of
// ogg and flac files. They fill only what id3lib left without a text or a picture.
#include "metadata/TrackInfo.h"

#include <tfilestream.h>
#include <tpropertymap.h>

#include <cwchar>
#include <cwctype>
#include <exception>
#include <initializer_list>
#include <memory>

#include "components/WideText.h"
#include "metadata/CoverThumbnail.h"
#include "metadata/TagLibTags.h"

namespace {

// The first value under the first of the keys that has one; null when none has.
const TagLib::String* FirstValue(const TagLib::PropertyMap& properties, std::initializer_list<const char*> keys)
{
    for (const char* key : keys) {
        auto found = properties.find(key);
        if (found != properties.end() && !found->second.isEmpty()) return &found->second.front();
    }
    return nullptr;
}

void FillSlot(wchar_t* slot, int capacity, const TagLib::PropertyMap& properties,
              std::initializer_list<const char*> keys)
{
    if (wcscmp(slot, kMissingText) != 0) return;
    const TagLib::String* value = FirstValue(properties, keys);
    if (!value) return;
    std::wstring text = value->toWString();
    CopyWideText(text.c_str(), text.size(), slot, capacity);
}

// The year is the first four digits in a row of a date ("2021-05-03" gives 2021); a date without
// them is shown as it is, cut to the slot.
void FillYear(wchar_t* slot, int capacity, const TagLib::PropertyMap& properties)
{
    if (wcscmp(slot, kMissingText) != 0) return;
    const TagLib::String* value = FirstValue(properties, {"DATE", "YEAR"});
    if (!value) return;
    std::wstring text = value->toWString();
    for (size_t i = 0; i + 4 <= text.size(); ++i) {
        size_t digits = 0;
        while (digits < 4 && iswdigit(text[i + digits]) && text[i + digits] < 0x80) ++digits;
        if (digits == 4) {
            CopyWideText(text.c_str() + i, 4, slot, capacity);
            return;
        }
    }
    CopyWideText(text.c_str(), text.size(), slot, capacity);
}

}  // namespace

void TrackInfo::ReadOtherTags()
{
    try {
        // Read-only from the start: TagLib's default first asks for write access, which a file
        // open elsewhere may refuse and which no reader of tags needs.
        TagLib::FileStream stream(path, true);
        if (!stream.isOpen()) return;
        FoundTags found = ReadTagLibTags(stream);
        FillSlot(album, 256, found.properties, {"ALBUM"});
        FillSlot(artist, 256, found.properties, {"ARTIST"});
        FillSlot(copyright, 64, found.properties, {"COPYRIGHT"});
        FillSlot(publisher, 64, found.properties, {"ORGANIZATION", "LABEL", "PUBLISHER"});
        FillSlot(title, 256, found.properties, {"TITLE"});
        FillYear(year, 8, found.properties);
        if (!hasArt && !found.cover.isEmpty()) {
            hasArt = MakeCoverThumbnail(reinterpret_cast<const unsigned char*>(found.cover.data()), found.cover.size(),
                                        artThumbnail);
        }
    } catch (const std::exception&) {
        // Out of memory or a broken file inside TagLib: the record keeps what id3lib gave.
    }
}
