// The playback timer, one tick at a time: track ends, media keys, the seek progress, and what it
// does while a scan fills the list.
#include "playback/PlaybackTimer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "metadata/TrackInfo.h"
#include "playback/ControlMouse.h"
#include "playback/NowPlaying.h"
#include "playback/Transport.h"
#include "render/MainView.h"
#include "support/Canvas.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const uint32_t kMarker = 0x123456;

void PressKey(WORD key)
{
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[0].ki.dwFlags = KEYEVENTF_EXTENDEDKEY;
    input[1].ki.dwFlags = KEYEVENTF_EXTENDEDKEY | KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
}

void ForgetMediaKeyPresses()
{
    for (int key : {VK_MEDIA_NEXT_TRACK, VK_MEDIA_PREV_TRACK, VK_MEDIA_PLAY_PAUSE}) GetAsyncKeyState(key);
}

class PlaybackTimerTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);  // the test runs the ticks itself
        currentIndex = 0;
        randomPlay = false;
        idle = true;
        scanning = false;
        tick = 0;
        ForgetMediaKeyPresses();
    }

    void TearDown() override
    {
        scanning = false;
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        randomPlay = false;
    }

    // One tick, and the start it may have asked for.
    void Tick()
    {
        PlaybackTimerProc(window, WM_TIMER, kPlaybackTimerId, GetTickCount());
        EXPECT_TRUE(WaitForStarts());
    }

    void Load(std::initializer_list<const char*> names)
    {
        for (const char* name : names) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str())) << name;
    }

    PlaybackSound* Sound()
    {
        StateLock lock(stateLock);
        return engine->ActiveSound;
    }

    // Waits for the loaded sound to play to its end.
    PlaybackSound* PlayToTheEnd()
    {
        PlaybackSound* sound = Sound();
        EXPECT_NE(sound, nullptr);
        if (!sound) return nullptr;
        EXPECT_TRUE(WaitFor(
            [&] {
                StateLock lock(stateLock);
                return sound->HasEnded();
            },
            30000));
        return sound;
    }

    void ForgetInvalidation()
    {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        ValidateRect(window, nullptr);
    }

    HWND window = nullptr;
};

TEST_F(PlaybackTimerTest, AnEndedSoundIsFollowedByTheNextFileUntilTheLastStaysLoaded)
{
    Load({"tone-770.flac", "tone-990-mono.mp3"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    PlaybackSound* first = PlayToTheEnd();
    Tick();
    EXPECT_EQ(currentIndex, 1);
    PlaybackSound* last = Sound();
    ASSERT_NE(last, nullptr);
    EXPECT_NE(last, first);
    EXPECT_STREQ(currentTrack->path, scanner->GetFileName(1));

    PlayToTheEnd();
    Tick();
    Tick();
    EXPECT_EQ(currentIndex, 1);
    EXPECT_EQ(Sound(), last);
    EXPECT_FALSE(idle);
    // The end is reported while the last few buffers still play; once they have, the bar is full.
    EXPECT_TRUE(WaitFor(
        [&] {
            Tick();
            return seekProgress->width == 338;  // the whole bar less 2
        },
        30000))
        << seekProgress->width;
    EXPECT_EQ(Sound(), last);
}

TEST_F(PlaybackTimerTest, InRandomModeAnEndedSoundIsFollowedByAFileOfTheList)
{
    Load({"tone-770.flac", "tone-990-mono.mp3", "tone-1210-mono.flac"});
    randomPlay = true;
    srand(7);
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    for (int round = 0; round < 3; ++round) {
        PlaybackSound* ended = PlayToTheEnd();
        Tick();
        ASSERT_NE(Sound(), nullptr);
        EXPECT_NE(Sound(), ended);
        ASSERT_GE(currentIndex, 0);
        ASSERT_LT(currentIndex, 3);
        EXPECT_STREQ(currentTrack->path, scanner->GetFileName(currentIndex));
    }
}

TEST_F(PlaybackTimerTest, TheEndOfTheOnlyFileLetsItGoAndShowsTheAboutPicture)
{
    Load({"tone-770.flac"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_EQ(playPauseButton, pauseButton);
    PlayToTheEnd();
    ForgetInvalidation();
    Tick();
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_TRUE(idle);
    EXPECT_EQ(playPauseButton, playButton);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_NE(GetUpdateRect(window, nullptr, FALSE), 0);

    TogglePlayPause(window);  // the same file again
    ASSERT_TRUE(WaitForStarts());
    EXPECT_NE(Sound(), nullptr);
    EXPECT_FALSE(idle);
}

TEST_F(PlaybackTimerTest, MediaKeysActOneATickInTheirOrderWhateverHasTheFocus)
{
    // A press while the list is empty is read and dropped.
    PressKey(VK_MEDIA_PLAY_PAUSE);
    Tick();
    Load({"tone-440.mp3", "tone-660.ogg"});
    Tick();
    EXPECT_EQ(Sound(), nullptr);

    HWND other = CreateWindowExA(0, "STATIC", "other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    SetForegroundWindow(other);
    SetFocus(other);
    PumpMessagesFor(50);

    PressKey(VK_MEDIA_PLAY_PAUSE);
    Tick();
    PlaybackSound* first = Sound();
    ASSERT_NE(first, nullptr);

    PressKey(VK_MEDIA_PREV_TRACK);
    PressKey(VK_MEDIA_NEXT_TRACK);
    Tick();  // next comes first
    EXPECT_EQ(currentIndex, 1);
    Tick();  // then the press of previous, left for this tick
    EXPECT_EQ(currentIndex, 0);
    EXPECT_NE(Sound(), first);
    PlaybackSound* again = Sound();
    Tick();
    EXPECT_EQ(Sound(), again);

    PressKey(VK_MEDIA_PLAY_PAUSE);
    Tick();
    ASSERT_NE(Sound(), nullptr);
    EXPECT_TRUE(Sound()->QueryPaused());
    DestroyWindow(other);
}

TEST(ProgressWidth, IsThePositionTimesTheBarLessTwoTruncatedAndHeldToTheBar)
{
    struct Case {
        float position;
        int bar;
        int width;
    } cases[] = {
        {0.5f, 340, 169},   {1.0f, 340, 338}, {0.25f, 340, 84}, {0.0f, 340, 0},
        {0.999f, 340, 337}, {1.5f, 340, 338}, {-0.25f, 340, 0}, {std::numeric_limits<float>::quiet_NaN(), 340, 0},
        {0.5f, 0, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressWidth(c.position, c.bar), c.width) << c.position << " " << c.bar;
}

TEST_F(PlaybackTimerTest, TheProgressIsDrawnWhenItsWidthChangesOrTheBarWasPaintedOver)
{
    Load({"silence-1h02m03s.flac"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    engine->Seek(0.5f);
    TogglePlayPause(window);  // paused: the width stays put
    ASSERT_TRUE(Sound()->QueryPaused());

    Canvas canvas;
    ASSERT_TRUE(canvas.IsValid());
    auto progressDrawn = [&] { return canvas.CountNot(kMarker, 13, 202, 13 + 150, 216) > 0; };
    canvas.Fill(kMarker);
    Tick();
    EXPECT_NEAR(seekProgress->width, 169, 2);
    EXPECT_TRUE(progressDrawn());

    canvas.Fill(kMarker);
    Tick();
    EXPECT_FALSE(progressDrawn()) << "an unchanged width is drawn again";

    RepaintControlLayer();  // paints the bar afresh, without its progress
    canvas.Fill(kMarker);
    Tick();
    EXPECT_TRUE(progressDrawn());
}

// A fill that grows is drawn in its new columns alone (drawn again, its translucent edge would
// thicken), with the pixels a whole draw of it gives there.
TEST_F(PlaybackTimerTest, AFillThatGrewIsDrawnInItsNewColumnsAsAWholeDrawWouldBe)
{
    Load({"silence-1h02m03s.flac"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    TogglePlayPause(window);  // paused: the width stays where it is put
    ASSERT_TRUE(Sound()->QueryPaused());

    Canvas canvas;
    ASSERT_TRUE(canvas.IsValid());
    const uint32_t opaque = 0xFF000000 | kMarker;
    // The width after a seek to fraction, drawn on a fresh canvas; afresh as after a paint.
    auto showAt = [&](float fraction, bool afresh) {
        engine->Seek(fraction);
        const int expected = ProgressWidth(fraction, seekBar->width);
        EXPECT_TRUE(WaitFor(
            [&] { return std::abs(ProgressWidth(engine->GetPlayPos(), seekBar->width) - expected) <= 1; }, 5000));
        if (afresh) shownProgressWidth = -1;
        canvas.Fill(opaque);
        Tick();
        return seekProgress->width;
    };
    const int left = seekProgress->x, top = seekProgress->y, bottom = top + seekProgress->height;
    auto columns = [&](int from, int to) {
        std::vector<uint32_t> seen;
        for (int y = top; y < bottom; ++y)
            for (int x = left + from; x < left + to; ++x) seen.push_back(canvas.At(x, y));
        return seen;
    };

    const int narrow = showAt(0.25f, true);
    const int wide = showAt(0.5f, false);
    ASSERT_GT(wide, narrow + 20);
    EXPECT_EQ(canvas.CountNot(kMarker, left, top, left + narrow, bottom), 0) << "columns shown already, drawn again";
    EXPECT_GT(canvas.CountNot(kMarker, left + narrow, top, left + wide, bottom), 0);
    const std::vector<uint32_t> grown = columns(narrow, wide);

    ASSERT_EQ(showAt(0.5f, true), wide);
    const std::vector<uint32_t> whole = columns(narrow, wide);
    ASSERT_EQ(whole.size(), grown.size());
    for (size_t i = 0; i < whole.size(); ++i) {
        for (int shift = 0; shift < 24; shift += 8) {
            const int a = (whole[i] >> shift) & 0xFF, b = (grown[i] >> shift) & 0xFF;
            ASSERT_LE(std::abs(a - b), 2) << "pixel " << i;  // GDI+ rounds through straight alpha
        }
    }
}

TEST_F(PlaybackTimerTest, DuringAScanTheFirstFileStartsAndAFailedStartIsTriedAgain)
{
    std::string folder = MakeTempFolder("autostart");
    std::string file = folder + "\\first.mp3";
    ASSERT_TRUE(WriteFileBytes(file, "not a sound at all", 18));
    ASSERT_TRUE(scanner->Scan(folder.c_str()));
    scanning = true;

    Tick();
    EXPECT_EQ(Sound(), nullptr);
    EXPECT_EQ(currentTrack, nullptr);  // nothing plays, so no texts are shown

    ASSERT_TRUE(CopyFileA(MediaPath("tone-440.mp3").c_str(), file.c_str(), FALSE));
    Tick();
    EXPECT_NE(Sound(), nullptr);
    EXPECT_FALSE(idle);
    EXPECT_EQ(currentIndex, 0);
    EXPECT_STREQ(titleText, L"first.mp3");

    scanning = false;
    UnloadSound();
    ClearNowPlaying();
    RemoveTree(folder);
}

TEST_F(PlaybackTimerTest, WhileScanningTheTitleAnimatesAndThePanelFollowsOnAllButEveryTenthTick)
{
    Load({"tone-440.mp3"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    Canvas canvas;
    ASSERT_TRUE(canvas.IsValid());
    SetWindowTextA(window, "Scanning for music files");
    scanning = true;

    const char* titleFrom[25] = {};
    titleFrom[2] = "Scanning for music files.  ";
    titleFrom[8] = "Scanning for music files.. ";
    titleFrom[14] = "Scanning for music files...";
    titleFrom[20] = "Scanning for music files   ";
    std::string expectedTitle = "Scanning for music files";
    for (int i = 1; i <= 25; ++i) {
        canvas.Fill(kMarker);
        Tick();
        ASSERT_EQ(tick, i % 25);
        if (titleFrom[tick]) expectedTitle = titleFrom[tick];
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        EXPECT_EQ(title, expectedTitle) << "tick " << tick;
        EXPECT_EQ(canvas.CountNot(kMarker, 160, 10, 360, 130) > 0, tick % 10 != 0) << "panel, tick " << tick;
    }

    scanning = false;
    SetWindowTextA(window, "Orvandel's Lumetra");
    for (int i = 0; i < 25; ++i) {
        canvas.Fill(kMarker);
        Tick();
        ASSERT_EQ(canvas.CountNot(kMarker, 160, 10, 360, 130), 0) << "tick " << tick;
    }
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    EXPECT_STREQ(title, "Orvandel's Lumetra");
}

TEST_F(PlaybackTimerTest, ThousandsOfTicksPaintsAndMouseMovesKeepTheGdiObjectCount)
{
    Load({"silence-1h02m03s.flac", "tone-440.mp3"});
    TogglePlayPause(window);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    scanning = true;  // the panel is drawn on nine ticks of ten
    auto round = [&](int i) {
        shownProgressWidth = -1;
        Tick();
        if (i % 10 == 0) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(i % 360, 200 + i % 60));
    };
    for (int i = 0; i < 50; ++i) round(i);
    DWORD before = GdiObjectCount();
    for (int i = 0; i < 2000; ++i) round(i);
    EXPECT_EQ(GdiObjectCount(), before);
}

}  // namespace
