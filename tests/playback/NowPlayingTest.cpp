// The now-playing update: bit rate and frequency texts, titles, album art, and painting after it.
#include "playback/NowPlaying.h"

#include <gtest/gtest.h>

#include <climits>
#include <cwchar>
#include <string>

#include "app/PlayerState.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class NowPlayingTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(engine, nullptr);
        KillTimer(window, kPlaybackTimerId);
        idle = true;
    }

    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        idle = true;
    }

    // Starts the media file and runs the update for it, as a transport command does.
    void Play(const char* name)
    {
        std::string path = MediaPath(name);
        StateLock lock(stateLock);
        ASSERT_TRUE(engine->StartPlaying(path.c_str())) << name;
        UpdateNowPlaying(path.c_str());
        ASSERT_NE(currentTrack, nullptr);
    }

    void ReleaseSound()
    {
        StateLock lock(stateLock);
        if (!engine->ActiveSound) return;
        engine->ActiveSound->StopSound();
        engine->ActiveSound->ReleaseSound();
        engine->ActiveSound = nullptr;
    }

    void ExpectTextsPointIntoTheRecord()
    {
        StateLock lock(stateLock);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_EQ(titleText, currentTrack->GetDisplayTitle());
        EXPECT_EQ(artistText, currentTrack->artist);
        EXPECT_EQ(albumText, currentTrack->album);
        EXPECT_EQ(yearText, currentTrack->year);
        EXPECT_EQ(publisherText, currentTrack->publisher);
        EXPECT_EQ(copyrightText, currentTrack->copyright);
    }

    HWND window = nullptr;
};

unsigned FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
}

// Bytes of private memory committed in this process, from a walk over its address space.
size_t PrivateBytes()
{
    size_t total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// The colour at a point of what the window shows.
COLORREF PixelAt(HWND window, int x, int y)
{
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

// --- bit rate and frequency --------------------------------------------------------------------

TEST(NowPlayingBitRate, IsBitsPerMillisecondRoundedHalfUp)
{
    EXPECT_EQ(BitRateKbps(321000, 16000), 161);  // 160.5
    EXPECT_EQ(BitRateKbps(4000000, 200000), 160);
    EXPECT_EQ(BitRateKbps(320992, 16000), 160);  // 160.496
    EXPECT_EQ(BitRateKbps(0, 1000), 0);
    // Sizes past 2^31 bytes are unsigned, not negative.
    EXPECT_EQ(BitRateKbps(3000000000u, 600000000u), 40);
    // A huge file that claims to play for a moment stays a positive number that fits the text.
    EXPECT_EQ(BitRateKbps(4294967295u, 1), INT_MAX);
    EXPECT_EQ(BitRateKbps(1000, 0), 0);
}

TEST_F(NowPlayingTest, BitRateTextComesFromTheFileSizeAndThePlayLength)
{
    Play("tone-440.mp3");  // 128 kbit/s, no tag
    unsigned size = FileSize(MediaPath("tone-440.mp3"));
    ASSERT_GT(size, 0u);
    unsigned lengthMs = engine->ActiveSound->LengthMs();
    ASSERT_GT(lengthMs, 2900u);
    ASSERT_LT(lengthMs, 3200u);

    wchar_t expected[16];
    wsprintfW(expected, L"%uKB/s", static_cast<unsigned>(size * 8.0 / lengthMs + 0.5));
    EXPECT_STREQ(bitRateText, expected);
    int rate = _wtoi(bitRateText);
    EXPECT_GE(rate, 120);
    EXPECT_LE(rate, 140);
}

TEST_F(NowPlayingTest, FrequencyIsTheSampleRateOfTheSound)
{
    Play("tone-440.mp3");
    EXPECT_STREQ(frequencyText, L"44100 Hz");
    Play("tone-660.ogg");
    EXPECT_STREQ(frequencyText, L"48000 Hz");
    Play("tone-990-mono.mp3");
    EXPECT_STREQ(frequencyText, L"22050 Hz");
    Play("tone-1210-mono.flac");
    EXPECT_STREQ(frequencyText, L"32000 Hz");
}

TEST_F(NowPlayingTest, WithoutASoundTheRatesAreNotAvailableButTheTextsAreRead)
{
    Play("tone-440.mp3");
    ReleaseSound();
    std::string tagged = MediaPath("tone-1540-id3.mp3");
    UpdateNowPlaying(tagged.c_str());
    EXPECT_STREQ(bitRateText, L"[N/A]");
    EXPECT_STREQ(frequencyText, L"0 Hz");
    EXPECT_STREQ(titleText, L"Tagged MP3");
    EXPECT_STREQ(artistText, L"Test Tones");
    ExpectTextsPointIntoTheRecord();
}

// --- texts ---------------------------------------------------------------------------------------

TEST_F(NowPlayingTest, AnUntaggedFileShowsItsFileNameAsTitle)
{
    Play("tone-1540-id3.mp3");
    EXPECT_STREQ(titleText, L"Tagged MP3");
    Play("tone-440.mp3");
    EXPECT_STREQ(titleText, L"tone-440.mp3");
    EXPECT_STREQ(artistText, L"[N/A]");
    EXPECT_STREQ(albumText, L"[N/A]");
    ExpectTextsPointIntoTheRecord();
}

TEST_F(NowPlayingTest, TextsPointIntoEachNewRecord)
{
    const char* names[] = {"tone-1540-id3.mp3", "tone-660.ogg", "tone-1430-id3.flac", "tone-440.mp3"};
    for (const char* name : names) {
        SCOPED_TRACE(name);
        Play(name);
        ExpectTextsPointIntoTheRecord();
    }
}

// --- album art ---------------------------------------------------------------------------------

TEST_F(NowPlayingTest, AlbumArtFollowsThePictureOfEachTrack)
{
    Play("tone-440.mp3");
    EXPECT_EQ(albumArt, defaultAlbumArt);

    Play("tone-1540-id3.mp3");
    ASSERT_TRUE(currentTrack->hasArt) << "the fixture should carry a picture";
    EXPECT_EQ(albumArt, trackAlbumArt);
    EXPECT_NE(trackAlbumArt->image, nullptr);
    EXPECT_EQ(trackAlbumArt->image, currentTrack->artThumbnail);

    Play("tone-660.ogg");
    EXPECT_EQ(albumArt, defaultAlbumArt);
    // The thumbnail went with its record; nothing may still draw it.
    EXPECT_EQ(trackAlbumArt->image, nullptr);
}

TEST_F(NowPlayingTest, ClearingDropsTheRecordAndEverythingThatPointsIntoIt)
{
    Play("tone-1540-id3.mp3");
    ClearNowPlaying();
    StateLock lock(stateLock);
    EXPECT_EQ(currentTrack, nullptr);
    EXPECT_EQ(titleText, nullptr);
    EXPECT_EQ(artistText, nullptr);
    EXPECT_EQ(albumText, nullptr);
    EXPECT_EQ(yearText, nullptr);
    EXPECT_EQ(publisherText, nullptr);
    EXPECT_EQ(copyrightText, nullptr);
    EXPECT_EQ(albumArt, defaultAlbumArt);
    EXPECT_EQ(trackAlbumArt->image, nullptr);
}

// --- painting afterwards -----------------------------------------------------------------------

TEST_F(NowPlayingTest, ThePaintAfterAnUpdateShowsTheTracksPicture)
{
    idle = false;
    const int artX = 14 + 65, artY = 8 + 65;  // the middle of the album art's place
    Play("tone-440.mp3");
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    COLORREF plain = PixelAt(window, artX, artY);

    Play("tone-1540-id3.mp3");
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    COLORREF cover = PixelAt(window, artX, artY);
    EXPECT_NE(cover, plain);
    // The cover is a blue to yellow gradient: its middle has much of both.
    EXPECT_GT(GetRValue(cover), 0x60);
    EXPECT_GT(GetGValue(cover), 0x60);
    EXPECT_GT(GetBValue(cover), 0x50);

    Play("tone-660.ogg");
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(PixelAt(window, artX, artY), plain);
}

TEST_F(NowPlayingTest, UpdatesAndPaintsKeepTheGdiObjectCountFlat)
{
    idle = false;
    const std::string tagged = MediaPath("tone-1540-id3.mp3");
    const std::string plain = MediaPath("tone-440.mp3");
    {
        StateLock lock(stateLock);
        ASSERT_TRUE(engine->StartPlaying(plain.c_str()));
    }
    // One round first: whatever is made once and kept is not a leak.
    UpdateNowPlaying(tagged.c_str());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    DWORD before = GdiObjectCount();
    ASSERT_GT(before, 0u);

    for (int i = 0; i < 100; ++i) {
        UpdateNowPlaying((i % 2 ? plain : tagged).c_str());
        if (i % 10 == 0) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(GdiObjectCount(), before);
    ExpectTextsPointIntoTheRecord();
}

TEST_F(NowPlayingTest, EachRecordIsFreedWhenTheNextOneComes)
{
    // A record with its picture and thumbnail takes some 45 KB: 200 kept ones would be 9 MB.
    const std::string tagged = MediaPath("tone-1540-id3.mp3");
    for (int i = 0; i < 10; ++i) UpdateNowPlaying(tagged.c_str());
    size_t before = PrivateBytes();
    for (int i = 0; i < 200; ++i) UpdateNowPlaying(tagged.c_str());
    EXPECT_LT(PrivateBytes(), before + 2 * 1024 * 1024);
}

}  // namespace
