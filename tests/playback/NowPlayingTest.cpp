// The now-playing update: bit rate and frequency texts, titles, album art, and freeing the record.
#include "playback/NowPlaying.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/PlayerState.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "playback/Transport.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

class NowPlayingTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        idle = true;
    }

    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
    }

    // Starts the media file and runs the update for it, as a transport command does.
    void Play(const char* name)
    {
        std::string path = MediaPath(name);
        StateLock lock(stateLock);
        ASSERT_TRUE(engine->StartPlaying(path.c_str())) << name;
        UpdateNowPlaying(path.c_str());
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

TEST(NowPlayingBitRate, IsBitsPerMillisecondRoundedHalfUp)
{
    EXPECT_EQ(BitRateKbps(321000, 16000), 161);  // 160.5
    EXPECT_EQ(BitRateKbps(320992, 16000), 160);  // 160.496
    EXPECT_EQ(BitRateKbps(4000000, 200000), 160);
    EXPECT_EQ(BitRateKbps(3000000000u, 600000000u), 40);  // past 2^31 bytes, not negative
    EXPECT_EQ(BitRateKbps(4294967295u, 1), INT_MAX);
    EXPECT_EQ(BitRateKbps(1000, 0), 0);
}

TEST_F(NowPlayingTest, RatesComeFromTheSoundAndAreNotAvailableWithoutOne)
{
    std::string path = MediaPath("tone-440.mp3");  // 128 kbit/s, no tag
    Play("tone-440.mp3");
    WIN32_FILE_ATTRIBUTE_DATA file = {};
    ASSERT_TRUE(GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &file));
    unsigned lengthMs = engine->ActiveSound->LengthMs();
    ASSERT_GT(lengthMs, 2900u);
    wchar_t expected[16];
    wsprintfW(expected, L"%uKB/s", static_cast<unsigned>(file.nFileSizeLow * 8.0 / lengthMs + 0.5));
    EXPECT_STREQ(bitRateText, expected);
    EXPECT_STREQ(frequencyText, L"44100 Hz");
    Play("tone-660.ogg");
    EXPECT_STREQ(frequencyText, L"48000 Hz");

    ASSERT_TRUE(UnloadSound());
    UpdateNowPlaying(path.c_str());
    EXPECT_STREQ(bitRateText, L"[N/A]");
    EXPECT_STREQ(frequencyText, L"0 Hz");
}

TEST_F(NowPlayingTest, TextsAndArtFollowEachNewRecord)
{
    Play("tone-440.mp3");
    EXPECT_STREQ(titleText, L"tone-440.mp3");  // no tag: the file name stands in
    EXPECT_STREQ(artistText, L"[N/A]");
    EXPECT_EQ(albumArt, defaultAlbumArt);
    ExpectTextsPointIntoTheRecord();

    Play("tone-1540-id3.mp3");
    EXPECT_STREQ(titleText, L"Tagged MP3");
    EXPECT_STREQ(artistText, L"Test Tones");
    ASSERT_TRUE(currentTrack->hasArt) << "the fixture should carry a picture";
    EXPECT_EQ(albumArt, trackAlbumArt);
    EXPECT_NE(trackAlbumArt->image, nullptr);
    EXPECT_EQ(trackAlbumArt->image, currentTrack->artThumbnail);
    ExpectTextsPointIntoTheRecord();

    Play("tone-660.ogg");
    EXPECT_EQ(albumArt, defaultAlbumArt);
    EXPECT_EQ(trackAlbumArt->image, nullptr);  // the thumbnail went with its record
    ExpectTextsPointIntoTheRecord();

    ClearNowPlaying();
    EXPECT_EQ(currentTrack, nullptr);
    EXPECT_EQ(titleText, nullptr);
    EXPECT_EQ(copyrightText, nullptr);
}

TEST_F(NowPlayingTest, EachRecordIsFreedWhenTheNextOneComes)
{
    const std::string tagged = MediaPath("tone-1540-id3.mp3"), plain = MediaPath("tone-440.mp3");
    Play("tone-440.mp3");
    idle = false;
    // A few rounds first: whatever is made once and kept is not a leak.
    for (int i = 0; i < 10; ++i) UpdateNowPlaying(tagged.c_str());
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    DWORD gdiBefore = GdiObjectCount();
    size_t memoryBefore = PrivateBytes();

    // A record with its picture and thumbnail takes some 45 KB: 200 kept ones would be 9 MB.
    for (int i = 0; i < 200; ++i) {
        UpdateNowPlaying((i % 2 ? plain : tagged).c_str());
        if (i % 20 == 0) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_LT(PrivateBytes(), memoryBefore + 2 * 1024 * 1024);
    EXPECT_EQ(GdiObjectCount(), gdiBefore);
}

}  // namespace
