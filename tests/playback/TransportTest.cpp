// The transport commands against the real window, engine and scanner; and what happens when a
// track record cannot be made while a command starts a file.
#include "playback/Transport.h"

#include <id3/tag.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <initializer_list>
#include <new>
#include <set>
#include <string>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "playback/NowPlaying.h"
#include "playback/StartWorker.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

// Fault injection: once armed, the ID3_Tag allocation that follows a TrackInfo allocation on the
// armed thread fails, as when memory runs out inside the record's construction. Replacing the
// global allocator is how a statically linked test reaches that point; the injection disarms it.
namespace {
std::atomic<DWORD> failOnThread{0};
std::atomic<bool> trackRecordSeen{false};
// Set instead, the countdown makes the n-th allocation on the armed thread fail, whatever it is for.
std::atomic<int> failCountdown{0};
// Counts the track records made on the watched thread (the window's), armed or not.
std::atomic<DWORD> watchedThread{0};
std::atomic<int> recordsOnWatchedThread{0};
}  // namespace

void* operator new(size_t size)
{
    if (size == sizeof(TrackInfo) && watchedThread == GetCurrentThreadId()) ++recordsOnWatchedThread;
    if (failOnThread == GetCurrentThreadId()) {
        if (failCountdown > 0) {
            if (--failCountdown == 0) {
                failOnThread = 0;
                throw std::bad_alloc();
            }
        } else if (size == sizeof(TrackInfo)) {
            trackRecordSeen = true;
        } else if (trackRecordSeen && size == sizeof(ID3_Tag)) {
            failOnThread = 0;
            throw std::bad_alloc();
        }
    }
    if (void* memory = malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

namespace {

class TransportTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);  // it moves on by itself when a sound ends
        currentIndex = 0;
        randomPlay = false;
        idle = true;
    }

    void TearDown() override
    {
        failOnThread = 0;
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        randomPlay = false;
    }

    void Load(std::initializer_list<const char*> names)
    {
        for (const char* name : names) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str())) << name;
        ASSERT_EQ(scanner->GetNoOfFiles(), static_cast<int>(names.size()));
    }

    // Handles what is already queued (the first paint, X exposures) and marks the window painted,
    // so an update region found later comes from the command under test.
    void ForgetInvalidation()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        ValidateRect(window, nullptr);
    }

    bool Invalidated() { return GetUpdateRect(window, nullptr, FALSE) != 0; }

    PlaybackSound* Sound()
    {
        StateLock lock(stateLock);
        return engine->ActiveSound;
    }

    // The displayed texts point into the current record, which names the index-th file.
    void ExpectNowPlayingIs(int index)
    {
        StateLock lock(stateLock);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_STREQ(currentTrack->path, scanner->GetFileName(index));
        EXPECT_EQ(titleText, currentTrack->GetDisplayTitle());
        EXPECT_EQ(artistText, currentTrack->artist);
    }

    HWND window = nullptr;
};

TEST_F(TransportTest, CommandsOnAnEmptyListDoNothingAndDrawNothing)
{
    currentIndex = 3;
    ForgetInvalidation();
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlayRandomTrack(window);
    ASSERT_TRUE(WaitForStarts());
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    PlayPreviousTrack(window);
    ASSERT_TRUE(WaitForStarts());
    randomPlay = true;
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_FALSE(Invalidated());
    EXPECT_EQ(currentIndex, 3);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
    EXPECT_EQ(playPauseButton, playButton);
}

TEST_F(TransportTest, ToggleStartsTheCurrentFileThenPausesAndResumesIt)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 1;
    ForgetInvalidation();
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_EQ(currentIndex, 1);
    ExpectNowPlayingIs(1);
    EXPECT_FALSE(idle);
    EXPECT_EQ(playPauseButton, pauseButton);
    EXPECT_TRUE(Invalidated());

    TogglePlayPause(window);  // a loaded sound pauses and resumes at once
    EXPECT_TRUE(sound->QueryPaused());
    EXPECT_EQ(playPauseButton, playButton);
    TogglePlayPause(window);
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_EQ(playPauseButton, pauseButton);
    EXPECT_EQ(Sound(), sound);
}

TEST_F(TransportTest, ToggleWithAnIndexBeyondTheListStartsTheFirstFile)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 7;
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    EXPECT_EQ(currentIndex, 0);
    ExpectNowPlayingIs(0);
}

TEST_F(TransportTest, NextAndPreviousStepThroughTheListAndStopAtItsEnds)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlaybackSound* first = Sound();
    ASSERT_NE(first, nullptr);

    ForgetInvalidation();
    PlayPreviousTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(Sound(), first);
    EXPECT_FALSE(Invalidated());

    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    EXPECT_NE(Sound(), first);
    ExpectNowPlayingIs(1);
    EXPECT_TRUE(Invalidated());

    PlaybackSound* last = Sound();
    ForgetInvalidation();
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), last);
    EXPECT_FALSE(last->HasEnded());
    EXPECT_FALSE(Invalidated());

    PlayPreviousTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    ExpectNowPlayingIs(0);
}

// The window thread only asks: the files open and their tags are read on the start worker, and
// of quick commands the last one decides what plays.
TEST_F(TransportTest, CommandsOnTheWindowThreadStartOnTheWorkerAndTheLastOneWins)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    watchedThread = GetCurrentThreadId();
    recordsOnWatchedThread = 0;
    TogglePlayPause(window);
    PlayNextTrack(window);
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 2);
    ExpectNowPlayingIs(2);
    PlayTrackAt(window, 0);  // two rows clicked in quick succession
    PlayTrackAt(window, 1);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    ExpectNowPlayingIs(1);
    watchedThread = 0;
    EXPECT_EQ(recordsOnWatchedThread, 0);
    EXPECT_FALSE(idle);
    EXPECT_EQ(playPauseButton, pauseButton);
}

TEST_F(TransportTest, RandomPlayWithOneFileFollowsListOrder)
{
    Load({"tone-440.mp3"});
    randomPlay = true;
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(Sound(), sound);
    EXPECT_FALSE(sound->HasEnded());
}

TEST_F(TransportTest, RandomNextDrawsEveryFileOfTheListAndNothingOutsideIt)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    randomPlay = true;
    srand(20240607);  // the same draws on every run
    std::set<int> drawn;
    for (int i = 0; i < 12; ++i) {
        PlayNextTrack(window);
        ASSERT_TRUE(WaitForStarts());
        ASSERT_GE(currentIndex, 0);
        ASSERT_LT(currentIndex, 3);
        ASSERT_NE(Sound(), nullptr);
        ExpectNowPlayingIs(currentIndex);
        drawn.insert(currentIndex);
    }
    EXPECT_EQ(drawn.size(), 3u);
}

TEST_F(TransportTest, AFailedStartMovesTheIndexSoTheNextCallTriesTheFileAfter)
{
    ASSERT_FALSE(engine->StartPlaying(MediaPath("random.mp3").c_str())) << "the fixture must not play";
    Load({"tone-440.mp3", "random.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlaybackSound* first = Sound();
    ASSERT_NE(first, nullptr);

    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), first);  // what played goes on
    ExpectNowPlayingIs(0);

    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 2);
    EXPECT_NE(Sound(), first);
    ExpectNowPlayingIs(2);
}

TEST_F(TransportTest, ARecordThatCannotBeMadeStopsTheSoundAndTheNextCommandWorks)
{
    Load({"tone-1540-id3.mp3", "tone-440.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);

    currentIndex = 1;
    failOnThread = GetCurrentThreadId();
    trackRecordSeen = false;
    EXPECT_FALSE(StartTrackNow(1));
    ASSERT_EQ(failOnThread, 0u) << "the record's construction was not reached";
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
    {
        StateLock lock(stateLock);
        EXPECT_EQ(currentTrack, nullptr);
        EXPECT_EQ(titleText, nullptr);
        EXPECT_EQ(albumArt, defaultAlbumArt);
        EXPECT_EQ(trackAlbumArt->image, nullptr);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 2);
    ASSERT_NE(Sound(), nullptr);
    ExpectNowPlayingIs(2);
}

// Memory may run out at any allocation of a start. The path is copied first; then the record is
// read (as the start reads it, where any failure makes it unreadable) and shown, allocation by
// allocation. Nothing may escape to the caller, and the next start works.
TEST_F(TransportTest, RunningOutOfMemoryAnywhereInAStartNeitherThrowsNorBreaksTheNextStart)
{
    Load({"tone-1540-id3.mp3", "tone-440.mp3"});  // the second has no title: its name is shown
    failCountdown = 1;
    failOnThread = GetCurrentThreadId();
    EXPECT_FALSE(StartTrackNow(1));  // the path's copy fails
    EXPECT_EQ(failOnThread, 0u);
    const std::string path = scanner->GetFileName(1);
    for (int n = 1;; ++n) {
        SCOPED_TRACE(n);
        failCountdown = n;
        failOnThread = GetCurrentThreadId();
        TrackInfo* info = nullptr;
        try {
            info = new TrackInfo(path.c_str());
        } catch (const char* message) {
            EXPECT_STREQ(message, "Unreadable file");
        } catch (const std::bad_alloc&) {
            EXPECT_LE(n, 2) << "only the record and its copy of the path come before its tag";
        }
        if (info) EXPECT_NO_THROW(UpdateNowPlaying(info));
        const bool reached = failOnThread == 0;
        failOnThread = 0;
        failCountdown = 0;
        if (!reached) break;
    }
    currentIndex = 0;
    PlayNextTrack(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    ExpectNowPlayingIs(1);
}

}  // namespace
