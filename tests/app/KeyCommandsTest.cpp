// The window's keys: the same actions as the buttons, seeking by five seconds, and the overlay's ends.
#include <gtest/gtest.h>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/PlaybackEngine.h"
#include "playback/NowPlaying.h"
#include "playback/PlaybackTimer.h"
#include "playback/StartWorker.h"
#include "playback/Transport.h"
#include "render/InfoPanel.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const double kLongMs = 3723400;  // silence-1h02m03s.flac

class KeyCommands : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        KillTimer(window, kPlaybackTimerId);
        randomPlay = false;
    }
    void TearDown() override
    {
        Press(VK_CONTROL, false);
        WaitFor([] { return !playlistBuilding; }, 30000);
        playlistVisible = false;
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        randomPlay = false;
    }

    void Key(WPARAM key) { SendMessageA(window, WM_KEYDOWN, key, 0); }
    // Holds a key down (or lets it go) as this thread's keyboard state shows it.
    static void Press(BYTE key, bool down)
    {
        BYTE state[256] = {};
        GetKeyboardState(state);
        state[key] = down ? 0x80 : 0;
        SetKeyboardState(state);
    }
    static PlaybackSound* Sound()
    {
        StateLock lock(stateLock);
        return engine->ActiveSound;
    }
    static double PositionMs()
    {
        StateLock lock(stateLock);
        return engine->GetPlayPos() * kLongMs;
    }

    HWND window = nullptr;
};

TEST_F(KeyCommands, SpaceArrowsAndRDoWhatTheirButtonsDo)
{
    for (const char* name : {"silence-1h02m03s.flac", "tone-440.mp3"})
        ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str()));
    Key(VK_SPACE);  // nothing loaded: the first file starts
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    EXPECT_FALSE(Sound()->QueryPaused());
    Key(VK_SPACE);
    EXPECT_TRUE(Sound()->QueryPaused());
    EXPECT_EQ(playPauseButton, playButton);

    // Paused, the position holds still between the keys.
    const double start = PositionMs();
    Key(VK_RIGHT);
    Key(VK_RIGHT);
    EXPECT_NEAR(PositionMs(), start + 10000, 300);
    EXPECT_EQ(shownProgressWidth, ProgressWidth(static_cast<float>((start + 10000) / kLongMs), 340))
        << "the bar follows";
    for (int i = 0; i < 4; ++i) Key(VK_LEFT);
    EXPECT_EQ(PositionMs(), 0.0) << "held at the start";

    Key('R');
    EXPECT_TRUE(randomPlay);
    EXPECT_EQ(randomButton, randomOnButton);
    Key('R');
    EXPECT_FALSE(randomPlay);
    EXPECT_EQ(randomButton, randomOffButton);

    Press(VK_CONTROL, true);
    Key(VK_RIGHT);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 1);
    Key(VK_LEFT);
    ASSERT_TRUE(WaitForStarts());
    EXPECT_EQ(currentIndex, 0);
    Press(VK_CONTROL, false);
}

// Up, Down, M and the wheel set the volume while the overlay is hidden, and the details block
// says so for two seconds; with the overlay shown they scroll it and leave the volume alone.
TEST_F(KeyCommands, VolumeFollowsKeysAndWheelOnlyWhileTheOverlayIsHidden)
{
    ASSERT_TRUE(scanner->Scan(MediaPath("tone-440.mp3").c_str()));
    ASSERT_TRUE(StartTrackNow(0));
    struct Step {
        UINT message;
        WPARAM key;
        int delta;
        int level;
        const wchar_t* line;
    };
    const Step steps[] = {
        {WM_KEYDOWN, VK_DOWN, 0, 95, L"Volume: 95%"},      {WM_KEYDOWN, VK_UP, 0, 100, L"Volume: 100%"},
        {WM_KEYDOWN, VK_UP, 0, 100, L"Volume: 100%"},      {WM_MOUSEWHEEL, 0, -2 * WHEEL_DELTA, 90, L"Volume: 90%"},
        {WM_MOUSEWHEEL, 0, -WHEEL_DELTA / 3, 89, nullptr}, {WM_MOUSEWHEEL, 0, -2 * WHEEL_DELTA / 3, 85, nullptr},
        {WM_KEYDOWN, 'M', 0, 0, L"Volume: muted"},         {WM_KEYDOWN, VK_DOWN, 0, 0, nullptr},
        {WM_KEYDOWN, 'M', 0, 85, L"Volume: 85%"},
    };
    for (const Step& step : steps) {
        if (step.message == WM_KEYDOWN)
            Key(step.key);
        else
            SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, step.delta), 0);
        EXPECT_EQ(engine->Volume(), step.level) << step.key << " " << step.delta;
        wchar_t details[kDetailsTextChars];
        StateLock lock(stateLock);
        FormatDetailsText(details);
        if (step.line) EXPECT_NE(wcsstr(details, step.line), nullptr) << details;
    }
    EXPECT_TRUE(WaitFor(
        [] {
            wchar_t details[kDetailsTextChars];
            StateLock lock(stateLock);
            FormatDetailsText(details);
            return wcsstr(details, L"Now: 1 of 1") != nullptr;
        },
        4000))
        << "the position line comes back";

    Key(VK_F1);
    ASSERT_TRUE(playlistVisible);
    Key(VK_DOWN);
    SendMessageA(window, WM_MOUSEWHEEL, MAKEWPARAM(0, -WHEEL_DELTA), 0);
    EXPECT_EQ(engine->Volume(), 85);
}

TEST_F(KeyCommands, HomeAndEndReachTheEndsOfALongListAtOnce)
{
    for (int i = 0; i < 5000; ++i) scanner->Scan(MediaPath("tone-440.mp3").c_str());
    Key(VK_F1);
    ASSERT_TRUE(WaitFor([] { return playlistBuilt && !playlistBuilding; }, 30000));
    Key(VK_END);
    EXPECT_EQ(scrollPos, 5000 * kRowHeight - kVisibleListHeight);
    EXPECT_EQ(scrollTarget, scrollPos);
    Key(VK_HOME);
    EXPECT_EQ(scrollPos, 0);
    Key(VK_NEXT);  // Page Down still eases
    EXPECT_EQ(scrollTarget, kVisibleListHeight);
    EXPECT_EQ(scrollPos, 0);
}

}  // namespace
