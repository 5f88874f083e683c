// Tests of files made to hurt the tag reader: lying sizes, covers too big to decode, odd headers.
#include "metadata/CoverThumbnail.h"
#include "metadata/PictureSize.h"
#include "metadata/TagLibTags.h"
#include "metadata/TrackInfo.h"

#include <gtest/gtest.h>
#include <tbytevectorstream.h>
#include <psapi.h>

#include <atomic>
#include <cstdlib>
#include <cwchar>
#include <new>
#include <string>

#include "support/TagWriter.h"
#include "support/TestSupport.h"

namespace {

// The largest block asked of operator new since the last reset: the memory a lying size claims is
// reserved lazily by 64-bit Wine and never shows in the process's counters.
std::atomic<size_t> largestRequest{0};

}  // namespace

// Replaced for this test program: every new, new[] and nothrow new of the program and of id3lib
// comes here, and every delete goes to free.
void* operator new(size_t size)
{
    size_t seen = largestRequest.load();
    while (size > seen && !largestRequest.compare_exchange_weak(seen, size)) {
    }
    if (void* block = malloc(size ? size : 1)) return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    free(block);
}
void operator delete(void* block, size_t) noexcept
{
    free(block);
}

namespace {

// The most memory this process has had in use so far (its peak working set).
SIZE_T PeakMemory()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

const SIZE_T kMegabyte = 1024 * 1024;

Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes BigEndian(uint32_t value, int bytes)
{
    Bytes out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
    return out;
}

Bytes Text(const char* text)
{
    return Join({{0}, Bytes(text, text + strlen(text))});
}

// A v2.2 tag: three-letter frames with three-byte sizes.
Bytes V22Tag(const Bytes& frames)
{
    Bytes tag{'I', 'D', '3', 2, 0, 0};
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back((frames.size() >> shift) & 0x7F);
    return Join({tag, frames});
}

Bytes V22Frame(const char* id, const Bytes& body)
{
    return Join({Bytes(id, id + 3), BigEndian(body.size(), 3), body});
}

TEST(PictureSize, HeadersOfEachFormatGiveTheirDimensions)
{
    struct Case {
        const char* what;
        Bytes bytes;
        bool known;
        unsigned width, height;
    } cases[] = {
        {"png",
         Join({{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'},
               BigEndian(20000, 4),
               BigEndian(300, 4)}),
         true, 20000, 300},
        {"png cut short",
         {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R', 0, 0},
         false,
         0,
         0},
        {"jpeg after an app segment",
         Join({{0xFF, 0xD8, 0xFF, 0xE0, 0, 4, 0, 0, 0xFF, 0xC2, 0, 17, 8}, BigEndian(480, 2), BigEndian(640, 2)}), true,
         640, 480},
        {"jpeg with a segment length past the end", {0xFF, 0xD8, 0xFF, 0xE0, 0xFF, 0xF0, 0, 0}, false, 0, 0},
        {"jpeg whose scan comes first", {0xFF, 0xD8, 0xFF, 0xDA, 0, 4, 0, 0}, false, 0, 0},
        {"gif", {'G', 'I', 'F', '8', '9', 'a', 0x20, 0x4E, 0x10, 0x00}, true, 20000, 16},
        {"bmp top down", Join({{'B', 'M'}, Bytes(12, 0), {40, 0, 0, 0}, {0x20, 0x4E, 0, 0}, {0x9C, 0xFF, 0xFF, 0xFF}}),
         true, 20000, 100},
        {"bmp of OS/2", Join({{'B', 'M'}, Bytes(12, 0), {12, 0, 0, 0}, {64, 0, 32, 0}, Bytes(4, 0)}), true, 64, 32},
        {"bmp of negative width",
         Join({{'B', 'M'}, Bytes(12, 0), {40, 0, 0, 0}, {0xFF, 0xFF, 0xFF, 0xFF}, Bytes(4, 1)}), false, 0, 0},
        {"text", {'n', 'o', 't', ' ', 'a', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e'}, false, 0, 0},
        {"empty", {}, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        unsigned width = 0, height = 0;
        ASSERT_EQ(ReadPictureSize(c.bytes.data(), c.bytes.size(), width, height), c.known);
        if (c.known) {
            EXPECT_EQ(width, c.width);
            EXPECT_EQ(height, c.height);
        }
    }
}

TEST(HostileTags, ACoverTooBigToDecodeCheaplyCountsAsNoPicture)
{
    SIZE_T before = PeakMemory();
    TrackInfo info(MediaPath("tags\\huge-cover.mp3").c_str());
    EXPECT_EQ(std::wstring(info.title), L"Huge Cover");
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
    EXPECT_LT(PeakMemory(), before + 64 * kMegabyte);

    Gdiplus::Image* thumbnail = nullptr;
    Bytes tooMany(kMaxCoverBytes + 1, 0);
    EXPECT_FALSE(MakeCoverThumbnail(tooMany.data(), tooMany.size(), thumbnail));
    EXPECT_EQ(thumbnail, nullptr);
}

// Each of these once made id3lib read out of bounds or allocate what the file claimed, up to 4 GB.
TEST(HostileTags, LyingFramesNeitherThrowNorTakeMemoryAndTheFramesAfterThemAreRead)
{
    const Bytes lyingSize = BigEndian(0xFFFFFFF0u, 4);
    const Bytes packed = {0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01};  // deflate of nothing
    struct Case {
        const char* name;
        Bytes file;
        const wchar_t* artist;  // [N/A] where the lie spoils the rest of the tag
    } cases[] = {
        {"compressed-4gb",
         TagWriter().AddFrame("TIT2", Join({lyingSize, packed}), 0x0080).AddIsoText("TPE1", "After").Build(), L"After"},
        {"cdm-4gb", V22Tag(Join({V22Frame("CDM", Join({{'z'}, lyingSize, packed})), V22Frame("TP1", Text("After"))})),
         L"After"},
        {"cdm", V22Tag(Join({V22Frame("CDM", Join({{'z'}, BigEndian(0, 4), packed})), V22Frame("TP1", Text("After"))})),
         L"After"},
        {"frame-4gb", Join({{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 30, 'T', 'I', 'T', '2'}, lyingSize, Bytes(22, 'x')}),
         L"[N/A]"},
        {"encoding-0x7f", V22Tag(Join({V22Frame("TT2", {0x7F, 'T', 'e', 'x', 't'}), V22Frame("TP1", Text("After"))})),
         L"After"},
        // A UTF-16 list with a lone last byte: the list was read forever, until memory ran out.
        {"list-odd-utf16",
         TagWriter().AddFrame("IPLS", {0x01, 0xFF, 0xFE, 'a', 0, 'b'}).AddIsoText("TPE1", "After").Build(), L"After"},
        // Found by the fuzzer: a picture of type 0x43, which TagLib keeps in an enum of 21 types.
        {"picture-type-0x43",
         {0x49, 0x44, 0x33, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x47, 0x50, 0x49, 0x43, 0x00, 0x00, 0x27, 0x00,
          0x50, 0x50, 0x49, 0x43, 0x00, 0x00, 0x27, 0x00, 0x50, 0x4E, 0x47, 0x03, 0x00, 0x89, 0x50, 0x4E, 0x47,
          0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00, 0x02, 0x58, 0x00,
          0x00, 0x01, 0x2C, 0x08, 0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x54, 0x54, 0x32, 0x00, 0x00,
          0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         L"[N/A]"},
    };
    std::string folder = MakeTempFolder("hostile");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "\\" + c.name + ".mp3";
        ASSERT_TRUE(WriteFileBytes(path, c.file.data(), c.file.size()));
        SIZE_T before = PeakMemory();
        largestRequest = 0;
        try {
            TrackInfo info(path.c_str());
            EXPECT_EQ(std::wstring(info.artist), c.artist);
        } catch (const char* message) {
            ADD_FAILURE() << message;
        }
        EXPECT_LT(PeakMemory(), before + 64 * kMegabyte);
        EXPECT_LT(largestRequest.load(), 64 * kMegabyte);
    }
    RemoveTree(folder);
}

// Found by the fuzzer: chapters nested in chapters, each holding the next as its frame. TagLib reads
// such nesting by recursion, and these 100,000 levels (2.8 MB) overflowed the stack.
TEST(HostileTags, ChaptersNestedInChaptersAreSkippedAndTheFramesAfterThemRead)
{
    const int kLevels = 100000;
    const Bytes fields = Join({{'c', 0}, Bytes(16, 0)});  // element id, times and offsets
    Bytes nested;
    for (int level = 1; level <= kLevels; ++level) {
        const size_t inner = (kLevels - level + 1) * fields.size() + (kLevels - level) * 10;
        const Bytes header = Join({fields, {'C', 'H', 'A', 'P'}, BigEndian(static_cast<uint32_t>(inner), 4), {0, 0}});
        nested.insert(nested.end(), header.begin(), header.end());
    }
    nested.insert(nested.end(), fields.begin(), fields.end());
    const Bytes file = TagWriter().AddFrame("CHAP", nested).AddIsoText("TPE1", "After").Build();
    TagLib::ByteVectorStream stream(TagLib::ByteVector(reinterpret_cast<const char*>(file.data()), file.size()));
    const FoundTags found = ReadTagLibTags(stream);
    EXPECT_EQ(found.properties["ARTIST"].toString(), TagLib::String("After"));
}

}  // namespace
