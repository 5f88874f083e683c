// Tests of TrackInfo on tagged files written by the test itself: text slots, display title, art.
#include "metadata/TrackInfo.h"

#include <id3/tag.h>

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "support/TagWriter.h"
#include "support/TestSupport.h"

namespace {

const std::wstring kNotAvailable = L"[N/A]";

// The slot's text; fails the test when the slot has no terminator within its capacity.
template <size_t Capacity>
std::wstring Slot(const wchar_t (&slot)[Capacity])
{
    size_t length = wcsnlen(slot, Capacity);
    EXPECT_LT(length, Capacity) << "slot not terminated";
    return std::wstring(slot, length);
}

// What the reader is expected to make of 8-bit text: the system's own conversion of it.
std::wstring FromAnsi(const std::string& text)
{
    int length = MultiByteToWideChar(CP_ACP, MB_COMPOSITE, text.c_str(), -1, nullptr, 0);
    if (length <= 1) return L"";
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, MB_COMPOSITE, text.c_str(), -1, &wide[0], length);
    wide.resize(length - 1);
    return wide;
}

// Text of the given length whose characters differ from their neighbours, so a cut shows where.
std::string Pattern(size_t length)
{
    std::string text;
    for (size_t i = 0; i < length; ++i) text += static_cast<char>('A' + i % 26);
    return text;
}

std::wstring WidePattern(size_t length)
{
    std::wstring text;
    for (size_t i = 0; i < length; ++i) text += static_cast<wchar_t>(0x0410 + i % 32);  // Cyrillic
    return text;
}

using Gdiplus::Bitmap;
using Gdiplus::Color;

Bytes Picture(int width, int height, const Color& left, const Color& right, const wchar_t* mimeType)
{
    Bitmap bitmap(width, height, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&bitmap);
    Gdiplus::SolidBrush leftBrush(left), rightBrush(right);
    graphics.FillRectangle(&leftBrush, 0, 0, width / 2, height);
    graphics.FillRectangle(&rightBrush, width / 2, 0, width - width / 2, height);
    return EncodePicture(bitmap, mimeType);
}

Bytes SolidPng(const Color& color)
{
    return Picture(40, 40, color, color, L"image/png");
}

const Color kRed(255, 255, 0, 0);
const Color kBlue(255, 0, 0, 255);
const Color kGreen(255, 0, 200, 0);
const Color kBackdrop(255, 255, 0, 255);

// The art as it is drawn into a 100 x 100 area filled with kBackdrop (null art draws nothing).
std::unique_ptr<Bitmap> DrawArt(Gdiplus::Image* art)
{
    auto canvas = std::make_unique<Bitmap>(100, 100, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(canvas.get());
    graphics.Clear(kBackdrop);
    if (art) graphics.DrawImage(art, Gdiplus::Rect(0, 0, 100, 100));
    return canvas;
}

bool Near(Bitmap& bitmap, int x, int y, const Color& expected)
{
    Color c;
    bitmap.GetPixel(x, y, &c);
    auto close = [](BYTE a, BYTE b) { return (a > b ? a - b : b - a) <= 48; };
    return close(c.GetR(), expected.GetR()) && close(c.GetG(), expected.GetG()) &&
           close(c.GetB(), expected.GetB()) && c.GetA() == 255;
}

// Committed private memory of this process. Wine reports PrivateUsage as 0; PagefileUsage counts
// the same commit charge on Windows and under Wine.
size_t CommittedBytes()
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PagefileUsage;
}

class TrackInfoTest : public testing::Test {
protected:
    void SetUp() override
    {
        folder = MakeTempFolder("trackinfo");
        audio = TagFreeAudio(MediaPath("tone-440.mp3"));
    }
    void TearDown() override { RemoveTree(folder); }

    std::string Write(const char* name, const TagWriter& tag)
    {
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(tag.WriteTaggedFile(path, audio)) << path;
        return path;
    }

    std::string folder;
    Bytes audio;
};

void ExpectAllNotAvailable(const TrackInfo& info)
{
    EXPECT_EQ(Slot(info.title), kNotAvailable);
    EXPECT_EQ(Slot(info.artist), kNotAvailable);
    EXPECT_EQ(Slot(info.album), kNotAvailable);
    EXPECT_EQ(Slot(info.year), kNotAvailable);
    EXPECT_EQ(Slot(info.copyright), kNotAvailable);
    EXPECT_EQ(Slot(info.publisher), kNotAvailable);
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
}

// --- text frames -------------------------------------------------------------------------------

TEST_F(TrackInfoTest, EachTextFrameGoesToItsOwnSlot)
{
    std::string path = Write("all.mp3", TagWriter()
                                            .AddIsoText("TIT2", "Night Drive")
                                            .AddIsoText("TPE1", "The Artist")
                                            .AddIsoText("TALB", "First Album")
                                            .AddIsoText("TYER", "1999")
                                            .AddIsoText("TCOP", "(C) Owner")
                                            .AddIsoText("TPUB", "Small Label")
                                            .SetPadding(64));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), L"Night Drive");
    EXPECT_EQ(Slot(info.artist), L"The Artist");
    EXPECT_EQ(Slot(info.album), L"First Album");
    EXPECT_EQ(Slot(info.year), L"1999");
    EXPECT_EQ(Slot(info.copyright), L"(C) Owner");
    EXPECT_EQ(Slot(info.publisher), L"Small Label");
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
    EXPECT_STREQ(info.path, path.c_str());
    // The tag stays linked to its file: the now-playing view asks it for the file's size.
    ASSERT_NE(info.tag, nullptr);
    EXPECT_EQ(info.tag->GetFileSize(), ReadFileContents(path).size());
    // A real title is shown as it is.
    EXPECT_EQ(std::wstring(info.GetDisplayTitle()), L"Night Drive");
}

TEST_F(TrackInfoTest, MissingFramesReadAsNotAvailableAndLeaveTheOthersAlone)
{
    std::string first = Write("first.mp3", TagWriter()
                                               .AddIsoText("TIT2", "Title Only")
                                               .AddIsoText("TYER", "2004")
                                               .AddIsoText("TCOP", "Copy"));
    std::string second = Write("second.mp3", TagWriter()
                                                 .AddIsoText("TALB", "Album")
                                                 .AddIsoText("TPE1", "Artist")
                                                 .AddIsoText("TPUB", "Publisher"));
    TrackInfo a(first.c_str());
    EXPECT_EQ(Slot(a.title), L"Title Only");
    EXPECT_EQ(Slot(a.year), L"2004");
    EXPECT_EQ(Slot(a.copyright), L"Copy");
    EXPECT_EQ(Slot(a.artist), kNotAvailable);
    EXPECT_EQ(Slot(a.album), kNotAvailable);
    EXPECT_EQ(Slot(a.publisher), kNotAvailable);

    TrackInfo b(second.c_str());
    EXPECT_EQ(Slot(b.album), L"Album");
    EXPECT_EQ(Slot(b.artist), L"Artist");
    EXPECT_EQ(Slot(b.publisher), L"Publisher");
    EXPECT_EQ(Slot(b.title), kNotAvailable);
    EXPECT_EQ(Slot(b.year), kNotAvailable);
    EXPECT_EQ(Slot(b.copyright), kNotAvailable);
}

TEST_F(TrackInfoTest, UntaggedMissingAndEmptyFilesGiveSixNotAvailable)
{
    std::string untagged = folder + "\\untagged.mp3";
    ASSERT_TRUE(WriteFileBytes(untagged, audio.data(), audio.size()));
    std::string empty = folder + "\\empty.mp3";
    ASSERT_TRUE(WriteFileBytes(empty, "", 0));
    std::string missing = folder + "\\missing.mp3";

    for (const std::string* path : {&untagged, &empty, &missing}) {
        SCOPED_TRACE(*path);
        TrackInfo info(path->c_str());
        ExpectAllNotAvailable(info);
        EXPECT_NE(info.tag, nullptr);
        // Construction leaves the marker; only the display title puts the name in its place.
        std::wstring name = FromAnsi(path->substr(path->rfind('\\') + 1));
        EXPECT_EQ(std::wstring(info.GetDisplayTitle()), name);
        EXPECT_EQ(Slot(info.title), name);
    }
}

TEST_F(TrackInfoTest, PathIsTheRecordsOwnCopy)
{
    char path[MAX_PATH] = {};
    snprintf(path, sizeof path, "%s\\own.mp3", folder.c_str());
    TrackInfo info(path);
    EXPECT_NE(info.path, path);
    strcpy(path, "C:\\elsewhere\\other.mp3");
    EXPECT_EQ(std::wstring(info.GetDisplayTitle()), L"own.mp3");
}

TEST_F(TrackInfoTest, EmptyFramesGiveEmptyTextNotTheMarker)
{
    std::string path = Write("emptyframes.mp3", TagWriter()
                                                    .AddIsoText("TIT2", "")
                                                    .AddUtf16Text("TPE1", L"")
                                                    .AddIsoText("TALB", std::string(1, '\0'))
                                                    .AddUtf16Text("TCOP", std::wstring(1, L'\0')));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), L"");
    EXPECT_EQ(Slot(info.artist), L"");
    EXPECT_EQ(Slot(info.album), L"");
    EXPECT_EQ(Slot(info.copyright), L"");
    EXPECT_EQ(Slot(info.year), kNotAvailable);
    // An empty title is a title: the file name does not replace it.
    EXPECT_EQ(std::wstring(info.GetDisplayTitle()), L"");
}

TEST_F(TrackInfoTest, MarkerTitleInAnyCaseIsReplacedByTheFileName)
{
    std::string lower = Write("lower.mp3", TagWriter().AddIsoText("TIT2", "[n/a]"));
    std::string wide = Write("wide.mp3", TagWriter().AddUtf16Text("TIT2", L"[N/a]"));
    std::string close = Write("close.mp3", TagWriter().AddIsoText("TIT2", "[N/A] "));

    TrackInfo a(lower.c_str());
    EXPECT_EQ(Slot(a.title), L"[n/a]");
    EXPECT_EQ(std::wstring(a.GetDisplayTitle()), L"lower.mp3");
    TrackInfo b(wide.c_str());
    EXPECT_EQ(std::wstring(b.GetDisplayTitle()), L"wide.mp3");
    TrackInfo c(close.c_str());
    EXPECT_EQ(std::wstring(c.GetDisplayTitle()), L"[N/A] ");
}

TEST_F(TrackInfoTest, LongIsoTextsAreCutAtTheirSlotsWithoutTouchingTheNextField)
{
    std::string title = Pattern(300), copyright = Pattern(100), publisher = Pattern(100);
    std::reverse(publisher.begin(), publisher.end());
    std::string path = Write("long.mp3", TagWriter()
                                             .AddIsoText("TPE1", "Artist Before Title")
                                             .AddIsoText("TIT2", title)
                                             .AddIsoText("TCOP", copyright)
                                             .AddIsoText("TPUB", publisher)
                                             .AddIsoText("TYER", "2001-02-03"));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), FromAnsi(title.substr(0, 255)));
    EXPECT_EQ(Slot(info.artist), L"Artist Before Title");
    EXPECT_EQ(Slot(info.year), L"2001-02");
    EXPECT_EQ(Slot(info.copyright), FromAnsi(copyright.substr(0, 63)));
    EXPECT_EQ(Slot(info.publisher), FromAnsi(publisher.substr(0, 63)));
    // The publisher slot ends where the art fields begin.
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
}

TEST_F(TrackInfoTest, LongUtf16TextsAreCutAtTheirSlots)
{
    std::wstring title = WidePattern(300), copyright = WidePattern(100);
    std::string path = Write("longwide.mp3", TagWriter()
                                                 .AddIsoText("TPE1", "Artist")
                                                 .AddUtf16Text("TIT2", title)
                                                 .AddUtf16Text("TCOP", copyright)
                                                 .AddUtf16Text("TPUB", copyright, TagWriter::ByteOrder::BigEndian)
                                                 .AddUtf16Text("TYER", L"2001-02-03")
                                                 .AddPicture("image/png", SolidPng(kGreen)));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), title.substr(0, 255));
    EXPECT_EQ(Slot(info.artist), L"Artist");
    EXPECT_EQ(Slot(info.copyright), copyright.substr(0, 63));
    EXPECT_EQ(Slot(info.publisher), copyright.substr(0, 63));
    EXPECT_EQ(Slot(info.year), L"2001-02");
    EXPECT_TRUE(info.hasArt);
    ASSERT_NE(info.artThumbnail, nullptr);
    EXPECT_EQ(info.artThumbnail->GetWidth(), 100u);
}

TEST_F(TrackInfoTest, Utf16FramesKeepTheirCharacters)
{
    using Order = TagWriter::ByteOrder;
    const std::wstring cafe = L"Caf\u00e9";
    const std::wstring cyrillic = L"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440";
    const std::wstring cjk = L"\u6771\u4eac\u306e\u591c";
    std::string path = Write("wide.mp3", TagWriter()
                                             .AddUtf16Text("TIT2", cafe, Order::LittleEndian)
                                             .AddUtf16Text("TPE1", cafe, Order::BigEndian)
                                             .AddUtf16Text("TALB", cyrillic, Order::LittleEndian)
                                             .AddUtf16Text("TPUB", cjk, Order::BigEndian)
                                             .AddUtf16Text("TCOP", cjk + std::wstring(1, L'\0'))
                                             .AddUtf16Text("TYER", L"1987"));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), cafe);
    EXPECT_EQ(Slot(info.artist), cafe);
    EXPECT_EQ(Slot(info.album), cyrillic);
    EXPECT_EQ(Slot(info.publisher), cjk);
    EXPECT_EQ(Slot(info.copyright), cjk);
    EXPECT_EQ(Slot(info.year), L"1987");
}

TEST_F(TrackInfoTest, SurrogatePairIsNeverSplitAtTheCut)
{
    const std::wstring note = L"\U0001F3B5";  // two UTF-16 units
    ASSERT_EQ(note.size(), 2u);
    std::wstring straddling = std::wstring(62, L'a') + note + L"tail";  // pair at units 62-63
    std::wstring fitting = std::wstring(61, L'b') + note + L"tail";     // pair at units 61-62
    std::wstring inside = L"Song " + note + L" Title";
    std::string path = Write("emoji.mp3", TagWriter()
                                              .AddUtf16Text("TCOP", straddling)
                                              .AddUtf16Text("TPUB", fitting)
                                              .AddUtf16Text("TIT2", inside));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.copyright), std::wstring(62, L'a'));
    EXPECT_EQ(Slot(info.publisher), fitting.substr(0, 63));
    EXPECT_EQ(Slot(info.title), inside);
}

TEST_F(TrackInfoTest, IsoTextIsConvertedFromTheAnsiCodePage)
{
    // Under this prefix the ANSI code page is 1252, where byte 0xE9 is an accented e.
    UINT codePage = GetACP();
    RecordProperty("AnsiCodePage", static_cast<int>(codePage));
    const std::string cafe = "Caf\xE9";
    std::wstring expected = FromAnsi(cafe);
    if (codePage == 1252) {
        EXPECT_EQ(expected.substr(0, 4), L"Cafe") << "not decomposed";
    }

    // A last byte that expands to two characters right at the cut.
    std::string longTitle = std::string(254, 'x') + "\xE9";
    std::string longPublisher = std::string(62, 'y') + "\xE9";
    std::string path = Write("iso.mp3", TagWriter()
                                            .AddIsoText("TIT2", cafe)
                                            .AddIsoText("TALB", longTitle)
                                            .AddIsoText("TPUB", longPublisher)
                                            .AddIsoText("TYER", "\xE9\xE9\xE9\xE9")
                                            .AddIsoText("TCOP", "Copyright"));
    TrackInfo info(path.c_str());
    EXPECT_EQ(Slot(info.title), expected);
    EXPECT_NE(Slot(info.title), L"Cafi");

    // Cut anywhere inside the conversion, as long as it is a prefix that fills the slot but one.
    auto expectPrefixCut = [](const std::wstring& slot, const std::wstring& whole, size_t capacity) {
        EXPECT_LE(slot.size(), capacity - 1);
        EXPECT_GE(slot.size() + 1, capacity - 1);
        EXPECT_EQ(whole.compare(0, slot.size(), slot), 0) << "not a prefix";
    };
    expectPrefixCut(Slot(info.album), FromAnsi(longTitle), 256);
    expectPrefixCut(Slot(info.publisher), FromAnsi(longPublisher), 64);
    expectPrefixCut(Slot(info.year), FromAnsi("\xE9\xE9\xE9\xE9"), 8);
    EXPECT_EQ(Slot(info.copyright), L"Copyright");
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
}

TEST_F(TrackInfoTest, BrokenTagsStillGiveTerminatedSlots)
{
    // A frame whose size runs far past the tag, and a tag whose size runs past the file.
    Bytes oversizedFrame = TagWriter().AddIsoText("TIT2", "Short").AddIsoText("TPE1", "Next").Build();
    oversizedFrame[14] = 0x7F;
    Bytes oversizedTag = TagWriter().AddIsoText("TALB", "Album").Build();
    oversizedTag[6] = 0x7F;
    // A truncated picture: the first half of a PNG file.
    Bytes png = Picture(600, 300, kRed, kBlue, L"image/png");
    ASSERT_FALSE(png.empty());
    png.resize(png.size() / 2);
    Bytes halfPicture = TagWriter().AddIsoText("TIT2", "Half").AddPicture("image/png", png).Build();
    // Encodings a v2.3 tag does not know (UTF-16 without byte order mark, UTF-8) and a made-up one.
    Bytes strangeEncodings = TagWriter()
                                 .AddFrame("TIT2", {2, 0, 'C', 0, 'a', 0, 'f', 0, 0xE9})
                                 .AddFrame("TPE1", {3, 'C', 'a', 'f', 0xC3, 0xA9})
                                 .AddFrame("TALB", {0x41, 'C', 'a', 'f', 0xE9})
                                 .AddFrame("TYER", {1, 0xFF, 0xFE, '1', 0, '9'})  // odd byte count
                                 .Build();

    int index = 0;
    for (const Bytes* tag : {&oversizedFrame, &oversizedTag, &halfPicture, &strangeEncodings}) {
        std::string path = folder + "\\broken" + std::to_string(index++) + ".mp3";
        ASSERT_TRUE(WriteFileBytes(path, tag->data(), tag->size()));
        SCOPED_TRACE(path);
        TrackInfo info(path.c_str());
        Slot(info.title);
        Slot(info.artist);
        Slot(info.album);
        Slot(info.year);
        Slot(info.copyright);
        Slot(info.publisher);
        if (info.artThumbnail) DrawArt(info.artThumbnail);
    }
}

// --- display title -----------------------------------------------------------------------------

TEST(TrackInfoDisplayTitle, FileNameFollowsTheLastSeparatorOfEitherKind)
{
    struct Case {
        const char* path;
        const wchar_t* title;
    } cases[] = {
        {"C:\\Music\\song.mp3", L"song.mp3"},
        {"C:/Music/forward.mp3", L"forward.mp3"},
        {"C:\\Music/mixed\\back.mp3", L"back.mp3"},
        {"C:\\Music\\mixed/front.mp3", L"front.mp3"},
        {"bare name.mp3", L"bare name.mp3"},
        {"C:\\Music\\", L""},
        {"C:\\Music/", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        TrackInfo info(c.path);
        EXPECT_EQ(Slot(info.title), kNotAvailable);
        const wchar_t* first = info.GetDisplayTitle();
        EXPECT_EQ(first, info.title);
        EXPECT_EQ(std::wstring(first), c.title);
        // The name now is the title, so a second call gives the same text.
        EXPECT_EQ(std::wstring(info.GetDisplayTitle()), c.title);
        EXPECT_EQ(Slot(info.artist), kNotAvailable);
    }
}

TEST(TrackInfoDisplayTitle, FileNameIsConvertedAndBounded)
{
    std::string accented = "C:\\Music\\caf\xE9.mp3";
    TrackInfo a(accented.c_str());
    EXPECT_EQ(std::wstring(a.GetDisplayTitle()), FromAnsi("caf\xE9.mp3"));

    std::string longName = Pattern(300);
    TrackInfo b(longName.c_str());
    EXPECT_EQ(std::wstring(b.GetDisplayTitle()), FromAnsi(longName.substr(0, 255)));
    EXPECT_EQ(Slot(b.title).size(), 255u);
    EXPECT_EQ(Slot(b.artist), kNotAvailable);
}

// --- album art ---------------------------------------------------------------------------------

TEST_F(TrackInfoTest, CoverIsScaledWholeTo100By100)
{
    Bytes cover = Picture(600, 300, kRed, kBlue, L"image/png");
    ASSERT_FALSE(cover.empty());
    std::string path = Write("cover.mp3", TagWriter().AddIsoText("TIT2", "Cover").AddPicture("image/png", cover));
    TrackInfo info(path.c_str());
    EXPECT_TRUE(info.hasArt);
    ASSERT_NE(info.artThumbnail, nullptr);
    EXPECT_EQ(info.artThumbnail->GetWidth(), 100u);
    EXPECT_EQ(info.artThumbnail->GetHeight(), 100u);

    // Both halves, squeezed to the full height: not cropped, no bars above or below.
    auto drawn = DrawArt(info.artThumbnail);
    EXPECT_TRUE(Near(*drawn, 5, 50, kRed));
    EXPECT_TRUE(Near(*drawn, 40, 50, kRed));
    EXPECT_TRUE(Near(*drawn, 60, 50, kBlue));
    EXPECT_TRUE(Near(*drawn, 95, 50, kBlue));
    EXPECT_TRUE(Near(*drawn, 25, 3, kRed));
    EXPECT_TRUE(Near(*drawn, 75, 96, kBlue));
}

TEST_F(TrackInfoTest, JpegCoverIsDecodedToo)
{
    Bytes cover = Picture(64, 64, kGreen, kGreen, L"image/jpeg");
    ASSERT_FALSE(cover.empty());
    std::string path = Write("jpeg.mp3", TagWriter().AddPicture("image/jpeg", cover));
    TrackInfo info(path.c_str());
    EXPECT_TRUE(info.hasArt);
    ASSERT_NE(info.artThumbnail, nullptr);
    EXPECT_EQ(info.artThumbnail->GetWidth(), 100u);
    EXPECT_EQ(info.artThumbnail->GetHeight(), 100u);
    EXPECT_TRUE(Near(*DrawArt(info.artThumbnail), 50, 50, kGreen));
    EXPECT_EQ(Slot(info.title), kNotAvailable);
}

TEST_F(TrackInfoTest, FirstOfTwoPicturesIsUsed)
{
    Bytes red = SolidPng(kRed), blue = SolidPng(kBlue);
    ASSERT_FALSE(red.empty());
    ASSERT_FALSE(blue.empty());
    std::string redFirst = Write("redfirst.mp3", TagWriter().AddPicture("image/png", red).AddPicture("image/png", blue));
    std::string blueFirst = Write("bluefirst.mp3", TagWriter().AddPicture("image/png", blue).AddPicture("image/png", red));

    TrackInfo a(redFirst.c_str());
    ASSERT_NE(a.artThumbnail, nullptr);
    EXPECT_TRUE(Near(*DrawArt(a.artThumbnail), 50, 50, kRed));
    TrackInfo b(blueFirst.c_str());
    ASSERT_NE(b.artThumbnail, nullptr);
    EXPECT_TRUE(Near(*DrawArt(b.artThumbnail), 50, 50, kBlue));
}

TEST_F(TrackInfoTest, PictureFrameWithoutAPictureShowsAnEmptyArtArea)
{
    const std::string text = "this is not a picture at all";
    std::string garbage = Write("garbage.mp3", TagWriter()
                                                   .AddIsoText("TIT2", "Garbage")
                                                   .AddPicture("image/png", Bytes(text.begin(), text.end())));
    std::string empty = Write("nodata.mp3", TagWriter().AddIsoText("TIT2", "No data").AddPicture("image/png", {}));

    for (const std::string* path : {&garbage, &empty}) {
        SCOPED_TRACE(*path);
        TrackInfo info(path->c_str());
        EXPECT_TRUE(info.hasArt);
        EXPECT_NE(Slot(info.title), kNotAvailable);
        auto drawn = DrawArt(info.artThumbnail);
        int changed = 0;
        for (int y = 0; y < 100; y += 3)
            for (int x = 0; x < 100; x += 3) changed += Near(*drawn, x, y, kBackdrop) ? 0 : 1;
        EXPECT_EQ(changed, 0) << "the art area is not empty";
    }
}

TEST_F(TrackInfoTest, RecordsWithArtGiveBackTheirGdiObjects)
{
    std::string path = Write("gdi.mp3", TagWriter()
                                            .AddIsoText("TIT2", "Leak check")
                                            .AddPicture("image/png", Picture(600, 300, kRed, kBlue, L"image/png")));
    {
        TrackInfo warmUp(path.c_str());  // first use of the decoders may keep objects for good
        ASSERT_NE(warmUp.artThumbnail, nullptr);
    }
    DWORD before = GdiObjectCount();
    for (int i = 0; i < 50; ++i) {
        TrackInfo info(path.c_str());
        ASSERT_NE(info.artThumbnail, nullptr);
    }
    for (int i = 0; i < 50; ++i) {
        auto info = std::make_unique<TrackInfo>(path.c_str());
        DrawArt(info->artThumbnail);
    }
    EXPECT_EQ(GdiObjectCount(), before);
}

TEST_F(TrackInfoTest, RecordsWithArtGiveBackTheirMemory)
{
    std::string path = Write("memory.mp3", TagWriter()
                                               .AddIsoText("TIT2", "Leak check")
                                               .AddPicture("image/png", Picture(600, 300, kRed, kBlue, L"image/png")));
    for (int i = 0; i < 20; ++i) TrackInfo warmUp(path.c_str());
    size_t before = CommittedBytes();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 100; ++i) {
        TrackInfo info(path.c_str());
        ASSERT_NE(info.artThumbnail, nullptr);
    }
    // A kept thumbnail would be about 40 KB a record, a kept tag about 4 KB.
    long long growth = static_cast<long long>(CommittedBytes()) - static_cast<long long>(before);
    EXPECT_LT(growth, 160 * 1024) << "records keep memory after destruction";
}

}  // namespace
