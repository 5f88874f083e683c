// The info panel: its two texts, where and how they are drawn, and the glow-or-plain choice.
#include "render/InfoPanel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/PlaybackEngine.h"
#include "playback/NowPlaying.h"
#include "render/GlowText.h"
#include "support/Canvas.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const uint32_t kMarker = 0x123456;

class InfoPanelTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        StateLock lock(stateLock);
        currentIndex = 0;
        titleText = L"T";
        artistText = L"A";
        albumText = L"B";
        yearText = L"1999";
        publisherText = L"P";
        copyrightText = L"C";
        wsprintfW(bitRateText, L"128KB/s");
        wsprintfW(frequencyText, L"44100 Hz");
    }

    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
    }

    std::wstring Details()
    {
        wchar_t text[kDetailsTextChars];
        StateLock lock(stateLock);
        FormatDetailsText(text);
        return text;
    }

    std::wstring Title()
    {
        wchar_t text[kTitleTextChars];
        StateLock lock(stateLock);
        FormatTitleText(text);
        return text;
    }

    HWND window = nullptr;
};

TEST_F(InfoPanelTest, DetailsNameTheTrackAndItsPlaceInTheList)
{
    for (int i = 0; i < 12; ++i) ASSERT_TRUE(scanner->Scan(MediaPath("tone-440.mp3").c_str()));
    ASSERT_TRUE(engine->StartPlaying(MediaPath("tone-440.mp3").c_str()));
    currentIndex = 2;
    EXPECT_EQ(Details(), L"Bit rate: 128KB/s\nFrequency: 44100 Hz\nYear: 1999\nPublisher: P\nLength: 0:03\n"
                         L"Copyright: C\nNow: 3 of 12");
    EXPECT_STREQ(lengthText, L"0:03");
    EXPECT_EQ(Title(), L"Title:  T\nArtist: A\nAlbum:  B");

    // Without the components nothing is known of the length or the list.
    PlaybackEngine* keptEngine = engine;
    FolderScanner* keptScanner = scanner;
    engine = nullptr;
    scanner = nullptr;
    std::wstring bare = Details();
    engine = keptEngine;
    scanner = keptScanner;
    EXPECT_NE(bare.find(L"\nLength: [N/A]\n"), std::wstring::npos) << bare.c_str();
    EXPECT_NE(bare.find(L"\nNow: 0 of 0"), std::wstring::npos) << bare.c_str();
}

TEST_F(InfoPanelTest, TheLongestValuesFitAndLongerTextsAreCutAtTheBufferEnd)
{
    std::wstring publisher(63, L'p'), copyright(63, L'c'), year(7, L'9');
    wsprintfW(bitRateText, L"%s", std::wstring(15, L'b').c_str());
    wsprintfW(frequencyText, L"%s", std::wstring(15, L'f').c_str());
    publisherText = publisher.c_str();
    copyrightText = copyright.c_str();
    yearText = year.c_str();
    std::wstring details = Details();
    EXPECT_LE(details.size(), 255u);
    EXPECT_EQ(details.substr(details.size() - 12), L"\nNow: 1 of 0");

    std::wstring tooLong(400, L'x');
    publisherText = tooLong.c_str();
    details = Details();
    EXPECT_EQ(details.size(), 255u);
    EXPECT_EQ(details.compare(0, 10, L"Bit rate: "), 0);
    titleText = artistText = albumText = tooLong.c_str();
    EXPECT_EQ(Title().size(), 1023u);

    titleText = artistText = albumText = yearText = publisherText = copyrightText = nullptr;
    EXPECT_EQ(Title(), L"Title:  [N/A]\nArtist: [N/A]\nAlbum:  [N/A]");  // no record yet
}

TEST(GlowTextChoice, GlowsOnlyOnComposedGlassWithTheClassAndWithItsOwnOptions)
{
    EXPECT_TRUE(GlowText::ChooseGlow(true, true));
    EXPECT_FALSE(GlowText::ChooseGlow(true, false));
    EXPECT_FALSE(GlowText::ChooseGlow(false, true));
    EXPECT_FALSE(GlowText::ChooseGlow(false, false));

    DTTOPTS options = GlowText::GlowOptions(15);
    EXPECT_EQ(options.dwSize, sizeof(DTTOPTS));
    EXPECT_EQ(options.dwFlags, 0x2800u);
    EXPECT_EQ(options.iGlowSize, 15);
    DTTOPTS rest = options;
    rest.dwSize = rest.dwFlags = 0;
    rest.iGlowSize = 0;
    const DTTOPTS zero = {};
    EXPECT_EQ(memcmp(&rest, &zero, sizeof rest), 0) << "no colour, shadow or border of its own";
}

// The panel's font in a DC of its own, to measure what the panel draws with it.
class PanelFont {
public:
    explicit PanelFont(int height)
        : dc(nullptr), font(CreateFontA(height, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "Segoe UI")),
          selection(dc.Get(), font.Get())
    {
    }
    int LineHeight() const
    {
        TEXTMETRICW metrics = {};
        GetTextMetricsW(dc.Get(), &metrics);
        return metrics.tmHeight;
    }
    int Width(const wchar_t* text) const
    {
        SIZE size = {};
        GetTextExtentPoint32W(dc.Get(), text, lstrlenW(text), &size);
        return size.cx;
    }

private:
    MemoryDC dc;
    GdiObject<HFONT> font;
    Selection selection;
};

class PlainInfoPanelTest : public InfoPanelTest {
protected:
    void SetUp() override
    {
        InfoPanelTest::SetUp();
        if (GlowText(15).ShowsGlow()) GTEST_SKIP() << "glass shows glow text here, not plain text";
    }

    struct Band {
        int top, bottom;
    };
    // Line n (0-based) of the title block, in canvas rows.
    static Band TitleLine(int n)
    {
        int height = PanelFont(14).LineHeight();
        return {134 + 10 + n * height, 134 + 10 + (n + 1) * height};
    }

    // Rightmost column in [left, right) with a light pixel in the band, -1 for none.
    static int RightmostInk(const Canvas& canvas, Band band, int left, int right)
    {
        for (int x = right - 1; x >= left; --x)
            if (canvas.CountLight(x, band.top, x + 1, band.bottom, 0x60)) return x;
        return -1;
    }
};

TEST_F(PlainInfoPanelTest, BothBlocksAreCopiedToTheirPlacesAsLightTextOnBlack)
{
    Canvas canvas;
    ASSERT_TRUE(canvas.IsValid());
    canvas.Fill(kMarker);
    DrawInfoPanel();

    // Each block covers exactly its own rectangle, and nothing else is touched.
    EXPECT_EQ(canvas.CountNot(kMarker, 160, 10, 360, 130), 200 * 120);
    EXPECT_EQ(canvas.CountNot(kMarker, 5, 134, 505, 194), 500 * 60);
    int outside = canvas.CountNot(kMarker, 0, 0, Canvas::kWidth, Canvas::kHeight) - 200 * 120 - 500 * 60;
    EXPECT_EQ(outside, 0);

    // Light text inside each block's text rectangle, 10 pixels in from its top left.
    EXPECT_GT(canvas.CountLight(170, 20, 360, 130), 100);
    EXPECT_GT(canvas.CountLight(15, 144, 505, 194), 30);
    EXPECT_EQ(canvas.CountNot(0, 160, 10, 360, 20), 0);
    EXPECT_EQ(canvas.CountNot(0, 160, 10, 170, 130), 0);
    EXPECT_EQ(canvas.CountNot(0, 5, 134, 505, 144), 0);
    EXPECT_EQ(canvas.At(300, 120) & 0xFFFFFF, 0u);
}

TEST_F(PlainInfoPanelTest, AmpersandsAreDrawnAsTheyAreAndALongArtistEndsInAnEllipsis)
{
    std::wstring artist;
    while (artist.size() < 200) artist += L"MMMMMMMM ";
    artist.resize(200);
    titleText = L"&&&&&&&&";
    artistText = artist.c_str();
    Canvas canvas;
    ASSERT_TRUE(canvas.IsValid());
    canvas.Fill(kMarker);
    DrawInfoPanel();

    // The title line is as wide as the text measured with no prefix handling: eight ampersands.
    PanelFont font(14);
    int withAll = font.Width(L"Title:  &&&&&&&&");
    ASSERT_GT(withAll - font.Width(L"Title:  &&&&"), 8);
    EXPECT_NEAR(RightmostInk(canvas, TitleLine(0), 5, 505), 15 + withAll, 4);

    // The artist line runs to the rectangle's right edge and ends in dots on the baseline, where a
    // cut letter M would reach up; the album line below it is still there.
    Band artistLine = TitleLine(1);
    int artistEnd = RightmostInk(canvas, artistLine, 5, 505);
    EXPECT_GT(artistEnd, 505 - 40);
    int middle = (artistLine.top + artistLine.bottom) / 2;
    EXPECT_EQ(canvas.CountLight(artistEnd - 2, artistLine.top, artistEnd + 1, middle - 1, 0x60), 0)
        << "the line does not end in an ellipsis";
    EXPECT_GT(canvas.CountLight(15, TitleLine(2).top, 60, TitleLine(2).bottom), 5);
}

}  // namespace
