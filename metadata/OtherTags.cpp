// The tags id3lib cannot read, through TagLib: ID3v2.4, and the Vorbis comments and covers of
// ogg and flac files. They fill only what id3lib left without a text or a picture.
#include "metadata/TrackInfo.h"

#include <attachedpictureframe.h>
#include <flacfile.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <tfilestream.h>
#include <tpropertymap.h>
#include <vorbisfile.h>
#include <xiphcomment.h>

#include <cwchar>
#include <cwctype>
#include <exception>
#include <initializer_list>
#include <memory>

#include "components/WideText.h"
#include "metadata/CoverThumbnail.h"

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

// The front cover when there is one, else the first picture; null without pictures.
const TagLib::FLAC::Picture* ChooseCover(const TagLib::List<TagLib::FLAC::Picture*>& pictures)
{
    for (const TagLib::FLAC::Picture* picture : pictures)
        if (picture->type() == TagLib::FLAC::Picture::FrontCover) return picture;
    return pictures.isEmpty() ? nullptr : pictures.front();
}

TagLib::ByteVector CoverOf(const TagLib::List<TagLib::FLAC::Picture*>& pictures)
{
    const TagLib::FLAC::Picture* cover = ChooseCover(pictures);
    return cover ? cover->data() : TagLib::ByteVector();
}

TagLib::ByteVector CoverOf(TagLib::ID3v2::Tag* tag)
{
    const TagLib::ID3v2::AttachedPictureFrame* first = nullptr;
    if (!tag) return TagLib::ByteVector();
    for (const TagLib::ID3v2::Frame* frame : tag->frameList("APIC")) {
        auto* picture = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(frame);
        if (!picture) continue;
        if (picture->type() == TagLib::ID3v2::AttachedPictureFrame::FrontCover) return picture->picture();
        if (!first) first = picture;
    }
    return first ? first->picture() : TagLib::ByteVector();
}

// What a file holds, told by its first bytes: an ID3v2 tag may stand in front of a FLAC stream.
enum class Container { Ogg, Flac, Other };

Container FindContainer(TagLib::IOStream& stream)
{
    stream.seek(0);
    TagLib::ByteVector head = stream.readBlock(10);
    long offset = 0;
    if (head.size() == 10 && head.startsWith("ID3")) {
        long size = ((head[6] & 0x7F) << 21) | ((head[7] & 0x7F) << 14) | ((head[8] & 0x7F) << 7) | (head[9] & 0x7F);
        offset = 10 + size + ((head[5] & 0x10) ? 10 : 0);
        stream.seek(offset);
        head = stream.readBlock(4);
    }
    stream.seek(0);
    if (head.startsWith("OggS") && offset == 0) return Container::Ogg;
    if (head.startsWith("fLaC")) return Container::Flac;
    return Container::Other;
}

struct FoundTags {
    TagLib::PropertyMap properties;
    TagLib::ByteVector cover;
};

template <class OggFile>
bool ReadOgg(TagLib::IOStream& stream, FoundTags& found)
{
    stream.seek(0);
    OggFile file(&stream, false);
    if (!file.isValid() || !file.tag()) return false;
    found.properties = file.properties();
    found.cover = CoverOf(file.tag()->pictureList());
    return true;
}

FoundTags ReadTags(TagLib::IOStream& stream)
{
    FoundTags found;
    switch (FindContainer(stream)) {
    case Container::Ogg:
        if (!ReadOgg<TagLib::Ogg::Vorbis::File>(stream, found) && !ReadOgg<TagLib::Ogg::FLAC::File>(stream, found))
            ReadOgg<TagLib::Ogg::Opus::File>(stream, found);
        break;
    case Container::Flac: {
        TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isValid()) break;
        found.properties = file.properties();
        found.cover = CoverOf(file.pictureList());
        if (found.cover.isEmpty()) found.cover = CoverOf(file.ID3v2Tag());
        break;
    }
    case Container::Other: {
        TagLib::MPEG::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isValid()) break;
        found.properties = file.properties();
        found.cover = CoverOf(file.ID3v2Tag());
        break;
    }
    }
    return found;
}

}  // namespace

void TrackInfo::ReadOtherTags()
{
    try {
        // Read-only from the start: TagLib's default first asks for write access, which a file
        // open elsewhere may refuse and which no reader of tags needs.
        TagLib::FileStream stream(path, true);
        if (!stream.isOpen()) return;
        FoundTags found = ReadTags(stream);
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
