// libFuzzer target: the whole tag reading the player does on every file it lists or starts,
// natively under ASan and UBSan, on one input: the same id3lib calls as TrackInfo (ReadTextFrame,
// ReadAlbumArt) and the now-playing update (GetFileSize), then the player's own TagLib read
// (ReadTagLibTags, the code TrackInfo runs for ID3v2.4, Vorbis comments, FLAC and Opus), the texts
// taken as TrackInfo takes them, and each cover's size checked as MakeCoverThumbnail does.
//
// The player opens a tag by file name, which parses an ifstream through ID3_IStreamReader. Fuzzing
// feeds the same reader class an in-memory stream instead: the parse is the same code, and a run
// no longer spends most of its time in the seek system call behind every tellg. With
// FUZZ_THROUGH_FILE set, each input goes through a file and the file-name constructor, exactly as
// the player reads it; run-fuzz.sh replays the whole corpus that way once the fuzzing ends.
#include <id3/readers.h>
#include <id3/tag.h>
#include <tbytevectorstream.h>
#include <tfilestream.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>

#include "metadata/PictureSize.h"
#include "metadata/TagLibTags.h"

namespace {

// The whole input becomes a file, since the player opens tags by file name.
std::string InputPath()
{
    const char* folder = getenv("FUZZ_SCRATCH");
    return std::string(folder ? folder : "/tmp") + "/tagfuzz-" + std::to_string(getpid()) + ".mp3";
}

void ReadTextFrame(const ID3_Tag& tag, ID3_FrameID id)
{
    char buffer[256] = {};
    const ID3_Frame* frame = tag.Find(id);
    if (!frame) return;
    ID3_Field* field = frame->GetField(ID3FN_TEXT);
    if (!field) return;
    if (field->GetEncoding() == ID3TE_UTF16) {
        const unicode_t* raw = field->GetRawUnicodeText();
        size_t units = raw ? field->Size() / 2 : 0;
        volatile unsigned sum = 0;
        for (size_t i = 0; i < units && i < 255; ++i) sum += raw[i];
        return;
    }
    field->SetEncoding(ID3TE_ISO8859_1);
    field->Get(buffer, sizeof buffer - 1);
}

void CheckCover(const unsigned char* bytes, size_t size)
{
    unsigned width = 0, height = 0;
    if (bytes && size > 0) ReadPictureSize(bytes, size, width, height);
}

void ReadAlbumArt(const ID3_Tag& tag)
{
    const ID3_Frame* frame = tag.Find(ID3FID_PICTURE);
    if (!frame) return;
    const ID3_Field* field = frame->GetField(ID3FN_DATA);
    const uchar* bytes = field ? field->GetRawBinary() : nullptr;
    size_t size = field ? field->Size() : 0;
    CheckCover(bytes, size);
}

void ReadTrack(const ID3_Tag& tag)
{
    for (ID3_FrameID id :
         {ID3FID_ALBUM, ID3FID_LEADARTIST, ID3FID_COPYRIGHT, ID3FID_PUBLISHER, ID3FID_TITLE, ID3FID_YEAR})
        ReadTextFrame(tag, id);
    ReadAlbumArt(tag);
    volatile size_t fileSize = tag.GetFileSize();
    (void)fileSize;
}

void ReadOtherTags(TagLib::IOStream& stream)
{
    FoundTags found = ReadTagLibTags(stream);
    volatile size_t characters = 0;
    for (const auto& property : found.properties) {
        for (const TagLib::String& value : property.second) characters += value.toWString().size();
    }
    CheckCover(reinterpret_cast<const unsigned char*>(found.cover.data()), found.cover.size());
}

void ParseThroughFile(const uint8_t* data, size_t size)
{
    static const std::string path = InputPath();
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return;
    fwrite(data, 1, size, file);
    fclose(file);
    ID3_Tag tag(path.c_str());
    ReadTrack(tag);
    TagLib::FileStream stream(path.c_str(), true);
    if (stream.isOpen()) ReadOtherTags(stream);
}

void ParseInMemory(const uint8_t* data, size_t size)
{
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    ID3_IStreamReader reader(stream);
    ID3_Tag tag;
    tag.Link(reader);
    ReadTrack(tag);
    TagLib::ByteVector bytes(reinterpret_cast<const char*>(data), static_cast<unsigned>(size));
    TagLib::ByteVectorStream memory(bytes);
    ReadOtherTags(memory);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool throughFile = getenv("FUZZ_THROUGH_FILE") != nullptr;
    try {
        if (throughFile)
            ParseThroughFile(data, size);
        else
            ParseInMemory(data, size);
    } catch (...) {
        // TrackInfo turns any exception into "Unreadable file"; only memory faults are findings.
    }
    return 0;
}
