// Tests of TrackInfo on tagged files written by the test itself: text slots, display title, art.
#include "metadata/TrackInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <memory>
#include <string>

#include "components/ShortPath.h"
#include "support/TagWriter.h"
#include "support/TestSupport.h"

namespace {

using Gdiplus::Bitmap;
using Gdiplus::Color;
using Order = TagWriter::ByteOrder;

const std::wstring kNotAvailable = L"[N/A]";
const char* const kFrames[] = {"TIT2", "TPE1", "TALB", "TYER", "TCOP", "TPUB"};

// The slot's text; fails the test when the slot has no terminator within its capacity.
template <size_t Capacity>
std::wstring Slot(const wchar_t (&slot)[Capacity])
{
    size_t length = wcsnlen(slot, Capacity);
    EXPECT_LT(length, Capacity) << "slot not terminated";
    return std::wstring(slot, length);
}

std::wstring SlotOf(const TrackInfo& info, const std::string& frame)
{
    if (frame == "TIT2") return Slot(info.title);
    if (frame == "TPE1") return Slot(info.artist);
    if (frame == "TALB") return Slot(info.album);
    if (frame == "TYER") return Slot(info.year);
    if (frame == "TCOP") return Slot(info.copyright);
    return Slot(info.publisher);
}

Bytes Picture(int width, int height, const Color& left, const Color& right)
{
    Bitmap bitmap(width, height, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&bitmap);
    Gdiplus::SolidBrush leftBrush(left), rightBrush(right);
    graphics.FillRectangle(&leftBrush, 0, 0, width / 2, height);
    graphics.FillRectangle(&rightBrush, width / 2, 0, width - width / 2, height);
    return EncodePicture(bitmap, L"image/png");
}

const Color kRed(255, 255, 0, 0);
const Color kBlue(255, 0, 0, 255);
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
    return close(c.GetR(), expected.GetR()) && close(c.GetG(), expected.GetG()) && close(c.GetB(), expected.GetB()) &&
           c.GetA() == 255;
}

class TrackInfoTest : public testing::Test {
protected:
    void SetUp() override { folder = MakeTempFolder("trackinfo"); }
    void TearDown() override { RemoveTree(folder); }

    std::string Write(const std::string& name, const TagWriter& tag)
    {
        std::string path = folder + "\\" + name;
        EXPECT_TRUE(tag.WriteFile(path)) << path;
        return path;
    }

    std::string folder;
};

TEST_F(TrackInfoTest, EachFrameFillsOnlyItsSlotCutAtTheSlotsCapacity)
{
    enum Encoding { Iso, Utf16Le, Utf16Be };
    const std::wstring note = L"\U0001F3B5";  // one character, two UTF-16 units
    struct Case {
        const char* frame;
        Encoding encoding;
        std::wstring text;  // for Iso, each unit is written as one byte
        std::wstring expected;
    } cases[] = {
        {"TIT2", Iso, L"Night Drive", L"Night Drive"},
        {"TPE1", Iso, L"The Artist", L"The Artist"},
        {"TALB", Iso, L"First Album", L"First Album"},
        {"TYER", Iso, L"1999", L"1999"},
        {"TCOP", Iso, L"(C) Owner", L"(C) Owner"},
        {"TPUB", Iso, L"Small Label", L"Small Label"},
        {"TIT2", Iso, L"", L""},
        {"TIT2", Iso, L"[n/a]", L"[n/a]"},
        // Byte 0xE9 through the user's legacy code page (1252 here, while the ANSI one is UTF-8) with
        // MB_COMPOSITE: e and a combining acute, as before the player's code page became UTF-8.
        {"TALB", Iso, L"Caf\u00e9", L"Cafe\u0301"},
        {"TIT2", Utf16Le, L"Caf\u00e9", L"Caf\u00e9"},
        {"TPE1", Utf16Be, L"Caf\u00e9", L"Caf\u00e9"},
        {"TALB", Utf16Le, L"\u041f\u0440\u0438\u0432\u0435\u0442", L"\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"TPUB", Utf16Be, L"\u6771\u4eac\u306e\u591c", L"\u6771\u4eac\u306e\u591c"},
        // Too long: cut one short of the capacity, and the slot after it keeps its own text.
        {"TIT2", Iso, std::wstring(300, L't'), std::wstring(255, L't')},
        {"TYER", Iso, L"2001-02-03", L"2001-02"},
        {"TYER", Utf16Be, L"2001-02-03", L"2001-02"},
        {"TCOP", Iso, std::wstring(100, L'c'), std::wstring(63, L'c')},
        {"TPUB", Iso, std::wstring(100, L'p'), std::wstring(63, L'p')},
        {"TCOP", Utf16Le, std::wstring(100, L'\u0416'), std::wstring(63, L'\u0416')},
        {"TCOP", Utf16Le, std::wstring(62, L'a') + note, std::wstring(62, L'a')},  // no half pair
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.frame) + " case " + std::to_string(index));
        TagWriter tag;
        if (c.encoding == Iso)
            tag.AddIsoText(c.frame, std::string(c.text.begin(), c.text.end()));
        else
            tag.AddUtf16Text(c.frame, c.text, c.encoding == Utf16Le ? Order::LittleEndian : Order::BigEndian);
        TrackInfo info(Write("case" + std::to_string(index++) + ".mp3", tag).c_str());
        for (const char* frame : kFrames)
            EXPECT_EQ(SlotOf(info, frame), frame == std::string(c.frame) ? c.expected : kNotAvailable) << frame;
        EXPECT_FALSE(info.hasArt);
        EXPECT_EQ(info.artThumbnail, nullptr);
    }
}

TEST_F(TrackInfoTest, FilesWithoutATagGiveSixNotAvailable)
{
    const char zeros[1024] = {};
    std::string untagged = folder + "\\untagged.mp3", empty = folder + "\\empty.mp3";
    ASSERT_TRUE(WriteFileBytes(untagged, zeros, sizeof zeros));
    ASSERT_TRUE(WriteFileBytes(empty, "", 0));
    for (const std::string& path : {untagged, empty, folder + "\\missing.mp3"}) {
        SCOPED_TRACE(path);
        TrackInfo info(path.c_str());
        for (const char* frame : kFrames) EXPECT_EQ(SlotOf(info, frame), kNotAvailable) << frame;
        EXPECT_FALSE(info.hasArt);
    }
}

TEST_F(TrackInfoTest, DisplayTitleIsTheFileNameOnlyInPlaceOfTheMarker)
{
    struct Case {
        const char* name;
        TagWriter tag;
        const wchar_t* shown;
    } cases[] = {
        {"titled.mp3", TagWriter().AddIsoText("TIT2", "Night Drive"), L"Night Drive"},
        {"empty.mp3", TagWriter().AddIsoText("TIT2", ""), L""},
        {"lower.mp3", TagWriter().AddIsoText("TIT2", "[n/a]"), L"lower.mp3"},
        {"wide.mp3", TagWriter().AddUtf16Text("TIT2", L"[N/a]", Order::LittleEndian), L"wide.mp3"},
        {"untitled.mp3", TagWriter().AddIsoText("TPE1", "Artist"), L"untitled.mp3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackInfo info(Write(c.name, c.tag).c_str());
        EXPECT_EQ(std::wstring(info.GetDisplayTitle()), c.shown);
    }
}

// The long name is read from the disk with the record, off the state lock; showing the title
// later no longer needs the file.
TEST_F(TrackInfoTest, DisplayTitleOfAFileReachedByItsShortNameIsItsLongNameFromWhenItWasRead)
{
    const std::wstring name = L"\u041A\u0438\u043D\u043E.mp3";
    const std::wstring longPath = std::wstring(folder.begin(), folder.end()) + L"\\" + name;
    HANDLE file = CreateFileW(longPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    char shortPath[MAX_PATH];
    if (!GetReachablePath(longPath.c_str(), shortPath, MAX_PATH)) GTEST_SKIP() << "this volume keeps no short names";

    TrackInfo info(shortPath);
    ASSERT_TRUE(DeleteFileW(longPath.c_str()));
    EXPECT_EQ(std::wstring(info.GetDisplayTitle()), name);
}

TEST(TrackInfoDisplayTitle, FileNameFollowsTheLastSeparatorOfEitherKind)
{
    struct Case {
        const char* path;
        const wchar_t* title;
    } cases[] = {
        {"C:\\Music/mixed\\back.mp3", L"back.mp3"},
        {"C:\\Music\\mixed/front.mp3", L"front.mp3"},
        {"bare name.mp3", L"bare name.mp3"},
        {"C:\\Music\\", L""},
        {"C:\\Music\\caf\xC3\xA9.mp3", L"caf\u00E9.mp3"},  // the ANSI code page is UTF-8
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        char path[MAX_PATH];
        strcpy(path, c.path);
        TrackInfo info(path);
        strcpy(path, "C:\\elsewhere\\other.mp3");  // the record keeps its own copy
        EXPECT_EQ(std::wstring(info.GetDisplayTitle()), c.title);
    }
}

TEST_F(TrackInfoTest, CoverIsScaledWholeTo100By100)
{
    std::string path = Write("cover.mp3", TagWriter().AddPicture(Picture(600, 300, kRed, kBlue)));
    TrackInfo info(path.c_str());
    EXPECT_TRUE(info.hasArt);
    ASSERT_NE(info.artThumbnail, nullptr);
    EXPECT_EQ(info.artThumbnail->GetWidth(), 100u);
    EXPECT_EQ(info.artThumbnail->GetHeight(), 100u);
    // Both halves, squeezed to the full height: not cropped, no bars above or below.
    auto drawn = DrawArt(info.artThumbnail);
    EXPECT_TRUE(Near(*drawn, 5, 3, kRed));
    EXPECT_TRUE(Near(*drawn, 40, 50, kRed));
    EXPECT_TRUE(Near(*drawn, 60, 50, kBlue));
    EXPECT_TRUE(Near(*drawn, 95, 96, kBlue));
}

TEST_F(TrackInfoTest, FirstOfTwoPicturesIsUsed)
{
    Bytes red = Picture(40, 40, kRed, kRed), blue = Picture(40, 40, kBlue, kBlue);
    for (bool redFirst : {true, false}) {
        std::string path = Write(redFirst ? "red.mp3" : "blue.mp3",
                                 TagWriter().AddPicture(redFirst ? red : blue).AddPicture(redFirst ? blue : red));
        TrackInfo info(path.c_str());
        ASSERT_NE(info.artThumbnail, nullptr);
        EXPECT_TRUE(Near(*DrawArt(info.artThumbnail), 50, 50, redFirst ? kRed : kBlue)) << path;
    }
}

TEST_F(TrackInfoTest, PictureFrameWithoutAPictureHasArtThatDrawsNothing)
{
    const std::string text = "this is not a picture at all";
    for (const Bytes& data : {Bytes(text.begin(), text.end()), Bytes()}) {
        TrackInfo info(Write("garbage.mp3", TagWriter().AddPicture(data)).c_str());
        EXPECT_TRUE(info.hasArt);
        auto drawn = DrawArt(info.artThumbnail);
        int changed = 0;
        for (int y = 0; y < 100; y += 3)
            for (int x = 0; x < 100; x += 3) changed += Near(*drawn, x, y, kBackdrop) ? 0 : 1;
        EXPECT_EQ(changed, 0) << data.size() << " bytes of data: the art area is not empty";
    }
}

TEST_F(TrackInfoTest, RecordsWithArtGiveBackTheirGdiObjects)
{
    std::string path = Write("gdi.mp3", TagWriter().AddPicture(Picture(600, 300, kRed, kBlue)));
    DrawArt(TrackInfo(path.c_str()).artThumbnail);  // first use of the decoders may keep objects for good
    DWORD before = GdiObjectCount();
    for (int i = 0; i < 50; ++i) {
        TrackInfo info(path.c_str());
        ASSERT_NE(info.artThumbnail, nullptr);
        DrawArt(info.artThumbnail);
    }
    EXPECT_EQ(GdiObjectCount(), before);
}

}  // namespace
