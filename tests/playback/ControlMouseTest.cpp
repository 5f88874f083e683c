// The buttons and the seek bar under the mouse, driven through the window's own messages at the
// places the layout gives them.
#include "playback/ControlMouse.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "app/PlayerState.h"
#include "components/FolderScanner.h"
#include "components/ImageButton.h"
#include "components/ImageObject.h"
#include "components/PlaybackEngine.h"
#include "components/Win32Handles.h"
#include "playback/NowPlaying.h"
#include "playback/Transport.h"
#include "support/TestSupport.h"
#include "support/WindowSupport.h"

namespace {

const POINT kPlay = {180, 238};
const POINT kNext = {255, 238};
const POINT kPrev = {105, 238};
const POINT kRandom = {30, 240};
const POINT kShowPlaylist = {330, 240};
const int kSeekY = 209;

class ControlMouseTest : public testing::Test {
protected:
    void SetUp() override
    {
        window = CreatePlayerWindow();
        ASSERT_NE(window, nullptr);
        // Nothing but the mouse may change the progress or the track while a test runs.
        KillTimer(window, kPlaybackTimerId);
        currentIndex = 0;
        randomPlay = false;
        idle = true;
    }

    void TearDown() override
    {
        DestroyPlayerWindow(window);
        ClearNowPlaying();
        randomPlay = false;
    }

    void Load(std::initializer_list<const char*> names)
    {
        for (const char* name : names) ASSERT_TRUE(scanner->Scan(MediaPath(name).c_str())) << name;
    }

    void Mouse(UINT message, int x, int y, WPARAM keys) { SendMessageA(window, message, keys, MAKELPARAM(x, y)); }

    void Click(POINT at, WPARAM downKeys = MK_LBUTTON, WPARAM upKeys = 0)
    {
        Mouse(WM_MOUSEMOVE, at.x, at.y, 0);
        Mouse(WM_LBUTTONDOWN, at.x, at.y, downKeys);
        Mouse(WM_LBUTTONUP, at.x, at.y, upKeys);
    }

    PlaybackSound* Sound()
    {
        StateLock lock(stateLock);
        return engine->ActiveSound;
    }

    HWND window = nullptr;
};

TEST_F(ControlMouseTest, EachButtonDoesItsActionOnAClick)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    Click(kPlay);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    EXPECT_EQ(playPauseButton, pauseButton);
    Click(kNext);
    EXPECT_EQ(currentIndex, 1);
    Click(kPrev);
    EXPECT_EQ(currentIndex, 0);
    ASSERT_TRUE(WaitForStarts());
    Click(kPlay);
    EXPECT_TRUE(Sound()->QueryPaused());

    Click(kRandom);
    EXPECT_TRUE(randomPlay);
    EXPECT_EQ(randomButton, randomOnButton);
    Click(kRandom);
    EXPECT_FALSE(randomPlay);
    EXPECT_EQ(randomButton, randomOffButton);

    MSG message;
    while (PeekMessageA(&message, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
    }
    Click(kShowPlaylist);
    ASSERT_TRUE(PeekMessageA(&message, window, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE));
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(VK_F1));
    EXPECT_EQ(message.lParam, 0);
    EXPECT_FALSE(playlistVisible);  // the window opens it when it handles the key
}

TEST_F(ControlMouseTest, WithShiftCtrlOrAnotherButtonAPressIsOnlyAMove)
{
    Load({"tone-440.mp3", "tone-660.ogg", "tone-770.flac"});
    Click(kPlay);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    seekProgress->width = 42;
    for (WPARAM extra : {MK_SHIFT, MK_CONTROL, MK_RBUTTON}) {
        Click(kNext, MK_LBUTTON | extra, extra);
        Click({180, kSeekY}, MK_LBUTTON | extra, extra);
        EXPECT_EQ(currentIndex, 0) << extra;
        EXPECT_EQ(seekProgress->width, 42) << extra;
    }
    Click(kNext);
    Click(kNext);  // a double click arrives as two presses
    EXPECT_EQ(currentIndex, 2);
}

TEST_F(ControlMouseTest, PressingTheSeekBarSeeksToWhereItIsPressedAndDraggingFollows)
{
    Load({"silence-1h02m03s.flac"});
    Click(kPlay);
    ASSERT_TRUE(WaitForStarts());
    ASSERT_NE(Sound(), nullptr);
    Click(kPlay);  // paused, so the position stays where the press put it
    ASSERT_TRUE(Sound()->QueryPaused());

    struct Case {
        int x;
        float fraction;
        int width;
    } cases[] = {{180, 0.5f, 169}, {95, 0.25f, 84}};
    for (const Case& c : cases) {
        Click({c.x, kSeekY});
        EXPECT_EQ(seekProgress->width, c.width) << c.x;
        EXPECT_NEAR(engine->GetPlayPos(), c.fraction, 0.002) << c.x;
    }
    Mouse(WM_LBUTTONDOWN, 95, kSeekY, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, 180, kSeekY, MK_LBUTTON);
    EXPECT_EQ(seekProgress->width, 169);
    Mouse(WM_LBUTTONUP, 180, kSeekY, 0);
}

TEST_F(ControlMouseTest, PressingTheBarWithoutASoundRedrawsItWithTheProgressItHad)
{
    seekProgress->width = 42;
    BorrowedDC dc(window);
    ASSERT_NE(dc.Get(), nullptr);
    RECT bar = {10, 202, 350, 216};
    FillRect(dc.Get(), &bar, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Mouse(WM_MOUSEMOVE, 180, kSeekY, 0);
    Mouse(WM_LBUTTONDOWN, 180, kSeekY, MK_LBUTTON);
    EXPECT_EQ(seekProgress->width, 42);
    COLORREF progress = GetPixel(dc.Get(), 13 + 20, kSeekY);
    COLORREF channel = GetPixel(dc.Get(), 13 + 200, kSeekY);
    // The release changes the bar's look and so draws it over its progress; the next tick
    // draws the progress again.
    Mouse(WM_LBUTTONUP, 180, kSeekY, 0);
    EXPECT_EQ(shownProgressWidth, -1);
    EXPECT_GT(GetGValue(progress), GetRValue(progress) + 40) << "no progress fill over the bar";
    EXPECT_LT(GetRValue(channel) + GetGValue(channel) + GetBValue(channel), 3 * 0x40) << "the bar was not redrawn";
}

}  // namespace
