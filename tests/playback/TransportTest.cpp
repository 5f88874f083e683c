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
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

// Fault injection for the track record: once armed, the ID3_Tag allocation that follows a TrackInfo
// allocation on the armed thread fails, as when memory runs out in the middle of the record's
// construction. Replacing the global allocator is how a statically linked test reaches that point;
// disarmed, it is plain malloc, as the runtime's own.
namespace {
std::atomic<DWORD> failOnThread{0};
std::atomic<bool> trackRecordSeen{false};
std::atomic<int> injectedFailures{0};
}  // namespace

void* operator new(size_t size)
{
    if (failOnThread.load() != 0 && failOnThread.load() == GetCurrentThreadId()) {
        if (size == sizeof(TrackInfo)) {
            trackRecordSeen = true;
        } else if (trackRecordSeen && size == sizeof(ID3_Tag)) {
            failOnThread = 0;
            trackRecordSeen = false;
            ++injectedFailures;
            throw std::bad_alloc();
        }
    }
    if (void* memory = malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}

namespace {

void ArmTrackRecordFailure()
{
    trackRecordSeen = false;
    failOnThread = GetCurrentThreadId();
}

void DisarmTrackRecordFailure()
{
    failOnThread = 0;
    trackRecordSeen = false;
}

class TransportTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_NE(engine, nullptr);
        ASSERT_NE(scanner, nullptr);
        // Timer 1 moves on by itself when a sound ends; these tests drive the commands alone.
        KillTimer(window, kPlaybackTimerId);
        currentIndex = 0;
        randomPlay = false;
        idle = true;
    }

    void TearDown() override
    {
        DisarmTrackRecordFailure();
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        currentIndex = 0;
        randomPlay = false;
        idle = true;
    }

    void Load(std::initializer_list<const char*> names)
    {
        for (const char* name : names) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str())) << name;
        ASSERT_EQ(scanner->GetNoOfFiles(), static_cast<int>(names.size()));
    }

    // Handles what is already queued for the window (its first paint, X exposures), then marks it
    // fully painted, so an update region found later comes from the command under test.
    void ForgetInvalidation()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        ValidateRect(window, nullptr);
    }

    bool Invalidated() { return GetUpdateRect(window, nullptr, FALSE) != 0; }

    // The file the current track record was read from ("" without a record).
    std::string TrackPath()
    {
        StateLock lock(stateLock);
        return currentTrack ? currentTrack->path : "";
    }

    std::string FileAt(int index)
    {
        StateLock lock(stateLock);
        const char* name = scanner->GetFileName(index);
        return name ? name : "";
    }

    // The displayed texts point into the current record, which names the file at currentIndex.
    void ExpectNowPlayingIs(int index)
    {
        StateLock lock(stateLock);
        ASSERT_NE(currentTrack, nullptr);
        EXPECT_EQ(std::string(currentTrack->path), FileAt(index));
        EXPECT_EQ(titleText, currentTrack->GetDisplayTitle());
        EXPECT_EQ(artistText, currentTrack->artist);
        EXPECT_EQ(albumText, currentTrack->album);
    }

    PlaybackSound* Sound()
    {
        StateLock lock(stateLock);
        return engine->ActiveSound;
    }

    HWND window = nullptr;
};

// --- nothing to play ---------------------------------------------------------------------------

TEST_F(TransportTest, CommandsOnAnEmptyListDoNothingAndDrawNothing)
{
    ForgetInvalidation();
    TogglePlayPause(window);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
    EXPECT_EQ(playPauseButton, playButton);
    EXPECT_FALSE(Invalidated()) << "TogglePlayPause";

    PlayRandomTrack(window);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_FALSE(Invalidated()) << "PlayRandomTrack";

    currentIndex = 3;
    PlayNextTrack(window);
    EXPECT_FALSE(Invalidated()) << "PlayNextTrack";
    PlayPreviousTrack(window);
    EXPECT_FALSE(Invalidated()) << "PlayPreviousTrack";
    randomPlay = true;
    PlayNextTrack(window);
    EXPECT_FALSE(Invalidated()) << "PlayNextTrack in random play";
    EXPECT_EQ(currentIndex, 3);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
}

TEST_F(TransportTest, CommandsWithoutAScannerDoNothing)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    FolderScanner* saved = scanner;
    {
        StateLock lock(stateLock);
        scanner = nullptr;
    }
    currentIndex = 1;
    ForgetInvalidation();
    TogglePlayPause(window);
    PlayNextTrack(window);
    PlayPreviousTrack(window);
    PlayRandomTrack(window);
    {
        StateLock lock(stateLock);
        scanner = saved;
    }
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
    EXPECT_FALSE(Invalidated());
}

// --- play / pause ------------------------------------------------------------------------------

TEST_F(TransportTest, ToggleWithoutASoundStartsTheCurrentFile)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 1;
    ForgetInvalidation();
    TogglePlayPause(window);

    ASSERT_NE(Sound(), nullptr);
    EXPECT_FALSE(Sound()->QueryPaused());
    EXPECT_EQ(currentIndex, 1);
    EXPECT_FALSE(idle);
    EXPECT_EQ(playPauseButton, pauseButton);
    ExpectNowPlayingIs(1);
    EXPECT_STREQ(frequencyText, L"48000 Hz");
    EXPECT_TRUE(Invalidated());
}

TEST_F(TransportTest, TogglePausesAndResumesTheLoadedSoundWithoutInvalidating)
{
    Load({"tone-440.mp3"});
    TogglePlayPause(window);
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);
    TrackInfo* track = currentTrack;

    ForgetInvalidation();
    TogglePlayPause(window);
    EXPECT_TRUE(sound->QueryPaused());
    EXPECT_EQ(playPauseButton, playButton);
    EXPECT_FALSE(Invalidated());

    TogglePlayPause(window);
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_EQ(playPauseButton, pauseButton);
    EXPECT_FALSE(Invalidated());

    // Pausing is not starting: the same sound and the same record stay.
    EXPECT_EQ(Sound(), sound);
    EXPECT_EQ(currentTrack, track);
    EXPECT_FALSE(idle);
}

TEST_F(TransportTest, ToggleWithAnIndexBeyondAShorterListStartsTheFirstFile)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 7;
    TogglePlayPause(window);
    ASSERT_NE(Sound(), nullptr);
    EXPECT_EQ(currentIndex, 0);
    ExpectNowPlayingIs(0);
    EXPECT_FALSE(idle);

    {
        StateLock lock(stateLock);
        engine->ActiveSound->StopSound();
        engine->ActiveSound->ReleaseSound();
        engine->ActiveSound = nullptr;
    }
    currentIndex = -2;
    TogglePlayPause(window);
    ASSERT_NE(Sound(), nullptr);
    EXPECT_EQ(currentIndex, 0);
    ExpectNowPlayingIs(0);
}

// --- next and previous -------------------------------------------------------------------------

TEST_F(TransportTest, NextAndPreviousStepThroughTheListInOrder)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    TogglePlayPause(window);
    PlaybackSound* first = Sound();
    ASSERT_NE(first, nullptr);

    ForgetInvalidation();
    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 1);
    ASSERT_NE(Sound(), nullptr);
    EXPECT_NE(Sound(), first);
    EXPECT_TRUE(first->HasEnded() || !first->QueryPaused());  // let go of, not left paused
    ExpectNowPlayingIs(1);
    EXPECT_FALSE(idle);
    EXPECT_TRUE(Invalidated());

    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 2);
    ExpectNowPlayingIs(2);

    ForgetInvalidation();
    PlayPreviousTrack(window);
    EXPECT_EQ(currentIndex, 1);
    ExpectNowPlayingIs(1);
    EXPECT_TRUE(Invalidated());
}

TEST_F(TransportTest, NextOnTheLastFileDoesNothingAtAll)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 1;
    TogglePlayPause(window);
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);
    TrackInfo* track = currentTrack;

    ForgetInvalidation();
    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), sound);
    EXPECT_FALSE(sound->HasEnded());
    EXPECT_FALSE(sound->QueryPaused());
    EXPECT_EQ(currentTrack, track);
    EXPECT_FALSE(Invalidated());
}

TEST_F(TransportTest, PreviousOnTheFirstFileDoesNothingAtAll)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);
    TrackInfo* track = currentTrack;

    ForgetInvalidation();
    PlayPreviousTrack(window);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(Sound(), sound);
    EXPECT_FALSE(sound->HasEnded());
    EXPECT_EQ(currentTrack, track);
    EXPECT_FALSE(Invalidated());
}

TEST_F(TransportTest, PreviousWithAnIndexBeyondAShorterListStaysInsideIt)
{
    Load({"tone-440.mp3", "tone-660.ogg"});
    currentIndex = 7;
    PlayPreviousTrack(window);
    ASSERT_GE(currentIndex, 0);
    ASSERT_LT(currentIndex, 2);
    ASSERT_NE(Sound(), nullptr);
    ExpectNowPlayingIs(currentIndex);
}

// --- random play -------------------------------------------------------------------------------

TEST_F(TransportTest, RandomNextDrawsEveryFileOfTheListAndNothingOutsideIt)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    randomPlay = true;
    srand(20240607);  // a fixed sequence: the run is the same every time
    std::set<int> drawn;
    for (int i = 0; i < 40; ++i) {
        ForgetInvalidation();
        PlayNextTrack(window);
        ASSERT_GE(currentIndex, 0);
        ASSERT_LT(currentIndex, 3);
        ASSERT_NE(Sound(), nullptr);
        ExpectNowPlayingIs(currentIndex);
        EXPECT_TRUE(Invalidated());
        drawn.insert(currentIndex);
    }
    EXPECT_EQ(drawn.size(), 3u);
    EXPECT_FALSE(idle);
}

TEST_F(TransportTest, RandomPlayWithOneFileFollowsListOrder)
{
    Load({"tone-440.mp3"});
    randomPlay = true;
    TogglePlayPause(window);
    PlaybackSound* sound = Sound();
    ASSERT_NE(sound, nullptr);

    ForgetInvalidation();
    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_EQ(Sound(), sound);
    EXPECT_FALSE(sound->HasEnded());
    EXPECT_FALSE(Invalidated());
}

TEST_F(TransportTest, PreviousInRandomPlayStepsBackInListOrder)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    randomPlay = true;
    currentIndex = 2;
    TogglePlayPause(window);
    ASSERT_NE(Sound(), nullptr);

    PlayPreviousTrack(window);
    EXPECT_EQ(currentIndex, 1);
    ExpectNowPlayingIs(1);
    PlayPreviousTrack(window);
    EXPECT_EQ(currentIndex, 0);
    ExpectNowPlayingIs(0);
}

// --- files that do not start -------------------------------------------------------------------

TEST_F(TransportTest, AFailedStartKeepsTheNewIndexAndTheSoundThatPlayed)
{
    ASSERT_FALSE(engine->StartPlaying(MediaPath("random.mp3").c_str())) << "the fixture must not play";
    Load({"tone-440.mp3", "random.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    PlaybackSound* first = Sound();
    ASSERT_NE(first, nullptr);
    TrackInfo* track = currentTrack;

    ForgetInvalidation();
    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 1);
    // A file that does not start leaves what played as it was, and no record is read for it.
    EXPECT_EQ(Sound(), first);
    EXPECT_FALSE(first->HasEnded());
    EXPECT_EQ(currentTrack, track);
    EXPECT_FALSE(idle);
    EXPECT_TRUE(Invalidated());

    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 2);
    ASSERT_NE(Sound(), first);
    ExpectNowPlayingIs(2);
}

TEST_F(TransportTest, AFailedToggleStartDrawsNothingAndStaysIdle)
{
    Load({"text.mp3", "tone-440.mp3"});
    ForgetInvalidation();
    TogglePlayPause(window);
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_TRUE(idle);
    EXPECT_EQ(playPauseButton, playButton);
    EXPECT_FALSE(Invalidated());
}

// --- track records that cannot be made ---------------------------------------------------------

TEST_F(TransportTest, ARecordThatCannotBeMadeLeavesNothingPointingIntoTheOldOne)
{
    std::string tagged = MediaPath("tone-1540-id3.mp3");
    {
        StateLock lock(stateLock);
        ASSERT_TRUE(engine->StartPlaying(tagged.c_str()));
        UpdateNowPlaying(tagged.c_str());
        ASSERT_EQ(albumArt, trackAlbumArt);
        ASSERT_NE(trackAlbumArt->image, nullptr);
    }

    int before = injectedFailures;
    ArmTrackRecordFailure();
    EXPECT_ANY_THROW(UpdateNowPlaying(MediaPath("tone-440.mp3").c_str()));
    DisarmTrackRecordFailure();
    ASSERT_EQ(injectedFailures, before + 1) << "the record's construction was not reached";

    StateLock lock(stateLock);
    EXPECT_EQ(currentTrack, nullptr);
    EXPECT_EQ(titleText, nullptr);
    EXPECT_EQ(artistText, nullptr);
    EXPECT_EQ(albumText, nullptr);
    EXPECT_EQ(yearText, nullptr);
    EXPECT_EQ(publisherText, nullptr);
    EXPECT_EQ(copyrightText, nullptr);
    EXPECT_EQ(albumArt, defaultAlbumArt);
    EXPECT_EQ(trackAlbumArt->image, nullptr);  // the thumbnail went with its record
}

TEST_F(TransportTest, NextSurvivesARecordThatCannotBeMadeAndLetsTheSoundGo)
{
    Load({"tone-1540-id3.mp3", "tone-440.mp3", "tone-660.ogg"});
    TogglePlayPause(window);
    ASSERT_NE(Sound(), nullptr);
    ASSERT_EQ(albumArt, trackAlbumArt);

    int before = injectedFailures;
    ArmTrackRecordFailure();
    PlayNextTrack(window);
    DisarmTrackRecordFailure();
    ASSERT_EQ(injectedFailures, before + 1) << "the record's construction was not reached";

    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), nullptr);
    // Nothing is loaded any more (starting the file ended the one before): the About picture shows.
    EXPECT_TRUE(idle);
    {
        StateLock lock(stateLock);
        EXPECT_EQ(currentTrack, nullptr);
        EXPECT_EQ(titleText, nullptr);
        EXPECT_EQ(albumArt, defaultAlbumArt);
        EXPECT_EQ(trackAlbumArt->image, nullptr);
    }
    // The window still paints, and the next command works as usual.
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    PlayNextTrack(window);
    EXPECT_EQ(currentIndex, 2);
    ASSERT_NE(Sound(), nullptr);
    ExpectNowPlayingIs(2);
}

TEST_F(TransportTest, ToggleSurvivesARecordThatCannotBeMade)
{
    Load({"tone-440.mp3"});
    ForgetInvalidation();
    int before = injectedFailures;
    ArmTrackRecordFailure();
    TogglePlayPause(window);
    DisarmTrackRecordFailure();
    ASSERT_EQ(injectedFailures, before + 1) << "the record's construction was not reached";

    // Treated as a start that failed: nothing plays, nothing changed on screen.
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_EQ(currentTrack, nullptr);
    EXPECT_TRUE(idle);
    EXPECT_FALSE(Invalidated());

    TogglePlayPause(window);
    ASSERT_NE(Sound(), nullptr);
    ExpectNowPlayingIs(0);
    EXPECT_FALSE(idle);
}

}  // namespace
