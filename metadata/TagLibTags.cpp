// What TagLib finds in a file: its properties and its cover.
#include "metadata/TagLibTags.h"

#include <attachedpictureframe.h>
#include <flacfile.h>
#include <id3v2framefactory.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <oggflacfile.h>
#include <opusfile.h>
#include <vorbisfile.h>
#include <xiphcomment.h>

namespace {

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

// ID3v2 chapter frames (CHAP, CTOC) may hold frames, chapters among them, and TagLib reads such
// nesting by recursion: a tag of a few megabytes of chapters nested in chapters overflows the
// stack of the thread that reads it. The player shows no chapters, so its frame factory reads them
// as frames of unknown kind, which are skipped whole. The frame header's class is protected in
// TagLib; its type is taken from the factory's own function.
template <class Method>
struct ParameterOf;
template <class Result, class Class, class Parameter>
struct ParameterOf<Result (Class::*)(Parameter) const> {
    using Type = Parameter;
};

struct FrameFactoryTypes : TagLib::ID3v2::FrameFactory {
    using FrameHeader = ParameterOf<decltype(&FrameFactoryTypes::updateFrame)>::Type;
};

class FrameFactoryWithoutChapters : public TagLib::ID3v2::FrameFactory {
protected:
    bool updateFrame(FrameFactoryTypes::FrameHeader header) const override
    {
        const TagLib::ByteVector id = header->frameID();
        if (id == "CHAP" || id == "CTOC") return false;
        return FrameFactory::updateFrame(header);
    }
};

// Shared by every thread: it holds no state of its own.
TagLib::ID3v2::FrameFactory* FrameFactory()
{
    static FrameFactoryWithoutChapters factory;
    return &factory;
}

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

}  // namespace

FoundTags ReadTagLibTags(TagLib::IOStream& stream)
{
    FoundTags found;
    switch (FindContainer(stream)) {
    case Container::Ogg:
        if (!ReadOgg<TagLib::Ogg::Vorbis::File>(stream, found) && !ReadOgg<TagLib::Ogg::FLAC::File>(stream, found))
            ReadOgg<TagLib::Ogg::Opus::File>(stream, found);
        break;
    case Container::Flac: {
        TagLib::FLAC::File file(&stream, FrameFactory(), false);
        if (!file.isValid()) break;
        found.properties = file.properties();
        found.cover = CoverOf(file.pictureList());
        if (found.cover.isEmpty()) found.cover = CoverOf(file.ID3v2Tag());
        break;
    }
    case Container::Other: {
        TagLib::MPEG::File file(&stream, FrameFactory(), false);
        if (!file.isValid()) break;
        found.properties = file.properties();
        found.cover = CoverOf(file.ID3v2Tag());
        break;
    }
    }
    return found;
}
