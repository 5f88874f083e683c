// Tests of the tags only TagLib reads: Vorbis comments and covers of ogg, opus and flac, ID3v2.4.
#include "metadata/TrackInfo.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>

#include "support/TagWriter.h"
#include "support/TestSupport.h"

namespace {

struct Texts {
    std::wstring title, artist, album, year, copyright, publisher;
};

template <size_t Capacity>
std::wstring Slot(const wchar_t (&slot)[Capacity])
{
    size_t length = wcsnlen(slot, Capacity);
    EXPECT_LT(length, Capacity) << "slot not terminated";
    return std::wstring(slot, length);
}

void ExpectTexts(const TrackInfo& info, const Texts& expected)
{
    EXPECT_EQ(Slot(info.title), expected.title);
    EXPECT_EQ(Slot(info.artist), expected.artist);
    EXPECT_EQ(Slot(info.album), expected.album);
    EXPECT_EQ(Slot(info.year), expected.year);
    EXPECT_EQ(Slot(info.copyright), expected.copyright);
    EXPECT_EQ(Slot(info.publisher), expected.publisher);
}

// The colour in the middle of the thumbnail, as 0xRRGGBB.
unsigned MiddleColour(Gdiplus::Image* art)
{
    Gdiplus::Bitmap canvas(100, 100, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&canvas);
    graphics.DrawImage(art, Gdiplus::Rect(0, 0, 100, 100));
    Gdiplus::Color c;
    canvas.GetPixel(50, 50, &c);
    return c.GetValue() & 0xFFFFFF;
}

bool IsRed(unsigned rgb)
{
    return (rgb >> 16) > 0xC0 && ((rgb >> 8) & 0xFF) < 0x40 && (rgb & 0xFF) < 0x40;
}

Bytes Utf8(const std::wstring& text)
{
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return Bytes(bytes.begin(), bytes.end());
}

// A v2.4 text frame body: the encoding byte, then the text as given.
Bytes TextBody(uint8_t encoding, const Bytes& text)
{
    Bytes body{encoding};
    body.insert(body.end(), text.begin(), text.end());
    return body;
}

Bytes Utf16BigEndian(const std::wstring& text)
{
    Bytes bytes;
    for (wchar_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
        bytes.push_back(static_cast<uint8_t>(unit));
    }
    return bytes;
}

Bytes RedPicture()
{
    Gdiplus::Bitmap bitmap(30, 20, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&bitmap);
    graphics.Clear(Gdiplus::Color(255, 255, 0, 0));
    return EncodePicture(bitmap, L"image/png");
}

const wchar_t kNight[] = L"\u041d\u043e\u0447\u043d\u043e\u0439 \u0433\u043e\u0440\u043e\u0434";  // Cyrillic
const wchar_t kTokyo[] = L"\u6771\u4eac\u306e\u591c";                                             // Japanese
const wchar_t kNorth[] = L"\u0421\u0435\u0432\u0435\u0440\u043d\u044b\u0439 Label";

TEST(OtherTags, CommentsOfOggOpusAndFlacFillTheSlotsAndTheFrontCoverIsShown)
{
    const Texts expected = {kNight, kTokyo, L"Caf\u00e9 Nights", L"2021", L"(C) 2021 Owner", kNorth};
    for (const char* name : {"tags\\tags-comments.ogg", "tags\\tags-comments.opus", "tags\\tags-comments.flac"}) {
        SCOPED_TRACE(name);
        TrackInfo info(MediaPath(name).c_str());
        ExpectTexts(info, expected);
        EXPECT_TRUE(info.hasArt);
        ASSERT_NE(info.artThumbnail, nullptr);
        EXPECT_EQ(info.artThumbnail->GetWidth(), 100u);
        // The flac holds a blue back cover before the red front cover.
        EXPECT_TRUE(IsRed(MiddleColour(info.artThumbnail))) << std::hex << MiddleColour(info.artThumbnail);
    }
}

TEST(OtherTags, Id3FieldsComeFirstAndCommentsFillTheRest)
{
    TrackInfo info(MediaPath("tags\\tags-both.flac").c_str());
    ExpectTexts(info, {L"ID3 Title", L"Comment Artist", L"[N/A]", L"[N/A]", L"[N/A]", L"Comment Label"});
    EXPECT_FALSE(info.hasArt);
    EXPECT_EQ(info.artThumbnail, nullptr);
    EXPECT_EQ(std::wstring(info.GetDisplayTitle()), L"ID3 Title");
}

TEST(OtherTags, Id3v24TagsAreReadInEveryEncodingAndCutAtTheSlots)
{
    std::string folder = MakeTempFolder("othertags");
    const std::wstring note = L"\U0001F3B5";  // two UTF-16 units
    struct Case {
        const char* name;
        TagWriter tag;
        Texts expected;
        bool art;
    } cases[] = {
        {"v24.mp3",
         std::move(TagWriter(4)
                       .AddFrame("TIT2", TextBody(3, Utf8(kNight)))
                       .AddFrame("TPE1", TextBody(2, Utf16BigEndian(kTokyo)))
                       .AddUtf16Text("TALB", L"Caf\u00e9", TagWriter::ByteOrder::LittleEndian)
                       .AddFrame("TDRC", TextBody(0, Utf8(L"2019-11-02")))
                       .AddFrame("TCOP", TextBody(3, Utf8(L"\u00a9 Owner")))
                       .AddIsoText("TPUB", "Small Label")
                       .AddPicture(RedPicture())),
         {kNight, kTokyo, L"Caf\u00e9", L"2019", L"\u00a9 Owner", L"Small Label"},
         true},
        {"v24-long.mp3",
         std::move(TagWriter(4)
                       .AddFrame("TIT2", TextBody(3, Utf8(std::wstring(300, L'\u0416'))))
                       .AddFrame("TPUB", TextBody(3, Utf8(std::wstring(62, L'p') + note)))
                       .AddFrame("TCOP", TextBody(2, Utf16BigEndian(std::wstring(100, L'c'))))),
         {std::wstring(255, L'\u0416'), L"[N/A]", L"[N/A]", L"[N/A]", std::wstring(63, L'c'), std::wstring(62, L'p')},
         false},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = folder + "\\" + c.name;
        ASSERT_TRUE(c.tag.WriteFile(path));
        TrackInfo info(path.c_str());
        ExpectTexts(info, c.expected);
        EXPECT_EQ(info.hasArt, c.art);
        if (c.art) {
            ASSERT_NE(info.artThumbnail, nullptr);
            EXPECT_TRUE(IsRed(MiddleColour(info.artThumbnail)));
        }
    }
    RemoveTree(folder);
}

}  // namespace
